// A picture written as an uncompressed 24-bit BMP file.
#pragma once

#include "routeviewer/RouteHandles.h"

namespace route {

constexpr int32_t kBmpMaxSide = 8192;

// Writes the picture into an output file made by RuntimeOutputFileCreate;
// true when every byte was written. The caller closes the file.
bool WriteBmp(void* file, ObjectHeader* picture, int32_t width, int32_t height);

}  // namespace route
