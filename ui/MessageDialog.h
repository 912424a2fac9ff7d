// The runtime's message box for texts the runtime itself shows.
#pragma once

#include "strings/string.h"

// Shows text in a modal message box (OK button, information icon) and returns
// when it is closed. A first blank line ("\r\n\r\n" at position > 0) separates
// the message from its explanation; an empty explanation drops the separator.
void RuntimeShowMessage(const StringHandle& text);

// The text the box shows for text.
StringHandle RuntimeMessageText(const StringHandle& text);

// Tests capture messages instead of showing a box.
using RuntimeMessageHook = void (*)(const StringHandle& text);
RuntimeMessageHook SetRuntimeMessageHook(RuntimeMessageHook hook);
