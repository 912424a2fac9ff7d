// The native window behind a window object: one per top-level runtime
// window, reached from its handle (the window's extra bytes), kept in the
// window list newest first.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "orvane/abi.h"
#include "startup/Win32Owners.h"

struct Pane;

struct ViewWindow {
    WindowHandle handle;
    ObjectHeader* window = nullptr;  // the window object; one reference while open
    int32_t frameCode = 0;           // internal frame code, normalised
    bool resizable = true;
    bool shown = false;              // meant to be on screen: the loop shows it
    bool closing = false;            // closing has begun: no more input or resize events
    int32_t lockCount = 0;           // destruction waits for the last unlock
    bool ownBackground = false;      // backColor replaces the button face
    COLORREF backColor = RGB(255, 255, 255);
    ObjectHeader* backdrop = nullptr;  // Picture drawn before Paint; borrowed from the window object
    bool inSizeMove = false;           // between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE
    bool resizedOwed = false;          // a Resized to raise when the drag ends
    bool pendingGeometry = false;      // a programmatic move or resize for the next iteration
    std::vector<Pane*> panes;          // the panes made directly inside the window, in creation order
    Pane* rememberedFocus = nullptr;   // the focus pane while the window is inactive
};

// Document windows: the plain and the fixed-size document frames.
inline bool IsDocumentFrameCode(int32_t code) { return code == 0 || code == 8; }

// The window list, newest first.
void ViewWindowListAdd(ViewWindow* view);
void ViewWindowListRemove(ViewWindow* view);
int ViewWindowListCount();
ViewWindow* ViewWindowListAt(int index);  // 0 is the newest
// The runtime window of the handle, or nil.
ViewWindow* FindViewWindow(HWND handle);
