// Packed property data for RuntimeMassPropertySetter, built at compile time.
// Each record is a big-endian u16 property index (the property's position in
// the class's property table) and a value whose form follows the property's
// type code:
//   b  1 byte, non-zero for true         i  4 bytes, big-endian
//   c  3 bytes: red, green, blue          f  4 bytes, big-endian IEEE single
//   d  8 bytes, big-endian IEEE double    s  u32 big-endian length, then the bytes
// The data travels as a string value, so the whole byte string is laid out as
// a literal record in the literal section:
//
//   ORVANE_MASS_DATA(kCanvas1Layout,
//       orvane::mass::String(0, "Canvas1"),
//       orvane::mass::Bool(11, true),
//       orvane::mass::Int(12, 2));
//   RuntimeMassPropertySetter(canvas, ORVANE_STR(kCanvas1Layout));
#pragma once

#include "orvane/literal.h"

namespace orvane {
namespace mass {

template <size_t N>
struct Bytes {
    uint8_t b[N];
};

namespace detail {

template <size_t N>
constexpr void PutIndex(Bytes<N>& r, uint16_t index) {
    r.b[0] = uint8_t(index >> 8);
    r.b[1] = uint8_t(index);
}

constexpr void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

}  // namespace detail

constexpr Bytes<3> Bool(uint16_t index, bool value) {
    Bytes<3> r{};
    detail::PutIndex(r, index);
    r.b[2] = value ? 1 : 0;
    return r;
}

constexpr Bytes<6> Int(uint16_t index, int32_t value) {
    Bytes<6> r{};
    detail::PutIndex(r, index);
    detail::PutU32(r.b + 2, uint32_t(value));
    return r;
}

constexpr Bytes<5> Color(uint16_t index, uint8_t red, uint8_t green, uint8_t blue) {
    Bytes<5> r{};
    detail::PutIndex(r, index);
    r.b[2] = red;
    r.b[3] = green;
    r.b[4] = blue;
    return r;
}

constexpr Bytes<6> Single(uint16_t index, float value) {
    Bytes<6> r{};
    detail::PutIndex(r, index);
    detail::PutU32(r.b + 2, __builtin_bit_cast(uint32_t, value));
    return r;
}

constexpr Bytes<10> Double(uint16_t index, double value) {
    Bytes<10> r{};
    detail::PutIndex(r, index);
    const uint64_t bits = __builtin_bit_cast(uint64_t, value);
    detail::PutU32(r.b + 2, uint32_t(bits >> 32));
    detail::PutU32(r.b + 6, uint32_t(bits));
    return r;
}

// The text of a string property, without its terminating NUL; an empty text
// (length 0) assigns the empty string.
template <size_t N>
constexpr Bytes<6 + N - 1> String(uint16_t index, const char (&text)[N]) {
    Bytes<6 + N - 1> r{};
    detail::PutIndex(r, index);
    detail::PutU32(r.b + 2, uint32_t(N - 1));
    for (size_t i = 0; i + 1 < N; ++i) r.b[6 + i] = uint8_t(text[i]);
    return r;
}

template <size_t... N>
constexpr Bytes<(N + ...)> Join(const Bytes<N>&... records) {
    Bytes<(N + ...)> out{};
    size_t at = 0;
    auto append = [&](const auto& r) {
        for (uint8_t byte : r.b) out.b[at++] = byte;
    };
    (append(records), ...);
    return out;
}

// The literal record of the joined bytes (tagged UTF-8; the setter reads bytes).
template <size_t N>
constexpr LiteralRecord<N + 1> Record(const Bytes<N>& data) {
    static_assert(N >= 1, "mass data holds at least one record");
    LiteralRecord<N + 1> r{};
    r.value.refCount = 1;
    r.value.text = nullptr;
    r.value.capacity = int32_t(N + 2);
    r.value.length = int32_t(N);
    r.value.encoding = kEncodingUTF8;
    r.lengthByte = uint8_t(N < 256 ? N : 255);
    for (size_t i = 0; i < N; ++i) r.bytes[i] = char(data.b[i]);
    r.bytes[N] = 0;
    return r;
}

}  // namespace mass
}  // namespace orvane

#define ORVANE_MASS_DATA(name, ...)                                                         \
    __attribute__((section(ORVANE_LITERAL_SECTION), aligned(4))) static ORVANE_CONSTINIT \
        auto name = ::orvane::mass::Record(::orvane::mass::Join(__VA_ARGS__))
