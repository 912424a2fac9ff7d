// The TextInputStream class: a text file read in 1,024-byte blocks and cut
// into lines at CR, LF and CR LF. Lines are tagged with an encoding, never
// converted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvane/abi.h"

class FileStream;
struct ObjectDefinition;

constexpr int32_t kTextStreamBlockSize = 1024;

// The instance layout (compiled code allocates and reads it by these offsets).
struct TextInputStreamObject {
    ObjectHeader header;
    FileStream* file;       // nil after Close
    ObjectHeader* encoding; // TextEncoding the lines are tagged with
    int32_t position;       // next unread byte of buffer
    int32_t count;          // valid bytes of buffer
    uint8_t buffer[kTextStreamBlockSize];
};
constexpr int32_t kTextInputStreamEncodingAt = 32;
static_assert(offsetof(TextInputStreamObject, file) == 28, "TextInputStream.file");
static_assert(offsetof(TextInputStreamObject, encoding) == kTextInputStreamEncodingAt, "TextInputStream.Encoding");
static_assert(offsetof(TextInputStreamObject, position) == 36, "TextInputStream.position");
static_assert(offsetof(TextInputStreamObject, count) == 40, "TextInputStream.count");
static_assert(offsetof(TextInputStreamObject, buffer) == 44, "TextInputStream.buffer");
static_assert(sizeof(TextInputStreamObject) == 1068, "TextInputStream instance size");

// The identifier of a TextEncoding object; unknown for nil.
uint32_t EncodingCodeOfObject(ObjectHeader* encoding);

// The shared TextEncoding object of an identifier, with one reference for the
// caller. The text encodings install it; until then new streams start with a
// nil Encoding (lines without an explicit encoding are then tagged unknown).
using EncodingObjectSource = ObjectHeader* (*)(uint32_t code);
EncodingObjectSource SetTextStreamEncodingSource(EncodingObjectSource source);  // returns the previous

ObjectDefinition* TextInputStreamDefinition();

// A new stream that owns the open file (deleted when no instance can be made);
// one reference for the caller, or nil.
ObjectHeader* NewTextInputStream(FileStream* file);

extern "C" {
StringValue* __cdecl TextInputStreamReadLine(ObjectHeader* stream, ObjectHeader* encoding);
StringValue* __cdecl TextInputStreamReadAll(ObjectHeader* stream, ObjectHeader* encoding);
int32_t __cdecl TextInputStreamEOF(ObjectHeader* stream, int32_t parameter);
void __cdecl TextInputStreamClose(ObjectHeader* stream);
}
