// Panes: the runtime-side object behind each control in a window, with its
// child window, rectangle, states, lock count and the delegate through which
// it reaches its control. A window's panes are kept in its native window in
// creation order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "objects/ObjectDefinition.h"
#include "orvane/abi.h"
#include "startup/Win32Owners.h"
#include "ui/WindowObject.h"

struct Pane;
struct ViewWindow;

// What a kind of control does with its pane; every member may be nil.
struct PaneKind {
    const wchar_t* className;
    // The control's own mouse and key events (rows of its class).
    const EventRow* mouseDown;
    const EventRow* mouseDrag;
    const EventRow* mouseUp;
    const EventRow* gotFocus;
    const EventRow* lostFocus;
    const EventRow* enableMenuItems;
    bool (*acceptsFocus)(Pane* pane);
    // The one-character key offered to the focused pane; true when consumed.
    bool (*keyDown)(Pane* pane, uint8_t key);
    void (*paint)(Pane* pane);
    // The pane's control is about to lose it (before the handle goes).
    void (*detach)(Pane* pane);
    // The pane got or lost the focus (after the control's event).
    void (*focusChanged)(Pane* pane, bool focused);
};

// Pane states, applied to the pane and all its children.
enum PaneState : int32_t { kPaneEnable = 5, kPaneDisable = 6, kPaneShow = 7, kPaneHide = 8 };

struct Pane {
    WindowHandle handle;
    Rect16 rect{};  // the top-level window's client coordinates
    bool ownVisible = true;
    bool enabled = true;
    bool autoDeactivate = false;
    bool closing = false;  // closing: no more events; destroyed at the last unlock
    int32_t lockCount = 0;
    Pane* parent = nullptr;
    std::vector<Pane*> children;
    ViewWindow* view = nullptr;         // the top-level native window
    ObjectHeader* control = nullptr;    // the delegate's control: one reference while attached
    const PaneKind* kind = nullptr;
    ObjectHeader* mouseCursor = nullptr;  // borrowed from the control
};

// A pane over the rect in the window, of the kind's window class, shown and
// enabled; appended to the window's pane list. Nil when the child window
// could not be made.
Pane* CreatePane(ViewWindow* view, const Rect16& rect, const PaneKind* kind, DWORD exStyle);
// Visible itself and in all its containers.
bool PaneIsVisible(const Pane* pane);
bool PaneContains(const Pane* pane, POINT windowPoint);
// One rectangle lies wholly inside the other.
bool RectInside(const Rect16& inner, const Rect16& outer);
void SetPaneState(Pane* pane, PaneState state);
// Moves the child window and repaints what it uncovered and covers.
void SetPaneRect(Pane* pane, const Rect16& rect);
// The pane's delegate: locks the control; detaching unlocks it.
void AttachDelegate(Pane* pane, ObjectHeader* control);
// Closing the pane: no more events; destroyed now or at the last unlock.
void ClosePane(Pane* pane);
// The window's panes, last first, when the window goes.
void DestroyWindowPanes(ViewWindow* view);
// The pane of a child window of the runtime, or nil.
Pane* PaneFromHandle(HWND handle);

// Every event of a control is raised with its pane and its window locked:
// a control or window closed inside a handler goes when the handler returns.
class PaneLock {
public:
    explicit PaneLock(Pane* pane);
    ~PaneLock();
    PaneLock(const PaneLock&) = delete;
    PaneLock& operator=(const PaneLock&) = delete;
    // The pane or its window began closing while locked: stop dispatching.
    bool Gone() const;

private:
    Pane* pane_;
    ViewWindow* view_;
    HWND window_;
};

// The window procedure of TW_Pane and TW_CanvasPane.
LRESULT CALLBACK PaneWindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
