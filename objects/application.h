// The application object: the intrinsic Application class, its events, the
// version getters and the quit protocol.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

struct ObjectDefinition;
class StringHandle;

// Accessors and methods of Application, named in its rows.
extern "C" {
ObjectHeader* __cdecl appResourceForkGetter(ObjectHeader* app, int32_t parameter);
void __cdecl appMouseCursorSetter(ObjectHeader* app, int32_t parameter, ObjectHeader* cursor);
int32_t __cdecl AppBalloonHelpVisibleGetter(ObjectHeader* app, int32_t parameter);
void __cdecl AppBalloonHelpVisibleSetter(ObjectHeader* app, int32_t parameter, int32_t value);
int32_t __cdecl AppIntegerVersionStuffGetter(ObjectHeader* app, int32_t index);
StringValue* __cdecl AppStringVersionStuffGetter(ObjectHeader* app, int32_t index);
ObjectHeader* __cdecl AppMenuBarGetter(ObjectHeader* app, int32_t parameter);
void __cdecl AppMenuBarSetter(ObjectHeader* app, int32_t parameter, ObjectHeader* menuBar);
ObjectHeader* __cdecl AppDockItemGetter(ObjectHeader* app, int32_t parameter);
void __cdecl ApplicationNewDocument(ObjectHeader* app);
void __cdecl ApplicationOpenDocument(ObjectHeader* app, ObjectHeader* item);
void __cdecl ApplicationAddMenuHandler(ObjectHeader* app, StringValue* name, ObjectHeader* handler);
}

ObjectDefinition* ApplicationDefinition();
ObjectDefinition* MDIWindowDefinition();

// Field offsets of Application instances.
constexpr int32_t kAppMouseCursorAt = 28;
constexpr int32_t kAppMDIWindowAt = 32;
constexpr int32_t kAppBalloonHelpAt = 36;
constexpr int32_t kAppQuittingAt = 37;
constexpr int32_t kAppMenuBarAt = 40;
constexpr int32_t kAppMenuHandlersAt = 44;
constexpr int32_t kAppReferenceAt = 48;
constexpr int32_t kApplicationInstanceSize = 52;

// Events of gApplicationObject; each does nothing without an application
// object or a handler. The Boolean ones return what the handler returned.
void RaiseApplicationOpen();
void RaiseApplicationNewDocument();
void RaiseApplicationOpenDocument(ObjectHeader* item);
bool RaiseApplicationUnhandledException(ObjectHeader* exception);
// The menu enabling pass's last step.
void RaiseApplicationEnableMenuItems();
// The handler of the application's OpenDocument event, or nil.
void* ApplicationOpenDocumentHandler();
// WM_ACTIVATEAPP: Activate and Deactivate, each once per change.
void NotifyApplicationActivation(bool active, bool windowClosing);

// The handler object entered under name by _AddMenuHandler, or nil (borrowed).
ObjectHeader* ApplicationMenuHandler(ObjectHeader* app, StringValue* name);

// Version numbers from FileVersion and Release (index as the getter's).
int32_t VersionNumberFrom(StringValue* fileVersion, StringValue* release, int32_t index);
// Reads the version resource of that executable instead of the process's own.
void LoadVersionResourceFrom(const char* path);
// The value of "\StringFileInfo\040904E4\" + key; empty when missing.
StringHandle VersionResourceValue(const char* key);
