// The options of OrvaneRouteMap and their defaults, which are the viewer's:
// canvas 656 x 465, slider -100, Curve, Pitch, Limit and Sta on, FreeObj
// off, start point (50, half the height of the window holding the canvas).
#pragma once

#include "routeviewer/CommandArguments.h"
#include "routeviewer/RouteWalk.h"

namespace route {

constexpr int32_t kExitDone = 0;
constexpr int32_t kExitBadArguments = 2;
constexpr int32_t kExitNoRoute = 3;
constexpr int32_t kExitNoImage = 4;

// The viewer's window is this much taller than its canvas (two rows of
// controls below it).
constexpr int32_t kWindowExtraHeight = 53;

struct MapOptions {
    StringValue* routePath = nullptr;  // borrowed from the arguments
    StringValue* imagePath = nullptr;
    StringValue* profilePath = nullptr;
    int32_t width = 656, height = 465;
    WalkInputs walk;  // startDistanceText and startDirectionText borrowed
    bool report = false;
    bool help = false;
};

// False with a one-line *problem for anything not understood.
bool ParseMapOptions(const CommandArguments& args, MapOptions* options, Text* problem);

}  // namespace route
