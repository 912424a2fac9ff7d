#include "objects/application.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <vector>

#include "objects/ExceptionClasses.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/ObjectFields.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/StringMap.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"
#include "strings/string.h"
#include "ui/win32windows.h"


namespace {

// ---- Fields -----------------------------------------------------------------------------


bool CheckApp(ObjectHeader* app, FixedReport report) {
    if (app) return true;
    RuntimeFixedReport(report);
    return false;
}

// ---- Events ----------------------------------------------------------------------------------

enum ApplicationEvent {
    kOpen, kClose, kEnableMenuItems, kNewDocument, kOpenDocument, kHandleAppleEvent, kActivate, kDeactivate,
    kUnhandledException,
};

EventRow kApplicationEvents[] = {
    {0, "Open", nullptr, nullptr, nullptr},
    {0, "Close", nullptr, nullptr, nullptr},
    {0, "EnableMenuItems", nullptr, nullptr, nullptr},
    {0, "NewDocument", nullptr, nullptr, nullptr},
    {0, "OpenDocument", "item As FolderItem", nullptr, nullptr},
    {0, "HandleAppleEvent", "theEvent As AppleEvent, eventClass As String, eventID As String", "Boolean", nullptr},
    {0, "Activate", nullptr, nullptr, nullptr},
    {0, "Deactivate", nullptr, nullptr, nullptr},
    {0, "UnhandledException", "error As RuntimeException", "Boolean", nullptr},
};

using PlainHandler = void(__cdecl*)(ObjectHeader* app);
using ObjectHandler = void(__cdecl*)(ObjectHeader* app, ObjectHeader* argument);
using BooleanObjectHandler = bool(__cdecl*)(ObjectHeader* app, ObjectHeader* argument);

void RaisePlain(ObjectHeader* app, ApplicationEvent event) {
    if (!app) return;
    // Every event is raised with the object locked: a handler that drops the
    // last other reference does not free it under itself.
    ObjectHandle held = ObjectHandle::Borrow(app);
    if (void* handler = EventHandlerFor(app, kApplicationEvents[event]))
        reinterpret_cast<PlainHandler>(handler)(app);
}

bool gActive = false;
int gInUnhandledException = 0;

// ---- Version resource ---------------------------------------------------------------------------

std::vector<uint8_t>& VersionBlock() {
    static auto* block = new std::vector<uint8_t>;
    return *block;
}
bool gVersionLoaded = false;

void LoadVersionBlock(const wchar_t* path) {
    gVersionLoaded = true;
    std::vector<uint8_t>& block = VersionBlock();
    block.clear();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return;
    block.resize(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) block.clear();
}

void EnsureVersionBlock() {
    if (gVersionLoaded) return;
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    LoadVersionBlock(path);
}

StringHandle Field(const StringHandle& text, int32_t n) {
    StringHandle dot(".");
    return StringHandle::Adopt(StringNthField(text.Get(), dot.Get(), n));
}

// ---- Rows ----------------------------------------------------------------------------------------

const ClassTypeRef kMouseCursorType = ORVANE_CLASS_TYPE("MouseCursor");
const ClassTypeRef kResourceForkType = ORVANE_CLASS_TYPE("ResourceFork");
const ClassTypeRef kMDIWindowType = ORVANE_CLASS_TYPE("MDIWindow");
const ClassTypeRef kMenuBarType = ORVANE_CLASS_TYPE("MenuBar");
const ClassTypeRef kDockItemType = ORVANE_CLASS_TYPE("DockItem");
const ClassTypeRef kFolderItemType = ORVANE_CLASS_TYPE("FolderItem");
const ClassTypeRef kObjectType = ORVANE_CLASS_TYPE("Object");

#define APP_INT_VERSION(name, index) \
    {0, name, &kIntegerType, Fn(&AppIntegerVersionStuffGetter), "AppIntegerVersionStuffGetter", nullptr, nullptr, index}
#define APP_STRING_VERSION(name, index) \
    {0, name, &kStringType, Fn(&AppStringVersionStuffGetter), "AppStringVersionStuffGetter", nullptr, nullptr, index}

PropertyRow kApplicationProperties[] = {
    {0, "MouseCursor", &kMouseCursorType.header, nullptr, "objGetter", Fn(&appMouseCursorSetter),
     "appMouseCursorSetter", kAppMouseCursorAt},
    {0, "ResourceFork", &kResourceForkType.header, Fn(&appResourceForkGetter), "appResourceForkGetter", nullptr,
     nullptr, 0},
    {0, "MDIWindow", &kMDIWindowType.header, nullptr, "objGetter", nullptr, "objSetter", kAppMDIWindowAt},
    {0, "BalloonHelpVisible", &kBooleanType, Fn(&AppBalloonHelpVisibleGetter), "AppBalloonHelpVisibleGetter",
     Fn(&AppBalloonHelpVisibleSetter), "AppBalloonHelpVisibleSetter", kAppBalloonHelpAt},
    APP_INT_VERSION("MajorVersion", 0),
    APP_INT_VERSION("MinorVersion", 1),
    APP_INT_VERSION("BugVersion", 2),
    APP_INT_VERSION("StageCode", 3),
    APP_INT_VERSION("NonReleaseVersion", 4),
    APP_INT_VERSION("RegionCode", 5),
    APP_STRING_VERSION("ShortVersion", 0),
    APP_STRING_VERSION("LongVersion", 1),
    APP_STRING_VERSION("PackageInfo", 2),
    {0, "MenuBar", &kMenuBarType.header, Fn(&AppMenuBarGetter), "AppMenuBarGetter", Fn(&AppMenuBarSetter),
     "AppMenuBarSetter", 0},
    {0, "DockItem", &kDockItemType.header, Fn(&AppDockItemGetter), "AppDockItemGetter", nullptr, nullptr, 0},
};

ParameterRecord kOpenDocumentParameters[] = {{"item", &kFolderItemType.header, 0, {}, {}}};
ParameterRecord kAddMenuHandlerParameters[] = {{"name", &kStringType, 0, {}, {}},
                                               {"handler", &kObjectType.header, 0, {}, {}}};
MethodRow kApplicationMethods[] = {
    {"NewDocument", nullptr, nullptr, 0, Fn(&ApplicationNewDocument), "ApplicationNewDocument", {}, nullptr,
     nullptr, {}, 0},
    {"OpenDocument", nullptr, ORVANE_ROWS(kOpenDocumentParameters), Fn(&ApplicationOpenDocument),
     "ApplicationOpenDocument", {}, nullptr, nullptr, {}, 0},
    {"_AddMenuHandler", nullptr, ORVANE_ROWS(kAddMenuHandlerParameters), Fn(&ApplicationAddMenuHandler),
     "ApplicationAddMenuHandler", {}, nullptr, nullptr, {}, 0},
};

void __cdecl InitializeApplication(ObjectHeader* app) {
    SetFieldAt<ObjectHeader*>(app, kAppMDIWindowAt, CreateInstance(MDIWindowDefinition()));
    SetFieldAt<uint8_t>(app, kAppBalloonHelpAt, 0);
    SetFieldAt<uint8_t>(app, kAppQuittingAt, 0);
    SetFieldAt<StringMap*>(app, kAppMenuHandlersAt, nullptr);
    SetFieldAt<ObjectHeader*>(app, kAppReferenceAt, nullptr);
}

void __cdecl FinalizeApplication(ObjectHeader* app) {
    RuntimeUnlockObject(FieldAt<ObjectHeader*>(app, kAppMDIWindowAt));
    SetFieldAt<ObjectHeader*>(app, kAppMDIWindowAt, nullptr);
    RuntimeUnlockObject(FieldAt<ObjectHeader*>(app, kAppReferenceAt));
    SetFieldAt<ObjectHeader*>(app, kAppReferenceAt, nullptr);
    if (StringMap* handlers = FieldAt<StringMap*>(app, kAppMenuHandlersAt)) {
        SetFieldAt<StringMap*>(app, kAppMenuHandlersAt, nullptr);
        handlers->ForEach([](StringValue*, void* handler) { RuntimeUnlockObject(static_cast<ObjectHeader*>(handler)); });
        delete handlers;
    }
    RuntimeUnlockObject(FieldAt<ObjectHeader*>(app, kAppMouseCursorAt));
    SetFieldAt<ObjectHeader*>(app, kAppMouseCursorAt, nullptr);
    RuntimeUnlockObject(FieldAt<ObjectHeader*>(app, kAppMenuBarAt));
    SetFieldAt<ObjectHeader*>(app, kAppMenuBarAt, nullptr);
    if (gApplicationObject == app) gApplicationObject = nullptr;
}

}  // namespace

