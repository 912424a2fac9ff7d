// Outline geometry of the shapes: point lists in Graphics coordinates, the
// offset outlines of thick borders, and the conversion to device points.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "graphics/Shapes2D.h"

struct ShapePoint {
    double x, y;
};
using PointList = std::vector<ShapePoint>;

// Rectangle-based outlines, transformed by the shape's rotation, scale and position.
void RectOutline(const RectShapeObject* r, PointList& out);
void RoundRectOutline(const RoundRectShapeObject* r, PointList& out);
void OvalOutline(const OvalShapeObject* o, PointList& out);
// Arc points, then the centre.
void ArcOutline(const ArcShapeObject* a, PointList& out);
// A box in Graphics coordinates that holds every arc point of ArcOutline
// (the centre left out), with room for the rounding of its arithmetic.
// False when that cannot be told cheaply (values not finite, or too far out
// for a small margin to cover them).
struct ShapeBox {
    double minX, minY, maxX, maxY;
};
bool ArcBounds(const ArcShapeObject* a, ShapeBox* out);
// A curve drawn alone: its points, then the chord midpoint.
void CurveOutline(const CurveShapeObject* c, PointList& out);
// The closed path of a figure's curve members.
void FigurePath(ObjectHeader* figure, PointList& out);

// Automatic and given segment counts, clamped without overflow.
int32_t ClampedCount(double value, int32_t low, int32_t high);

enum class OutlineKind { kClosed, kArc, kCurve };
// The outline at distance d (positive: to the right of the direction of travel).
void OffsetOutline(const PointList& points, OutlineKind kind, double d, PointList& out);
// The polygon of a border w wide around the outline.
void BorderBand(const PointList& points, OutlineKind kind, double w, PointList& out);

bool AllFinite(const PointList& points);

// Device points: trunc(x + round) + left (trunc(left + x + round) when addFirst),
// with far points kept inside a range GDI handles. A polygon is clipped to
// that range first, so what lies on the surface is unchanged.
void DevicePolygon(const PointList& points, double round, int32_t left, int32_t top, std::vector<POINT>& out);

// Far coordinates are clipped to +-kDeviceLimit.
constexpr double kDeviceLimit = 1 << 24;

// Bezier point of a quadratic (order 1) or cubic (order 2) curve at t.
void CurvePointAt(const CurveShapeObject* curve, double t, double* x, double* y);
