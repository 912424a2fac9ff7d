#include "ui/MessageDialog.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "startup/SystemVersion.h"

namespace {
RuntimeMessageHook gHook = nullptr;

// Wide text for the box: UTF-16 as is, UTF-8 and ASCII through UTF-8, any
// other encoding through the system code page.
std::vector<wchar_t> WideText(const StringHandle& text) {
    std::vector<wchar_t> wide(1, 0);
    if (text.IsEmpty()) return wide;
    if (text.Encoding() == kEncodingUTF16) {
        const uint16_t* units = text.Utf16();
        wide.assign(units, units + text.Length() / 2);
        wide.push_back(0);
        return wide;
    }
    UINT codePage = text.Encoding() == kEncodingUTF8 || text.Encoding() == kEncodingASCII
                        ? CP_UTF8
                        : CP_ACP;
    int n = MultiByteToWideChar(codePage, 0, text.Text(), text.Length(), nullptr, 0);
    if (n <= 0) {
        codePage = CP_ACP;
        n = MultiByteToWideChar(codePage, 0, text.Text(), text.Length(), nullptr, 0);
    }
    if (n <= 0) return wide;
    wide.assign(size_t(n) + 1, 0);
    MultiByteToWideChar(codePage, 0, text.Text(), text.Length(), wide.data(), n);
    return wide;
}
}  // namespace

RuntimeMessageHook SetRuntimeMessageHook(RuntimeMessageHook hook) {
    RuntimeMessageHook old = gHook;
    gHook = hook;
    return old;
}

StringHandle RuntimeMessageText(const StringHandle& text) {
    const char* bytes = text.Text();
    const int32_t n = text.Length();
    for (int32_t p = 1; p + 4 <= n; ++p) {
        if (std::memcmp(bytes + p, "\r\n\r\n", 4) != 0) continue;
        if (p + 4 == n) return text.Left(p);  // nothing after the blank line
        return text;                          // message, blank line, explanation
    }
    return text;
}

void RuntimeShowMessage(const StringHandle& text) {
    if (gHook) {
        gHook(text);
        return;
    }
    // The loader's messages come before any window exists: no owner, and so
    // an empty caption.
    const StringHandle shown = RuntimeMessageText(text);
    const UINT style = MB_OK | MB_ICONINFORMATION;
    if (IsWindowsNT()) {
        MessageBoxW(nullptr, WideText(shown).data(), L"", style);
    } else {
        MessageBoxA(nullptr, shown.Text(), "", style);
    }
}
