// Pictures: pixel maps of every depth, the Picture class, and picture copies.
#include "graphics/Picture.h"

#include <cstring>
#include <new>

#include "graphics/DrawingContextState.h"
#include "graphics/Graphics.h"
#include "objects/ObjectDefinition.h"
#include "orvane/exports.h"
#include "strings/utility.h"

namespace {

template <typename T>
T& Field(ObjectHeader* o, int32_t at) {
    return *reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(o) + at);
}

// Releases the cached Graphics (detached first) and the pixel map or group.
void ClearPicture(ObjectHeader* p) {
    if (ObjectHeader* g = Field<ObjectHeader*>(p, kPictureGraphicsAt)) {
        DrawingContextDetachSurface(GraphicsDrawingContext(g));
        Field<ObjectHeader*>(p, kPictureGraphicsAt) = nullptr;
        RuntimeUnlockObject(g);
    }
    PixelMapFree(Field<PixelMap*>(p, kPictureMapAt));
    Field<PixelMap*>(p, kPictureMapAt) = nullptr;
    if (ObjectHeader* objects = Field<ObjectHeader*>(p, kPictureObjectsAt)) {
        Field<ObjectHeader*>(p, kPictureObjectsAt) = nullptr;
        RuntimeUnlockObject(objects);
    }
}

void __cdecl FinalizePicture(ObjectHeader* p) {
    ClearPicture(p);
    if (ObjectHeader* r = Field<ObjectHeader*>(p, kPictureReservedAt)) {
        Field<ObjectHeader*>(p, kPictureReservedAt) = nullptr;
        RuntimeUnlockObject(r);
    }
}

int64_t Div(int64_t a, int64_t b) { return b ? a / b : 0; }

}  // namespace

// A one-bit-style mask of a Transparent picture: its white pixels are transparent.
static PixelMap* TransparencyMask(const PixelMap& map) {
    PixelMap* mask = PixelMapCreate(map.width, map.height, 32);
    if (!mask->pixels) return mask;
    MemoryDC a, b;
    SelectedObject sa(a.Get(), map.bitmap), sb(b.Get(), mask->bitmap);
    BitBlt(b.Get(), 0, 0, map.width, map.height, a.Get(), 0, 0, SRCCOPY);
    GdiFlush();
    for (int64_t i = 0, n = int64_t(map.width) * map.height; i < n; ++i)
        mask->pixels[i] = (mask->pixels[i] & 0xFFFFFF) == 0xFFFFFF ? 0xFFFFFF : 0;
    return mask;
}

extern "C" void __cdecl RuntimeGraphicsDrawPicture(ObjectHeader* g, ObjectHeader* picture, int32_t x, int32_t y,
                                                   int32_t w1, int32_t h1, int32_t sx, int32_t sy, int32_t w2,
                                                   int32_t h2) {
    DrawingContext* dc = GraphicsDrawingContext(g);
    if (!dc || !picture) return;
    PixelMap* map = Field<PixelMap*>(picture, kPictureMapAt);
    if (!map) {
        // A vector picture: its group, clipped to the destination.
        ObjectHeader* objects = Field<ObjectHeader*>(picture, kPictureObjectsAt);
        if (!objects) return;
        int32_t w = w1 == kOmittedSize ? Field<int32_t>(picture, kPictureWidthAt) : w1;
        int32_t h = h1 == kOmittedSize ? Field<int32_t>(picture, kPictureHeightAt) : h1;
        bool hadClip = dc->hasClip;
        RECT previous = dc->clip;
        RECT clip{x, y, ClampDevice(int64_t(x) + w), ClampDevice(int64_t(y) + h)};
        DrawingContextSetClip(dc, &clip);
        RuntimeGraphicsDrawObjectXY(g, objects, x, y);
        DrawingContextSetClip(dc, hadClip ? &previous : nullptr);
        return;
    }
    int64_t pw = map->width, ph = map->height;
    int64_t W1 = w1 == kOmittedSize ? pw : w1, H1 = h1 == kOmittedSize ? ph : h1;
    int64_t W2 = w2 == kOmittedSize ? W1 : w2, H2 = h2 == kOmittedSize ? H1 : h2;
    int64_t X = x, Y = y, SX = sx, SY = sy;
    if (W1 < 1 || W2 < 1) return;
    if (SX < 0) {
        int64_t l = Div(-SX * W1, W2);
        X += l; W1 -= l; W2 += SX; SX = 0;
    }
    if (SX + W2 > pw) {
        W1 = Div(W1 * (pw - SX), W2);
        W2 = pw - SX;
    }
    if (SY < 0) {
        int64_t l = Div(-SY * H1, H2);
        Y += l; H1 -= l; H2 += SY; SY = 0;
    }
    if (SY + H2 > ph) {
        H1 = Div(H1 * (ph - SY), H2);
        H2 = ph - SY;
    }
    if (W1 < 1 || H1 < 1 || W2 < 1 || H2 < 1) return;
    PixelMap* mask = Field<int32_t>(picture, kPictureTransparentAt) ? TransparencyMask(*map) : nullptr;
    DrawingContextCopyPixels(dc, *map, mask, int32_t(SX), int32_t(SY), int32_t(W2), int32_t(H2), ClampDevice(X),
                             ClampDevice(Y), ClampDevice(W1), ClampDevice(H1));
    PixelMapFree(mask);
}