ObjectDefinition* ApplicationDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "Application", nullptr, kApplicationInstanceSize, InitializeApplication, FinalizeApplication,
        ORVANE_ROWS(kApplicationProperties), ORVANE_ROWS(kApplicationMethods), ORVANE_ROWS(kApplicationEvents)});
    return d;
}

// Multiple-document windows are not offered on this platform's viewer; the
// application object still carries one, as every application does.
ObjectDefinition* MDIWindowDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{"MDIWindow", nullptr, 28, nullptr, nullptr,
                                                              ORVANE_NO_ROWS, ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

// ---- Events ---------------------------------------------------------------------------------------

void RaiseApplicationOpen() { RaisePlain(gApplicationObject, kOpen); }
void RaiseApplicationNewDocument() { RaisePlain(gApplicationObject, kNewDocument); }
void RaiseApplicationEnableMenuItems() { RaisePlain(gApplicationObject, kEnableMenuItems); }

void RaiseApplicationOpenDocument(ObjectHeader* item) {
    ObjectHeader* app = gApplicationObject;
    if (!app) return;
    ObjectHandle held = ObjectHandle::Borrow(app);
    if (void* handler = EventHandlerFor(app, kApplicationEvents[kOpenDocument]))
        reinterpret_cast<ObjectHandler>(handler)(app, item);
}

void* ApplicationOpenDocumentHandler() {
    return gApplicationObject ? EventHandlerFor(gApplicationObject, kApplicationEvents[kOpenDocument]) : nullptr;
}

bool RaiseApplicationUnhandledException(ObjectHeader* exception) {
    ObjectHeader* app = gApplicationObject;
    if (!app) return false;
    void* handler = EventHandlerFor(app, kApplicationEvents[kUnhandledException]);
    // An exception raised by the handler itself is not offered to it again.
    if (!handler || gInUnhandledException > 0) return false;
    ObjectHandle held = ObjectHandle::Borrow(app);
    ++gInUnhandledException;
    bool handled = reinterpret_cast<BooleanObjectHandler>(handler)(app, exception);
    --gInUnhandledException;
    return handled;
}

void NotifyApplicationActivation(bool active, bool windowClosing) {
    if (active) {
        if (gActive) return;
        gActive = true;
        RaisePlain(gApplicationObject, kActivate);
    } else if (!windowClosing && gActive) {
        gActive = false;
        RaisePlain(gApplicationObject, kDeactivate);
    }
}

ObjectHeader* ApplicationMenuHandler(ObjectHeader* app, StringValue* name) {
    StringMap* handlers = app ? FieldAt<StringMap*>(app, kAppMenuHandlersAt) : nullptr;
    void* found = nullptr;
    return handlers && handlers->Find(name, &found) ? static_cast<ObjectHeader*>(found) : nullptr;
}

// ---- Versions ----------------------------------------------------------------------------------------

int32_t VersionNumberFrom(StringValue* fileVersion, StringValue* release, int32_t index) {
    StringHandle version = StringHandle::Borrow(fileVersion);
    switch (index) {
        case 0:
        case 1:
        case 2: return int32_t(StringVal(Field(version, index + 1).Get()));
        case 3: {
            static const char* const kStages[] = {"Development", "Alpha", "Beta", "Final"};
            for (int32_t i = 0; i < 4; ++i) {
                int32_t n = int32_t(std::strlen(kStages[i]));
                if (CompareBytesText(reinterpret_cast<const uint8_t*>(StringText(release)), StringLength(release),
                                     reinterpret_cast<const uint8_t*>(kStages[i]), n) == 0)
                    return i;
            }
            return -1;
        }
        case 4: return int32_t(StringVal(Field(version, 4).Get()));
        default: return -1;
    }
}

void LoadVersionResourceFrom(const char* path) {
    wchar_t wide[MAX_PATH + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
    LoadVersionBlock(wide);
}

StringHandle VersionResourceValue(const char* key) {
    EnsureVersionBlock();
    std::vector<uint8_t>& block = VersionBlock();
    if (block.empty()) return StringHandle();
    wchar_t query[128] = L"\\StringFileInfo\\040904E4\\";
    size_t at = wcslen(query);
    for (size_t i = 0; key[i] && at + 1 < 128; ++i) query[at++] = wchar_t(uint8_t(key[i]));
    query[at] = 0;
    void* value = nullptr;
    UINT units = 0;
    if (!VerQueryValueW(block.data(), query, &value, &units) || !value) return StringHandle();
    const uint16_t* text = static_cast<const uint16_t*>(value);
    int32_t n = 0;
    while (n < int32_t(units) && text[n]) ++n;
    if (n == 0) return StringHandle();
    return StringHandle::Adopt(StringMakeUtf16(text, n)).ToUtf8();
}

// ---- Entry points ---------------------------------------------------------------------------------------

extern "C" ObjectHeader* getAppObject(void) {
    RuntimeLockObject(gApplicationObject);
    return gApplicationObject;
}

extern "C" ObjectHeader* appResourceForkGetter(ObjectHeader* app, int32_t) {
    CheckApp(app, kReportAppResourceFork);
    return nullptr;
}

extern "C" void appMouseCursorSetter(ObjectHeader* app, int32_t, ObjectHeader* cursor) {
    if (!CheckApp(app, kReportAppMouseCursor)) return;
    ObjectHeader* old = FieldAt<ObjectHeader*>(app, kAppMouseCursorAt);
    RuntimeUnlockObject(old);
    RuntimeLockObject(cursor);
    SetFieldAt<ObjectHeader*>(app, kAppMouseCursorAt, cursor);
    // Cursor objects carry no system cursor yet: every cursor shows as the arrow.
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

extern "C" int32_t AppBalloonHelpVisibleGetter(ObjectHeader* app, int32_t) {
    return CheckApp(app, kReportAppBalloonHelpGet) ? FieldAt<int8_t>(app, kAppBalloonHelpAt) : 0;
}

extern "C" void AppBalloonHelpVisibleSetter(ObjectHeader* app, int32_t, int32_t value) {
    if (!CheckApp(app, kReportAppBalloonHelpSet)) return;
    SetFieldAt<uint8_t>(app, kAppBalloonHelpAt, uint8_t(value != 0));
    ShowRuntimeWindowHelpTags(value != 0);
}

extern "C" int32_t AppIntegerVersionStuffGetter(ObjectHeader* app, int32_t index) {
    if (!CheckApp(app, kReportAppIntegerVersion)) return 0;
    if (index == 5) return -1;
    StringHandle version = VersionResourceValue("FileVersion");
    StringHandle release = VersionResourceValue("Release");
    return VersionNumberFrom(version.Get(), release.Get(), index);
}

extern "C" StringValue* AppStringVersionStuffGetter(ObjectHeader* app, int32_t index) {
    if (!CheckApp(app, kReportAppStringVersion)) return nullptr;
    static const char* const kKeys[] = {"Product Version", "LegalCopyright", "FileDescription"};
    if (index < 0 || index > 2) return nullptr;
    return VersionResourceValue(kKeys[index]).Release();
}

extern "C" ObjectHeader* AppMenuBarGetter(ObjectHeader* app, int32_t) {
    if (!CheckApp(app, kReportAppMenuBarGet)) return nullptr;
    ObjectHeader* menuBar = FieldAt<ObjectHeader*>(app, kAppMenuBarAt);
    RuntimeLockObject(menuBar);
    return menuBar;
}

extern "C" void AppMenuBarSetter(ObjectHeader* app, int32_t, ObjectHeader* menuBar) {
    if (!CheckApp(app, kReportAppMenuBarSet)) return;
    RuntimeLockUnlockObjects(menuBar, FieldAt<ObjectHeader*>(app, kAppMenuBarAt));
    SetFieldAt<ObjectHeader*>(app, kAppMenuBarAt, menuBar);
    if (gMDIMode) InstallFrameMenuBar(menuBar);
}

extern "C" ObjectHeader* AppDockItemGetter(ObjectHeader* app, int32_t) {
    CheckApp(app, kReportAppDockItem);
    return nullptr;
}

extern "C" void ApplicationNewDocument(ObjectHeader* app) {
    if (CheckApp(app, kReportAppNewDocument)) RaisePlain(app, kNewDocument);
}

extern "C" void ApplicationOpenDocument(ObjectHeader* app, ObjectHeader* item) {
    if (!CheckApp(app, kReportAppOpenDocument)) return;
    ObjectHandle held = ObjectHandle::Borrow(app);
    if (void* handler = EventHandlerFor(app, kApplicationEvents[kOpenDocument]))
        reinterpret_cast<ObjectHandler>(handler)(app, item);
}

extern "C" void ApplicationAddMenuHandler(ObjectHeader* self, StringValue* name, ObjectHeader* handler) {
    if (!self) {
        RUNTIME_FIXED_REPORT(kReportMenuHandlerSelf);
        return;
    }
    if (!name) {
        RUNTIME_FIXED_REPORT(kReportMenuHandlerName);
        return;
    }
    if (!handler) return;
    StringMap* handlers = FieldAt<StringMap*>(self, kAppMenuHandlersAt);
    if (!handlers) {
        handlers = new (std::nothrow) StringMap;
        if (!handlers) {
            RUNTIME_FIXED_REPORT(kReportMenuHandlerMap);
            return;
        }
        SetFieldAt<StringMap*>(self, kAppMenuHandlersAt, handlers);
    }
    void* old = nullptr;
    bool had = handlers->Find(name, &old);
    RuntimeLockObject(handler);
    handlers->Insert(name, handler);
    if (had) RuntimeUnlockObject(static_cast<ObjectHeader*>(old));
}

extern "C" void ApplicationQuit(void) {
    ObjectHeader* app = gApplicationObject;
    if (!app) {
        RUNTIME_FIXED_REPORT(kReportNoApplicationObject);
        return;
    }
    if (FieldAt<uint8_t>(app, kAppQuittingAt)) return;
    ObjectHandle held = ObjectHandle::Borrow(app);
    SetFieldAt<uint8_t>(app, kAppQuittingAt, 1);
    if (AnyRuntimeWindowCancelsClose()) {
        SetFieldAt<uint8_t>(app, kAppQuittingAt, 0);
        return;
    }
    CloseAllRuntimeWindows();
    RaisePlain(app, kClose);
    SetFieldAt<uint8_t>(app, kAppQuittingAt, 0);
    if (gInUnhandledException == 0) RaiseNewException(ClassOfDefinition(EndExceptionDefinition()));
    gQuit = true;
}
