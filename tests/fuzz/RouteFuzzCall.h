// The call between the fuzzing program and the route fuzz module: the
// program loads the module image into its own process and calls the entry
// routine (byte 0 of the code block) with one of these per input, so the
// route code runs exactly as the map tool runs it, under the program's
// watchdog, crash filter and memory bound.
#pragma once

#include <stdint.h>

#include "orvane/abi.h"

enum RouteFuzzOperation : uint32_t {
    kRouteFuzzRun = 1,       // analyse, survey, walk and render the route file at path
    kRouteFuzzGenerate = 2,  // a generated route's file bytes into result
};

struct RouteFuzzCall {
    uint32_t operation;
    // Run: the route file, and the settings (bits picked by the program:
    // the switches, the scale, the start texts, the canvas size, scrolling).
    StringValue* path;
    uint32_t settings;
    // Run: nonzero to compare the fast path with the reference (quadratic,
    // so only for small files).
    int32_t compare;
    // Generate: the generator's seed and the statements wanted.
    uint32_t seed;
    int32_t statements;
    // Out. Run: the fault found, nil when sound; Generate: the bytes. One
    // reference each, the caller's.
    StringValue* result;
    int32_t shapes;  // Run: members of the route group
};
static_assert(sizeof(RouteFuzzCall) == 32, "RouteFuzzCall is shared with module code");
static_assert(offsetof(RouteFuzzCall, result) == 24, "RouteFuzzCall is shared with module code");
