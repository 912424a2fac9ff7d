#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <limits>
#include <vector>

#include "graphics/DrawingContext.h"
#include "graphics/FontCache.h"
#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "loader/relocentry.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/RuntimeObjectFoundation.h"
#include "orvane/exports.h"
#include "tests/TestStrings.h"
#include "tests/TestSupport.h"

extern "C" void __cdecl intSetter(ObjectHeader* o, int32_t offset, int32_t value);

namespace {

constexpr int32_t kOmit = kOmittedSize;

// A 32-bit picture and its Graphics, both released at the end.
struct Canvas {
    ObjectHandle pictureHandle, graphicsHandle;  // the Graphics goes first
    ObjectHeader* picture;
    ObjectHeader* g;
    Canvas(int32_t w, int32_t h, int32_t depth = 32)
        : pictureHandle(ObjectHandle::Adopt(newPicture(w, h, depth))),
          graphicsHandle(ObjectHandle::Adopt(pictureGraphicsGetter(pictureHandle.Get(), 0))),
          picture(pictureHandle.Get()),
          g(graphicsHandle.Get()) {}
    int32_t At(int32_t x, int32_t y) const { return graphicsPixelGetter(g, x, y); }
    int32_t Count(int32_t colour) const {
        int32_t n = 0;
        for (int32_t y = 0; y < graphicsHeightGetter(g, 0); ++y)
            for (int32_t x = 0; x < graphicsWidthGetter(g, 0); ++x) n += At(x, y) == colour;
        return n;
    }
};

class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDefinition(GraphicsDefinition());
        RegisterDefinition(PictureDefinition());
        live_ = RuntimeLiveObjectCount();
    }
    void TearDown() override { EXPECT_EQ(RuntimeLiveObjectCount(), live_); }
    int32_t live_ = 0;
};

constexpr int32_t kWhite = 0xFFFFFF;
constexpr int32_t kBlack = 0;

TEST_F(GraphicsTest, RgbClampsEachComponent) {
    EXPECT_EQ(RuntimeRGB(300, -5, 128), 0xFF0080);
    EXPECT_EQ(RuntimeRGB(1, 2, 3), 0x010203);
    EXPECT_EQ(RuntimeRGB(INT32_MIN, INT32_MAX, 255), 0x00FFFF);
}

TEST_F(GraphicsTest, EntryPointsAreFoundByName) {
    for (const char* name : {"RuntimeRGB", "newPicture", "pictureGraphicsGetter", "graphicsWidthGetter",
                             "graphicsHeightGetter", "graphicsForeColorSetter", "graphicsTextSizeSetter",
                             "RuntimeGraphicsFillRect", "RuntimeGraphicsDrawString", "RuntimeGraphicsStringWidth",
                             "RuntimeGraphicsDrawPicture", "RuntimeGraphicsDrawObjectXY", "graphicsDrawNoteIcon", "graphicsPixelSetter"})
        EXPECT_NE(ExportFindForLink(name), nullptr) << name;
}

TEST_F(GraphicsTest, NewPictureIsWhiteAndSized) {
    Canvas c(7, 5);
    ASSERT_NE(c.g, nullptr);
    EXPECT_EQ(graphicsWidthGetter(c.g, 0), 7);
    EXPECT_EQ(graphicsHeightGetter(c.g, 0), 5);
    EXPECT_EQ(pictureWidthGetter(c.picture, 0), 7);
    EXPECT_EQ(c.Count(kWhite), 35);
    ObjectHeader* again = pictureGraphicsGetter(c.picture, 0);
    EXPECT_EQ(again, c.g);  // cached
    RuntimeUnlockObject(again);
}

TEST_F(GraphicsTest, EveryDepthStartsWhite) {
    for (int32_t depth : {1, 2, 4, 8, 16, 24, 32}) {
        Canvas c(9, 3, depth);
        EXPECT_EQ(c.At(0, 0), kWhite) << depth;
        EXPECT_EQ(c.At(8, 2), kWhite) << depth;
        graphicsForeColorSetter(c.g, 0, kBlack);
        RuntimeGraphicsFillRect(c.g, 0, 0, 1, 1);
        EXPECT_EQ(c.At(0, 0), kBlack) << depth;
        EXPECT_EQ(pictureDepthGetter(c.picture, 0), depth);
    }
}

