// Process-wide state that start-up sets and the rest of the runtime reads.
// A leaf: it uses nothing of the runtime, so any unit may include it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "orvane/abi.h"

extern HINSTANCE gInstance;
extern int gSystemScript;             // 0, 13 (Japanese) or 21 (Chinese)
extern CRITICAL_SECTION gStringLock;  // string records
extern CRITICAL_SECTION gPoolLock;    // small-block pool; taken inside the string lock
extern CRITICAL_SECTION gStreamLock;  // buffered file streams
extern ObjectHeader* gApplicationObject;
extern bool gRunning;
extern bool gQuit;
extern bool gMDIMode;
extern HWND gMDIFrame;  // the MDI frame window, nil outside MDI mode
extern StringValue* gFrameTitle;  // owns one reference
// The stack limit of the current thread: each thread keeps its own.
extern thread_local uintptr_t gStackLimit;

// The default font records.
struct FontRecord {
    const char* name;
    int size;
};
extern FontRecord gDefaultFont;       // "System", 10
extern FontRecord gDefaultSmallFont;  // "System", 12 (set last by initialisation)
