// The accessors and methods the shape classes' rows name. Getters take
// (object, parameter), setters (object, parameter, value), methods
// (object, arguments...); all use the C calling convention.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

extern "C" {
void __cdecl Object2DDoubleSetter(ObjectHeader* shape, int32_t offset, double value);
double __cdecl doublePercentGetter(ObjectHeader* shape, int32_t offset);
void __cdecl doublePercentSetter(ObjectHeader* shape, int32_t offset, double value);
void __cdecl ArcStartAngleSetter(ObjectHeader* arc, int32_t parameter, double value);
void __cdecl CurveOrderSetter(ObjectHeader* curve, int32_t parameter, int32_t value);
double __cdecl CurveGetControlX(ObjectHeader* curve, int32_t index);
double __cdecl CurveGetControlY(ObjectHeader* curve, int32_t index);
void __cdecl CurveSetControlX(ObjectHeader* curve, int32_t index, double value);
void __cdecl CurveSetControlY(ObjectHeader* curve, int32_t index, double value);

int32_t __cdecl Group2DCount(ObjectHeader* group, int32_t parameter);
void __cdecl Group2DAppend(ObjectHeader* group, ObjectHeader* object);
void __cdecl Group2DInsert(ObjectHeader* group, int32_t index, ObjectHeader* object);
ObjectHeader* __cdecl Group2DGetItem(ObjectHeader* group, int32_t index);
void __cdecl Group2DSetItem(ObjectHeader* group, int32_t index, ObjectHeader* object);
void __cdecl Group2DRemoveByIndex(ObjectHeader* group, int32_t index);
void __cdecl Group2DRemoveByObject(ObjectHeader* group, ObjectHeader* object);

void __cdecl FigureShapeAddLine(ObjectHeader* figure, float x1, float y1, float x2, float y2);
void __cdecl FigureShapeAddQuad(ObjectHeader* figure, float x1, float y1, float x2, float y2, float cx1,
                                float cy1);
void __cdecl FigureShapeAddCubic(ObjectHeader* figure, float x1, float y1, float x2, float y2, float cx1,
                                 float cy1, float cx2, float cy2);

// Boolean result: 1 or 0.
int32_t __cdecl RectShapeContains(ObjectHeader* shape, double x, double y);

// Constructors PixmapShape () and PixmapShape (image As Picture).
void __cdecl PixmapShapeConstructor(ObjectHeader* shape);
void __cdecl PixmapShapeConstructorImage(ObjectHeader* shape, ObjectHeader* image);
}
