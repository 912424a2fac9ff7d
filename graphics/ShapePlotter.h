// The shape renderer: draws an Object2D tree with a drawing context's primitives.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

struct DrawingContext;

// Draws the object moved by (deltaX, deltaY) and leaves the context's colour,
// pen, origin and font as they were.
void DrawShapeTree(DrawingContext* dc, ObjectHeader* object, int32_t deltaX, int32_t deltaY);

extern "C" void __cdecl RuntimeGraphicsDrawObjectXY(ObjectHeader* graphics, ObjectHeader* object, int32_t deltaX,
                                                    int32_t deltaY);
