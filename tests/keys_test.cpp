// Key texts: command keys into accelerator texts, the names the keyboard
// dispatcher gives pressed keys, and the KeyDown character table.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ui/CommandKeys.h"

namespace {

// A US keyboard as VkKeyScanA describes it, for the characters the tables use.
int16_t UsLayout(char c) {
    if (c >= 'a' && c <= 'z') return int16_t(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return int16_t(0x100 | c);
    if (c >= '0' && c <= '9') return int16_t(c);
    switch (c) {
        case ',': return 188;
        case '<': return 0x100 | 188;
        case '.': return 190;
        case '>': return 0x100 | 190;
        case ' ': return 32;
        default: return -1;
    }
}

struct CommandKeyCase {
    const char* commandKey;
    const char* accelerator;
};

TEST(CommandKeys, AcceleratorTextsAlwaysHoldTheControlKey) {
    const CommandKeyCase cases[] = {
        {"O", "Ctrl+O"},
        {"Q", "Ctrl+Q"},
        {"Shift-S", "Ctrl+Shift+S"},
        {"Shift+S", "Ctrl+Shift+S"},
        {"shft-s", "Ctrl+Shift+s"},
        {"SHIFT+F5", "Ctrl+Shift+F5"},
        {"Alt-X", "Ctrl+Alt+X"},
        {"Option+Shift+F5", "Ctrl+Shift+Alt+F5"},  // Shift always before Alt
        {"Ctrl+Q", "Ctrl+Q"},
        {"Control-Q", "Ctrl+Q"},
        {"Command-Z", "Ctrl+Z"},
        {"Ctrl--", "Ctrl+-"},  // an empty last field names the key "-"
        {"-", "Ctrl+-"},
        {"F12", "Ctrl+F12"},
        {"Whatever-K", "Ctrl+K"},  // an unknown modifier word adds nothing
        {"", ""},
    };
    for (const CommandKeyCase& c : cases) EXPECT_EQ(AcceleratorTextFor(c.commandKey), c.accelerator) << c.commandKey;
}

struct CharacterCase {
    int vk;
    bool shift, control, alt, caps, extended;
    int expected;
};

TEST(CommandKeys, KeyDownCharacters) {
    const CharacterCase cases[] = {
        {'A', false, false, false, false, false, 'a'},
        {'A', false, false, false, true, false, 'A'},   // Caps Lock on
        {'A', true, false, false, false, false, 'A'},   // shift
        {'Z', false, false, false, false, false, 'z'},
        {'1', false, false, false, false, false, '1'},
        {VK_LEFT, false, false, false, false, false, 28},
        {VK_UP, false, false, false, false, false, 30},
        {VK_RIGHT, false, false, false, false, false, 29},
        {VK_DOWN, false, false, false, false, false, 31},
        {VK_PRIOR, false, false, false, false, false, 11},
        {VK_NEXT, false, false, false, false, false, 12},
        {VK_END, false, false, false, false, false, 4},
        {VK_HOME, false, false, false, false, false, 1},
        {VK_INSERT, false, false, false, false, false, 5},
        {VK_DELETE, false, false, false, false, false, 127},
        {VK_F1, false, false, false, false, false, 200},
        {VK_F5, false, false, false, false, false, 204},
        {VK_F24, false, false, false, false, false, 223},
        {VK_NUMPAD0, false, false, false, false, false, '0'},
        {VK_NUMPAD9, false, false, false, false, false, '9'},
        {VK_MULTIPLY, false, false, false, false, false, '*'},
        {VK_ADD, false, false, false, false, false, '+'},
        {VK_SUBTRACT, false, false, false, false, false, '-'},
        {VK_DIVIDE, false, false, false, false, false, '/'},
        {VK_DECIMAL, false, false, false, false, false, '.'},
        {188, false, false, false, false, false, ','},
        {190, false, false, false, false, false, '.'},
        {188, true, false, false, false, false, '<'},   // with a modifier: the layout decides
        {190, true, false, false, false, false, '>'},
        {VK_RETURN, false, false, false, false, false, 13},
        {VK_RETURN, false, false, false, false, true, 3},  // the keypad's Enter
        {VK_BACK, false, false, false, false, false, 8},
        {VK_TAB, false, false, false, false, false, 9},
        {VK_ESCAPE, false, false, false, false, false, 27},
        {0xE5, false, false, false, false, false, 0xE5},  // no character: the virtual key
    };
    for (const CharacterCase& c : cases) {
        KeyStroke key{c.vk, c.shift, c.control, c.alt, c.caps, c.extended};
        EXPECT_EQ(int(KeyDownCharacter(key, UsLayout)), c.expected) << "virtual key " << c.vk;
    }
}

TEST(CommandKeys, TheSystemLayoutGivesLetters) {
    auto scan = [](char c) -> int16_t { return VkKeyScanA(c); };
    EXPECT_EQ(KeyDownCharacter(KeyStroke{'A', false, false, false, false, false}, scan), 'a');
    EXPECT_EQ(KeyDownCharacter(KeyStroke{'A', true, false, false, false, false}, scan), 'A');
    EXPECT_EQ(KeyDownCharacter(KeyStroke{'A', false, false, false, true, false}, scan), 'A');
}

struct NameCase {
    int vk;
    bool shift, control, alt;
    const char* name;
};

TEST(CommandKeys, KeyNames) {
    const NameCase cases[] = {
        {VK_F1, false, false, false, "F1"},
        {VK_F9, false, false, false, "F9"},
        {VK_F10, false, false, false, "F10"},
        {VK_F24, false, false, false, "F24"},
        {VK_ESCAPE, false, false, false, "Esc"},
        {VK_BACK, false, false, false, "Bsp"},
        {VK_TAB, true, false, false, "Shift+Tab"},
        {VK_CLEAR, false, false, false, "Clr"},
        {VK_RETURN, false, false, false, "Enter"},
        {VK_SPACE, false, true, false, "Ctrl+Space"},
        {VK_PRIOR, false, false, false, "PgUp"},
        {VK_LEFT, false, false, false, "Left"},
        {VK_DOWN, false, false, false, "Down"},
        {VK_INSERT, false, false, false, "Ins"},
        {VK_DELETE, false, false, false, "Del"},
        {VK_HELP, false, false, false, "Help"},
        {'S', false, true, false, "Ctrl+S"},
        {'S', true, true, false, "Ctrl+Shift+S"},
        {'a' - 'a' + 'A', false, false, true, "Alt+A"},
        {VK_F5, true, true, true, "Ctrl+Shift+Alt+F5"},
        {188, true, false, false, "Shift+,"},  // the character without shift
        {'1', false, true, false, "Ctrl+1"},
        {VK_NUMPAD5, false, false, false, "5"},
    };
    for (const NameCase& c : cases) {
        KeyStroke key{c.vk, c.shift, c.control, c.alt, false, false};
        EXPECT_EQ(KeyNameFor(key, UsLayout), c.name) << "virtual key " << c.vk;
    }
}

TEST(CommandKeys, APressedShortcutNamesItsMenuAccelerator) {
    const struct {
        const char* commandKey;
        KeyStroke key;
    } cases[] = {
        {"O", {'O', false, true, false, false, false}},
        {"S", {'S', false, true, false, true, false}},  // Caps Lock does not change the name
        {"Shift-S", {'S', true, true, false, false, false}},
        {"Shift+F5", {VK_F5, true, true, false, false, false}},
        {"F11", {VK_F11, false, true, false, false, false}},
        {"Alt-X", {'X', false, true, true, false, false}},
    };
    for (const auto& c : cases) EXPECT_EQ(KeyNameFor(c.key, UsLayout), AcceleratorTextFor(c.commandKey)) << c.commandKey;
}

TEST(CommandKeys, AShortcutOfALowerCaseLetterIsReachedByItsKey) {
    const CommandKeyCase cases[] = {
        {"Ctrl+o", "Ctrl+O"},   {"Ctrl+Shift+s", "Ctrl+Shift+S"}, {"Ctrl+O", "Ctrl+O"},
        {"Ctrl+F5", "Ctrl+F5"}, {"Ctrl+-", "Ctrl+-"},             {"Ctrl+,", "Ctrl+,"},
        {"Ctrl+del", "Ctrl+del"},
    };
    for (const CommandKeyCase& c : cases) EXPECT_EQ(ShortcutKeyText(c.commandKey), c.accelerator) << c.commandKey;
    KeyStroke controlO{'O', false, true, false, false, false};
    EXPECT_EQ(KeyNameFor(controlO, UsLayout), ShortcutKeyText(AcceleratorTextFor("o")));
}

TEST(CommandKeys, ModifierAndLockKeysRaiseNoKeyDown) {
    for (int vk : {16, 17, 18, 19, 20, 91, 92, 93, 144, 145}) EXPECT_TRUE(IsModifierOrLockKey(vk)) << vk;
    for (int vk : {15, 21, 90, 94, 143, 146, 65, VK_LEFT}) EXPECT_FALSE(IsModifierOrLockKey(vk)) << vk;
}

}  // namespace
