// The process's standard output, standard error and exit code, for modules
// that run as command-line tools. Texts are written as UTF-8 bytes.
#include <windows.h>

#include "orvane/exports.h"
#include "startup/RuntimeMain.h"
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
