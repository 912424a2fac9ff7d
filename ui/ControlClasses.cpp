// Control and RectControl: their rows, the events raised on controls, pane
// creation, position, locks, Enabled and Visible with their propagation,
// the window and mouse getters, refreshing and closing a single control.
#include <vector>

#include "objects/ObjectDefinition.h"
#include "objects/ObjectFields.h"
#include "objects/ObjectHandle.h"
#include "objects/StringMap.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"
#include "ui/ControlEvents.h"
#include "ui/ControlObject.h"
#include "ui/Controls.h"
#include "ui/Focus.h"
#include "ui/NilArgument.h"
#include "ui/ReceiverList.h"
#include "ui/SubPane.h"
#include "ui/ViewWindow.h"
#include "ui/WindowControls.h"
#include "ui/WindowFrames.h"

namespace {

EventRow kControlEvents[] = {
    {0, "CreatePane", nullptr, nullptr, nullptr},
    {0, "Open", nullptr, nullptr, nullptr},
    {0, "Close", nullptr, nullptr, nullptr},
};
EventRow kRectControlEvents[] = {
    {0, "MouseMove", "X As Integer, Y As Integer", nullptr, nullptr},
    {0, "MouseEnter", nullptr, nullptr, nullptr},
    {0, "MouseExit", nullptr, nullptr, nullptr},
    {0, "DropObject", "obj As DragItem", nullptr, nullptr},
};

using PlainHandler = void(__cdecl*)(ObjectHeader*);
using BooleanHandler = bool(__cdecl*)(ObjectHeader*);
using PointHandler = void(__cdecl*)(ObjectHeader*, int32_t, int32_t);
using PointBooleanHandler = bool(__cdecl*)(ObjectHeader*, int32_t, int32_t);
using KeyHandler = bool(__cdecl*)(ObjectHeader*, StringValue*);

// The handler of the row, or nil when there is none or the pane is closing.
void* HandlerFor(ObjectHeader* control, const EventRow* row) {
    if (!control || !row) return nullptr;
    Pane* pane = AsControl(control)->pane;
    if (pane && pane->closing) return nullptr;
    return EventHandlerFor(control, *row);
}

// The control's menu handlers live in the first reserved word.
StringMap* MenuHandlersOf(ObjectHeader* control) {
    return reinterpret_cast<StringMap*>(uintptr_t(AsControl(control)->reserved[0]));
}

ViewWindow* ViewOfControl(ObjectHeader* control) {
    ObjectHeader* window = AsControl(control)->m_view;
    return window ? AsWindow(window)->native : nullptr;
}

// Controls of the same window whose rect lies inside this one's.
std::vector<ObjectHeader*> ContainedControls(ObjectHeader* control) {
    std::vector<ObjectHeader*> inside;
    ControlObject* c = AsControl(control);
    ForEachWindowControl(c->m_view, [&](ObjectHeader* other) {
        if (other != control && RectInside(AsControl(other)->rect, c->rect)) inside.push_back(other);
    });
    return inside;
}

// A pane inside a hidden or disabled control's pane takes that state too.
void InheritContainerStates(ObjectHeader* control) {
    ControlObject* c = AsControl(control);
    ForEachWindowControl(c->m_view, [&](ObjectHeader* other) {
        ControlObject* o = AsControl(other);
        if (other == control || !o->pane || !RectInside(c->rect, o->rect)) return;
        if (!PaneIsVisible(o->pane)) SetPaneState(c->pane, kPaneHide);
        if (!o->pane->enabled) SetPaneState(c->pane, kPaneDisable);
    });
}

void __cdecl InitializeControl(ObjectHeader* control) {
    ControlObject* c = AsControl(control);
    c->index = kNoControlIndex;
    c->visible = 1;
    c->enabled = 1;
}

}  // namespace

