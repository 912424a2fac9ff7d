// The keyboard dispatcher: every WM_KEYDOWN and WM_SYSKEYDOWN the main loop
// takes goes here before it is translated. Menu shortcuts and mnemonics
// come first (the accelerator list), then KeyDown of the focus control and
// of the window, then the window's default key handling.
#pragma once

#include <windows.h>

#include <cstdint>

// The default handling that belongs to the standard controls: pressing the
// default or cancel push button, moving through a radio group by arrows.
// Until they are installed these keys are not handled by default.
struct KeyboardDefaults {
    // Enter (keypadEnter: the keypad's): presses the window's default button
    // (or the focused push button); the key is passed on either way.
    void (*pressDefaultButton)(HWND window, bool keypadEnter);
    // Esc: presses the window's cancel button; true when there is one.
    bool (*pressCancelButton)(HWND window);
    // Arrows in a group that moves by arrow keys; true when the focus moved.
    bool (*moveInGroup)(HWND window, bool forward);
};
KeyboardDefaults SetKeyboardDefaults(const KeyboardDefaults& defaults);  // returns the previous ones

// The main loop's hook: true when the key was consumed.
bool DispatchKeyMessage(MSG* message);
