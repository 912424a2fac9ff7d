// Key texts: the accelerator text a menu item's CommandKey stands for, the
// name the keyboard dispatcher gives a pressed key (the two meet in the
// accelerator list), and the character a KeyDown event carries. Pure rules
// over numbers and texts.
#pragma once

#include <cstdint>
#include <string>

// Event modifier bits, as the keyboard object reports them.
constexpr int32_t kModifierCommand = 0x100;
constexpr int32_t kModifierShift = 0x200;
constexpr int32_t kModifierOption = 0x800;
constexpr int32_t kModifierControl = 0x1000;

// "Ctrl+" ["Shift+"] ["Alt+"] key for a CommandKey such as "O", "Shift-S",
// "shift+F5" or "Ctrl--"; empty for an empty CommandKey. Every menu
// shortcut includes the control key.
std::string AcceleratorTextFor(const std::string& commandKey);
// The text the accelerator list holds for it: a letter key as a capital,
// as the dispatcher names pressed keys ("Ctrl+o" is reached as "Ctrl+O").
std::string ShortcutKeyText(const std::string& acceleratorText);

// What VkKeyScanA answers: virtual key in the low byte, shift (1), control
// (2) and Alt (4) in the high byte, or -1.
using KeyScan = int16_t (*)(char character);

struct KeyStroke {
    int32_t virtualKey;
    bool shift, control, alt;
    bool capsLock;
    bool extended;  // the keypad's Enter (and the other extended keys)
};

// The one-character text of KeyDown for the stroke.
uint8_t KeyDownCharacter(const KeyStroke& key, KeyScan scan);

// The key's name as accelerator texts write it: "Ctrl+", "Shift+", "Alt+"
// for the modifiers held, then "F5", "Esc", "Left", ... or the key's
// character without shift (letters as capitals).
std::string KeyNameFor(const KeyStroke& key, KeyScan scan);

// The virtual keys that raise no KeyDown: shift, control, Alt, pause, Caps
// Lock, the Windows and application keys, Num Lock and Scroll Lock.
bool IsModifierOrLockKey(int32_t virtualKey);
