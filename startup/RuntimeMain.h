// Process-wide runtime state and the four entry points that drive the runtime.
#pragma once

#include <windows.h>

#include <cstdint>

#include "orvane/exports.h"

struct StringValue;

extern HINSTANCE gInstance;
extern int gSystemScript;             // 0, 13 (Japanese) or 21 (Chinese)
extern CRITICAL_SECTION gStringLock;  // string records
extern CRITICAL_SECTION gPoolLock;    // small-block pool; taken inside the string lock
extern CRITICAL_SECTION gStreamLock;  // buffered file streams
extern ObjectHeader* gApplicationObject;
extern bool gRunning;
extern bool gQuit;
extern bool gMDIMode;
extern StringValue* gFrameTitle;  // owns one reference
// The stack limit of the current thread: each thread keeps its own.
extern thread_local uintptr_t gStackLimit;

// The system script for a user default language.
int SystemScriptFromLanguage(LANGID language);

// Entry-point steps 1-4; safe to call more than once (tests call it too).
void RuntimeInitProcessState(HINSTANCE instance);

// Runtime initialisation (entry-point step 7).
void RuntimeInitialize();

// The code the process ends with: 0 unless a module set another (RuntimeSetExitCode).
int32_t RuntimeProcessExitCode();

// The default font records.
struct FontRecord {
    const char* name;
    int size;
};
extern FontRecord gDefaultFont;       // "System", 10
extern FontRecord gDefaultSmallFont;  // "System", 12 (set last by initialisation)
