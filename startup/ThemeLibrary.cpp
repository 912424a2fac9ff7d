#include "startup/ThemeLibrary.h"

FARPROC gThemeFunctions[kThemeFunctionCount];

namespace {
HMODULE gThemeLibrary = nullptr;

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
    gThemeLibrary = LoadLibraryA("uxtheme.dll");
    if (!gThemeLibrary) return;
    for (int i = 0; i < kThemeFunctionCount; ++i)
        gThemeFunctions[i] = GetProcAddress(gThemeLibrary, kThemeFunctionNames[i]);
}

void FreeThemeLibrary() {
    if (!gThemeLibrary) return;
    FreeLibrary(gThemeLibrary);
    gThemeLibrary = nullptr;
    for (FARPROC& f : gThemeFunctions) f = nullptr;
}
