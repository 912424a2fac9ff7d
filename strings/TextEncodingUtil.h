// Text encodings: conversion between them (Convert with its one-slot cache,
// Transcode through the platform's code pages and the Japanese byte
// converters), the system encoding, and the TextEncoding, _Encodings and
// TextConverter classes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvane/abi.h"
#include "strings/string.h"

struct ObjectDefinition;

// ---- Identifiers ---------------------------------------------------------------

constexpr uint32_t kEncodingShiftJIS = 0x0A01u;
constexpr uint32_t kEncodingEUCJP = 0x0920u;
constexpr uint32_t kEncodingISO2022JP = 0x0820u;
constexpr uint32_t kEncodingWindowsLatin1 = 0x0500u;
constexpr uint32_t kEncodingBig5 = 0x0423u;

// The Japanese pseudo code pages: text in them goes through Shift_JIS.
constexpr uint32_t kCodePageEUCJP = 900000u;
constexpr uint32_t kCodePageISO2022JP = 900001u;
constexpr uint32_t kCodePageShiftJIS = 932u;

inline bool IsJapaneseCodePage(uint32_t cp) {
    return cp == kCodePageShiftJIS || cp == kCodePageEUCJP || cp == kCodePageISO2022JP;
}

// The encoding of the start-up's system script (13 Japanese, 21 Chinese), for
// the conversions that precede the platform's ANSI calls.
uint32_t EncodingOfSystemScript(int script);

// ---- Conversion ------------------------------------------------------------------

// s re-encoded from `from` to `to`: s itself when they are equal; nil when
// either has no usable code page or the platform refuses the text. The result
// is tagged `to`. Allocates nothing but the result.
StringHandle Transcode(const StringHandle& s, uint32_t from, uint32_t to);

// Convert: s in the target encoding (s itself when already there or when the
// target is unknown), through the one-slot cache; 7-bit text is retagged, not
// transcoded. One reference for the caller; nil when the conversion fails.
StringValue* ConvertString(StringValue* s, uint32_t target);
// Gives back the cache's two references (shutdown, tests).
void ClearConversionCache();

// Makes Convert the conversion that joining and comparing strings use.
void InstallTextConverters();

// ---- TextEncoding ------------------------------------------------------------------

struct TextEncodingObject {
    ObjectHeader header;
    int32_t base;
    int32_t variant;
    int32_t format;
    int32_t valid;  // always 1
    uint32_t code;  // the full identifier
};
constexpr int32_t kTextEncodingSize = 48;
constexpr int32_t kTextEncodingCodeAt = 44;

struct TextConverterObject {
    ObjectHeader header;
    uint32_t source;
    uint32_t destination;
    uint32_t reserved;
};
constexpr int32_t kTextConverterSize = 40;
constexpr int32_t kEncodingsSize = 28;
constexpr int32_t kEncodingsPropertyCount = 92;

static_assert(offsetof(TextEncodingObject, base) == 28, "TextEncoding.base");
static_assert(offsetof(TextEncodingObject, variant) == 32, "TextEncoding.variant");
static_assert(offsetof(TextEncodingObject, format) == 36, "TextEncoding.format");
static_assert(offsetof(TextEncodingObject, valid) == 40, "TextEncoding.valid");
static_assert(offsetof(TextEncodingObject, code) == kTextEncodingCodeAt, "TextEncoding.code");
static_assert(sizeof(TextEncodingObject) == kTextEncodingSize, "TextEncoding size");
static_assert(offsetof(TextConverterObject, source) == 28, "TextConverter.source");
static_assert(offsetof(TextConverterObject, destination) == 32, "TextConverter.destination");
static_assert(sizeof(TextConverterObject) == kTextConverterSize, "TextConverter size");

// A new TextEncoding for a full identifier (base = identifier, variant and
// format 0), one reference; nil only when the object cannot be made.
ObjectHeader* NewTextEncoding(uint32_t identifier);
// The process's one object for the identifier, with one more reference.
ObjectHeader* SharedTextEncoding(uint32_t identifier);
// Shared objects made so far (they live as long as the process).
int32_t SharedTextEncodingCount();

ObjectDefinition* TextEncodingDefinition();
ObjectDefinition* EncodingsDefinition();
ObjectDefinition* TextConverterDefinition();
ObjectDefinition* EndOfLineDefinition();

// Accessors and methods named in the classes' rows.
extern "C" {
int32_t __cdecl textEncodingBaseGetter(ObjectHeader* encoding, int32_t parameter);
int32_t __cdecl textEncodingVariantGetter(ObjectHeader* encoding, int32_t parameter);
int32_t __cdecl textEncodingFormatGetter(ObjectHeader* encoding, int32_t parameter);
StringValue* __cdecl textEncodingInternetName(ObjectHeader* encoding, int32_t parameter);
StringValue* __cdecl TextEncodingChr(ObjectHeader* encoding, int32_t codePoint);
int32_t __cdecl TextEncodingEquals(ObjectHeader* encoding, ObjectHeader* otherEncoding);
ObjectHeader* __cdecl EncodingsGetter(ObjectHeader* encodings, int32_t index);
ObjectHeader* __cdecl EncodingsGetFromCode(ObjectHeader* encodings, uint32_t encodingCode);
StringValue* __cdecl textConverterConvert(ObjectHeader* converter, StringValue* text);
void __cdecl textConverterClear(ObjectHeader* converter);
}
