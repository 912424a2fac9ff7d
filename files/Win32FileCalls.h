// The file-system calls of folder items and file streams, on UTF-8 paths:
// the wide forms on Windows NT (path converted to UTF-16), the 8-bit forms
// with the path's bytes otherwise.
#pragma once

#include <windows.h>

#include <cstdint>

#include "startup/Win32Owners.h"
#include "strings/string.h"

// The path as NUL-terminated UTF-16 (a static empty text for nil).
StringHandle PathToUtf16(const StringHandle& path);
const wchar_t* WidePointer(const StringHandle& utf16);
// UTF-16 units back to a UTF-8 string value.
StringHandle PathFromUtf16(const wchar_t* units, int32_t count);
// Bytes of the 8-bit calls, tagged UTF-8 as every path is held.
StringHandle PathFromBytes(const char* bytes, int32_t count);

// GetFileAttributes; INVALID_FILE_ATTRIBUTES with *error set on failure.
DWORD PathAttributes(const StringHandle& path, DWORD* error);

// The long form of the path (GetLongPathName, looked up in Kernel32.dll at
// each call, 1,024 characters), or the path itself when that is missing or
// fails.
StringHandle LongPathForm(const StringHandle& path);

// FindFirstFile finds something for the pattern.
bool PathFindsSomething(const StringHandle& pattern);

// CreateFile for reading: generic read, share read and write, open existing.
// INVALID_HANDLE_VALUE and *error on failure.
HANDLE OpenPathForReading(const StringHandle& path, DWORD* error);

// The folder of the executable, without its trailing backslash.
StringHandle ApplicationFolder();
