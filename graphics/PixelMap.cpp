#include "graphics/PixelMap.h"

#include <cstring>
#include <new>

#include "strings/utility.h"

namespace {

const RGBQUAD kSixteen[16] = {
    {255, 255, 255, 0}, {5, 243, 252, 0}, {2, 100, 255, 0}, {6, 8, 221, 0}, {132, 8, 242, 0}, {165, 0, 70, 0},
    {212, 0, 0, 0}, {234, 171, 2, 0}, {20, 183, 31, 0}, {17, 100, 0, 0}, {5, 44, 86, 0}, {58, 113, 144, 0},
    {192, 192, 192, 0}, {128, 128, 128, 0}, {64, 64, 64, 0}, {0, 0, 0, 0},
};

struct DibHeader {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

}  // namespace

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
