// Menu items: the MenuItem classes and their entry points, choosing an item
// (focus control, window, application, the item itself, the focus pane's
// own commands) and the enabling pass.
#include "ui/menubar.h"

#include <vector>

#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/RuntimeObjectFoundation.h"
#include "objects/StringMap.h"
#include "objects/application.h"
#include "objects/globalFunctionsDecl.h"
#include "objects/intrinsicInterfaces.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"
#include "strings/string.h"
#include "ui/AcceleratorList.h"
#include "ui/FocusSeam.h"
#include "ui/MenuImplementation.h"
#include "ui/ViewWindow.h"
#include "ui/WindowFrames.h"
#include "ui/WindowObject.h"
#include "ui/window.h"

// A missing implementation: the report names the menus unit.
#define MENU_ASSERT(condition) RuntimeAssertionReport(0, 0, "menubar", __LINE__, condition, nullptr)

namespace {

using PlainHandler = void(__cdecl*)(ObjectHeader* object);
using BooleanHandler = bool(__cdecl*)(ObjectHeader* object);
using IndexHandler = bool(__cdecl*)(ObjectHeader* handler, int32_t index);

enum MenuItemEvent { kMenuItemAction, kMenuItemEnableMenu };

EventRow kMenuItemEvents[] = {
    {0, "Action", nullptr, "Boolean", nullptr},
    {0, "EnableMenu", nullptr, nullptr, nullptr},
};
EventRow kQuitMenuItemEvents[] = {{0, "Action", nullptr, "Boolean", nullptr}};
EventRow kPrefsMenuItemEvents[] = {{0, "Action", nullptr, "Boolean", nullptr}};

// The receiver: nil raises the nil-object exception, a missing
// implementation is reported; either way nil comes back.
MenuImp* Receiver(ObjectHeader* item, const char* condition = "self->mImp") {
    if (!item) {
        RaiseNilObjectException();
        return nullptr;
    }
    MenuImp* imp = ImpOf(item);
    if (!imp) MENU_ASSERT(condition);
    return imp;
}

bool RaiseBoolean(ObjectHeader* object, const EventRow& row) {
    ObjectHandle held = ObjectHandle::Borrow(object);
    void* handler = EventHandlerFor(object, row);
    return handler && reinterpret_cast<BooleanHandler>(handler)(object);
}

void RaisePlain(ObjectHeader* object, int32_t index) {
    ObjectHandle held = ObjectHandle::Borrow(object);
    if (void* handler = FindEventHandler(object, index)) reinterpret_cast<PlainHandler>(handler)(object);
}

bool DescendsFrom(ObjectHeader* object, ObjectDefinition* definition) {
    ClassRecord* wanted = ClassOfDefinition(definition);
    for (ClassRecord* c = object ? object->classPtr : nullptr; c; c = c->base)
        if (c == wanted) return true;
    return false;
}

// A menu handler's Action (index); a handler object of another class acts not.
bool RaiseHandlerAction(ObjectHeader* handler, int32_t index) {
    if (!handler || !DescendsFrom(handler, MenuHandlerDefinition())) return false;
    ObjectHandle held = ObjectHandle::Borrow(handler);
    void* function = FindEventHandler(handler, 0);
    return function && reinterpret_cast<IndexHandler>(function)(handler, index);
}

ObjectHeader* FocusControl() {
    const FocusSeam& seam = CurrentFocusSeam();
    return seam.focusControl ? seam.focusControl() : nullptr;
}

ObjectHeader* FocusControlHandler(ObjectHeader* control, StringValue* name) {
    const FocusSeam& seam = CurrentFocusSeam();
    return control && seam.menuHandler ? seam.menuHandler(control, name) : nullptr;
}

ObjectHeader* WindowHandler(ObjectHeader* window, StringValue* name) {
    StringMap* handlers = window ? AsWindow(window)->menuHandlers : nullptr;
    void* found = nullptr;
    return handlers && handlers->Find(name, &found) ? static_cast<ObjectHeader*>(found) : nullptr;
}

ObjectHeader* ApplicationMenuBar() {
    return gApplicationObject ? *reinterpret_cast<ObjectHeader**>(reinterpret_cast<uint8_t*>(gApplicationObject) +
                                                                    kAppMenuBarAt)
                              : nullptr;
}

// ---- Built-in Action of the quit and preferences items ---------------------------------------

bool __cdecl QuitItemAction(ObjectHeader* item) {
    if (!RaiseBoolean(item, kQuitMenuItemEvents[0])) ApplicationQuit();
    return true;
}

bool __cdecl PrefsItemAction(ObjectHeader* item) {
    RaiseBoolean(item, kPrefsMenuItemEvents[0]);
    return true;
}

// ---- The shortcut of a menu item ----------------------------------------------------------------

bool MenuAcceleratorAction(uint32_t target) {
    UpdateMenusForFrontWindow();
    int32_t id = int32_t(target & 0xFFFF);
    MenuImp* imp = FindByCommandId(ImpOf(CurrentMenuBar()), id);
    if (!imp || !imp->enabled) return false;
    ChooseMenuItem(id);
    return true;
}

}  // namespace

