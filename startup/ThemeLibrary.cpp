#include "startup/ThemeLibrary.h"

#include "startup/Win32Owners.h"

FARPROC gThemeFunctions[kThemeFunctionCount];

namespace {
ModuleHandle gThemeLibrary;

const char* const kThemeFunctionNames[kThemeFunctionCount] = {
    "OpenThemeData", "CloseThemeData", "GetThemeSysColor", "GetThemeColor", "IsAppThemed",
    "IsThemeActive", "IsThemePartDefined", "DrawThemeBackground", "GetCurrentThemeName",
    "GetThemeMetric", "GetThemePartSize", "GetThemeSysSize", "SetThemeAppProperties",
    "GetThemeRect", "DrawThemeText", "DrawThemeParentBackground", "DrawThemeBorder",
};
}  // namespace

bool IsWindowsXP() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           info.dwMajorVersion == 5 && info.dwMinorVersion == 1;
}

void LoadThemeLibrary() {
    if (!IsWindowsXP() || gThemeLibrary) return;
    gThemeLibrary.Reset(LoadLibraryA("uxtheme.dll"));
    if (!gThemeLibrary) return;
    for (int i = 0; i < kThemeFunctionCount; ++i)
        gThemeFunctions[i] = GetProcAddress(gThemeLibrary.Get(), kThemeFunctionNames[i]);
}

void FreeThemeLibrary() {
    if (!gThemeLibrary) return;
    gThemeLibrary.Reset();
    for (FARPROC& f : gThemeFunctions) f = nullptr;
}
