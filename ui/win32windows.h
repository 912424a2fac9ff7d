// The runtime's native window classes and the list of its windows.
#pragma once

#include <windows.h>

// Registers TWWindow, TW_Pane and TW_CanvasPane (wide on Windows NT).
void RegisterRuntimeWindowClasses(HINSTANCE instance);
// Registers TW_MDIFRAME and TW_MDICHILD.
void RegisterMDIWindowClasses(HINSTANCE instance);

// Number of runtime windows that exist.
int RuntimeWindowCount();
// Calls each window's close operation until the list is empty.
void CloseAllRuntimeWindows();

// Sets the six control colour defaults.
void SetControlColorDefaults();
extern COLORREF gControlColors[6];

bool IsWindowsNT();
