// Frames, placements and size clamping of top-level windows.
#include <gtest/gtest.h>

#include <windows.h>

#include "ui/WindowFrames.h"

namespace {

TEST(WindowFramesTest, FrameValuesMapToInternalCodesAndDefaultPlacements) {
    struct Case {
        int32_t frame, code, placement;
    } cases[] = {
        {0, 8, 4}, {1, 3, 2}, {2, 2, 2}, {3, 1, 0}, {4, 4, 2}, {5, 5, 2},
        {6, 6, 4}, {7, 9, 0}, {8, 10, 0}, {9, 11, 4}, {10, 12, 0},
        {-1, kFrameCodeUnknown, 4}, {11, kFrameCodeUnknown, 4},
    };
    for (const Case& c : cases) {
        FrameMapping m = MapFrame(c.frame);
        EXPECT_EQ(m.code, c.code) << "Frame " << c.frame;
        EXPECT_EQ(m.defaultPlacement, c.placement) << "Frame " << c.frame;
    }
}

TEST(WindowFramesTest, CodesAreNormalisedBeforeTheStyleIsChosen) {
    struct Case {
        int32_t code;
        bool mdi;
        int32_t normalised;
    } cases[] = {
        {12, false, 1}, {12, true, 1}, {6, true, 0}, {6, false, 6},
        {11, false, 8}, {11, true, 11}, {8, false, 8}, {3, true, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormaliseFrameCode(c.code, c.mdi), c.normalised) << c.code << " mdi " << c.mdi;
}

TEST(WindowFramesTest, EachFrameHasItsStyles) {
    const DWORD boxes = WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    struct Case {
        int32_t frame;
        DWORD style;  // without the boxes
        DWORD exStyle;
        bool resizable, owned, modal;
    } cases[] = {
        {0, WS_CAPTION, 0, true, false, false},
        {1, WS_POPUP | WS_CAPTION, WS_EX_DLGMODALFRAME, false, true, true},
        {2, WS_POPUP | WS_DLGFRAME, 0, false, true, true},
        {3, WS_POPUP | WS_CAPTION, WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE, true, false, false},
        {4, WS_POPUP | WS_BORDER, 0, false, false, true},
        {5, WS_POPUP | WS_BORDER, WS_EX_CLIENTEDGE, false, false, true},
        {6, WS_CAPTION, 0, false, false, false},
        {7, WS_POPUP | WS_CAPTION, WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE | WS_EX_TOPMOST, true, false, false},
        {8, WS_POPUP | WS_CAPTION, WS_EX_DLGMODALFRAME, false, true, true},
        {9, WS_CAPTION, 0, true, false, false},   // as a document window outside MDI mode
        {10, WS_POPUP | WS_CAPTION, WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE, true, false, false},
        {42, WS_CAPTION, 0, true, false, false},  // out of range: a document window
    };
    for (const Case& c : cases) {
        int32_t code = NormaliseFrameCode(MapFrame(c.frame).code, false);
        FrameStyle bare = StyleForFrameCode(code, false, false, false, false);
        EXPECT_EQ(bare.style, c.style) << "Frame " << c.frame;
        EXPECT_EQ(bare.exStyle, c.exStyle) << "Frame " << c.frame;
        EXPECT_EQ(bare.resizable, c.resizable) << "Frame " << c.frame;
        EXPECT_EQ(bare.owned, c.owned) << "Frame " << c.frame;
        EXPECT_EQ(bare.modal, c.modal) << "Frame " << c.frame;
        EXPECT_FALSE(bare.mdiChild) << "Frame " << c.frame;
        FrameStyle all = StyleForFrameCode(code, true, true, true, false);
        DWORD added = WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | (c.resizable ? WS_THICKFRAME : 0);
        EXPECT_EQ(all.style, c.style | added) << "Frame " << c.frame;
        EXPECT_EQ(all.style & boxes & ~added, 0u) << "Frame " << c.frame;
    }
}

TEST(WindowFramesTest, BoxPropertiesAddTheirStylesOneByOne) {
    EXPECT_EQ(StyleForFrameCode(8, true, false, false, false).style, DWORD(WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(StyleForFrameCode(8, false, true, false, false).style, DWORD(WS_CAPTION | WS_THICKFRAME));
    EXPECT_EQ(StyleForFrameCode(8, false, false, true, false).style,
              DWORD(WS_CAPTION | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU));
}

TEST(WindowFramesTest, DocumentWindowsBecomeMdiChildrenInMdiMode) {
    EXPECT_TRUE(StyleForFrameCode(NormaliseFrameCode(8, true), false, false, false, true).mdiChild);
    EXPECT_TRUE(StyleForFrameCode(NormaliseFrameCode(6, true), false, false, false, true).mdiChild);
    EXPECT_TRUE(StyleForFrameCode(NormaliseFrameCode(6, true), false, true, false, true).resizable);
    EXPECT_FALSE(StyleForFrameCode(NormaliseFrameCode(3, true), false, false, false, true).mdiChild);
}

TEST(WindowFramesTest, PlacementsOffsetTheRequestedRectangle) {
    const ScreenArea screen = {1024, 768, 30, 20};
    const Rect16 bounds = {40, 20, 440, 620};  // top, left, bottom, right
    struct Case {
        const char* what;
        int32_t frame, placement;
        POINT offset;
    } cases[] = {
        {"document window, default placement", 0, 0, {40, 70}},
        {"floating window, default placement", 3, 0, {4, 100}},
        {"explicit 0 takes the frame's default", 1, 0, {(1024 - 620) / 2, (768 - 440) / 4}},
        {"placement 1 as 2", 0, 1, {202, 82}},
        {"placement 2", 0, 2, {202, 82}},
        {"placement 3", 0, 3, {202, 82}},
        {"placement 4 on a floating window", 3, 4, {40, 70}},
        {"unknown placement: no offset", 0, 9, {0, 0}},
    };
    for (const Case& c : cases) {
        POINT p = PlacementOffset(c.placement, MapFrame(c.frame).defaultPlacement, bounds, screen);
        EXPECT_EQ(p.x, c.offset.x) << c.what;
        EXPECT_EQ(p.y, c.offset.y) << c.what;
    }
}

TEST(WindowFramesTest, CentringDividesTowardZero) {
    const ScreenArea screen = {1024, 768, 0, 0};
    struct Case {
        int16_t right, bottom;
        POINT offset;
    } cases[] = {
        {1025, 769, {0, 0}},     // -1 / 2 and -1 / 4
        {1027, 775, {-1, -1}},   // -3 / 2, -7 / 4
        {1023, 767, {0, 0}},
        {1021, 760, {1, 2}},
    };
    for (const Case& c : cases) {
        POINT p = PlacementOffset(2, 2, Rect16{0, 0, c.bottom, c.right}, screen);
        EXPECT_EQ(p.x, c.offset.x) << c.right;
        EXPECT_EQ(p.y, c.offset.y) << c.bottom;
    }
}

TEST(WindowFramesTest, OffsettingMovesBothEdges) {
    Rect16 r = OffsetRect16(Rect16{10, 20, 110, 220}, 5, -7);
    EXPECT_EQ(r.top, 3);
    EXPECT_EQ(r.left, 25);
    EXPECT_EQ(r.bottom, 103);
    EXPECT_EQ(r.right, 225);
}

TEST(WindowFramesTest, ADragNeverMakesTheClientSmallerThan64By64) {
    const SizeLimits viewer = {64, 64, 32000, 32000};
    const int32_t fw = 16, fh = 39;  // frame and caption around the client
    struct Case {
        WPARAM edge;
        RECT dragged;
        RECT expected;
    } cases[] = {
        {WMSZ_BOTTOMRIGHT, {100, 100, 110, 120}, {100, 100, 100 + 64 + fw, 100 + 64 + fh}},
        {WMSZ_TOPLEFT, {350, 380, 400, 420}, {400 - 64 - fw, 420 - 64 - fh, 400, 420}},
        {WMSZ_LEFT, {350, 100, 400, 500}, {400 - 64 - fw, 100, 400, 500}},
        {WMSZ_TOP, {100, 300, 500, 320}, {100, 320 - 64 - fh, 500, 320}},
        {WMSZ_TOPRIGHT, {100, 300, 105, 310}, {100, 310 - 64 - fh, 100 + 64 + fw, 310}},
        {WMSZ_BOTTOMLEFT, {300, 100, 310, 105}, {310 - 64 - fw, 100, 310, 100 + 64 + fh}},
        {WMSZ_RIGHT, {0, 0, 700, 500}, {0, 0, 700, 500}},  // inside the limits: unchanged
        {WMSZ_BOTTOMRIGHT, {0, 0, -50, -50}, {0, 0, 64 + fw, 64 + fh}},  // turned inside out
    };
    for (const Case& c : cases) {
        RECT r = c.dragged;
        ClampSizingRect(&r, c.edge, viewer, fw, fh);
        EXPECT_EQ(r.left, c.expected.left) << "edge " << c.edge;
        EXPECT_EQ(r.top, c.expected.top) << "edge " << c.edge;
        EXPECT_EQ(r.right, c.expected.right) << "edge " << c.edge;
        EXPECT_EQ(r.bottom, c.expected.bottom) << "edge " << c.edge;
        EXPECT_GE(r.right - r.left - fw, 64);
        EXPECT_GE(r.bottom - r.top - fh, 64);
    }
}

TEST(WindowFramesTest, LimitsClampTheMaximumAndZeroLimitsNothing) {
    RECT big = {0, 0, 900, 900};
    ClampSizingRect(&big, WMSZ_BOTTOMRIGHT, SizeLimits{64, 64, 400, 300}, 10, 20);
    EXPECT_EQ(big.right, 410);
    EXPECT_EQ(big.bottom, 320);
    RECT free = {0, 0, 5, 5};
    ClampSizingRect(&free, WMSZ_BOTTOMRIGHT, SizeLimits{0, 0, 0, 0}, 10, 20);
    EXPECT_EQ(free.right, 5);
    EXPECT_EQ(free.bottom, 5);
    // One limit set: the others apply as 0, but the minimum still holds.
    RECT one = {0, 0, 500, 500};
    ClampSizingRect(&one, WMSZ_BOTTOMRIGHT, SizeLimits{64, 0, 0, 0}, 10, 20);
    EXPECT_EQ(one.right, 74);
    EXPECT_EQ(one.bottom, 20);
}

}  // namespace
