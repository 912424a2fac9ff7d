// The gradient profile of a route: height over distance as the walk
// accumulates it, the stations with their distances along the bottom and
// the gradient values at their changes.
#pragma once

#include "routeviewer/RouteSurvey.h"

namespace route {

// A new picture of the given size with the profile drawn on black; one reference.
Object DrawGradientProfile(RouteSurvey& survey, int32_t width, int32_t height);

}  // namespace route
