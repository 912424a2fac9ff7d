#include "files/SystemFolders.h"

#include <windows.h>
#include <shlobj.h>

#include "files/FolderPath.h"
#include "files/Win32FileCalls.h"
#include "startup/SystemVersion.h"

namespace {

template <typename Call>
StringHandle WideOrAnsiPath(Call wideCall, UINT (*ansiCall)(char*, UINT)) {
    if (IsWindowsNT()) {
        wchar_t buffer[MAX_PATH + 1];
        UINT n = wideCall(buffer, MAX_PATH + 1);
        return n > 0 && n <= MAX_PATH ? PathFromUtf16(buffer, int32_t(n)) : StringHandle();
    }
    char buffer[MAX_PATH + 1];
    UINT n = ansiCall(buffer, MAX_PATH + 1);
    return n > 0 && n <= MAX_PATH ? PathFromBytes(buffer, int32_t(n)) : StringHandle();
}

UINT TempA(char* b, UINT n) { return GetTempPathA(n, b); }
UINT TempW(wchar_t* b, UINT n) { return GetTempPathW(n, b); }
UINT WindowsA(char* b, UINT n) { return GetWindowsDirectoryA(b, n); }
UINT WindowsW(wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); }
UINT SystemA(char* b, UINT n) { return GetSystemDirectoryA(b, n); }
UINT SystemW(wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }
}  // namespace

StringHandle ShellFolderPath(int folder) {
    ShellItemList list;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, folder, list.Out())) || !list.Get()) return StringHandle();
    if (IsWindowsNT()) {
        wchar_t buffer[MAX_PATH + 1] = {};
        if (!SHGetPathFromIDListW(list.Get(), buffer)) return StringHandle();
        return PathFromUtf16(buffer, int32_t(lstrlenW(buffer)));
    }
    char buffer[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(list.Get(), buffer)) return StringHandle();
    return PathFromBytes(buffer, int32_t(lstrlenA(buffer)));
}

StringHandle TemporaryFolderPath() { return DropTrailingBackslash(WideOrAnsiPath(TempW, TempA)); }
StringHandle WindowsFolderPath() { return WideOrAnsiPath(WindowsW, WindowsA); }
StringHandle SystemFolderPath() { return WideOrAnsiPath(SystemW, SystemA); }

StringHandle SpecialFolderPath(uint32_t code) {
    switch (code) {
        case kFolderDesktop:
            return ShellFolderPath(CSIDL_DESKTOPDIRECTORY);
        case kFolderPreferences:
            return ShellFolderPath(CSIDL_APPDATA);
        case kFolderWindows:
            return ShellFolderPath(CSIDL_WINDOWS);
        case kFolderTemporary:
            return TemporaryFolderPath();
        default:
            return StringHandle();  // the recycle bin has no path of its own
    }
}
