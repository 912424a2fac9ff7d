// Runtime start-up: the process state it sets, initialisation, and the entry
// points that the module's entry code calls to drive the runtime.
#pragma once

#include <windows.h>

#include <cstdint>

#include "orvane/exports.h"
#include "startup/ProcessState.h"

// The system script for a user default language.
int SystemScriptFromLanguage(LANGID language);

// Entry-point steps 1-4; safe to call more than once (tests call it too).
void RuntimeInitProcessState(HINSTANCE instance);

// Connects the windows to the main loop and the rest of the runtime: the
// window list, the loop's window hooks, the modal run's iteration.
void InstallWindowLayer();

// Runtime initialisation (entry-point step 7).
void RuntimeInitialize();

// The code the process ends with: 0 unless a module set another (RuntimeSetExitCode).
int32_t RuntimeProcessExitCode();
