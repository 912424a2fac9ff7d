// The Graphics class: a drawing surface with a colour, pen and font, over a
// drawing context. The entry points are declared in orvane/exports.h.
// Unit group "drawing classes" (Graphics, Picture, Shapes2D, ShapePlotter):
// its units use each other on purpose, since a Graphics draws pictures and
// shapes, a picture has a Graphics and may hold shapes, and a pixmap shape
// shows a picture. Below them: ShapeOutlines, DrawingContext, PixelMap, FontCache.
#pragma once

#include <cstdint>

#include "graphics/DrawingContext.h"
#include "orvane/abi.h"

struct ObjectDefinition;

// Fields after the ObjectHeader.
constexpr int32_t kGraphicsContextAt = 28;  // DrawingContext*, owned
constexpr int32_t kGraphicsCopiesAt = 32;
constexpr int32_t kGraphicsFirstPageAt = 36;
constexpr int32_t kGraphicsLastPageAt = 40;
constexpr int32_t kGraphicsInstanceSize = 44;

ObjectDefinition* GraphicsDefinition();
// A new Graphics object owning dc (one reference), or nil.
ObjectHeader* NewGraphicsObject(DrawingContext* dc);
// The context of a Graphics object; nil for nil or a closed object.
DrawingContext* GraphicsDrawingContext(ObjectHeader* graphics);

// The elements of an integer array: values[0] is element 0.
struct IntegerArrayView {
    const int32_t* values;
    int32_t count;
};
// How the polygon methods read their array argument; installed by the unit
// that owns arrays. Without one, polygons draw nothing.
using IntegerArrayReader = bool (*)(ObjectHeader* array, IntegerArrayView* out);
void SetIntegerArrayReader(IntegerArrayReader reader);

extern "C" {
int32_t __cdecl graphicsForeColorGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsForeColorSetter(ObjectHeader* g, int32_t parameter, int32_t color);
int32_t __cdecl graphicsWidthGetter(ObjectHeader* g, int32_t parameter);
int32_t __cdecl graphicsHeightGetter(ObjectHeader* g, int32_t parameter);
StringValue* __cdecl graphicsTextFontGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsTextFontSetter(ObjectHeader* g, int32_t parameter, StringValue* name);
int32_t __cdecl graphicsTextSizeGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsTextSizeSetter(ObjectHeader* g, int32_t parameter, int32_t size);
int32_t __cdecl graphicsBoldGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsBoldSetter(ObjectHeader* g, int32_t parameter, int32_t value);
int32_t __cdecl graphicsItalicGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsItalicSetter(ObjectHeader* g, int32_t parameter, int32_t value);
int32_t __cdecl graphicsUnderlineGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsUnderlineSetter(ObjectHeader* g, int32_t parameter, int32_t value);
int32_t __cdecl graphicsPenWidthGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsPenWidthSetter(ObjectHeader* g, int32_t parameter, int32_t value);
int32_t __cdecl graphicsPenHeightGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsPenHeightSetter(ObjectHeader* g, int32_t parameter, int32_t value);
int32_t __cdecl graphicsUseOldRendererGetter(ObjectHeader* g, int32_t parameter);
void __cdecl graphicsUseOldRendererSetter(ObjectHeader* g, int32_t parameter, int32_t value);
void __cdecl graphicsDrawStopIcon(ObjectHeader* g, int32_t x, int32_t y);
void __cdecl graphicsDrawNoteIcon(ObjectHeader* g, int32_t x, int32_t y);
void __cdecl graphicsDrawCautionIcon(ObjectHeader* g, int32_t x, int32_t y);
int32_t __cdecl graphicsPixelGetter(ObjectHeader* g, int32_t x, int32_t y);
void __cdecl graphicsPixelSetter(ObjectHeader* g, int32_t x, int32_t y, int32_t color);
void __cdecl graphicsDrawPolygon(ObjectHeader* g, ObjectHeader* points);
void __cdecl graphicsFillPolygon(ObjectHeader* g, ObjectHeader* points);
void __cdecl graphicsNextPage(ObjectHeader* g);
}

// The polygon of the array's elements 1..count (an odd count is rounded up).
void GraphicsPolygon(DrawingContext* dc, const IntegerArrayView& points, bool fill);