const EventRow* ControlEventRow(ControlEvent event) { return &kControlEvents[event]; }
const EventRow* RectControlEventRow(RectControlEvent event) { return &kRectControlEvents[event]; }

bool ControlHandles(ObjectHeader* control, const EventRow* row) { return HandlerFor(control, row) != nullptr; }

void RaiseControlEvent(ObjectHeader* control, const EventRow* row) {
    void* handler = HandlerFor(control, row);
    if (!handler) return;
    PaneLock lock(AsControl(control)->pane);
    ObjectHandle held = ObjectHandle::Borrow(control);
    reinterpret_cast<PlainHandler>(handler)(control);
}

bool RaiseControlBooleanEvent(ObjectHeader* control, const EventRow* row) {
    void* handler = HandlerFor(control, row);
    if (!handler) return false;
    PaneLock lock(AsControl(control)->pane);
    ObjectHandle held = ObjectHandle::Borrow(control);
    return reinterpret_cast<BooleanHandler>(handler)(control);
}

void RaiseControlPointEvent(ObjectHeader* control, const EventRow* row, int32_t x, int32_t y) {
    void* handler = HandlerFor(control, row);
    if (!handler) return;
    PaneLock lock(AsControl(control)->pane);
    ObjectHandle held = ObjectHandle::Borrow(control);
    reinterpret_cast<PointHandler>(handler)(control, x, y);
}

bool RaiseControlPointBooleanEvent(ObjectHeader* control, const EventRow* row, int32_t x, int32_t y) {
    void* handler = HandlerFor(control, row);
    if (!handler) return false;
    PaneLock lock(AsControl(control)->pane);
    ObjectHandle held = ObjectHandle::Borrow(control);
    bool handled = reinterpret_cast<PointBooleanHandler>(handler)(control, x, y);
    return handled && !lock.Gone();
}

bool RaiseControlKeyEvent(ObjectHeader* control, const EventRow* row, uint8_t key) {
    void* handler = HandlerFor(control, row);
    if (!handler) return false;
    PaneLock lock(AsControl(control)->pane);
    ObjectHandle held = ObjectHandle::Borrow(control);
    char text[1] = {char(key)};
    StringHandle s = StringHandle::Adopt(StringMake(text, 1));
    return reinterpret_cast<KeyHandler>(handler)(control, s.Get());
}

bool IsControl(ObjectHeader* object) {
    static ClassRecord* control = ClassOfDefinition(ControlDefinition());
    return object && RuntimeObjectIsa(object, control);
}

void CreateControlPane(ObjectHeader* control) {
    ControlObject* c = AsControl(control);
    if (c->pane || !c->windowPane) return;
    void* create = EventHandlerFor(control, kControlEvents[kControlCreatePane]);
    if (create) reinterpret_cast<PlainHandler>(create)(control);
    Pane* pane = c->pane;
    if (!pane) return;
    pane->autoDeactivate = c->autoDeactivate != 0;
    if (!c->visible) SetPaneState(pane, kPaneHide);
    if (!c->enabled) SetPaneState(pane, kPaneDisable);
    InheritContainerStates(control);
    c->pane = nullptr;  // the delegate sets it again and takes its reference
    AttachDelegate(pane, control);
}

Rect16 LockedRect(const ControlObject& c, int32_t dW, int32_t dH) {
    Rect16 r = c.rect;
    if (c.lockRight) {
        r.right = int16_t(r.right + dW);
        if (!c.lockLeft) r.left = int16_t(r.left + dW);
    }
    if (c.lockBottom) {
        r.bottom = int16_t(r.bottom + dH);
        if (!c.lockTop) r.top = int16_t(r.top + dH);
    }
    return r;
}

ObjectHeader* ControlMenuHandler(ObjectHeader* control, StringValue* name) {
    StringMap* handlers = control ? MenuHandlersOf(control) : nullptr;
    void* handler = nullptr;
    if (!handlers || !handlers->Find(name, &handler)) return nullptr;
    return static_cast<ObjectHeader*>(handler);
}