// ---- Choosing and enabling ------------------------------------------------------------------------

void InstallMenuLayer() { SetAcceleratorAction(kMenuAccelerator, MenuAcceleratorAction); }

HMENU MenuBarHandle(ObjectHeader* menuBar) {
    MenuImp* imp = ImpOf(menuBar);
    return imp ? imp->menu : nullptr;
}

ObjectHeader* CurrentMenuBar() {
    if (ObjectHeader* front = FrontWindowObject()) return AsWindow(front)->menuBar;
    return ApplicationMenuBar();
}

bool ChooseMenuItem(int32_t commandId) {
    ObjectHeader* front = FrontWindowObject();
    ObjectHandle window = ObjectHandle::Borrow(front);
    ObjectHandle bar = ObjectHandle::Borrow(CurrentMenuBar());
    MenuImp* found = FindByCommandId(ImpOf(bar.Get()), commandId);
    if (!found) return false;
    ObjectHandle item = ObjectHandle::Borrow(found->item);
    StringHandle name = StringHandle::Borrow(found->name);
    int32_t index = found->index;
    ObjectHeader* focus = FocusControl();
    if (front) {
        if (RaiseHandlerAction(FocusControlHandler(focus, name.Get()), index)) return true;
        if (RaiseHandlerAction(WindowHandler(front, name.Get()), index)) return true;
    }
    if (RaiseHandlerAction(ApplicationMenuHandler(gApplicationObject, name.Get()), index)) return true;
    if (RaiseBoolean(item.Get(), kMenuItemEvents[kMenuItemAction])) return true;
    // The focus pane's own commands, unless a handler moved the focus.
    const FocusSeam& seam = CurrentFocusSeam();
    if (focus && FocusControl() == focus && seam.defaultCommand) return seam.defaultCommand(focus, name.Get());
    return false;
}

namespace {
void DisableEveryItem(MenuImp* bar) {
    if (!bar) return;
    for (ObjectHeader* title : bar->children) SetMenuEnabled(ImpOf(title), false);
}
}  // namespace

void EnableMenuItems(bool frontIsModal) {
    ObjectHeader* front = FrontWindowObject();
    ObjectHandle window = ObjectHandle::Borrow(front);
    if (gMDIMode) DisableEveryItem(ImpOf(ApplicationMenuBar()));
    ObjectHandle bar = ObjectHandle::Borrow(CurrentMenuBar());
    MenuImp* root = ImpOf(bar.Get());
    DisableEveryItem(root);
    ObjectHeader* focus = FocusControl();
    if (!frontIsModal && root) {
        for (MenuImp* imp : ItemsBreadthFirst(root)) {
            if (!imp->autoEnable) continue;
            bool handled = FocusControlHandler(focus, imp->name) || WindowHandler(front, imp->name) ||
                           ApplicationMenuHandler(gApplicationObject, imp->name) ||
                           EventHandlerFor(imp->item, kMenuItemEvents[kMenuItemAction]);
            if (handled) SetMenuEnabled(imp, true);
        }
        // The items are held: an EnableMenu handler may change the tree.
        std::vector<ObjectHandle> items;
        for (MenuImp* imp : ItemsDepthFirst(root)) items.push_back(ObjectHandle::Borrow(imp->item));
        for (const ObjectHandle& item : items) RaisePlain(item.Get(), kMenuItemEnableMenu);
    }
    const FocusSeam& seam = CurrentFocusSeam();
    if (focus && seam.enableMenuItems) seam.enableMenuItems(focus);
    if (front) RaisePlain(front, kWindowEnableMenuItems);
    if (!frontIsModal) RaiseApplicationEnableMenuItems();
}

