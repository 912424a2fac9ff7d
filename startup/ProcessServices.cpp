// Process services for modules that run as command-line tools or
// benchmarks: standard output and error (texts written as UTF-8 bytes), the
// exit code, the working folder, a fine clock and the memory in use.
#include <windows.h>
#include <psapi.h>

#include "orvane/exports.h"
#include "startup/RuntimeMain.h"
#include "files/Win32FileCalls.h"
#include "strings/string.h"

namespace {

int32_t gExitCode = 0;

void WriteTo(DWORD which, StringValue* text) {
    if (!text) return;
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    StringHandle utf8 = StringHandle::Borrow(text).ToUtf8();
    DWORD written = 0;
    if (utf8.Length() > 0) WriteFile(h, utf8.Text(), DWORD(utf8.Length()), &written, nullptr);
}

}  // namespace

int32_t RuntimeProcessExitCode() { return gExitCode; }

extern "C" void __cdecl RuntimeStdOutWrite(StringValue* text) { WriteTo(STD_OUTPUT_HANDLE, text); }
extern "C" void __cdecl RuntimeStdErrWrite(StringValue* text) { WriteTo(STD_ERROR_HANDLE, text); }
extern "C" void __cdecl RuntimeSetExitCode(int32_t code) { gExitCode = code; }

extern "C" StringValue* __cdecl RuntimeWorkingFolder(void) {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetCurrentDirectoryW(DWORD(sizeof buffer / sizeof buffer[0]) - 1, buffer);
    if (n == 0 || n >= sizeof buffer / sizeof buffer[0] - 1) return nullptr;
    DWORD length = n;
    if (buffer[length - 1] != L'\\') buffer[length++] = L'\\';
    return PathFromUtf16(buffer, int32_t(length)).Release();
}

extern "C" double __cdecl RuntimeMilliseconds(void) {
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

extern "C" double __cdecl RuntimeMemoryInUse(int32_t peak) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return double(peak ? counters.PeakPagefileUsage : counters.PagefileUsage);
}