// ---- Entry points ---------------------------------------------------------------------------

extern "C" {

void __cdecl PictureConstructor(ObjectHeader* p, int32_t width, int32_t height, int32_t depth) {
    if (!p) return;
    ClearPicture(p);
    if (depth <= 0) {
        Field<int32_t>(p, kPictureWidthAt) = width;
        Field<int32_t>(p, kPictureHeightAt) = height;
        if (ObjectDefinition* group = FindDefinitionText("Group2D"))
            Field<ObjectHeader*>(p, kPictureObjectsAt) = CreateInstance(group);
        return;
    }
    Field<PixelMap*>(p, kPictureMapAt) = PixelMapCreate(width, height, depth);
}

ObjectHeader* __cdecl newPicture(int32_t width, int32_t height, int32_t depth) {
    ObjectHeader* p = CreateInstance(PictureDefinition());
    PictureConstructor(p, width, height, depth);
    return p;
}

ObjectHeader* __cdecl pictureGraphicsGetter(ObjectHeader* p, int32_t) {
    if (!p || !Field<PixelMap*>(p, kPictureMapAt)) return nullptr;
    ObjectHeader*& cached = Field<ObjectHeader*>(p, kPictureGraphicsAt);
    if (!cached) cached = NewGraphicsObject(DrawingContextCreate(Field<PixelMap*>(p, kPictureMapAt)));
    if (cached) RuntimeLockObject(cached);
    return cached;
}

int32_t __cdecl pictureWidthGetter(ObjectHeader* p, int32_t) {
    if (!p) return 0;
    PixelMap* map = Field<PixelMap*>(p, kPictureMapAt);
    return map ? map->width : Field<int32_t>(p, kPictureWidthAt);
}
int32_t __cdecl pictureHeightGetter(ObjectHeader* p, int32_t) {
    if (!p) return 0;
    PixelMap* map = Field<PixelMap*>(p, kPictureMapAt);
    return map ? map->height : Field<int32_t>(p, kPictureHeightAt);
}
ObjectHeader* __cdecl pictureObjectsGetter(ObjectHeader* p, int32_t) {
    ObjectHeader* o = p ? Field<ObjectHeader*>(p, kPictureObjectsAt) : nullptr;
    if (o) RuntimeLockObject(o);
    return o;
}
int32_t __cdecl pictureDepthGetter(ObjectHeader* p, int32_t) {
    PixelMap* map = p ? Field<PixelMap*>(p, kPictureMapAt) : nullptr;
    return map ? map->depth : 0;
}
double __cdecl pictureResolutionGetter(ObjectHeader*, int32_t) { return 72.0; }
int32_t __cdecl pictureImageCountGetter(ObjectHeader* p, int32_t) { return p ? 1 : 0; }
ObjectHeader* __cdecl pictureMaskGetter(ObjectHeader*, int32_t) { return nullptr; }
ObjectHeader* __cdecl pictureRGBSurfaceGetter(ObjectHeader*, int32_t) { return nullptr; }
ObjectHeader* __cdecl pictureIndexedImage(ObjectHeader* p, int32_t index) {
    if (!p || index != 0) return nullptr;
    RuntimeLockObject(p);
    return p;
}

}  // extern "C"