void UpdateMenusForFrontWindow() {
    bool modal = false;
    if (ObjectHeader* front = FrontWindowObject())
        if (ViewWindow* view = AsWindow(front)->native)
            modal = StyleForFrameCode(view->frameCode, false, false, false, gMDIMode).modal;
    EnableMenuItems(modal);
}

// ---- Entry points ------------------------------------------------------------------------------------

extern "C" {

void RuntimeMenuItemDefaultConstructor(ObjectHeader* item) { Receiver(item); }

StringValue* RuntimeMenuItemNameGetter(ObjectHeader* item, int32_t) {
    MenuImp* imp = Receiver(item);
    return imp ? StringRetain(imp->name) : nullptr;
}
void RuntimeMenuItemNameSetter(ObjectHeader* item, int32_t, StringValue* name) {
    if (MenuImp* imp = Receiver(item)) {
        RuntimeLockUnlockStrings(name, imp->name);
        imp->name = name;
    }
}

int32_t RuntimeMenuItemIndexGetter(ObjectHeader* item, int32_t) {
    MenuImp* imp = Receiver(item);
    return imp ? imp->index : -1;
}
void RuntimeMenuItemIndexSetter(ObjectHeader* item, int32_t, int32_t index) {
    if (MenuImp* imp = Receiver(item)) imp->index = index;
}

ObjectHeader* RuntimeMenuItemTagGetter(ObjectHeader* item, int32_t) {
    MenuImp* imp = Receiver(item);
    if (!imp) return nullptr;
    RuntimeLockObject(imp->tag);
    return imp->tag;
}
void RuntimeMenuItemTagSetter(ObjectHeader* item, int32_t, ObjectHeader* tag) {
    if (MenuImp* imp = Receiver(item)) {
        RuntimeLockUnlockObjects(tag, imp->tag);
        imp->tag = tag;
    }
}

StringValue* RuntimeMenuItemTextGetter(ObjectHeader* item, int32_t) {
    MenuImp* imp = Receiver(item);
    return imp ? StringRetain(imp->text) : nullptr;
}
void RuntimeMenuItemTextSetter(ObjectHeader* item, int32_t, StringValue* text) {
    if (MenuImp* imp = Receiver(item)) SetMenuText(imp, text);
}

StringValue* RuntimeMenuItemCommandKeyGetter(ObjectHeader* item, int32_t) {
    MenuImp* imp = Receiver(item);
    return imp ? StringRetain(imp->commandKey) : nullptr;
}
void RuntimeMenuItemCommandKeySetter(ObjectHeader* item, int32_t, StringValue* key) {
    if (MenuImp* imp = Receiver(item)) SetMenuCommandKey(imp, key);
}

// The stored-only flags: the row's parameter says which.
enum MenuFlag { kFlagVisible, kFlagBold, kFlagItalic, kFlagUnderline, kFlagAutoEnable, kFlagChecked, kFlagEnabled };

bool* StoredFlag(MenuImp* imp, int32_t which) {
    switch (which) {
        case kFlagVisible: return &imp->visible;
        case kFlagBold: return &imp->bold;
        case kFlagItalic: return &imp->italic;
        case kFlagUnderline: return &imp->underline;
        case kFlagAutoEnable: return &imp->autoEnable;
        case kFlagChecked: return &imp->checked;
        case kFlagEnabled: return &imp->enabled;
        default: return nullptr;
    }
}

int32_t menuItemFlagGetter(ObjectHeader* item, int32_t which) {
    MenuImp* imp = Receiver(item);
    bool* flag = imp ? StoredFlag(imp, which) : nullptr;
    return flag && *flag ? 1 : 0;
}
void menuItemFlagSetter(ObjectHeader* item, int32_t which, int32_t value) {
    MenuImp* imp = Receiver(item);
    if (!imp) return;
    if (which == kFlagEnabled) return SetMenuEnabled(imp, value != 0);
    if (which == kFlagChecked) return SetMenuChecked(imp, value != 0);
    if (bool* flag = StoredFlag(imp, which)) *flag = value != 0;
}
void RuntimeMenuItemBoldSetter(ObjectHeader* item, int32_t, int32_t v) { menuItemFlagSetter(item, kFlagBold, v); }
void RuntimeMenuItemItalicsSetter(ObjectHeader* item, int32_t, int32_t v) { menuItemFlagSetter(item, kFlagItalic, v); }
void RuntimeMenuItemUnderlineSetter(ObjectHeader* item, int32_t, int32_t v) {
    menuItemFlagSetter(item, kFlagUnderline, v);
}
void RuntimeMenuItemAutoEnableSetter(ObjectHeader* item, int32_t, int32_t v) {
    menuItemFlagSetter(item, kFlagAutoEnable, v);
}
int32_t RuntimeMenuItemBoldGetter(ObjectHeader* item, int32_t) { return menuItemFlagGetter(item, kFlagBold); }
int32_t RuntimeMenuItemItalicsGetter(ObjectHeader* item, int32_t) { return menuItemFlagGetter(item, kFlagItalic); }
int32_t RuntimeMenuItemUnderlineGetter(ObjectHeader* item, int32_t) {
    return menuItemFlagGetter(item, kFlagUnderline);
}

// The help texts: the parameter picks the field.
StringValue* menuItemHelpGetter(ObjectHeader* item, int32_t disabled) {
    MenuImp* imp = Receiver(item);
    return imp ? StringRetain(disabled ? imp->disabledBalloonHelp : imp->balloonHelp) : nullptr;
}
void menuItemHelpSetter(ObjectHeader* item, int32_t disabled, StringValue* text) {
    MenuImp* imp = Receiver(item);
    if (!imp) return;
    StringValue*& field = disabled ? imp->disabledBalloonHelp : imp->balloonHelp;
    RuntimeLockUnlockStrings(text, field);
    field = text;
}

void RuntimeEnableMenu(ObjectHeader* item) {
    if (MenuImp* imp = Receiver(item)) SetMenuEnabled(imp, true);
}

// Removes the item from the menu that holds it.
void RuntimeCloseMenuItem(ObjectHeader* item) {
    MenuImp* imp = Receiver(item);
    if (!imp || !imp->parent) return;
    ObjectHandle held = ObjectHandle::Borrow(item);
    RemoveMenuChild(imp->parent, ChildPosition(imp->parent, item));
}

ObjectHeader* RuntimeMenuItemItem(ObjectHeader* item, int32_t index) {
    MenuImp* imp = Receiver(item);
    if (!imp) return nullptr;
    if (index < 0 || index >= int32_t(imp->children.size())) {
        RaiseOutOfBoundsException();
        return nullptr;
    }
    ObjectHeader* child = imp->children[size_t(index)];
    RuntimeLockObject(child);
    return child;
}

int32_t RuntimeMenuItemCount(ObjectHeader* item) {
    MenuImp* imp = Receiver(item);
    return imp ? int32_t(imp->children.size()) : 0;
}

ObjectHeader* RuntimeMenuItemChild(ObjectHeader* item, StringValue* name) {
    MenuImp* imp = Receiver(item);
    if (!imp) return nullptr;
    for (ObjectHeader* child : imp->children) {
        if (RuntimeStringCompare(ImpOf(child)->name, name) != 0) continue;
        RuntimeLockObject(child);
        return child;
    }
    return nullptr;
}

void RuntimeMenuItemInsert(ObjectHeader* item, int32_t index, ObjectHeader* child) {
    MenuImp* imp = Receiver(item);
    if (!imp) return;
    if (index < 0 || index > int32_t(imp->children.size())) {
        RaiseOutOfBoundsException();
        return;
    }
    if (!child) return;
    if (!ImpOf(child)) {
        MENU_ASSERT("obj->mImp");
        return;
    }
    InsertMenuChild(imp, child, index);
}

void RuntimeMenuItemAppend(ObjectHeader* item, ObjectHeader* child) {
    MenuImp* imp = Receiver(item);
    if (imp) RuntimeMenuItemInsert(item, int32_t(imp->children.size()), child);
}

void RuntimeMenuItemRemoveIndex(ObjectHeader* item, int32_t index) {
    MenuImp* imp = Receiver(item);
    if (!imp) return;
    if (index < 0 || index >= int32_t(imp->children.size())) {
        RaiseOutOfBoundsException();
        return;
    }
    RemoveMenuChild(imp, index);
}

void RuntimeMenuItemRemoveItem(ObjectHeader* item, ObjectHeader* child) {
    MenuImp* imp = Receiver(item);
    if (!imp) return;
    if (!child) {
        MENU_ASSERT("item");
        return;
    }
    RemoveMenuChild(imp, ChildPosition(imp, child));
}

ObjectHeader* RuntimeMenuItemLookupArray(ObjectHeader* item, StringValue* name, int32_t index) {
    MenuImp* imp = Receiver(item);
    MenuImp* found = imp ? FindByNameAndIndex(imp, name, index) : nullptr;
    if (!found) return nullptr;
    RuntimeLockObject(found->item);
    return found->item;
}

ObjectHeader* RuntimeMenuItemLookup(ObjectHeader* item, StringValue* name) {
    return RuntimeMenuItemLookupArray(item, name, -1);
}

void MenuBarInstallClone(ObjectHeader* menuBar, ObjectHeader* installThis) {
    MenuImp* bar = Receiver(menuBar, "menu->mImp");
    if (!bar) return;
    if (!installThis) {
        MENU_ASSERT("installThis");
        return;
    }
    MenuImp* clone = ImpOf(installThis);
    if (!clone) {
        MENU_ASSERT("obj->mImp");
        return;
    }
    MenuImp* last = nullptr;
    int32_t largest = -1;
    for (MenuImp* imp : ItemsBreadthFirst(bar)) {
        if (imp == clone || RuntimeStringCompare(imp->name, clone->name) != 0) continue;
        last = imp;
        if (imp->index > largest) largest = imp->index;
    }
    if (!last) return;
    clone->index = largest + 1;
    InsertMenuChild(last->parent, installThis, ChildPosition(last->parent, last->item) + 1);
}

}  // extern "C"

