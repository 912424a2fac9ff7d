// Realistic generated routes: curves, gradients, limits, stations with
// Japanese names, lineside objects, comments, continuation lines, upper-case
// keywords and Track.-prefixed statements, about one statement per line,
// from a fixed seed.
#pragma once

#include "routeviewer/RouteHandles.h"

namespace generator {

class RouteGenerator {
public:
    explicit RouteGenerator(uint32_t seed) : state_(seed ? seed : 1) {}
    // The next file line (UTF-8, without its line end) and how many
    // statements it holds.
    route::Text NextLine(int32_t* statements);

private:
    uint32_t Next();
    int32_t Below(int32_t n) { return int32_t(Next() % uint32_t(n)); }
    uint32_t state_;
    int32_t distance_ = 0;
    int32_t line_ = 0;
};

// A whole route of at least the given number of statements: its lines
// joined with CR LF, converted to Shift_JIS.
route::Text GeneratedFileBytes(uint32_t seed, int32_t statements);

}  // namespace generator