void __cdecl FinalizeControl(ObjectHeader* control) {
    ControlObject* c = AsControl(control);
    if (StringMap* handlers = MenuHandlersOf(control)) {
        c->reserved[0] = 0;
        handlers->ForEach([](StringValue*, void* h) { RuntimeUnlockObject(static_cast<ObjectHeader*>(h)); });
        delete handlers;
    }
    ReceiverListClear(&c->actionReceivers);
    ReceiverListClear(&c->dataReceivers);
    RuntimeUnlockObject(c->mouseCursor);
    StringRelease(c->name);
    StringRelease(c->balloonHelp);
    StringRelease(c->disabledBalloonHelp);
    StringRelease(c->helpTag);
    c->mouseCursor = nullptr;
    c->name = c->balloonHelp = c->disabledBalloonHelp = c->helpTag = nullptr;
    c->m_view = nullptr;  // the window is not held: it holds its controls
}

// ---- Entry points -------------------------------------------------------------------------

extern "C" void RectControlDefaultConstructor(ObjectHeader* control) {
    if (!control) RUNCTL_NIL("self");  // all set-up happens when the window makes the pane
}

extern "C" int32_t ctlPosGetter(ObjectHeader* control, int32_t selector) {
    if (!control) RUNCTL_NIL("self", 0);
    const Rect16& r = AsControl(control)->rect;
    switch (selector) {
        case 0: return r.left;
        case 1: return r.top;
        case 2: return r.right - r.left;
        case 3: return r.bottom - r.top;
        default: return 0;
    }
}

extern "C" void ctlPosSetter(ObjectHeader* control, int32_t selector, int32_t value) {
    if (!control) RUNCTL_NIL("self");
    ControlObject* c = AsControl(control);
    Rect16 r = c->rect;
    int32_t dx = 0, dy = 0;
    switch (selector) {
        case 0: dx = value - r.left; break;
        case 1: dy = value - r.top; break;
        case 2: r.right = int16_t(r.left + value); break;
        case 3: r.bottom = int16_t(r.top + value); break;
        default: return;
    }
    std::vector<ObjectHeader*> inside;
    if (dx || dy) inside = ContainedControls(control);
    r = OffsetRect16(r, dx, dy);
    bool changed = r.top != c->rect.top || r.left != c->rect.left || r.bottom != c->rect.bottom ||
                   r.right != c->rect.right;
    c->rect = r;
    if (changed && c->pane) SetPaneRect(c->pane, r);
    for (ObjectHeader* other : inside) {
        ControlObject* o = AsControl(other);
        o->rect = OffsetRect16(o->rect, dx, dy);
        if (o->pane) SetPaneRect(o->pane, o->rect);
    }
}

namespace {

// Enabled and Visible: the control's own state, then each control inside it
// takes the new one only where its own flag agrees.
void PropagateState(ObjectHeader* control, bool value, uint8_t ControlObject::*flag, PaneState on,
                    PaneState off) {
    ControlObject* c = AsControl(control);
    c->*flag = value ? 1 : 0;
    if (!c->pane) return;
    SetPaneState(c->pane, value ? on : off);
    for (ObjectHeader* other : ContainedControls(control)) {
        ControlObject* o = AsControl(other);
        if (o->pane) SetPaneState(o->pane, value && o->*flag ? on : off);
    }
}

}  // namespace

extern "C" void controlEnabledSetter(ObjectHeader* control, int32_t, int32_t value) {
    if (!control) RUNCTL_NIL("self");
    PropagateState(control, value != 0, &ControlObject::enabled, kPaneEnable, kPaneDisable);
}

extern "C" void ControlVisibleSetter(ObjectHeader* control, int32_t, int32_t value) {
    if (!control) RUNCTL_NIL("self");
    PropagateState(control, value != 0, &ControlObject::visible, kPaneShow, kPaneHide);
}