// ---- Classes ----------------------------------------------------------------------------------------

namespace {

void __cdecl InitializeMenuItem(ObjectHeader* item) {
    reinterpret_cast<MenuItemObject*>(item)->mImp = NewMenuImp(item, false);
}

void __cdecl FinalizeMenuItem(ObjectHeader* item) {
    MenuItemObject* o = reinterpret_cast<MenuItemObject*>(item);
    DeleteMenuImp(o->mImp);
    o->mImp = nullptr;
}

// A menu bar's own menu is the bar: its titles are inserted as popups directly.
void __cdecl InitializeMenuBar(ObjectHeader* item) {
    if (MenuImp* imp = ImpOf(item)) imp->menuBarRoot = imp->popup = true;
}

const ClassTypeRef kObjectType = ORVANE_CLASS_TYPE("Object");
const ClassTypeRef kMenuItemType = ORVANE_CLASS_TYPE("MenuItem");

#define ITEM_PROPERTY(name, type, getter, getterName, setter, setterName, parameter) \
    {0, name, type, Fn(&getter), getterName, Fn(&setter), setterName, parameter}

PropertyRow kMenuItemProperties[] = {
    ITEM_PROPERTY("Name", &kStringType, RuntimeMenuItemNameGetter, "RuntimeMenuItemNameGetter",
                  RuntimeMenuItemNameSetter, "RuntimeMenuItemNameSetter", 0),
    ITEM_PROPERTY("Index", &kIntegerType, RuntimeMenuItemIndexGetter, "RuntimeMenuItemIndexGetter",
                  RuntimeMenuItemIndexSetter, "RuntimeMenuItemIndexSetter", 0),
    ITEM_PROPERTY("Tag", &kObjectType.header, RuntimeMenuItemTagGetter, "RuntimeMenuItemTagGetter",
                  RuntimeMenuItemTagSetter, "RuntimeMenuItemTagSetter", 0),
    ITEM_PROPERTY("BalloonHelp", &kStringType, menuItemHelpGetter, nullptr, menuItemHelpSetter, nullptr, 0),
    ITEM_PROPERTY("DisabledBalloonHelp", &kStringType, menuItemHelpGetter, nullptr, menuItemHelpSetter, nullptr, 1),
    ITEM_PROPERTY("Text", &kStringType, RuntimeMenuItemTextGetter, "RuntimeMenuItemTextGetter",
                  RuntimeMenuItemTextSetter, "RuntimeMenuItemTextSetter", 0),
    ITEM_PROPERTY("Checked", &kBooleanType, menuItemFlagGetter, nullptr, menuItemFlagSetter, nullptr, kFlagChecked),
    ITEM_PROPERTY("Enabled", &kBooleanType, menuItemFlagGetter, nullptr, menuItemFlagSetter, nullptr, kFlagEnabled),
    ITEM_PROPERTY("Visible", &kBooleanType, menuItemFlagGetter, nullptr, menuItemFlagSetter, nullptr, kFlagVisible),
    ITEM_PROPERTY("CommandKey", &kStringType, RuntimeMenuItemCommandKeyGetter, "RuntimeMenuItemCommandKeyGetter",
                  RuntimeMenuItemCommandKeySetter, "RuntimeMenuItemCommandKeySetter", 0),
    ITEM_PROPERTY("_Bold", &kBooleanType, RuntimeMenuItemBoldGetter, "RuntimeMenuItemBoldGetter",
                  RuntimeMenuItemBoldSetter, "RuntimeMenuItemBoldSetter", 0),
    ITEM_PROPERTY("_Italic", &kBooleanType, RuntimeMenuItemItalicsGetter, "RuntimeMenuItemItalicsGetter",
                  RuntimeMenuItemItalicsSetter, "RuntimeMenuItemItalicsSetter", 0),
    ITEM_PROPERTY("_Underline", &kBooleanType, RuntimeMenuItemUnderlineGetter, "RuntimeMenuItemUnderlineGetter",
                  RuntimeMenuItemUnderlineSetter, "RuntimeMenuItemUnderlineSetter", 0),
    ITEM_PROPERTY("AutoEnable", &kBooleanType, menuItemFlagGetter, nullptr, RuntimeMenuItemAutoEnableSetter,
                  "RuntimeMenuItemAutoEnableSetter", kFlagAutoEnable),
};

#undef ITEM_PROPERTY

const ParameterRecord kIndexParameter[] = {{"index", &kIntegerType, 0, {}, {}}};
const ParameterRecord kNameParameter[] = {{"name", &kStringType, 0, {}, {}}};
const ParameterRecord kItemParameter[] = {{"item", &kMenuItemType.header, 0, {}, {}}};
const ParameterRecord kIndexItemParameters[] = {{"index", &kIntegerType, 0, {}, {}},
                                                {"item", &kMenuItemType.header, 0, {}, {}}};
const ParameterRecord kNameIndexParameters[] = {{"name", &kStringType, 0, {}, {}},
                                                {"index", &kIntegerType, 0, {}, {}}};
const ParameterRecord kInstallParameter[] = {{"installThis", &kMenuItemType.header, 0, {}, {}}};

#define METHOD(name, result, params, function, entryName) \
    {name, result, params, Fn(&function), entryName, {}, nullptr, nullptr, {}, 0}

MethodRow kMenuItemMethods[] = {
    METHOD("Enable", nullptr, ORVANE_NO_ROWS, RuntimeEnableMenu, "RuntimeEnableMenu"),
    METHOD("Close", nullptr, ORVANE_NO_ROWS, RuntimeCloseMenuItem, "RuntimeCloseMenuItem"),
    METHOD("Item", &kMenuItemType.header, ORVANE_ROWS(kIndexParameter), RuntimeMenuItemItem, "RuntimeMenuItemItem"),
    METHOD("Count", &kIntegerType, ORVANE_NO_ROWS, RuntimeMenuItemCount, "RuntimeMenuItemCount"),
    METHOD("Child", &kMenuItemType.header, ORVANE_ROWS(kNameParameter), RuntimeMenuItemChild, "RuntimeMenuItemChild"),
    METHOD("Append", nullptr, ORVANE_ROWS(kItemParameter), RuntimeMenuItemAppend, "RuntimeMenuItemAppend"),
    METHOD("Insert", nullptr, ORVANE_ROWS(kIndexItemParameters), RuntimeMenuItemInsert, "RuntimeMenuItemInsert"),
    METHOD("Remove", nullptr, ORVANE_ROWS(kIndexParameter), RuntimeMenuItemRemoveIndex, "RuntimeMenuItemRemoveIndex"),
    METHOD("Remove", nullptr, ORVANE_ROWS(kItemParameter), RuntimeMenuItemRemoveItem, "RuntimeMenuItemRemoveItem"),
    METHOD("_Lookup", &kMenuItemType.header, ORVANE_ROWS(kNameParameter), RuntimeMenuItemLookup,
           "RuntimeMenuItemLookup"),
    METHOD("_Lookup", &kMenuItemType.header, ORVANE_ROWS(kNameIndexParameters), RuntimeMenuItemLookupArray,
           "RuntimeMenuItemLookupArray"),
    METHOD("MenuItem", nullptr, ORVANE_NO_ROWS, RuntimeMenuItemDefaultConstructor,
           "RuntimeMenuItemDefaultConstructor"),
};

MethodRow kMenuBarMethods[] = {
    METHOD("_InstallClone", nullptr, ORVANE_ROWS(kInstallParameter), MenuBarInstallClone, nullptr),
};

#undef METHOD

const EventHandlerRow kQuitHandlers[] = {{"Action", Fn(&QuitItemAction)}};
const EventHandlerRow kPrefsHandlers[] = {{"Action", Fn(&PrefsItemAction)}};

ClassDescription MenuSubclass(const char* name, DefinitionGetter base, ObjectProc initializer, MethodRow* methods,
                              int32_t methodCount, EventRow* events, int32_t eventCount,
                              const EventHandlerRow* handlers, int32_t handlerCount) {
    ClassDescription c{name,    base,        int32_t(sizeof(MenuItemObject)), initializer, nullptr,
                       nullptr, 0,           methods,                         methodCount, events,
                       eventCount};
    c.handlers = handlers;
    c.handlerCount = handlerCount;
    return c;
}

}  // namespace

