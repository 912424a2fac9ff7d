#include "files/FileTypes.h"

#include <windows.h>

#include <new>

#include "orvane/exports.h"
#include "strings/utility.h"

namespace {
constexpr uint32_t kUnknownCode = 0x3F3F3F3Fu;  // "????"

FileTypeRecord* gFirst = nullptr;
FileTypeRecord* gLast = nullptr;

// The pieces of text between the separators, empty ones included.
std::vector<StringHandle> SplitAt(const StringHandle& text, char separator) {
    std::vector<StringHandle> pieces;
    const char* bytes = text.Text();
    const int32_t n = text.Length();
    int32_t start = 0;
    for (int32_t i = 0; i <= n; ++i) {
        if (i < n && bytes[i] != separator) continue;
        pieces.push_back(text.Sub(start, i - start));
        start = i + 1;
    }
    return pieces;
}

// Texts are split as UTF-8, where a ";" byte is always the character.
StringHandle AsUtf8(const StringHandle& text) {
    if (text.IsEmpty() || text.Encoding() == kEncodingUTF8) return text;
    StringHandle utf8 = text.ToUtf8();
    return utf8.IsEmpty() ? text : utf8;
}

void AppendEntry(std::wstring& out, const std::wstring& description, const std::wstring& pattern) {
    out += description;
    out.push_back(L'\0');
    out += pattern;
    out.push_back(L'\0');
}
}  // namespace

const FileTypeRecord* FirstFileType() { return gFirst; }

uint32_t FourCharCode(const StringHandle& code) {
    if (code.IsEmpty()) return kUnknownCode;
    uint32_t value = 0;
    for (int32_t i = 0; i < 4; ++i)
        value = (value << 8) | (i < code.Length() ? uint8_t(code.Text()[i]) : uint8_t(' '));
    return value;
}

std::wstring WideOf(const StringHandle& text) {
    if (text.IsEmpty()) return std::wstring();
    StringHandle wide = text.ToUtf16();
    if (!wide.IsEmpty())
        return std::wstring(reinterpret_cast<const wchar_t*>(wide.Utf16()), size_t(wide.Length() / 2));
    int n = MultiByteToWideChar(CP_ACP, 0, text.Text(), text.Length(), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.Text(), text.Length(), &out[0], n);
    return out;
}

void AppendTypePatterns(const FileTypeRecord& type, std::wstring& patterns, std::wstring& defaultExtension) {
    StringHandle extensions = AsUtf8(StringHandle::Borrow(type.extensions));
    if (extensions.IsEmpty()) {
        if (patterns.empty() && FourCharCode(StringHandle::Borrow(type.type)) == kUnknownCode) patterns = L"*.*";
        return;
    }
    for (const StringHandle& e : SplitAt(extensions, ';')) {
        if (e.IsEmpty()) continue;
        std::wstring wide = WideOf(e);
        if (patterns.empty()) {
            patterns = L"*" + wide;
            if (!wide.empty() && wide[0] == L'.') defaultExtension = wide.substr(1);
        } else {
            patterns += L";*" + wide;
        }
    }
}

FilterText BuildFilterText(const StringHandle& filter, const FileTypeRecord* registered,
                           const std::vector<const FileTypeRecord*>& ownTypes) {
    FilterText out;
    if (!filter.IsEmpty()) {
        for (const StringHandle& item : SplitAt(AsUtf8(filter), ';')) {
            std::wstring patterns, extension;
            for (const FileTypeRecord* t = registered; t; t = t->next)
                if (StringCompareText(item, StringHandle::Borrow(t->name)) == 0)
                    AppendTypePatterns(*t, patterns, extension);
            if (patterns.empty()) patterns = L"*.*";
            if (!extension.empty()) out.defaultExtension = extension;
            out.entryExtensions.push_back(extension);
            AppendEntry(out.text, WideOf(item), patterns);
        }
    }
    if (out.text.empty()) {
        for (const FileTypeRecord* t : ownTypes) {
            std::wstring patterns, extension;
            AppendTypePatterns(*t, patterns, extension);
            if (!extension.empty()) out.defaultExtension = extension;
            out.entryExtensions.push_back(extension);
            AppendEntry(out.text, WideOf(StringHandle::Borrow(t->name)), patterns.empty() ? L"*.*" : patterns);
        }
    }
    if (!out.text.empty()) out.text.append(2, L'\0');
    return out;
}

extern "C" void __cdecl RuntimeRegisterFileType(StringValue* name, StringValue* creator, StringValue* type,
                                                StringValue* extensions) {
    void* block = PoolAlloc(int32_t(sizeof(FileTypeRecord)), true);
    if (!block) return;
    FileTypeRecord* record = new (block) FileTypeRecord{nullptr, StringRetain(name), StringRetain(creator),
                                                        StringRetain(type), StringRetain(extensions)};
    if (gLast) gLast->next = record;
    else gFirst = record;
    gLast = record;
}