TEST_F(GraphicsTest, OnePixelLineBothWays) {
    Canvas c(30, 12);
    RuntimeGraphicsDrawLine(c.g, 10, 10, 10, 10);
    EXPECT_EQ(c.Count(kBlack), 1);
    EXPECT_EQ(c.At(10, 10), kBlack);

    Canvas a(30, 12), b(30, 12);
    RuntimeGraphicsDrawLine(a.g, 10, 5, 20, 5);
    RuntimeGraphicsDrawLine(b.g, 20, 5, 10, 5);
    EXPECT_EQ(a.Count(kBlack), 11);  // both end points
    for (int32_t x = 0; x < 30; ++x) EXPECT_EQ(a.At(x, 5), b.At(x, 5)) << x;
}

TEST_F(GraphicsTest, FillRectLeavesRightAndBottomEdges) {
    Canvas c(12, 12);
    graphicsForeColorSetter(c.g, 0, 0x123456);
    RuntimeGraphicsFillRect(c.g, 0, 0, 10, 10);
    EXPECT_EQ(graphicsForeColorGetter(c.g, 0), 0x123456);
    EXPECT_EQ(c.Count(0x123456), 100);
    EXPECT_EQ(c.At(9, 9), 0x123456);
    EXPECT_EQ(c.At(10, 9), kWhite);
    EXPECT_EQ(c.At(9, 10), kWhite);
}

TEST_F(GraphicsTest, PixelGetAndSet) {
    Canvas c(4, 4);
    graphicsPixelSetter(c.g, 2, 3, 0xA0B0C0);
    EXPECT_EQ(c.At(2, 3), 0xA0B0C0);
    EXPECT_EQ(c.Count(kWhite), 15);
    EXPECT_EQ(c.At(-1, 0), 0);  // outside
}

TEST_F(GraphicsTest, RectanglesAndOvals) {
    Canvas c(20, 20);
    RuntimeGraphicsDrawRect(c.g, 2, 2, 5, 5);
    EXPECT_EQ(c.At(2, 2), kBlack);
    EXPECT_EQ(c.At(6, 6), kBlack);
    EXPECT_EQ(c.At(4, 4), kWhite);  // no brush
    EXPECT_EQ(c.Count(kBlack), 16);
    RuntimeGraphicsFillOval(c.g, 10, 10, 8, 8);
    EXPECT_EQ(c.At(14, 14), kBlack);
    EXPECT_EQ(c.At(10, 10), kWhite);
    RuntimeGraphicsClearRect(c.g, 0, 0, 20, 20);
    EXPECT_EQ(c.Count(kWhite), 400);
}

struct TestArray {
    std::vector<int32_t> values;
};
bool ReadTestArray(ObjectHeader* array, IntegerArrayView* out) {
    auto* a = reinterpret_cast<TestArray*>(array);
    *out = IntegerArrayView{a->values.data(), int32_t(a->values.size())};
    return true;
}

TEST_F(GraphicsTest, Polygons) {
    SetIntegerArrayReader(ReadTestArray);
    Canvas c(20, 20);
    TestArray square{{0, 2, 2, 12, 2, 12, 12, 2, 12}};
    graphicsFillPolygon(c.g, reinterpret_cast<ObjectHeader*>(&square));
    EXPECT_EQ(c.At(7, 7), kBlack);
    EXPECT_EQ(c.At(12, 12), kBlack);  // the edges are painted too
    EXPECT_EQ(c.At(13, 7), kWhite);

    Canvas d(20, 20);
    TestArray open{{0, 1, 1, 10, 1}};  // two elements less than three: not closed
    graphicsDrawPolygon(d.g, reinterpret_cast<ObjectHeader*>(&open));
    EXPECT_EQ(d.Count(kBlack), 10);
    TestArray odd{{0, 1, 5, 5}};  // odd count: the last y is 0
    graphicsDrawPolygon(d.g, reinterpret_cast<ObjectHeader*>(&odd));
    EXPECT_EQ(d.At(5, 0), kBlack);
    SetIntegerArrayReader(nullptr);
}

