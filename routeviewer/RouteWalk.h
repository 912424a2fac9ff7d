// The walk of the normalised route: lines taken in order, statements drive
// the running segment, the height and the gradient; every finished segment
// and every mark goes into a new Group2D built in metres and scaled to
// pixels at the end.
#pragma once

#include "routeviewer/RouteHandles.h"

namespace route {

// What the walk reads: the viewer hands on its controls, the map tool its
// options.
struct WalkInputs {
    bool curve = true, pitch = true, limit = true, sta = true, freeObj = false;  // the five switches
    int32_t scaleValue = -100;                  // the scale slider: 10^(value/100) pixels per metre
    StringValue* startDistanceText = nullptr;   // metres; nil counts as 0
    StringValue* startDirectionText = nullptr;  // degrees; nil counts as 0
    int32_t startX = 50, startY = 0;            // start point in pixels before scrolling
    ObjectHeader* measure = nullptr;            // Graphics at text size 10: label widths
};

// 10 to the power (value / 100).
double ScaleOfSlider(int32_t value);

// The group of the route's shapes, one reference (nil only when the shape
// classes are missing). Linear in the length of routeData.
Object DrawRoute(StringValue* routeData, const WalkInputs& in);

}  // namespace route