extern "C" ObjectHeader* controlWindowGetter(ObjectHeader* control, int32_t) {
    if (!control) RUNCTL_NIL("self", nullptr);
    ObjectHeader* window = AsControl(control)->m_view;
    RuntimeLockObject(window);
    return window;
}

extern "C" int32_t controlHandleGetter(ObjectHeader* control, int32_t) {
    if (!control) RUNCTL_NIL("self", 0);
    Pane* pane = AsControl(control)->pane;
    return pane ? int32_t(reinterpret_cast<intptr_t>(pane->handle.Get())) : 0;
}

namespace {
int32_t ControlMouse(ObjectHeader* control, bool vertical) {
    ViewWindow* view = ViewOfControl(control);
    if (!AsControl(control)->pane || !view) return 0;
    POINT p = {0, 0};
    GetCursorPos(&p);
    ScreenToClient(view->handle.Get(), &p);
    return vertical ? p.y : p.x;
}
}  // namespace

extern "C" int32_t controlMouseXGetter(ObjectHeader* control, int32_t) {
    if (!control) RUNCTL_NIL("self", 0);
    return ControlMouse(control, false);
}

extern "C" int32_t controlMouseYGetter(ObjectHeader* control, int32_t) {
    if (!control) RUNCTL_NIL("self", 0);
    return ControlMouse(control, true);
}

extern "C" int32_t controlActiveGetter(ObjectHeader* control, int32_t) {
    if (!control) RUNCTL_NIL("self", 0);
    ViewWindow* view = ViewOfControl(control);
    return view && GetActiveWindow() == view->handle.Get();
}

// Parent: the innermost other control of the window whose rect holds this one's.
extern "C" ObjectHeader* controlParentGetter(ObjectHeader* control, int32_t) {
    if (!control) RUNCTL_NIL("self", nullptr);
    ObjectHeader* parent = nullptr;
    ControlObject* c = AsControl(control);
    ForEachWindowControl(c->m_view, [&](ObjectHeader* other) {
        if (other == control || !RectInside(c->rect, AsControl(other)->rect)) return;
        if (!parent || RectInside(AsControl(other)->rect, AsControl(parent)->rect)) parent = other;
    });
    RuntimeLockObject(parent);
    return parent;
}

// Containment follows the rectangles; an explicit parent changes nothing.
extern "C" void controlParentSetter(ObjectHeader*, int32_t, ObjectHeader*) {}

extern "C" void RuntimeControlRefresh(ObjectHeader* control) {
    if (!control) RUNCTL_NIL("self");
    ControlObject* c = AsControl(control);
    Pane* pane = c->pane;
    if (!c->visible || !pane || !PaneIsVisible(pane) || !pane->enabled || !pane->view) return;
    InvalidateRect(pane->handle.Get(), nullptr, TRUE);
    UpdateWindow(pane->view->handle.Get());
}

extern "C" void RuntimeControlRefreshRect(ObjectHeader* control, int32_t x, int32_t y, int32_t width,
                                          int32_t height) {
    if (!control) RUNCTL_NIL("self");
    Pane* pane = AsControl(control)->pane;
    if (!pane || !pane->view) return;
    // The pane's own window has its origin at the control's top-left corner.
    RECT r = {x, y, x + width, y + height};
    InvalidateRect(pane->handle.Get(), &r, TRUE);
    UpdateWindow(pane->view->handle.Get());
}

extern "C" void RuntimeSetFocus(ObjectHeader* control) {
    if (!control) RUNCTL_NIL("self");
    if (Pane* pane = AsControl(control)->pane) GiveFocus(pane);
}

