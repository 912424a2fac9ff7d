// A window's control list and what the window does with its controls:
// adding (keys by class name and index), looking up, laying out, creating
// the panes, opening, closing, and the lock layout on resize. Also the
// implicit instances of window classes.
#pragma once

#include <cstdint>

#include "orvane/abi.h"
#include "ui/WindowObject.h"

// The control-list key of an object: its class name, "$" and the index when
// the index is 0 or more. One reference.
StringValue* ControlListKey(ObjectHeader* object, int32_t index);
// Creation steps after CreateControls: each pane child's layout, then the
// panes of the controls in list order.
void LayOutWindowControls(ObjectHeader* window);
void CreateWindowPanes(ObjectHeader* window);
// Open of every control in list order.
void OpenWindowControls(ObjectHeader* window);
// Closing: the focus leaves each control and its Close is raised.
void CloseWindowControls(ObjectHeader* window);
// Controls of the window follow the new client size by their locks; the
// new rectangle becomes the previous one.
void LayOutLockedControls(ObjectHeader* window, const Rect16& now);
// Calls f(control) for each Control of the list, in list order.
template <typename F>
void ForEachWindowControl(ObjectHeader* window, F&& f);
// Removes the control from its window's list and re-keys its array.
void RemoveWindowControl(ObjectHeader* window, ObjectHeader* control);

// Implicit instances: a window made while its class name waits in the map
// becomes the instance; a closed instance leaves it.
void NoteImplicitWindowCreated(ObjectHeader* window);
void NoteImplicitWindowClosed(ObjectHeader* window);

#include <vector>

#include "objects/ObjectHandle.h"
#include "objects/StringMap.h"
#include "ui/Controls.h"

// Handlers may close controls or the window: the list is taken first, and
// each control is held while f runs.
template <typename F>
void ForEachWindowControl(ObjectHeader* window, F&& f) {
    StringMap* controls = window ? AsWindow(window)->controls : nullptr;
    if (!controls) return;
    std::vector<ObjectHandle> list;
    controls->ForEach([&](StringValue*, void* value) {
        auto* object = static_cast<ObjectHeader*>(value);
        if (IsControl(object)) list.push_back(ObjectHandle::Borrow(object));
    });
    for (const ObjectHandle& control : list) f(control.Get());
}
