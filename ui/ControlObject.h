// Controls as compiled module code lays them out: the intrinsic part of every
// Control and RectControl (104 bytes with the header) and of a Canvas (120).
// Control subclasses put their own fields after these, so the offsets below
// are part of the module interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvane/abi.h"
#include "ui/WindowObject.h"

struct Pane;
struct ViewWindow;
struct ReceiverNode;

// Index of a control that is not part of a control array.
constexpr int32_t kNoControlIndex = int32_t(0x80000000u);

struct ControlObject {
    ObjectHeader header;
    uint32_t reserved[2];
    Pane* pane;  // nil before the window creates it and after close
    StringValue* name;
    int32_t index;  // kNoControlIndex outside a control array
    int32_t tabPanelIndex;
    // RectControl
    uint8_t visible;
    uint8_t enabled;
    uint8_t autoDeactivate;
    uint8_t mouseInside;
    uint8_t belongsToWindow;  // set by WindowAllocateObject
    uint8_t lockLeft, lockTop, lockRight, lockBottom;
    Rect16 rect;  // window client coordinates
    ViewWindow* windowPane;  // the window's native window, copied when added
    ObjectHeader* m_view;    // the control's window
    ObjectHeader* mouseCursor;
    StringValue* balloonHelp;
    StringValue* disabledBalloonHelp;
    StringValue* helpTag;
    ReceiverNode* actionReceivers;  // newest first
    ReceiverNode* dataReceivers;
};

static_assert(offsetof(ControlObject, pane) == 36, "Control.pane");
static_assert(offsetof(ControlObject, name) == 40, "Control.name");
static_assert(offsetof(ControlObject, index) == 44, "Control.index");
static_assert(offsetof(ControlObject, tabPanelIndex) == 48, "Control.tabPanelIndex");
static_assert(offsetof(ControlObject, visible) == 52, "RectControl.visible");
static_assert(offsetof(ControlObject, enabled) == 53, "RectControl.enabled");
static_assert(offsetof(ControlObject, autoDeactivate) == 54, "RectControl.autoDeactivate");
static_assert(offsetof(ControlObject, mouseInside) == 55, "RectControl.mouseInside");
static_assert(offsetof(ControlObject, belongsToWindow) == 56, "RectControl.belongsToWindow");
static_assert(offsetof(ControlObject, lockLeft) == 57, "RectControl.lockLeft");
static_assert(offsetof(ControlObject, lockBottom) == 60, "RectControl.lockBottom");
static_assert(offsetof(ControlObject, rect) == 62, "RectControl.rect");
static_assert(offsetof(ControlObject, windowPane) == 72, "RectControl.windowPane");
static_assert(offsetof(ControlObject, m_view) == 76, "RectControl.m_view");
static_assert(offsetof(ControlObject, mouseCursor) == 80, "RectControl.mouseCursor");
static_assert(offsetof(ControlObject, balloonHelp) == 84, "RectControl.balloonHelp");
static_assert(offsetof(ControlObject, disabledBalloonHelp) == 88, "RectControl.disabledBalloonHelp");
static_assert(offsetof(ControlObject, helpTag) == 92, "RectControl.helpTag");
static_assert(sizeof(ControlObject) == 104, "RectControl instance size");

struct CanvasObject {
    ControlObject control;
    ObjectHeader* backdrop;  // Picture drawn before Paint
    ObjectHeader* graphics;  // the cached Graphics of the property; made on first use
    uint32_t reserved;
    uint8_t acceptFocus;
    uint8_t acceptTabs;
    uint8_t useFocusRing;
};

static_assert(offsetof(CanvasObject, backdrop) == 104, "Canvas.backdrop");
static_assert(offsetof(CanvasObject, graphics) == 108, "Canvas.graphics");
static_assert(offsetof(CanvasObject, acceptFocus) == 116, "Canvas.acceptFocus");
static_assert(offsetof(CanvasObject, acceptTabs) == 117, "Canvas.acceptTabs");
static_assert(offsetof(CanvasObject, useFocusRing) == 118, "Canvas.useFocusRing");
static_assert(sizeof(CanvasObject) == 120, "Canvas instance size");

inline ControlObject* AsControl(ObjectHeader* o) { return reinterpret_cast<ControlObject*>(o); }
inline CanvasObject* AsCanvas(ObjectHeader* o) { return reinterpret_cast<CanvasObject*>(o); }
