#include "files/FolderPath.h"

#include <cstring>

namespace {
// \\server...: both leading characters. A backslash as the second character
// alone would take a relative "a\b.txt" for a network path.
bool IsNetworkStart(const char* p, int32_t n) { return n >= 2 && p[0] == '\\' && p[1] == '\\'; }

int32_t LastBackslash(const char* p, int32_t from, int32_t length) {
    for (int32_t i = length - 1; i >= from; --i)
        if (p[i] == '\\') return i;
    return -1;
}

StringHandle Bytes(const char* p, int32_t n, uint32_t encoding) {
    StringHandle h = StringHandle::Adopt(StringMake(p, n));
    h.SetEncoding(encoding);
    return h;
}
}  // namespace

PathSplit SplitPath(const char* p, int32_t length) {
    PathSplit out;
    if (!p || length <= 0) return out;
    const char* colon = static_cast<const char*>(std::memchr(p, ':', size_t(length)));
    bool network = !colon && IsNetworkStart(p, length);
    if (!colon && !network) {
        out.nameLength = length;
        return out;
    }
    // A drive path keeps its backslash in the volume (C:\), a network path its
    // two leading backslashes.
    int32_t volume = colon ? int32_t(colon - p) + 2 : 2;
    if (length > volume) {
        out.volumeLength = volume;
        int32_t slash = LastBackslash(p, volume, length);
        if (slash >= 0) {
            out.directoryStart = volume;
            out.directoryLength = slash + 1 - volume;
            out.nameStart = slash + 1;
        } else {
            out.nameStart = volume;
        }
        out.nameLength = length - out.nameStart;
        return out;
    }
    out.volumeLength = colon ? int32_t(colon - p) + 1 : 1;
    out.nameStart = 0;
    out.nameLength = out.volumeLength;
    return out;
}

bool PathHasVolume(const StringHandle& path) {
    const char* p = path.Text();
    int32_t n = path.Length();
    return std::memchr(p, ':', size_t(n)) != nullptr || IsNetworkStart(p, n);
}

bool IsRootPathText(const StringHandle& path) {
    const char* p = path.Text();
    int32_t n = path.Length();
    if (n >= 2 && p[0] == '\\' && p[1] == '\\') {
        int32_t fields = 1;
        for (int32_t i = 0; i < n; ++i)
            if (p[i] == '\\') ++fields;
        return fields == 4;
    }
    return (n == 2 || n == 3) && p[1] == ':';
}

StringHandle DropTrailingBackslash(const StringHandle& path) {
    int32_t n = path.Length();
    if (n > 0 && path.Text()[n - 1] == '\\') return path.Left(n - 1);
    return path;
}

StringHandle CombineWithBase(const StringHandle& base, const StringHandle& text) {
    if (PathHasVolume(text)) return text;
    StringHandle out = base;
    out.Append(Bytes("\\", 1, base.IsEmpty() ? kEncodingUTF8 : base.Encoding()));
    out.Append(text);
    return out;
}

int32_t FolderItemErrorFromWindows(uint32_t e) {
    switch (e) {
        case 2: case 3: case 15:
            return 101;
        case 5: case 16: case 19: case 29: case 30: case 65: case 108: case 148: case 266:
            return 102;
        case 8: case 14: case 39:
            return 103;
        case 26: case 32: case 33:
            return 104;
        case 123: case 161: case 267: case 1006:
            return 105;
        default:
            return int32_t(e);
    }
}

StringHandle PathTextToUtf8(const StringHandle& text) {
    if (text.IsEmpty() || text.Encoding() == kEncodingUTF8) return text;
    if (text.Encoding() != kEncodingASCII && text.Encoding() != kEncodingUnknown) {
        StringHandle converted = text.ToUtf8();
        if (!converted.IsEmpty()) return converted;
    }
    return Bytes(text.Text(), text.Length(), kEncodingUTF8);
}

bool PathHasNul(const StringHandle& text) {
    return std::memchr(text.Text(), 0, size_t(text.Length())) != nullptr;
}
