// The runtime's shape classes as the route code uses them: found by name
// once, instances made and their properties set through the runtime's
// accessors by the field offsets of orvane/shapes.h.
#pragma once

#include "orvane/exports.h"
#include "orvane/shapes.h"
#include "routeviewer/RouteHandles.h"

namespace route {

// The subsystem's value of pi (slightly below the double nearest to pi).
constexpr double kPi = 3.14159265358979;

constexpr int32_t Rgb(int32_t r, int32_t g, int32_t b) { return r * 65536 + g * 256 + b; }
constexpr int32_t kTrackColor = Rgb(255, 192, 0);

ClassRecord* ArcShapeClass();
ClassRecord* Group2DClass();
ClassRecord* FigureShapeClass();
ClassRecord* StringShapeClass();

// A new instance (initializers run), one reference; nil when the class is missing.
Object NewShape(ClassRecord* cls);

inline void SetDouble(ObjectHeader* shape, int32_t offset, double value) {
    Object2DDoubleSetter(shape, offset, value);
}
inline void SetPercent(ObjectHeader* shape, int32_t offset, double value) {
    doublePercentSetter(shape, offset, value);
}
inline void SetInt(ObjectHeader* shape, int32_t offset, int32_t value) { intSetter(shape, offset, value); }
inline double GetDouble(ObjectHeader* shape, int32_t offset) { return doubleGetter(shape, offset); }

// A new, empty Group2D.
Object NewGroup();
void AppendToGroup(ObjectHeader* group, ObjectHeader* shape);
// From now on the group's member list doubles when full instead of growing
// by its fixed step (which copies the list once per step: quadratic); takes
// effect once the group has members.
void GrowGeometrically(ObjectHeader* group);

}  // namespace route
