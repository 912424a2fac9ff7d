// The modal stack: the window handles of the open modal windows, newest
// first. It decides which window owns a new dialog or message box.
#pragma once

#include <windows.h>

void ModalStackPush(HWND window);
// Removes the handle wherever it is in the stack; nothing for a handle not in it.
void ModalStackRemove(HWND window);
bool ModalStackIsEmpty();
// The newest window of the stack that is visible, or nil.
HWND ModalStackNewestVisible();
