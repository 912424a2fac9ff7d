// Registered file types and the filter text of the file dialogs: the
// NUL-separated description/pattern pairs the common dialog takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvane/abi.h"
#include "strings/string.h"

// One RuntimeRegisterFileType call. The records form a process-wide list in
// registration order and are never freed.
struct FileTypeRecord {
    FileTypeRecord* next;
    StringValue* name;        // matched against the items of a dialog's Filter
    StringValue* creator;     // four-character codes
    StringValue* type;
    StringValue* extensions;  // ";"-separated, each normally with its full stop
};

// The first registered type, or nil.
const FileTypeRecord* FirstFileType();

// A four-character code as the first four bytes of its text, padded with
// spaces; an empty text reads as "????". Byte 0 is the most significant.
uint32_t FourCharCode(const StringHandle& code);

// Adds one type's patterns for a filter entry: "*.csv;*.txt" for
// ".csv;.txt" (empty extensions skipped), or "*.*" for a type without
// extensions whose type code is "????" when the entry has none yet. The
// entry's first extension, when it starts with a full stop, becomes the
// default extension without it.
void AppendTypePatterns(const FileTypeRecord& type, std::wstring& patterns, std::wstring& defaultExtension);

struct FilterText {
    std::wstring text;              // description NUL pattern NUL ... NUL NUL
    std::wstring defaultExtension;  // empty when none was found
    // Per entry, in order: the extension its first pattern gives (without the
    // full stop), or empty. A save dialog gives the name the chosen one.
    std::vector<std::wstring> entryExtensions;
};

// The filter text of a dialog: the ";"-separated items of filter, each
// described by itself and matched (without regard to case) against the
// registered types; for an empty filter, the dialog's own types. An item
// that matches no type would list nothing in the dialog, so it lists all
// files ("*.*").
FilterText BuildFilterText(const StringHandle& filter, const FileTypeRecord* registered,
                           const std::vector<const FileTypeRecord*>& ownTypes);

// Wide text of a string value: UTF-16 as it is, other encodings converted;
// text that cannot be converted is read in the system code page.
std::wstring WideOf(const StringHandle& text);