TEST_F(GraphicsTest, DrawPictureDefaultsAndClipping) {
    Canvas src(100, 50);
    graphicsForeColorSetter(src.g, 0, 0xFF0000);
    RuntimeGraphicsFillRect(src.g, 0, 0, 50, 50);  // left half red

    {
        Canvas dst(300, 60);
        RuntimeGraphicsDrawPicture(dst.g, src.picture, 0, 0, kOmit, kOmit, 0, 0, kOmit, kOmit);
        EXPECT_EQ(dst.Count(0xFF0000), 50 * 50);
    }
    {
        // w1 = 200 and the source sizes omitted: clipped back to a 1:1 copy.
        Canvas dst(300, 60);
        graphicsForeColorSetter(dst.g, 0, 0x00FF00);
        RuntimeGraphicsFillRect(dst.g, 0, 0, 300, 60);
        RuntimeGraphicsDrawPicture(dst.g, src.picture, 0, 0, 200, kOmit, 0, 0, kOmit, kOmit);
        EXPECT_EQ(dst.Count(0xFF0000), 50 * 50);
        EXPECT_EQ(dst.At(99, 10), kWhite);
        EXPECT_EQ(dst.At(100, 10), 0x00FF00);
    }
    {
        // w1 = 200 and w2 = 100: stretched.
        Canvas dst(300, 60);
        RuntimeGraphicsDrawPicture(dst.g, src.picture, 0, 0, 200, kOmit, 0, 0, 100, kOmit);
        EXPECT_EQ(dst.Count(0xFF0000), 100 * 50);
    }
    {
        // A negative source left moves the destination.
        Canvas dst(300, 60);
        RuntimeGraphicsDrawPicture(dst.g, src.picture, 0, 0, kOmit, kOmit, -10, 0, kOmit, kOmit);
        EXPECT_EQ(dst.At(9, 0), kWhite);
        EXPECT_EQ(dst.At(10, 0), 0xFF0000);
        EXPECT_EQ(dst.Count(0xFF0000), 50 * 50);
        RuntimeGraphicsDrawPicture(dst.g, nullptr, 0, 0, kOmit, kOmit, 0, 0, kOmit, kOmit);
        RuntimeGraphicsDrawPicture(dst.g, src.picture, 0, 0, 0, kOmit, 0, 0, kOmit, kOmit);  // w1 < 1
        EXPECT_EQ(dst.Count(0xFF0000), 50 * 50);
    }
}

TEST_F(GraphicsTest, TransparentPictureLeavesWhiteOut) {
    Canvas src(10, 10);
    graphicsForeColorSetter(src.g, 0, 0x0000FF);
    RuntimeGraphicsFillRect(src.g, 0, 0, 5, 10);
    intSetter(src.picture, kPictureTransparentAt, 1);
    Canvas dst(10, 10);
    graphicsForeColorSetter(dst.g, 0, 0x00FF00);
    RuntimeGraphicsFillRect(dst.g, 0, 0, 10, 10);
    RuntimeGraphicsDrawPicture(dst.g, src.picture, 0, 0, kOmit, kOmit, 0, 0, kOmit, kOmit);
    EXPECT_EQ(dst.Count(0x0000FF), 50);
    EXPECT_EQ(dst.Count(0x00FF00), 50);
}

TEST_F(GraphicsTest, TwoGraphicsDrawingAlternately) {
    Canvas a(10, 10), b(10, 10);
    graphicsForeColorSetter(a.g, 0, 0xFF0000);
    graphicsForeColorSetter(b.g, 0, 0x0000FF);
    for (int32_t i = 0; i < 5; ++i) {
        RuntimeGraphicsFillRect(a.g, i, i, 1, 1);
        RuntimeGraphicsFillRect(b.g, i, 9 - i, 1, 1);
        EXPECT_EQ(DrawingContextCurrent(), GraphicsDrawingContext(b.g));
    }
    EXPECT_EQ(a.Count(0xFF0000), 5);
    EXPECT_EQ(b.Count(0x0000FF), 5);
    EXPECT_EQ(a.At(3, 3), 0xFF0000);
    EXPECT_EQ(b.At(3, 6), 0x0000FF);
    EXPECT_EQ(a.Count(0x0000FF), 0);
}

