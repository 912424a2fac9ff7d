// Path texts of folder items: the volume / directory / name split, the root
// rule and the mapping of Windows error codes to LastErrorCode values.
#pragma once

#include <cstdint>

#include "strings/string.h"

// Byte ranges of one path. A path with no volume is all name; a path too short
// to hold more than its volume ("C:", "C:\") is all volume, and its name is
// the volume.
struct PathSplit {
    int32_t volumeLength = 0;     // from byte 0
    int32_t directoryStart = 0;   // the directory ends with its backslash
    int32_t directoryLength = 0;
    int32_t nameStart = 0;
    int32_t nameLength = 0;
};

PathSplit SplitPath(const char* path, int32_t length);
inline PathSplit SplitPath(const StringHandle& path) { return SplitPath(path.Text(), path.Length()); }

// A colon anywhere, or two leading backslashes (\\server\share).
bool PathHasVolume(const StringHandle& path);

// \\server\share (exactly four backslash-separated fields), or a drive text
// of two or three characters ("C:", "C:\").
bool IsRootPathText(const StringHandle& path);

// The path without one trailing backslash.
StringHandle DropTrailingBackslash(const StringHandle& path);

// base + "\" + text, unless text has a volume of its own.
StringHandle CombineWithBase(const StringHandle& base, const StringHandle& text);

// The LastErrorCode value for a Windows error code (101 not found, 102 access,
// 103 memory or disk space, 104 sharing, 105 bad name); others unchanged.
int32_t FolderItemErrorFromWindows(uint32_t windowsError);

// A path text as the UTF-8 text folder items hold: UTF-8 as it is, UTF-16
// converted, ASCII retagged; any other tag is converted, or taken as UTF-8
// bytes when it cannot be.
StringHandle PathTextToUtf8(const StringHandle& text);
// The text holds a NUL byte.
bool PathHasNul(const StringHandle& text);
