// The marks the walk adds along the track: lines and labels for speed
// limits, curves, gradients and stations, and the cross of a lineside
// object. Positions inside the group are metres; sizes meant in pixels are
// written as pixels / scale.
#pragma once

#include "routeviewer/LabelWidths.h"
#include "routeviewer/RouteHandles.h"

namespace route {

// SuperFigureShape: a FigureShape made to be drawn as a one-pixel line.
ClassRecord* SuperFigureShapeClass();
extern "C" void __cdecl SuperFigureShapeConstructor(ObjectHeader* self);

struct MarkTarget {
    ObjectHeader* group;    // receives the marks
    ObjectHeader* measure;  // Graphics at text size 10 for label widths
    double scale;           // pixels per metre
    LabelWidths* widths;    // remembered widths, or nil to measure every label
};

// E and the heading are the rail's end values.
void AddLimitMark(const MarkTarget& t, ObjectHeader* rail, StringValue* text);
void AddCurveMark(const MarkTarget& t, ObjectHeader* rail, StringValue* text);
void AddGradientMark(const MarkTarget& t, ObjectHeader* rail, StringValue* text, double height);
void AddStationMark(const MarkTarget& t, ObjectHeader* rail, StringValue* name, int32_t distance);
// Closes the segment (the caller has set the rail's Length) and adds the
// red cross at the object's lateral offset.
void DrawFreeObj(const MarkTarget& t, StringValue* line, ObjectHeader* rail);

// Appends a computed copy of the rail (GetRail, then Copy) to the group.
void AppendRailCopy(ObjectHeader* group, ObjectHeader* rail);
// StartDirection, StartX, StartY = the end values.
void ChainRail(ObjectHeader* rail);

}  // namespace route
