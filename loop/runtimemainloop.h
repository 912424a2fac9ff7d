// The main event loop: one iteration, the hidden timer window, ticks.
#pragma once

#include <windows.h>

#include <cstdint>

// Registers WinTimerClass and creates its hidden 1 x 1 window.
void RegisterTimerWindow(HINSTANCE instance);
HWND TimerWindow();

// One iteration of the main loop.
void RunMainLoopIteration();

// Sixtieths of a second: GetTickCount x 0.06, truncated.
int32_t RuntimeTicks();
