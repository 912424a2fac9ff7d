// Making and reading string values in tests.
#pragma once

#include <string>

#include "strings/string.h"

inline StringHandle Make(const std::string& bytes, uint32_t encoding) {
    StringHandle h = StringHandle::Adopt(StringMake(bytes.data(), int32_t(bytes.size())));
    h.SetEncoding(encoding);
    return h;
}
inline StringHandle Ascii(const std::string& bytes) { return Make(bytes, kEncodingASCII); }
inline StringHandle Utf8(const std::string& bytes) { return Make(bytes, kEncodingUTF8); }
inline StringHandle Wide(const std::u16string& units) {
    return StringHandle::Adopt(StringMakeUtf16(reinterpret_cast<const uint16_t*>(units.data()),
                                               int32_t(units.size())));
}
inline std::string Bytes(const StringHandle& h) { return std::string(h.Text(), size_t(h.Length())); }
