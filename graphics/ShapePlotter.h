// The shape renderer: draws an Object2D tree with a drawing context's primitives.
// Unit group "drawing classes" (Graphics, Picture, Shapes2D, ShapePlotter):
// its units use each other on purpose, since a Graphics draws pictures and
// shapes, a picture has a Graphics and may hold shapes, and a pixmap shape
// shows a picture. Below them: ShapeOutlines, DrawingContext, PixelMap, FontCache.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

struct DrawingContext;

// How the renderer reaches GDI. kPerSegment is the plain way, kept as the
// reference that tests and the benchmark compare against: every arc is
// outlined in full and every segment of a thin border gets a pen of its own.
// kBatched draws the same pixels: arcs that would paint nothing are skipped
// before their points are computed, and thin borders are gathered into one
// polyline call per colour.
enum class ShapeDrawing { kBatched, kPerSegment };

// Draws the object moved by (deltaX, deltaY) and leaves the context's colour,
// pen, origin and font as they were.
void DrawShapeTree(DrawingContext* dc, ObjectHeader* object, int32_t deltaX, int32_t deltaY,
                   ShapeDrawing how = ShapeDrawing::kBatched);
