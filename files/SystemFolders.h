// The paths of the special folders (shell folders, the Windows, system and
// temporary folders), as UTF-8 texts without a trailing backslash.
#pragma once

#include <cstdint>

#include "strings/string.h"

// Four-character codes of the special-folder properties ('desk' ...).
constexpr uint32_t FolderCode(const char (&c)[5]) {
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 | uint32_t(uint8_t(c[2])) << 8 |
           uint32_t(uint8_t(c[3]));
}
constexpr uint32_t kFolderDesktop = FolderCode("desk");
constexpr uint32_t kFolderPreferences = FolderCode("pref");
constexpr uint32_t kFolderWindows = FolderCode("root");
constexpr uint32_t kFolderTemporary = FolderCode("temp");
constexpr uint32_t kFolderTrash = FolderCode("trsh");
constexpr uint32_t kFolderSharedTrash = FolderCode("empt");

// The shell folder of that number (SHGetSpecialFolderLocation); nil on failure.
StringHandle ShellFolderPath(int folder);
// GetTempPath without its final backslash.
StringHandle TemporaryFolderPath();
StringHandle WindowsFolderPath();
StringHandle SystemFolderPath();
// The folder a four-character code names; nil for codes without a folder.
StringHandle SpecialFolderPath(uint32_t code);