TEST_F(GraphicsTest, StringBaselineAndLines) {
    Canvas c(60, 60);
    StringHandle ag = Ascii("Ag");
    RuntimeGraphicsDrawString(c.g, ag.Get(), 5, 13, 0);
    int32_t lowest = -1, highestRowOfA = 100;
    for (int32_t y = 0; y < 60; ++y)
        for (int32_t x = 0; x < 60; ++x)
            if (c.At(x, y) != kWhite) {
                lowest = y;
                if (x < 5 + RuntimeGraphicsStringWidth(c.g, Ascii("A").Get())) highestRowOfA = std::min(highestRowOfA, y);
            }
    ASSERT_GE(lowest, 0);
    EXPECT_GT(lowest, 13);        // the descender of g goes below the baseline
    EXPECT_LE(highestRowOfA, 12);  // A stands on it
    int32_t ascent = RuntimeGraphicsTextAscent(c.g);
    EXPECT_GT(ascent, 0);
    EXPECT_GE(RuntimeGraphicsTextHeight(c.g), ascent);

    StringHandle two = Ascii("A\r\nA");
    int32_t one = RuntimeGraphicsStringHeight(c.g, Ascii("A").Get(), 100);
    EXPECT_EQ(RuntimeGraphicsStringHeight(c.g, two.Get(), 100), 2 * one);
    RuntimeGraphicsDrawString(c.g, nullptr, 0, 30, 0);  // nothing
}

TEST_F(GraphicsTest, TextSizeAndFontMapping) {
    Canvas c(10, 10);
    StringHandle text = Ascii("WWWW");
    graphicsTextSizeSetter(c.g, 0, 12);
    int32_t at12 = RuntimeGraphicsStringWidth(c.g, text.Get());
    graphicsTextSizeSetter(c.g, 0, 0);
    EXPECT_EQ(RuntimeGraphicsStringWidth(c.g, text.Get()), at12);  // 0 is the default size
    graphicsTextSizeSetter(c.g, 0, 24);
    EXPECT_GT(RuntimeGraphicsStringWidth(c.g, text.Get()), at12);
    EXPECT_EQ(graphicsTextSizeGetter(c.g, 0), 24);
    EXPECT_STREQ(FontFaceFor("helvetica"), "Arial");
    EXPECT_STREQ(FontFaceFor("OSAKA"), "MS UI Gothic");
    EXPECT_STREQ(FontFaceFor("Geneva"), "MS Sans Serif");
    EXPECT_STREQ(FontFaceFor("Tahoma"), "Tahoma");
    graphicsBoldSetter(c.g, 0, 1);
    EXPECT_EQ(graphicsBoldGetter(c.g, 0), 1);
    EXPECT_EQ(graphicsUseOldRendererGetter(c.g, 0), 1);
}

TEST_F(GraphicsTest, JapaneseTextDraws) {
    Canvas c(80, 30);
    StringHandle face = Ascii("MS UI Gothic");
    graphicsTextFontSetter(c.g, 0, face.Get());
    StringHandle text = Utf8("\xE8\xB7\xAF\xE7\xB7\x9A");  // two kanji
    RuntimeGraphicsDrawString(c.g, text.Get(), 2, 20, 0);
    EXPECT_GT(c.Count(kWhite) < 80 * 30 ? 80 * 30 - c.Count(kWhite) : 0, 10);
    EXPECT_GT(RuntimeGraphicsStringWidth(c.g, text.Get()), 12);
}

TEST_F(GraphicsTest, NoteIconDraws) {
    Canvas c(40, 40);
    graphicsDrawNoteIcon(c.g, 4, 4);
    EXPECT_LT(c.Count(kWhite), 40 * 40);
    EXPECT_EQ(c.At(0, 0), kWhite);
}

