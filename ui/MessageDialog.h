// The runtime's message box for texts the runtime itself shows.
#pragma once

#include "strings/string.h"

// Shows text in a modal message box (OK button) and returns when it is closed.
void RuntimeShowMessage(const StringHandle& text);

// Tests capture messages instead of showing a box.
using RuntimeMessageHook = void (*)(const StringHandle& text);
RuntimeMessageHook SetRuntimeMessageHook(RuntimeMessageHook hook);
