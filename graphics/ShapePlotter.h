// The shape renderer: draws an Object2D tree with a drawing context's primitives.
// Unit group "drawing classes" (Graphics, Picture, Shapes2D, ShapePlotter):
// its units use each other on purpose, since a Graphics draws pictures and
// shapes, a picture has a Graphics and may hold shapes, and a pixmap shape
// shows a picture. Below them: ShapeOutlines, DrawingContext, PixelMap, FontCache.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

struct DrawingContext;

// Draws the object moved by (deltaX, deltaY) and leaves the context's colour,
// pen, origin and font as they were.
void DrawShapeTree(DrawingContext* dc, ObjectHeader* object, int32_t deltaX, int32_t deltaY);