ObjectDefinition* MenuItemDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "MenuItem", nullptr, int32_t(sizeof(MenuItemObject)), InitializeMenuItem, FinalizeMenuItem,
        ORVANE_ROWS(kMenuItemProperties), ORVANE_ROWS(kMenuItemMethods), ORVANE_ROWS(kMenuItemEvents)});
    return d;
}

ObjectDefinition* MenuBarDefinition() {
    static ObjectDefinition* d = DefineClass(MenuSubclass("MenuBar", MenuItemDefinition, InitializeMenuBar,
                                                          ORVANE_ROWS(kMenuBarMethods), ORVANE_NO_ROWS, nullptr, 0));
    return d;
}

ObjectDefinition* QuitMenuItemDefinition() {
    static ObjectDefinition* d =
        DefineClass(MenuSubclass("QuitMenuItem", MenuItemDefinition, nullptr, ORVANE_NO_ROWS,
                                 ORVANE_ROWS(kQuitMenuItemEvents), ORVANE_ROWS(kQuitHandlers)));
    return d;
}

ObjectDefinition* PrefsMenuItemDefinition() {
    static ObjectDefinition* d =
        DefineClass(MenuSubclass("PrefsMenuItem", MenuItemDefinition, nullptr, ORVANE_NO_ROWS,
                                 ORVANE_ROWS(kPrefsMenuItemEvents), ORVANE_ROWS(kPrefsHandlers)));
    return d;
}

ObjectDefinition* AppleMenuItemDefinition() {
    static ObjectDefinition* d = DefineClass(
        MenuSubclass("AppleMenuItem", MenuItemDefinition, nullptr, ORVANE_NO_ROWS, ORVANE_NO_ROWS, nullptr, 0));
    return d;
}
