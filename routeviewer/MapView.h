// The map's picture and what is drawn over it: the black off-screen picture
// the route group is rendered into, and its copy onto the canvas with the
// file's path and the scale bar.
#pragma once

#include "routeviewer/RouteHandles.h"

namespace route {

// A new 32-bit picture of the canvas's size filled black; one reference.
Object BlackOut(int32_t width, int32_t height);
// Label widths are measured at this text size on the canvas's Graphics.
void PrepareMeasure(ObjectHeader* canvasGraphics);

// The route group into the picture at the scroll offset.
void RenderRoute(ObjectHeader* picture, ObjectHeader* group, int32_t scrollX, int32_t scrollY);

// The picture onto the canvas, then the path (when not nil) and the scale bar.
void DrawMap(ObjectHeader* canvasGraphics, ObjectHeader* picture, StringValue* path, int32_t scaleValue,
             int32_t canvasWidth, int32_t canvasHeight);

// The length in metres of the scale bar: the shortest multiple of 100 m
// that is at least 100 pixels long.
int32_t ScaleBarMetres(int32_t scaleValue);
void DrawScale(ObjectHeader* canvasGraphics, int32_t scaleValue, int32_t canvasWidth, int32_t canvasHeight);

}  // namespace route
