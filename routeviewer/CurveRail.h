// CurveRail: one stretch of track between two statements, an ArcShape that
// knows its start point, start heading, length and radius and computes its
// centre, sweep, end point and end heading.
#pragma once

#include <stddef.h>

#include "orvane/exports.h"
#include "orvane/shapes.h"
#include "routeviewer/RouteHandles.h"

namespace route {

#pragma pack(push, 4)
// The ArcShape fields the rail reads back, then the rail's own, in
// declaration order (metres and radians).
struct CurveRailObject {
    ObjectHeader header;
    uint32_t tag;
    uint32_t fillColor;
    uint32_t borderColor;
    uint32_t reserved;
    double x, y;
    double rotation;
    double scale;
    double fillOpacity;
    double borderOpacity;
    double borderWidth;
    double width, height;
    int32_t segments;
    uint32_t unused;
    double startAngle;
    double arcAngle;
    double startX, startY;
    double length;
    double endX, endY;
    double radius;
    double startDirection;
    double endDirection;
};
#pragma pack(pop)

constexpr int32_t kCurveRailSize = 204;
static_assert(offsetof(CurveRailObject, x) == orvane::shape::kXAt, "X");
static_assert(offsetof(CurveRailObject, y) == orvane::shape::kYAt, "Y");
static_assert(offsetof(CurveRailObject, scale) == orvane::shape::kScaleAt, "Scale");
static_assert(offsetof(CurveRailObject, borderWidth) == orvane::shape::kBorderWidthAt, "BorderWidth");
static_assert(offsetof(CurveRailObject, width) == orvane::shape::kWidthAt, "Width");
static_assert(offsetof(CurveRailObject, height) == orvane::shape::kHeightAt, "Height");
static_assert(offsetof(CurveRailObject, startAngle) == orvane::shape::kStartAngleAt, "StartAngle");
static_assert(offsetof(CurveRailObject, arcAngle) == orvane::shape::kArcAngleAt, "ArcAngle");
static_assert(offsetof(CurveRailObject, startX) == orvane::shape::kArcShapeSize, "own fields behind the arc");
static_assert(offsetof(CurveRailObject, endDirection) == 196, "EndDirection");
static_assert(sizeof(CurveRailObject) == kCurveRailSize, "CurveRail size");

inline CurveRailObject* AsRail(ObjectHeader* o) { return reinterpret_cast<CurveRailObject*>(o); }

// The class record, built on first use.
ClassRecord* CurveRailClass();

// A new rail, its constructor run (Radius 9999999); one reference.
Object NewCurveRail();

extern "C" {
// The methods, in slot order behind the ArcShape's.
ObjectHeader* __cdecl CurveRailGetRail(ObjectHeader* self);  // CalculateVertex, then self (one reference)
void __cdecl CurveRailCalculateVertex(ObjectHeader* self);
void __cdecl CurveRailConstructor(ObjectHeader* self);
ObjectHeader* __cdecl CurveRailCopy(ObjectHeader* self);     // a new rail, one reference
}

}  // namespace route
