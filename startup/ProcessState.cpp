#include "startup/ProcessState.h"

HINSTANCE gInstance = nullptr;
int gSystemScript = 0;
CRITICAL_SECTION gStringLock;
CRITICAL_SECTION gPoolLock;
CRITICAL_SECTION gStreamLock;
ObjectHeader* gApplicationObject = nullptr;
bool gRunning = false;
bool gQuit = false;
bool gMDIMode = false;
HWND gMDIFrame = nullptr;
StringValue* gFrameTitle = nullptr;
thread_local uintptr_t gStackLimit = 0;
FontRecord gDefaultFont = {"System", 10};
FontRecord gDefaultSmallFont = {"System", 12};
