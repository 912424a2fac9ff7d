#include "objects/intrinsicInterfaces.h"

#include <windows.h>

#include "objects/ObjectDefinition.h"
#include "objects/globalFunctionsDecl.h"
#include "orvane/exports.h"

namespace {

const ClassTypeRef kObjectType = ORVANE_CLASS_TYPE("Object");
const ClassTypeRef kWindowType = ORVANE_CLASS_TYPE("Window");
const ClassTypeRef kMenuBarType = ORVANE_CLASS_TYPE("MenuBar");
const ClassTypeRef kActionReceiverType = ORVANE_CLASS_TYPE("actionNotificationReceiver");
const ClassTypeRef kDataReceiverType = ORVANE_CLASS_TYPE("dataNotificationReceiver");

// An interface declares its methods by name and type only; the implementing
// class supplies the functions.
#define DECLARED(name, result, ...) \
    {name, result, __VA_ARGS__, nullptr, nullptr, {}, nullptr, nullptr, {}, 0}

ParameterRecord kWindowParameter[] = {{"w", &kWindowType.header, 0, {}, {}}};
ParameterRecord kMenuBarParameter[] = {{"m", &kMenuBarType.header, 0, {}, {}}};
ParameterRecord kStringParameter[] = {{"Str", &kStringType, 0, {}, {}}};
ParameterRecord kBooleanParameter[] = {{"value", &kBooleanType, 0, {}, {}}};
ParameterRecord kActionReceiverParameter[] = {{"receiver", &kActionReceiverType.header, 0, {}, {}}};
ParameterRecord kDataReceiverParameter[] = {{"receiver", &kDataReceiverType.header, 0, {}, {}}};
ParameterRecord kBindParameters[] = {{"source", &kObjectType.header, 0, {}, {}},
                                     {"dest", &kObjectType.header, 0, {}, {}}};

MethodRow kPaneChildMethods[] = {
    DECLARED("_Layout", nullptr, nullptr, 0),
    DECLARED("_SetWindow", nullptr, ORVANE_ROWS(kWindowParameter)),
    DECLARED("_Index", &kIntegerType, nullptr, 0),
};
MethodRow kMenuBarInstallerMethods[] = {DECLARED("_Install", nullptr, ORVANE_ROWS(kMenuBarParameter))};
MethodRow kStringProviderMethods[] = {DECLARED("getString", &kStringType, nullptr, 0)};
MethodRow kStringInterfaceMethods[] = {DECLARED("setString", nullptr, ORVANE_ROWS(kStringParameter))};
MethodRow kBooleanProviderMethods[] = {
    DECLARED("getBoolean", &kBooleanType, nullptr, 0),
    DECLARED("setBoolean", nullptr, ORVANE_ROWS(kBooleanParameter)),
};
MethodRow kActionSourceMethods[] = {
    DECLARED("addActionNotificationReceiver", nullptr, ORVANE_ROWS(kActionReceiverParameter)),
    DECLARED("removeActionNotificationReceiver", nullptr, ORVANE_ROWS(kActionReceiverParameter)),
};
MethodRow kActionReceiverMethods[] = {DECLARED("PerformAction", nullptr, nullptr, 0)};
MethodRow kDataNotifierMethods[] = {
    DECLARED("addDataNotificationReceiver", nullptr, ORVANE_ROWS(kDataReceiverParameter)),
    DECLARED("removeDataNotificationReceiver", nullptr, ORVANE_ROWS(kDataReceiverParameter)),
};
MethodRow kDataReceiverMethods[] = {DECLARED("dataChanged", nullptr, nullptr, 0)};
MethodRow kBindingMethods[] = {DECLARED("bind", nullptr, ORVANE_ROWS(kBindParameters))};
MethodRow kBindingPartMethods[] = {DECLARED("getBoundPart", &kObjectType.header, ORVANE_ROWS(kStringParameter))};

ObjectDefinition* DefineInterface(const char* name, MethodRow* methods, int32_t count) {
    ClassDescription c{name, nullptr, 28, nullptr, nullptr, ORVANE_NO_ROWS, methods, count, ORVANE_NO_ROWS};
    c.isAnInterface = true;
    return DefineClass(c);
}

#define INTERFACE(getter, name, rows)                                             \
    ObjectDefinition* getter() {                                                  \
        static ObjectDefinition* d = DefineInterface(name, ORVANE_ROWS(rows)); \
        return d;                                                                 \
    }

// ---- The keyboard -------------------------------------------------------------------------

bool KeyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

}  // namespace

