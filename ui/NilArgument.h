// A nil object handed to an entry point of the windows and controls: the
// report names the controls unit and the argument ("self", "window",
// "view"), and the entry point returns at once with the given value.
#pragma once

#include "startup/AssertionReport.h"

#define RUNCTL_NIL(argument, ...)                                                \
    do {                                                                         \
        RuntimeAssertionReport(0, 0, "runctl", __LINE__, argument, nullptr);     \
        return __VA_ARGS__;                                                      \
    } while (0)
