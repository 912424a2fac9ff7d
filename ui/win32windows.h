// The runtime's native window classes and the list of its windows.
#pragma once

#include <windows.h>

#include "orvane/abi.h"

// Registers TWWindow, TW_Pane and TW_CanvasPane (wide on Windows NT).
void RegisterRuntimeWindowClasses(HINSTANCE instance);
// Registers TW_MDIFRAME and TW_MDICHILD.
void RegisterMDIWindowClasses(HINSTANCE instance);

// The runtime's windows as the rest of the runtime sees them: how many there
// are, closing them all, and asking each whether it refuses to close.
struct RuntimeWindowList {
    int (*count)();
    void (*closeAll)();
    bool (*anyCancelsClose)();
};
RuntimeWindowList SetRuntimeWindowList(const RuntimeWindowList& list);  // returns the previous one

// Number of runtime windows that exist.
int RuntimeWindowCount();
// Calls each window's close operation until the list is empty.
void CloseAllRuntimeWindows();
// Raises CancelClose of each window in list order; true as soon as one refuses.
bool AnyRuntimeWindowCancelsClose();
// Tells every window to show or hide its help tags.
void ShowRuntimeWindowHelpTags(bool visible);
// Installs the menu bar's menu on the MDI frame window.
void InstallFrameMenuBar(ObjectHeader* menuBar);

// Sets the six control colour defaults.
void SetControlColorDefaults();
extern COLORREF gControlColors[6];