// The modifiers of the event being handled; the window layer keeps them.
int32_t gEventModifiers = 0;

extern "C" ObjectHeader* getKeyboardObject(void) { return CreateInstance(KeyboardDefinition()); }

extern "C" int32_t modifierKeyGetter(ObjectHeader*, int32_t mask) { return (mask & gEventModifiers) != 0; }

extern "C" int32_t asyncModifierKeyGetter(ObjectHeader*, int32_t mask) {
    switch (mask) {
        case 0x100: return KeyDown(VK_LWIN) || KeyDown(VK_RWIN);
        case 0x200: return KeyDown(VK_SHIFT);
        case 0x800: return KeyDown(VK_MENU);
        case 0x1000: return KeyDown(VK_CONTROL);
        default: return 0;
    }
}

extern "C" int32_t keyboardAsyncKeyDown(ObjectHeader*, int32_t keyCode) {
    return keyCode > 0 && keyCode < 256 && KeyDown(keyCode);
}

namespace {

#define MODIFIER(name, getter, mask) {0, name, &kBooleanType, Fn(&getter), #getter, nullptr, nullptr, mask}
PropertyRow kKeyboardProperties[] = {
    MODIFIER("ShiftKey", modifierKeyGetter, 0x200),
    MODIFIER("CommandKey", modifierKeyGetter, 0x100),
    MODIFIER("ControlKey", modifierKeyGetter, 0x1000),
    MODIFIER("OptionKey", modifierKeyGetter, 0x800),
    MODIFIER("AsyncShiftKey", asyncModifierKeyGetter, 0x200),
    MODIFIER("AsyncCommandKey", asyncModifierKeyGetter, 0x100),
    MODIFIER("AsyncControlKey", asyncModifierKeyGetter, 0x1000),
    MODIFIER("AsyncOptionKey", asyncModifierKeyGetter, 0x800),
};
ParameterRecord kKeyCodeParameter[] = {{"keyCode", &kIntegerType, 0, {}, {}}};
MethodRow kKeyboardMethods[] = {{"AsyncKeyDown", &kBooleanType, ORVANE_ROWS(kKeyCodeParameter),
                                 Fn(&keyboardAsyncKeyDown), "keyboardAsyncKeyDown", {}, nullptr, nullptr, {}, 0}};

EventRow kMenuHandlerEvents[] = {{0, "Action", "index As Integer", "Boolean", nullptr}};

}  // namespace

INTERFACE(PaneChildDefinition, "_PaneChild", kPaneChildMethods)
INTERFACE(MenuBarInstallerDefinition, "_MenuBarInstaller", kMenuBarInstallerMethods)
INTERFACE(StringProviderDefinition, "StringProvider", kStringProviderMethods)
INTERFACE(StringInterfaceDefinition, "StringInterface", kStringInterfaceMethods)
INTERFACE(BooleanProviderDefinition, "BooleanProvider", kBooleanProviderMethods)
INTERFACE(ActionSourceDefinition, "actionSource", kActionSourceMethods)
INTERFACE(ActionNotificationReceiverDefinition, "actionNotificationReceiver", kActionReceiverMethods)
INTERFACE(DataNotifierDefinition, "dataNotifier", kDataNotifierMethods)
INTERFACE(DataNotificationReceiverDefinition, "dataNotificationReceiver", kDataReceiverMethods)
INTERFACE(BindingInterfaceDefinition, "bindingInterface", kBindingMethods)
INTERFACE(BindingPartInterfaceDefinition, "bindingPartInterface", kBindingPartMethods)

ObjectDefinition* CollectionElementDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{"CollectionElement", nullptr, 28, nullptr, nullptr,
                                                              ORVANE_NO_ROWS, ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* MenuHandlerDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{"_MenuHandler", nullptr, 28, nullptr, nullptr,
                                                              ORVANE_NO_ROWS, ORVANE_NO_ROWS,
                                                              ORVANE_ROWS(kMenuHandlerEvents)});
    return d;
}

ObjectDefinition* KeyboardDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{"_Keyboard", nullptr, 28, nullptr, nullptr,
                                                              ORVANE_ROWS(kKeyboardProperties),
                                                              ORVANE_ROWS(kKeyboardMethods), ORVANE_NO_ROWS});
    return d;
}