// ---- The class ---------------------------------------------------------------------------------

namespace {

const ClassTypeRef kGraphicsType = ORVANE_CLASS_TYPE("Graphics");
const ClassTypeRef kGroup2DType = ORVANE_CLASS_TYPE("Group2D");
const ClassTypeRef kPictureType = ORVANE_CLASS_TYPE("Picture");
const ClassTypeRef kRGBSurfaceType = ORVANE_CLASS_TYPE("RGBSurface");

PropertyRow kPictureProperties[] = {
    {0, "Width", &kIntegerType, Fn(pictureWidthGetter), "pictureWidthGetter", nullptr, nullptr, 0},
    {0, "Height", &kIntegerType, Fn(pictureHeightGetter), "pictureHeightGetter", nullptr, nullptr, 0},
    {0, "Graphics", &kGraphicsType.header, Fn(pictureGraphicsGetter), "pictureGraphicsGetter", nullptr, nullptr, 0},
    {0, "Objects", &kGroup2DType.header, Fn(pictureObjectsGetter), "pictureObjectsGetter", nullptr, nullptr, 0},
    {0, "Transparent", &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", kPictureTransparentAt},
    {0, "RGBSurface", &kRGBSurfaceType.header, Fn(pictureRGBSurfaceGetter), "pictureRGBSurfaceGetter", nullptr, nullptr, 0},
    {0, "ImageCount", &kIntegerType, Fn(pictureImageCountGetter), "pictureImageCountGetter", nullptr, nullptr, 0},
    {0, "Mask", &kPictureType.header, Fn(pictureMaskGetter), "pictureMaskGetter", nullptr, nullptr, 0},
    {0, "Depth", &kIntegerType, Fn(pictureDepthGetter), "pictureDepthGetter", nullptr, nullptr, 0},
    {0, "HorizontalResolution", &kDoubleType, Fn(pictureResolutionGetter), "pictureResolutionGetter", nullptr, nullptr, 0},
    {0, "VerticalResolution", &kDoubleType, Fn(pictureResolutionGetter), "pictureResolutionGetter", nullptr, nullptr, 1},
};

const ParameterRecord kConstructorParams[] = {
    {"width", &kIntegerType, 0, {0, 0, 0}, {0, 0, 0, 0}},
    {"height", &kIntegerType, 0, {0, 0, 0}, {0, 0, 0, 0}},
    {"depth", &kIntegerType, 0, {0, 0, 0}, {0, 0, 0, 0}},
};
const ParameterRecord kIndexParams[] = {{"v", &kIntegerType, 0, {0, 0, 0}, {0, 0, 0, 0}}};

MethodRow kPictureMethods[] = {
    {"Picture", nullptr, kConstructorParams, 3, Fn(PictureConstructor), "PictureConstructor", {}, nullptr, nullptr, {}, 0},
    {"IndexedImage", &kPictureType.header, kIndexParams, 1, Fn(pictureIndexedImage), "pictureIndexedImage", {}, nullptr, nullptr, {}, 0},
};

}  // namespace

ObjectDefinition* PictureDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "Picture", nullptr, kPictureInstanceSize, nullptr, FinalizePicture, ORVANE_ROWS(kPictureProperties),
        ORVANE_ROWS(kPictureMethods), ORVANE_NO_ROWS});
    return d;
}