extern "C" void RectControlAddMenuHandler(ObjectHeader* control, StringValue* name, ObjectHeader* handler) {
    if (!control) RUNCTL_NIL("self");
    StringMap* handlers = MenuHandlersOf(control);
    if (!handlers) {
        handlers = new StringMap;
        AsControl(control)->reserved[0] = uint32_t(reinterpret_cast<uintptr_t>(handlers));
    }
    void* old = nullptr;
    handlers->Find(name, &old);
    RuntimeLockObject(handler);
    handlers->Insert(name, handler);
    RuntimeUnlockObject(static_cast<ObjectHeader*>(old));
}

namespace {

// Closes the control and those whose panes lie inside its pane.
void CloseControl(ObjectHeader* control) {
    ControlObject* c = AsControl(control);
    Pane* pane = c->pane;
    if (!pane) return;
    ObjectHandle held = ObjectHandle::Borrow(control);
    DropFocusFrom(pane);
    RaiseControlEvent(control, &kControlEvents[kControlClose]);
    std::vector<ObjectHeader*> inside = ContainedControls(control);
    std::vector<ObjectHandle> keep;
    for (ObjectHeader* other : inside) keep.push_back(ObjectHandle::Borrow(other));
    if ((pane = c->pane)) ClosePane(pane);
    for (ObjectHandle& other : keep) CloseControl(other.Get());
    ObjectHeader* window = c->m_view;
    if (!window) {
        RuntimeAssertionReport(0, 0, "runctl", __LINE__, "ctl->m_view", nullptr);
        return;
    }
    RemoveWindowControl(window, control);
}

}  // namespace

extern "C" void ControlClose(ObjectHeader* control) {
    if (!control) RUNCTL_NIL("self");
    CloseControl(control);
}

// ---- Rows ------------------------------------------------------------------------------

