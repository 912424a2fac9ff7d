// Three-shear rotation of 32-bit pixel maps (turned text and images).
#pragma once

#include <cstdint>

// Width x height pixels 0x00RRGGBB, row 0 at the top.
struct PixelBuffer {
    uint32_t* pixels;
    int32_t width, height;
};

// How a shear samples beyond the edge: white (text and masks) or a copy of
// the edge pixel (image colours).
enum class RotateEdge { kWhite, kExtend };

// Rotates src into dst (same size, else nothing happens) by angle b, which
// turns the picture by -b in the sense of the shape transform. src is used as
// scratch space and is changed.
void PixMapRotate(PixelBuffer src, PixelBuffer dst, double b, RotateEdge edge);

// One shear from src into dst (same size): x-shear moves row r right by
// s x (r - height/2), y-shear moves column k down by s x (k - width/2).
void PixMapShearX(PixelBuffer src, PixelBuffer dst, double s, RotateEdge edge);
void PixMapShearY(PixelBuffer src, PixelBuffer dst, double s, RotateEdge edge);