TEST_F(GraphicsTest, HugeCoordinatesAreHarmless) {
    Canvas c(10, 10);
    RuntimeGraphicsFillRect(c.g, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX);
    RuntimeGraphicsFillRect(c.g, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    RuntimeGraphicsDrawLine(c.g, INT32_MIN, 0, INT32_MAX, 0);
    RuntimeGraphicsDrawPicture(c.g, c.picture, INT32_MAX, INT32_MIN, INT32_MAX, 7, INT32_MIN, INT32_MAX, 3, INT32_MAX);
    EXPECT_EQ(DeviceCoordinate(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_GT(DeviceCoordinate(std::numeric_limits<double>::infinity()), 1000000);
    EXPECT_LT(DeviceCoordinate(-1e300), -1000000);
    EXPECT_EQ(DeviceCoordinate(-2.7), -2);
    ObjectHeader* none = newPicture(0, 0, 32);
    ObjectHeader* g = pictureGraphicsGetter(none, 0);
    RuntimeGraphicsFillRect(g, 0, 0, 5, 5);  // no bits: nothing
    EXPECT_EQ(graphicsWidthGetter(g, 0), 0);
    RuntimeUnlockObject(g);
    RuntimeUnlockObject(none);
}

TEST_F(GraphicsTest, VectorPictureHasNoGraphics) {
    ObjectHeader* v = newPicture(10, 10, 0);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(pictureGraphicsGetter(v, 0), nullptr);
    EXPECT_EQ(pictureWidthGetter(v, 0), 10);
    ObjectHeader* objects = pictureObjectsGetter(v, 0);
    if (FindDefinitionText("Group2D")) EXPECT_NE(objects, nullptr);
    else EXPECT_EQ(objects, nullptr);
    if (objects) RuntimeUnlockObject(objects);
    {
        Canvas c(12, 12);
        RECT clip{1, 1, 5, 5};
        DrawingContextSetClip(GraphicsDrawingContext(c.g), &clip);
        RuntimeGraphicsDrawPicture(c.g, v, 0, 0, kOmit, kOmit, 0, 0, kOmit, kOmit);  // an empty group
        EXPECT_EQ(c.Count(kWhite), 144);
        RuntimeGraphicsFillRect(c.g, 0, 0, 12, 12);  // the caller's clip is back
        EXPECT_EQ(c.Count(kBlack), 16);
    }
    RuntimeUnlockObject(v);
}

TEST_F(GraphicsTest, GraphicsOutlivingItsPicture) {
    ObjectHeader* p = newPicture(5, 5, 32);
    ObjectHeader* g = pictureGraphicsGetter(p, 0);
    RuntimeUnlockObject(p);
    RuntimeGraphicsFillRect(g, 0, 0, 5, 5);  // no surface: nothing
    EXPECT_EQ(graphicsWidthGetter(g, 0), 0);
    {
        AssertionCapture capture;
        EXPECT_EQ(RuntimeGraphicsStringWidth(g, Ascii("x").Get()), 0);
        ASSERT_EQ(capture.Reports().size(), 1u);
        EXPECT_EQ(capture.Reports()[0].unit, "Graphics");
    }
    RuntimeUnlockObject(g);
}

TEST_F(GraphicsTest, ContextStateSavedAndRestored) {
    Canvas c(10, 10);
    DrawingContext* dc = GraphicsDrawingContext(c.g);
    DrawingState saved;
    DrawingContextSaveState(dc, &saved);
    DrawingContextSetForeColor(dc, 0x00FF00);
    DrawingContextSetPen(dc, 3, 3);
    DrawingContextSetFont(dc, Ascii("Arial").Get(), 20, true, false, false);
    DrawingContextRestoreState(dc, &saved);
    EXPECT_EQ(graphicsForeColorGetter(c.g, 0), 0);
    EXPECT_EQ(graphicsPenWidthGetter(c.g, 0), 1);
    EXPECT_EQ(graphicsTextSizeGetter(c.g, 0), 12);
    EXPECT_EQ(graphicsBoldGetter(c.g, 0), 0);
    POINT tri[3] = {{1, 1}, {8, 1}, {1, 8}};
    DrawingContextFillPolygon(dc, tri, 3);
    EXPECT_EQ(c.At(2, 2), kBlack);
    DrawingContextSetForeColor(dc, 0xFF0000);
    DrawingContextMoveTo(dc, 0, 9);
    DrawingContextLineTo(dc, 9, 9);
    EXPECT_EQ(c.At(0, 9), 0xFF0000);
    EXPECT_EQ(c.At(8, 9), 0xFF0000);
}

}  // namespace