namespace {

const ClassTypeRef kWindowType = ORVANE_CLASS_TYPE("Window");
const ClassTypeRef kMouseCursorType = ORVANE_CLASS_TYPE("MouseCursor");
const ClassTypeRef kRectControlType = ORVANE_CLASS_TYPE("RectControl");
const ClassTypeRef kObjectType = ORVANE_CLASS_TYPE("Object");
const ClassTypeRef kDragItemType = ORVANE_CLASS_TYPE("DragItem");

#define AT(field) uint32_t(offsetof(ControlObject, field))
#define BOOL_FIELD(name, field) {0, name, &kBooleanType, nullptr, "boolGetter", nullptr, "boolSetter", AT(field)}
#define INT_FIELD(name, field) {0, name, &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", AT(field)}
#define STRING_FIELD(name, field) {0, name, &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", AT(field)}
#define POSITION(name, selector) \
    {0, name, &kIntegerType, Fn(&ctlPosGetter), "ctlPosGetter", Fn(&ctlPosSetter), "ctlPosSetter", selector}

PropertyRow kControlProperties[] = {
    STRING_FIELD("Name", name),
    INT_FIELD("Index", index),
    INT_FIELD("TabPanelIndex", tabPanelIndex),
    {0, "MouseX", &kIntegerType, Fn(&controlMouseXGetter), "controlMouseXGetter", nullptr, nullptr, 0},
    {0, "MouseY", &kIntegerType, Fn(&controlMouseYGetter), "controlMouseYGetter", nullptr, nullptr, 0},
    {0, "Window", &kWindowType.header, Fn(&controlWindowGetter), "controlWindowGetter", nullptr, nullptr, 0},
    {0, "Handle", &kIntegerType, Fn(&controlHandleGetter), "controlHandleGetter", nullptr, nullptr, 0},
};

PropertyRow kRectControlProperties[] = {
    STRING_FIELD("HelpTag", helpTag),
    STRING_FIELD("BalloonHelp", balloonHelp),
    STRING_FIELD("DisabledBalloonHelp", disabledBalloonHelp),
    {0, "MouseCursor", &kMouseCursorType.header, nullptr, "objGetter", nullptr, "objSetter", AT(mouseCursor)},
    {0, "Visible", &kBooleanType, nullptr, "boolGetter", Fn(&ControlVisibleSetter), "ControlVisibleSetter",
     AT(visible)},
    POSITION("Left", 0),
    POSITION("Top", 1),
    POSITION("Width", 2),
    POSITION("Height", 3),
    {0, "Enabled", &kBooleanType, nullptr, "boolGetter", Fn(&controlEnabledSetter), "controlEnabledSetter",
     AT(enabled)},
    {0, "Active", &kBooleanType, Fn(&controlActiveGetter), "controlActiveGetter", nullptr, nullptr, 0},
    BOOL_FIELD("AutoDeactivate", autoDeactivate),
    BOOL_FIELD("LockLeft", lockLeft),
    BOOL_FIELD("LockTop", lockTop),
    BOOL_FIELD("LockRight", lockRight),
    BOOL_FIELD("LockBottom", lockBottom),
    {0, "Parent", &kRectControlType.header, Fn(&controlParentGetter), "controlParentGetter",
     Fn(&controlParentSetter), "controlParentSetter", 0},
    {0, "InitialParent", &kRectControlType.header, nullptr, nullptr, Fn(&controlParentSetter), nullptr, 0},
};

#undef AT
#undef BOOL_FIELD
#undef INT_FIELD
#undef STRING_FIELD
#undef POSITION

const ParameterRecord kRectParams[] = {{"x", &kIntegerType, 0, {}, {}},
                                       {"y", &kIntegerType, 0, {}, {}},
                                       {"width", &kIntegerType, 0, {}, {}},
                                       {"height", &kIntegerType, 0, {}, {}}};
const ParameterRecord kTypeParams[] = {{"type", &kStringType, 0, {}, {}}};
const ParameterRecord kMenuHandlerParams[] = {{"name", &kStringType, 0, {}, {}},
                                              {"handler", &kObjectType.header, 0, {}, {}}};

#define METHOD(name, params, count, function, entryName) \
    {name, nullptr, params, count, function, entryName, {}, nullptr, nullptr, {}, 0}

MethodRow kControlMethods[] = {METHOD("Close", nullptr, 0, Fn(&ControlClose), "ControlClose")};

MethodRow kRectControlMethods[] = {
    METHOD("Refresh", nullptr, 0, Fn(&RuntimeControlRefresh), "RuntimeControlRefresh"),
    METHOD("RefreshRect", kRectParams, 4, Fn(&RuntimeControlRefreshRect), "RuntimeControlRefreshRect"),
    METHOD("SetFocus", nullptr, 0, Fn(&RuntimeSetFocus), "RuntimeSetFocus"),
    METHOD("AcceptTextDrop", nullptr, 0, nullptr, nullptr),
    METHOD("AcceptPictureDrop", nullptr, 0, nullptr, nullptr),
    METHOD("AcceptFileDrop", kTypeParams, 1, nullptr, nullptr),
    METHOD("AcceptMacDataDrop", kTypeParams, 1, nullptr, nullptr),
    METHOD("NewDragItem", kRectParams, 4, nullptr, nullptr),
    METHOD("_AddMenuHandler", kMenuHandlerParams, 2, Fn(&RectControlAddMenuHandler), "RectControlAddMenuHandler"),
    METHOD("RectControl", nullptr, 0, Fn(&RectControlDefaultConstructor), "RectControlDefaultConstructor"),
};

#undef METHOD

}  // namespace

ObjectDefinition* ControlDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "Control", nullptr, int32_t(sizeof(ControlObject)), InitializeControl, FinalizeControl,
        ORVANE_ROWS(kControlProperties), ORVANE_ROWS(kControlMethods), ORVANE_ROWS(kControlEvents)});
    return d;
}

ObjectDefinition* RectControlDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "RectControl", ControlDefinition, int32_t(sizeof(ControlObject)), nullptr, nullptr,
        ORVANE_ROWS(kRectControlProperties), ORVANE_ROWS(kRectControlMethods), ORVANE_ROWS(kRectControlEvents)});
    return d;
}
