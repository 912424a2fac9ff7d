// The window object as compiled module code lays it out: the intrinsic part
// of every Window instance, 144 bytes with the header. Module subclasses put
// their own fields after it, so the offsets below are part of the module
// interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvane/abi.h"

struct ViewWindow;
class StringMap;

// Rectangles of windows and panes: client-area pixels, signed 16-bit.
struct Rect16 {
    int16_t top, left, bottom, right;
};

struct WindowObject {
    ObjectHeader header;
    uint8_t visible;
    uint8_t closeBox;
    uint8_t growIcon;
    uint8_t zoomIcon;
    uint8_t composite;   // stored only
    uint8_t liveResize;  // lives in the native window while one exists
    ViewWindow* native;  // nil before creation and after close
    uint32_t reserved1;
    Rect16 bounds;    // requested client rectangle, screen pixels
    Rect16 current;   // last known client rectangle
    Rect16 previous;  // before the last resize: the lock layout works from the difference
    StringValue* title;
    ObjectHeader* backdrop;  // Picture
    uint32_t reserved2;
    int32_t frame;
    int32_t placement;
    uint32_t backColor;
    int16_t minWidth, minHeight, maxWidth, maxHeight;
    ObjectHeader* mouseCursor;
    StringValue* balloonHelp;
    uint8_t hasBackColor;
    uint8_t menuBarVisible;
    uint8_t fullScreen;
    uint8_t fullScreenPending;  // set before the native window existed; applied at creation
    StringValue* floaterProcess;  // stored only
    int32_t macProcId;            // stored only
    StringMap* controls;          // class name [$ index] -> control or pane child
    void* auxiliaryRecords;       // freed at finalization
    ObjectHeader* menuBar;        // MenuItem
    ObjectHeader* reserved3;      // released at finalization
    uint8_t opened;               // controls created: new controls get their panes at once
    StringMap* menuHandlers;      // name -> handler object
};

static_assert(offsetof(WindowObject, visible) == 28, "Window.visible");
static_assert(offsetof(WindowObject, liveResize) == 33, "Window.liveResize");
static_assert(offsetof(WindowObject, native) == 36, "Window.native");
static_assert(offsetof(WindowObject, bounds) == 44, "Window.bounds");
static_assert(offsetof(WindowObject, current) == 52, "Window.current");
static_assert(offsetof(WindowObject, previous) == 60, "Window.previous");
static_assert(offsetof(WindowObject, title) == 68, "Window.title");
static_assert(offsetof(WindowObject, backdrop) == 72, "Window.backdrop");
static_assert(offsetof(WindowObject, frame) == 80, "Window.frame");
static_assert(offsetof(WindowObject, placement) == 84, "Window.placement");
static_assert(offsetof(WindowObject, backColor) == 88, "Window.backColor");
static_assert(offsetof(WindowObject, minWidth) == 92, "Window.minWidth");
static_assert(offsetof(WindowObject, maxHeight) == 98, "Window.maxHeight");
static_assert(offsetof(WindowObject, mouseCursor) == 100, "Window.mouseCursor");
static_assert(offsetof(WindowObject, balloonHelp) == 104, "Window.balloonHelp");
static_assert(offsetof(WindowObject, hasBackColor) == 108, "Window.hasBackColor");
static_assert(offsetof(WindowObject, fullScreenPending) == 111, "Window.fullScreenPending");
static_assert(offsetof(WindowObject, floaterProcess) == 112, "Window.floaterProcess");
static_assert(offsetof(WindowObject, macProcId) == 116, "Window.macProcId");
static_assert(offsetof(WindowObject, controls) == 120, "Window.controls");
static_assert(offsetof(WindowObject, menuBar) == 128, "Window.menuBar");
static_assert(offsetof(WindowObject, opened) == 136, "Window.opened");
static_assert(offsetof(WindowObject, menuHandlers) == 140, "Window.menuHandlers");
static_assert(sizeof(WindowObject) == 144, "Window instance size");

inline WindowObject* AsWindow(ObjectHeader* o) { return reinterpret_cast<WindowObject*>(o); }
