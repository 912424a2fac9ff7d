// The runtime's message box: the global MsgBox and the texts the runtime
// itself shows (loader errors, unhandled exceptions).
#pragma once

#include <windows.h>

#include "strings/string.h"

// Shows text in a modal message box (OK button, information icon) owned by
// the window in front, and returns when it is closed. A first blank line
// ("\r\n\r\n" at position > 0) separates the message from its explanation;
// an empty explanation drops the separator.
void RuntimeShowMessage(const StringHandle& text);

// The text the box shows for text.
StringHandle RuntimeMessageText(const StringHandle& text);

// The window that owns a message box: the newest visible modal window; with
// no modal window, the MDI frame in MDI mode, else the active window when it
// is a visible runtime document window; else nil.
HWND MessageBoxOwner();

// Tests capture messages instead of showing a box: the text as given.
using RuntimeMessageHook = void (*)(const StringHandle& text);
RuntimeMessageHook SetRuntimeMessageHook(RuntimeMessageHook hook);

// Tests capture the system call itself: owner, text and caption as the box
// gets them (wide, on Windows NT systems), and the style.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);  // nil: MessageBoxW
