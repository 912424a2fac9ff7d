// The Picture class: an off-screen pixel map (or a vector picture holding a
// Group2D), and the copy of pictures onto a Graphics.
// Unit group "drawing classes" (Graphics, Picture, Shapes2D, ShapePlotter):
// its units use each other on purpose, since a Graphics draws pictures and
// shapes, a picture has a Graphics and may hold shapes, and a pixmap shape
// shows a picture. Below them: ShapeOutlines, DrawingContext, PixelMap, FontCache.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

struct ObjectDefinition;

// Fields after the ObjectHeader.
constexpr int32_t kPictureTransparentAt = 28;  // i32
constexpr int32_t kPictureMapAt = 32;          // PixelMap*, nil for a vector picture
constexpr int32_t kPictureGraphicsAt = 36;     // cached Graphics, one reference
constexpr int32_t kPictureReservedAt = 40;     // object reference
constexpr int32_t kPictureWidthAt = 44;        // of a vector picture
constexpr int32_t kPictureHeightAt = 48;
constexpr int32_t kPictureObjectsAt = 52;      // Group2D of a vector picture, one reference
constexpr int32_t kPictureInstanceSize = 56;

// Stands for a size the caller left out.
constexpr int32_t kOmittedSize = -10000;

ObjectDefinition* PictureDefinition();

extern "C" {
void __cdecl PictureConstructor(ObjectHeader* picture, int32_t width, int32_t height, int32_t depth);
ObjectHeader* __cdecl pictureGraphicsGetter(ObjectHeader* picture, int32_t parameter);
int32_t __cdecl pictureWidthGetter(ObjectHeader* picture, int32_t parameter);
int32_t __cdecl pictureHeightGetter(ObjectHeader* picture, int32_t parameter);
ObjectHeader* __cdecl pictureObjectsGetter(ObjectHeader* picture, int32_t parameter);
int32_t __cdecl pictureDepthGetter(ObjectHeader* picture, int32_t parameter);
double __cdecl pictureResolutionGetter(ObjectHeader* picture, int32_t parameter);
int32_t __cdecl pictureImageCountGetter(ObjectHeader* picture, int32_t parameter);
ObjectHeader* __cdecl pictureMaskGetter(ObjectHeader* picture, int32_t parameter);
ObjectHeader* __cdecl pictureRGBSurfaceGetter(ObjectHeader* picture, int32_t parameter);
ObjectHeader* __cdecl pictureIndexedImage(ObjectHeader* picture, int32_t index);
}
