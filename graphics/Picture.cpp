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

const RGBQUAD kSixteen[16] = {
    {255, 255, 255, 0}, {5, 243, 252, 0}, {2, 100, 255, 0}, {6, 8, 221, 0}, {132, 8, 242, 0}, {165, 0, 70, 0},
    {212, 0, 0, 0}, {234, 171, 2, 0}, {20, 183, 31, 0}, {17, 100, 0, 0}, {5, 44, 86, 0}, {58, 113, 144, 0},
    {192, 192, 192, 0}, {128, 128, 128, 0}, {64, 64, 64, 0}, {0, 0, 0, 0},
};

struct DibHeader {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

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

// ---- Pixel maps -------------------------------------------------------------------------

PixelMap* PixelMapCreate(int32_t width, int32_t height, int32_t depth) {
    void* block = PoolAlloc(sizeof(PixelMap), false);
    auto* map = new (block) PixelMap{};
    map->width = width > 0 ? width : 0;
    map->height = height > 0 ? height : 0;
    map->depth = depth;
    int32_t bpp = depth == 1 ? 1 : (depth == 2 || depth == 4) ? 4 : depth == 8 ? 8 : depth == 16 ? 16 : depth == 24 ? 24 : 32;
    map->bitsPerPixel = bpp;
    int64_t stride = ((int64_t(map->width) * bpp + 31) / 32) * 4;
    if (map->width == 0 || map->height == 0 || stride * map->height > (int64_t(1) << 29)) return map;
    map->stride = int32_t(stride);
    DibHeader info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = map->width;
    info.header.biHeight = -map->height;  // top-down
    info.header.biPlanes = 1;
    info.header.biBitCount = WORD(bpp);
    info.header.biCompression = BI_RGB;
    int32_t colours = 0;
    if (bpp == 1) {
        info.colours[0] = RGBQUAD{255, 255, 255, 0};
        info.colours[1] = RGBQUAD{0, 0, 0, 0};
        colours = 2;
    } else if (bpp == 4) {
        std::memcpy(info.colours, kSixteen, sizeof kSixteen);
        colours = 16;
    } else if (bpp == 8) {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    info.colours[r * 36 + g * 6 + b] = RGBQUAD{BYTE(b * 51), BYTE(g * 51), BYTE(r * 51), 0};
        colours = 256;  // the last 40 stay black
    }
    info.header.biClrUsed = DWORD(colours);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return map;
    }
    map->bitmap = bitmap;
    map->bits = bits;
    if (bpp == 32) map->pixels = static_cast<uint32_t*>(bits);
    // White: index 0 of the 1- and 4-bit palettes, index 215 of the cube, all ones in direct colour.
    if (bpp == 1 || bpp == 4) std::memset(bits, 0, size_t(stride * map->height));
    else if (bpp == 8) std::memset(bits, 215, size_t(stride * map->height));
    else std::memset(bits, 0xFF, size_t(stride * map->height));
    if (bpp == 32)
        for (int64_t i = 0, n = int64_t(map->width) * map->height; i < n; ++i) map->pixels[i] = 0x00FFFFFF;
    return map;
}

void PixelMapFree(PixelMap* map) {
    if (!map) return;
    if (map->bitmap) DeleteObject(map->bitmap);
    PoolFree(map, sizeof(PixelMap));
}

// ---- Copies -----------------------------------------------------------------------------

void DrawingContextCopyPixels(DrawingContext* dc, const PixelMap& src, const PixelMap* mask, int32_t sx, int32_t sy,
                              int32_t sw, int32_t sh, int32_t dx, int32_t dy, int32_t dw, int32_t dh) {
    HDC hdc = DrawingContextMakeCurrent(dc);
    if (!hdc || !src.bitmap || dw < 1 || dh < 1 || sw < 1 || sh < 1) return;
    dx = DeviceX(dc, dx);
    dy = DeviceY(dc, dy);
    bool same = dc->map == &src;
    MemoryDC source;
    HDC from = same ? hdc : source.Get();
    SelectedObject selected(same ? nullptr : from, src.bitmap);
    SetStretchBltMode(hdc, COLORONCOLOR);
    if (!mask || !mask->bitmap) {
        StretchBlt(hdc, dx, dy, dw, dh, from, sx, sy, sw, sh, SRCCOPY);
        dc->drawnOn = true;
        return;
    }
    // Through the mask: white is transparent, black opaque, grey in between.
    PixelMap* image = PixelMapCreate(dw, dh, 32);
    PixelMap* alpha = PixelMapCreate(dw, dh, 32);
    PixelMap* under = PixelMapCreate(dw, dh, 32);
    if (image->pixels && alpha->pixels && under->pixels) {
        MemoryDC work;
        {
            SelectedObject s(work.Get(), image->bitmap);
            SetStretchBltMode(work.Get(), COLORONCOLOR);
            StretchBlt(work.Get(), 0, 0, dw, dh, from, sx, sy, sw, sh, SRCCOPY);
        }
        {
            MemoryDC maskDC;
            SelectedObject m(maskDC.Get(), mask->bitmap);
            SelectedObject s(work.Get(), alpha->bitmap);
            SetStretchBltMode(work.Get(), COLORONCOLOR);
            StretchBlt(work.Get(), 0, 0, dw, dh, maskDC.Get(), sx, sy, sw, sh, SRCCOPY);
        }
        {
            SelectedObject s(work.Get(), under->bitmap);
            BitBlt(work.Get(), 0, 0, dw, dh, hdc, dx, dy, SRCCOPY);
        }
        GdiFlush();
        for (int64_t i = 0, n = int64_t(dw) * dh; i < n; ++i) {
            uint32_t m = alpha->pixels[i];
            uint32_t a = 255 - (((m >> 16 & 0xFF) + (m >> 8 & 0xFF) + (m & 0xFF)) / 3);
            uint32_t s = image->pixels[i], d = under->pixels[i], out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                uint32_t c = ((s >> shift & 0xFF) * a + (d >> shift & 0xFF) * (255 - a) + 127) / 255;
                out |= c << shift;
            }
            under->pixels[i] = out;
        }
        SelectedObject s(work.Get(), under->bitmap);
        BitBlt(hdc, dx, dy, dw, dh, work.Get(), 0, 0, SRCCOPY);
        dc->drawnOn = true;
    }
    PixelMapFree(image);
    PixelMapFree(alpha);
    PixelMapFree(under);
}

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
