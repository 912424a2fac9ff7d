// A window's control list: keys, adding, allocating and looking up controls,
// the creation steps that lay them out and make their panes, opening and
// closing them with the window, the lock layout; the implicit instances of
// window classes.
#include "ui/WindowControls.h"

#include <string>
#include <vector>

#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/intrinsicInterfaces.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"
#include "ui/ControlEvents.h"
#include "ui/ControlObject.h"
#include "ui/Focus.h"
#include "ui/NilArgument.h"
#include "ui/SubPane.h"
#include "ui/ViewWindow.h"

namespace {

StringMap* gImplicitWindows = nullptr;  // class name -> instance, nil while it is being made

using LayoutMethod = void(__cdecl*)(ObjectHeader*);
using SetWindowMethod = void(__cdecl*)(ObjectHeader*, ObjectHeader*);
using IndexMethod = int32_t(__cdecl*)(ObjectHeader*);

// Slot k of the interface's table, when the object's class implements it.
void* InterfaceMethod(ObjectHeader* object, ObjectDefinition* definition, int32_t slot) {
    ClassRecord* cls = ClassOfDefinition(definition);
    if (!object || !cls || !RuntimeObjectIsa(object, cls)) return nullptr;
    MethodEntry* table = RuntimeLookupInterfaceVtable(object, cls);
    return table ? table[slot].function : nullptr;
}

enum : int32_t { kPaneChildLayout = 1, kPaneChildSetWindow = 2, kPaneChildIndex = 3, kMenuBarInstall = 1 };

// The index an added object is listed with.
int32_t ListIndexOf(ObjectHeader* object) {
    if (void* index = InterfaceMethod(object, PaneChildDefinition(), kPaneChildIndex))
        return reinterpret_cast<IndexMethod>(index)(object);
    return IsControl(object) ? AsControl(object)->index : kNoControlIndex;
}

StringValue* ClassNameOf(ObjectHeader* object) {
    return object && object->classPtr ? object->classPtr->name : nullptr;
}

StringValue* KeyWithIndex(StringValue* name, int32_t index) {
    std::string key(StringText(name), size_t(StringLength(name)));
    if (index >= 0) key += "$" + std::to_string(index);
    return StringMake(key.data(), int32_t(key.size()));
}

void BindToWindow(ObjectHeader* window, ObjectHeader* object) {
    if (!IsControl(object)) return;
    ControlObject* c = AsControl(object);
    c->m_view = window;
    c->windowPane = AsWindow(window)->native;
}

}  // namespace

StringValue* ControlListKey(ObjectHeader* object, int32_t index) { return KeyWithIndex(ClassNameOf(object), index); }

extern "C" ObjectHeader* WindowAllocateObject(ObjectHeader* window, ClassRecord* cls) {
    if (!window) RUNCTL_NIL("window", nullptr);
    ObjectHeader* object = RuntimeNewObject(cls);
    if (!object) return nullptr;
    if (IsControl(object)) {
        BindToWindow(window, object);
        AsControl(object)->belongsToWindow = 1;
    } else if (void* setWindow = InterfaceMethod(object, PaneChildDefinition(), kPaneChildSetWindow)) {
        reinterpret_cast<SetWindowMethod>(setWindow)(object, window);
    } else if (void* install = InterfaceMethod(object, MenuBarInstallerDefinition(), kMenuBarInstall)) {
        reinterpret_cast<SetWindowMethod>(install)(object, AsWindow(window)->menuBar);
    }
    return object;
}

extern "C" void WindowAddControl(ObjectHeader* window, ObjectHeader* object) {
    if (!window) RUNCTL_NIL("window");
    if (!object) return;
    WindowObject* w = AsWindow(window);
    if (!w->controls) return;  // a closed window takes no more controls
    StringHandle key = StringHandle::Adopt(ControlListKey(object, ListIndexOf(object)));
    void* old = nullptr;
    w->controls->Find(key.Get(), &old);
    if (old == object) return;
    RuntimeLockObject(object);
    w->controls->Insert(key.Get(), object);  // a later one with the same key takes the earlier one's place
    BindToWindow(window, object);
    RuntimeUnlockObject(static_cast<ObjectHeader*>(old));
    if (!w->opened || !w->native || !IsControl(object)) return;
    CreateControlPane(object);
    if (AsControl(object)->pane) RaiseControlEvent(object, ControlEventRow(kControlOpen));
}

extern "C" ObjectHeader* RuntimeControlReference(ObjectHeader* window, StringValue* name) {
    if (!window) RUNCTL_NIL("self", nullptr);
    StringMap* controls = AsWindow(window)->controls;
    void* found = nullptr;
    if (!controls || !controls->Find(name, &found)) return nullptr;
    auto* control = static_cast<ObjectHeader*>(found);
    RuntimeLockObject(control);
    return control;
}

