// Pixel maps: the off-screen surfaces that pictures and the shape renderer
// draw on.
#pragma once

#include <windows.h>

#include <cstdint>

// A top-down DIB section, filled with white when made. The first four fields
// are what the renderer uses on 32-bit maps.
struct PixelMap {
    HBITMAP bitmap;    // nil when the DIB section could not be made: draws nothing
    uint32_t* pixels;  // 32-bit maps: width * height, 0x00RRGGBB, row 0 at the top; else nil
    int32_t width, height;
    void* bits;             // every depth
    int32_t bitsPerPixel;   // 1, 4, 8, 16, 24 or 32
    int32_t stride;         // bytes per row, a multiple of 4
    int32_t depth;          // as asked
};
// depth 1, 2, 4, 8, 16, 24 or 32 (others take 32). Call GdiFlush before
// reading pixels after drawing.
PixelMap* PixelMapCreate(int32_t width, int32_t height, int32_t depth);
void PixelMapFree(PixelMap* map);
