#include "ui/MessageDialog.h"

#include <cstring>
#include <vector>

#include "graphics/DrawingContext.h"
#include "startup/ProcessState.h"
#include "startup/SystemVersion.h"
#include "ui/ModalStack.h"
#include "ui/ViewWindow.h"

namespace {
RuntimeMessageHook gHook = nullptr;
MessageBoxFunction gMessageBox = nullptr;

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

// The owner's title as the window gives it back; empty without an owner.
std::vector<wchar_t> CaptionOf(HWND owner) {
    std::vector<wchar_t> caption(1, 0);
    if (!owner) return caption;
    int n = GetWindowTextLengthW(owner);
    if (n <= 0) return caption;
    caption.assign(size_t(n) + 1, 0);
    n = GetWindowTextW(owner, caption.data(), n + 1);
    caption.resize(size_t(n < 0 ? 0 : n) + 1);
    caption.back() = 0;
    return caption;
}

// The 8-bit form for systems without the wide one: the system code page.
std::vector<char> AnsiText(const std::vector<wchar_t>& wide) {
    std::vector<char> ansi(1, 0);
    int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return ansi;
    ansi.assign(size_t(n), 0);
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, ansi.data(), n, nullptr, nullptr);
    return ansi;
}
}  // namespace

RuntimeMessageHook SetRuntimeMessageHook(RuntimeMessageHook hook) {
    RuntimeMessageHook old = gHook;
    gHook = hook;
    return old;
}

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction old = gMessageBox;
    gMessageBox = function;
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

HWND MessageBoxOwner() {
    if (!ModalStackIsEmpty()) return ModalStackNewestVisible();
    if (gMDIMode) return gMDIFrame;
    HWND active = GetActiveWindow();
    ViewWindow* view = FindViewWindow(active);
    if (view && IsDocumentFrameCode(view->frameCode) && IsWindowVisible(active)) return active;
    return nullptr;
}

void RuntimeShowMessage(const StringHandle& text) {
    if (gHook) {
        gHook(text);
        return;
    }
    const HWND owner = MessageBoxOwner();
    const std::vector<wchar_t> caption = CaptionOf(owner);
    const std::vector<wchar_t> shown = WideText(RuntimeMessageText(text));
    // The box runs its own message loop; no device context may stay selected meanwhile.
    DrawingContextReleaseCurrent();
    const UINT style = MB_OK | MB_ICONINFORMATION;
    if (gMessageBox) {
        gMessageBox(owner, shown.data(), caption.data(), style);
    } else if (IsWindowsNT()) {
        MessageBoxW(owner, shown.data(), caption.data(), style);
    } else {
        MessageBoxA(owner, AnsiText(shown).data(), AnsiText(caption).data(), style);
    }
}

extern "C" void RuntimeMsgBox(StringValue* text) { RuntimeShowMessage(StringHandle::Borrow(text)); }