extern "C" ObjectHeader* RuntimeControlArrayItemReference(ObjectHeader* window, StringValue* name, int32_t index) {
    if (!window) RUNCTL_NIL("self", nullptr);
    StringHandle key = StringHandle::Adopt(KeyWithIndex(name, index));
    return RuntimeControlReference(window, key.Get());
}

void RemoveWindowControl(ObjectHeader* window, ObjectHeader* control) {
    StringMap* controls = AsWindow(window)->controls;
    if (!controls) return;
    StringValue* cls = ClassNameOf(control);
    int32_t index = IsControl(control) ? AsControl(control)->index : kNoControlIndex;
    // Found by its entry: the key it was added under may not be made again.
    StringHandle key;
    controls->ForEach([&](StringValue* k, void* value) {
        if (value == control && key.IsEmpty()) key = StringHandle::Borrow(k);
    });
    if (key.IsEmpty()) return;
    controls->Remove(key.Get());
    // The members of its control array after it close the gap.
    if (index >= 0) {
        std::vector<ObjectHeader*> later;
        controls->ForEach([&](StringValue*, void* value) {
            auto* o = static_cast<ObjectHeader*>(value);
            if (IsControl(o) && RuntimeStringCompare(ClassNameOf(o), cls) == 0 && AsControl(o)->index > index)
                later.push_back(o);
        });
        for (ObjectHeader* o : later) {
            StringHandle oldKey = StringHandle::Adopt(KeyWithIndex(cls, AsControl(o)->index));
            controls->Remove(oldKey.Get());
            --AsControl(o)->index;
            StringHandle newKey = StringHandle::Adopt(KeyWithIndex(cls, AsControl(o)->index));
            controls->Insert(newKey.Get(), o);
        }
    }
    RuntimeUnlockObject(control);  // the window's reference
}

void LayOutWindowControls(ObjectHeader* window) {
    StringMap* controls = AsWindow(window)->controls;
    if (!controls) return;
    std::vector<ObjectHandle> list;
    controls->ForEach([&](StringValue*, void* v) { list.push_back(ObjectHandle::Borrow(static_cast<ObjectHeader*>(v))); });
    for (const ObjectHandle& o : list)
        if (void* layout = InterfaceMethod(o.Get(), PaneChildDefinition(), kPaneChildLayout))
            reinterpret_cast<LayoutMethod>(layout)(o.Get());
}

void CreateWindowPanes(ObjectHeader* window) {
    ForEachWindowControl(window, [&](ObjectHeader* control) {
        BindToWindow(window, control);
        CreateControlPane(control);
    });
}

void OpenWindowControls(ObjectHeader* window) {
    ForEachWindowControl(window, [](ObjectHeader* control) { RaiseControlEvent(control, ControlEventRow(kControlOpen)); });
}

void CloseWindowControls(ObjectHeader* window) {
    ForEachWindowControl(window, [](ObjectHeader* control) {
        if (Pane* pane = AsControl(control)->pane) DropFocusFrom(pane);
        RaiseControlEvent(control, ControlEventRow(kControlClose));
    });
}

void LayOutLockedControls(ObjectHeader* window, const Rect16& now) {
    WindowObject* w = AsWindow(window);
    int32_t dW = (now.right - now.left) - (w->previous.right - w->previous.left);
    int32_t dH = (now.bottom - now.top) - (w->previous.bottom - w->previous.top);
    w->previous = now;
    if (!dW && !dH) return;
    ForEachWindowControl(window, [&](ObjectHeader* control) {
        ControlObject* c = AsControl(control);
        if (!c->lockRight && !c->lockBottom) return;
        c->rect = LockedRect(*c, dW, dH);
        if (c->pane) SetPaneRect(c->pane, c->rect);
    });
}

// ---- Implicit instances ------------------------------------------------------------------

extern "C" ObjectHeader* RuntimeGetImplicitWindow(StringValue* className) {
    if (!gImplicitWindows) gImplicitWindows = new StringMap;
    void* instance = nullptr;
    if (gImplicitWindows->Find(className, &instance) && instance) {
        RuntimeLockObject(static_cast<ObjectHeader*>(instance));
        return static_cast<ObjectHeader*>(instance);
    }
    gImplicitWindows->Insert(className, nullptr);
    return nullptr;
}

void NoteImplicitWindowCreated(ObjectHeader* window) {
    void* instance = nullptr;
    StringValue* name = ClassNameOf(window);
    if (!gImplicitWindows || !gImplicitWindows->Find(name, &instance) || instance) return;
    RuntimeLockObject(window);
    gImplicitWindows->Insert(name, window);
}

void NoteImplicitWindowClosed(ObjectHeader* window) {
    void* instance = nullptr;
    StringValue* name = ClassNameOf(window);
    if (!gImplicitWindows || !gImplicitWindows->Find(name, &instance) || instance != window) return;
    gImplicitWindows->Remove(name);
    RuntimeUnlockObject(window);
}
