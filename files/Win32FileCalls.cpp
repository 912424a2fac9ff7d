#include "files/Win32FileCalls.h"

#include "startup/SystemVersion.h"

namespace {
constexpr DWORD kLongPathBuffer = 1024;

using LongPathW = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
using LongPathA = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

FARPROC Kernel32Function(const char* name) {
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    return kernel ? GetProcAddress(kernel, name) : nullptr;
}
}  // namespace

StringHandle PathToUtf16(const StringHandle& path) {
    if (path.IsEmpty() || path.Encoding() == kEncodingUTF16) return path;
    if (path.Encoding() == kEncodingUTF8) return path.ToUtf16();
    // Paths are held in UTF-8; a text of another tag is taken as UTF-8 bytes.
    StringHandle utf8 = PathFromBytes(path.Text(), path.Length());
    return utf8.ToUtf16();
}

const wchar_t* WidePointer(const StringHandle& utf16) {
    return reinterpret_cast<const wchar_t*>(utf16.Utf16());
}

StringHandle PathFromUtf16(const wchar_t* units, int32_t count) {
    StringHandle wide = StringHandle::Adopt(StringMakeUtf16(reinterpret_cast<const uint16_t*>(units), count));
    return wide.ToUtf8();
}

StringHandle PathFromBytes(const char* bytes, int32_t count) {
    StringHandle out = StringHandle::Adopt(StringMake(bytes, count));
    out.SetEncoding(kEncodingUTF8);
    return out;
}

DWORD PathAttributes(const StringHandle& path, DWORD* error) {
    DWORD attributes;
    if (IsWindowsNT()) {
        StringHandle wide = PathToUtf16(path);
        attributes = GetFileAttributesW(WidePointer(wide));
    } else {
        attributes = GetFileAttributesA(path.Text());
    }
    if (error) *error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
    return attributes;
}

StringHandle LongPathForm(const StringHandle& path) {
    if (IsWindowsNT()) {
        auto longPath = reinterpret_cast<LongPathW>((void*)Kernel32Function("GetLongPathNameW"));
        if (!longPath) return path;
        StringHandle wide = PathToUtf16(path);
        wchar_t buffer[kLongPathBuffer];
        DWORD n = longPath(WidePointer(wide), buffer, kLongPathBuffer);
        if (n == 0 || n >= kLongPathBuffer) return path;
        return PathFromUtf16(buffer, int32_t(n));
    }
    auto longPath = reinterpret_cast<LongPathA>((void*)Kernel32Function("GetLongPathNameA"));
    if (!longPath) return path;
    char buffer[kLongPathBuffer];
    DWORD n = longPath(path.Text(), buffer, kLongPathBuffer);
    if (n == 0 || n >= kLongPathBuffer) return path;
    return PathFromBytes(buffer, int32_t(n));
}

bool PathFindsSomething(const StringHandle& pattern) {
    if (IsWindowsNT()) {
        StringHandle wide = PathToUtf16(pattern);
        WIN32_FIND_DATAW found;
        FindHandle find(FindFirstFileW(WidePointer(wide), &found));
        return find.IsValid();
    }
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(pattern.Text(), &found));
    return find.IsValid();
}

HANDLE OpenPathForReading(const StringHandle& path, DWORD* error) {
    HANDLE h;
    if (IsWindowsNT()) {
        StringHandle wide = PathToUtf16(path);
        h = CreateFileW(WidePointer(wide), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    } else {
        h = CreateFileA(path.Text(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (error) *error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return h;
}

StringHandle ApplicationFolder() {
    StringHandle path;
    if (IsWindowsNT()) {
        wchar_t buffer[MAX_PATH * 4];
        DWORD n = GetModuleFileNameW(nullptr, buffer, DWORD(sizeof buffer / sizeof buffer[0]));
        if (n == 0 || n >= sizeof buffer / sizeof buffer[0]) return path;
        path = PathFromUtf16(buffer, int32_t(n));
    } else {
        char buffer[MAX_PATH * 4];
        DWORD n = GetModuleFileNameA(nullptr, buffer, DWORD(sizeof buffer));
        if (n == 0 || n >= sizeof buffer) return path;
        path = PathFromBytes(buffer, int32_t(n));
    }
    const char* p = path.Text();
    int32_t slash = path.Length() - 1;
    while (slash >= 0 && p[slash] != '\\') --slash;
    return slash > 0 ? path.Left(slash) : StringHandle();
}
