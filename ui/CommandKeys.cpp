#include "ui/CommandKeys.h"

#include <cctype>

namespace {

bool SameWord(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(uint8_t(a[i])) != std::tolower(uint8_t(b[i]))) return false;
    return i == a.size() && !b[i];
}

const char* const kNamedKeys32[] = {"Space", "PgUp",   "PgDn",    "End",      "Home", "Left", "Up",   "Right",
                                    "Down",  "Select", "Print",   "Execute",  "Snapshot", "Ins", "Del", "Help"};

}  // namespace

std::string AcceleratorTextFor(const std::string& commandKey) {
    if (commandKey.empty()) return std::string();
    std::string text = commandKey;
    for (char& c : text)
        if (c == '+') c = '-';
    bool shift = false, alt = false;
    size_t start = 0;
    for (size_t dash; (dash = text.find('-', start)) != std::string::npos; start = dash + 1) {
        std::string word = text.substr(start, dash - start);
        if (SameWord(word, "Shift") || SameWord(word, "Shft")) shift = true;
        if (SameWord(word, "Option") || SameWord(word, "Alt")) alt = true;
        // "Control", "Ctrl" and "Command" name the control key, which every shortcut has.
    }
    std::string key = text.substr(start);
    if (key.empty()) key = "-";
    return std::string("Ctrl+") + (shift ? "Shift+" : "") + (alt ? "Alt+" : "") + key;
}

std::string ShortcutKeyText(const std::string& acceleratorText) {
    std::string text = acceleratorText;
    size_t plus = text.rfind('+');
    size_t key = plus == std::string::npos ? 0 : plus + 1;
    if (text.size() == key + 1 && text[key] >= 'a' && text[key] <= 'z') text[key] = char(text[key] - 'a' + 'A');
    return text;
}

bool IsModifierOrLockKey(int32_t vk) {
    return (vk >= 16 && vk <= 20) || (vk >= 91 && vk <= 93) || vk == 144 || vk == 145;
}

uint8_t KeyDownCharacter(const KeyStroke& key, KeyScan scan) {
    int32_t vk = key.virtualKey;
    if (vk >= 112 && vk <= 135) return uint8_t(vk + 88);  // F1-F24: 200-223
    if (vk >= 96 && vk <= 105) return uint8_t('0' + vk - 96);
    switch (vk) {
        case 33: return 11;   // PgUp
        case 34: return 12;   // PgDn
        case 35: return 4;    // End
        case 36: return 1;    // Home
        case 37: return 28;   // Left
        case 38: return 30;   // Up
        case 39: return 29;   // Right
        case 40: return 31;   // Down
        case 45: return 5;    // Insert
        case 46: return 127;  // Delete
        case 106: return '*';
        case 107: return '+';
        case 109: return '-';
        case 111: return '/';
        case 110: return '.';
        default: break;
    }
    bool anyModifier = key.shift || key.control || key.alt;
    if ((vk == 188 || vk == 190) && !anyModifier) return vk == 188 ? ',' : '.';
    if (vk == 13 && key.extended) return 3;
    if (vk >= 'A' && vk <= 'Z' && key.capsLock) return uint8_t(vk);
    if (vk < 32) return uint8_t(vk);
    int32_t wanted = (key.shift ? 1 : 0) | (key.control && key.alt ? 6 : 0);
    for (int32_t c = 32; c <= 255; ++c) {
        int16_t found = scan ? scan(char(c)) : int16_t(-1);
        if (found == -1) continue;
        if ((found & 0xFF) == vk && ((found >> 8) & 7) == wanted) return uint8_t(c);
    }
    return uint8_t(vk);
}

std::string KeyNameFor(const KeyStroke& key, KeyScan scan) {
    std::string name;
    if (key.control) name += "Ctrl+";
    if (key.shift) name += "Shift+";
    if (key.alt) name += "Alt+";
    int32_t vk = key.virtualKey;
    if (vk >= 112 && vk <= 135) return name + "F" + std::to_string(vk - 111);
    switch (vk) {
        case 27: return name + "Esc";
        case 8: return name + "Bsp";
        case 9: return name + "Tab";
        case 12: return name + "Clr";
        case 13: return name + "Enter";
        default: break;
    }
    if (vk >= 32 && vk <= 47) return name + kNamedKeys32[vk - 32];
    // Command keys write letters as capitals; the shift state is in the prefix.
    if (vk >= 'A' && vk <= 'Z') return name + char(vk);
    KeyStroke plain = key;
    plain.shift = false;
    plain.capsLock = false;
    return name + char(KeyDownCharacter(plain, scan));
}
