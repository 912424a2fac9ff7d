#include "routeviewer/MapShapes.h"

#include "orvane/literal.h"

namespace route {

namespace {
ORVANE_ASCII_LITERAL(kArcShapeName, "ArcShape");
ORVANE_ASCII_LITERAL(kGroup2DName, "Group2D");
ORVANE_ASCII_LITERAL(kFigureShapeName, "FigureShape");
ORVANE_ASCII_LITERAL(kStringShapeName, "StringShape");

ClassRecord* gArcShape;
ClassRecord* gGroup2D;
ClassRecord* gFigureShape;
ClassRecord* gStringShape;

ClassRecord* Found(ClassRecord*& cache, StringValue* name) {
    if (!cache) cache = RuntimeLookupClass(name);
    return cache;
}
}  // namespace

ClassRecord* ArcShapeClass() { return Found(gArcShape, ORVANE_STR(kArcShapeName)); }
ClassRecord* Group2DClass() { return Found(gGroup2D, ORVANE_STR(kGroup2DName)); }
ClassRecord* FigureShapeClass() { return Found(gFigureShape, ORVANE_STR(kFigureShapeName)); }
ClassRecord* StringShapeClass() { return Found(gStringShape, ORVANE_STR(kStringShapeName)); }

Object NewShape(ClassRecord* cls) { return Object::Adopt(cls ? RuntimeNewObject(cls) : nullptr); }

Object NewGroup() { return NewShape(Group2DClass()); }

void AppendToGroup(ObjectHeader* group, ObjectHeader* shape) { Group2DAppend(group, shape); }

void GrowGeometrically(ObjectHeader* group) {
    // Step 0 grows the member list by its current size; it needs a first
    // block of members, which the group's own step gives.
    if (group && Group2DCount(group, 0) > 0 && intGetter(group, orvane::shape::kGroupGrowthStepAt) != 0)
        intSetter(group, orvane::shape::kGroupGrowthStepAt, 0);
}

}  // namespace route
