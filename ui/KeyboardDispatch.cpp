#include "ui/KeyboardDispatch.h"

#include <string>

#include "objects/ObjectHandle.h"
#include "objects/RuntimeObjectFoundation.h"
#include "objects/intrinsicInterfaces.h"
#include "strings/string.h"
#include "ui/AcceleratorList.h"
#include "ui/CommandKeys.h"
#include "ui/FocusSeam.h"
#include "ui/ViewWindow.h"
#include "ui/window.h"

extern int32_t gEventModifiers;

namespace {

KeyboardDefaults gDefaults = {};

// The modifiers as they were when the key was pressed: the state the queue
// has reached with this message. The physical state now may already have
// let go of a control key that a quick shortcut held.
bool Held(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

int16_t ScanCharacter(char c) { return VkKeyScanA(c); }

bool IsWindows2000OrLater() {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 5;
}

// Rich edit controls take their keys themselves: the window is not asked.
bool IsRichEdit(HWND handle) {
    char name[32] = {};
    if (!handle || !GetClassNameA(handle, name, sizeof name)) return false;
    return lstrcmpiA(name, "RICHEDIT") == 0 || lstrcmpiA(name, "RICHEDIT20W") == 0;
}

using KeyDownHandler = bool(__cdecl*)(ObjectHeader* window, StringValue* key);

bool RaiseWindowKeyDown(ObjectHeader* window, uint8_t key) {
    ObjectHandle held = ObjectHandle::Borrow(window);
    void* handler = FindEventHandler(window, kWindowKeyDown);
    if (!handler) return false;
    StringHandle text = StringHandle::Adopt(StringMake(&key, 1));
    return reinterpret_cast<KeyDownHandler>(handler)(window, text.Get());
}

bool DefaultHandling(HWND top, const KeyStroke& key) {
    switch (key.virtualKey) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            bool forward = key.virtualKey == VK_RIGHT || key.virtualKey == VK_DOWN;
            return gDefaults.moveInGroup && gDefaults.moveInGroup(top, forward);
        }
        case VK_TAB: {
            if (key.control) return false;
            const FocusSeam& seam = CurrentFocusSeam();
            return seam.moveFocus && seam.moveFocus(top, key.shift);
        }
        case VK_RETURN:
            if (gDefaults.pressDefaultButton) gDefaults.pressDefaultButton(top, key.extended);
            return false;  // passed on in every case
        case VK_ESCAPE: return gDefaults.pressCancelButton && gDefaults.pressCancelButton(top);
        default: return false;
    }
}

}  // namespace

KeyboardDefaults SetKeyboardDefaults(const KeyboardDefaults& defaults) {
    KeyboardDefaults previous = gDefaults;
    gDefaults = defaults;
    return previous;
}

bool DispatchKeyMessage(MSG* message) {
    if (!message || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN)) return false;
    int32_t vk = int32_t(message->wParam & 0xFF);
    if (message->wParam == 255) return false;
    KeyStroke key = {vk, Held(VK_SHIFT), Held(VK_CONTROL), Held(VK_MENU), (GetKeyState(VK_CAPITAL) & 1) != 0,
                     (message->lParam & (1 << 24)) != 0};
    gEventModifiers = (key.control ? kModifierControl : 0) | (key.alt ? kModifierOption : 0) |
                      (key.shift ? kModifierShift : 0);
    HWND top = message->hwnd ? GetAncestor(message->hwnd, GA_ROOT) : nullptr;
    // With Alt held the mnemonics of menus and controls are shown underlined.
    if (key.alt && top && IsWindows2000OrLater()) SendMessageW(top, WM_CHANGEUISTATE, 0x20002, 0);

    if (RunAccelerator(KeyNameFor(key, ScanCharacter))) return true;
    if (IsModifierOrLockKey(vk)) return false;

    uint8_t character = KeyDownCharacter(key, ScanCharacter);
    const FocusSeam& seam = CurrentFocusSeam();
    ObjectHeader* focus = seam.focusControl ? seam.focusControl() : nullptr;
    if (focus && seam.keyDown && seam.keyDown(focus, character)) return true;

    // The window that holds the message's window, if it is one of ours.
    ViewWindow* view = top ? FindViewWindow(top) : nullptr;
    if (!view || !view->window) return false;
    if (!IsRichEdit(message->hwnd) && RaiseWindowKeyDown(view->window, character)) return true;
    // The handler may have closed the window.
    if (!FindViewWindow(top)) return true;
    return DefaultHandling(top, key);
}
