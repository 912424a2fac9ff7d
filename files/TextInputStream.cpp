#include "files/TextInputStream.h"

#include <cstring>

#include "files/BytePieces.h"
#include "files/FileStream.h"
#include "objects/ObjectDefinition.h"
#include "orvane/exports.h"
#include "strings/TextEncodingUtil.h"

namespace {
EncodingObjectSource gEncodingSource = nullptr;

TextInputStreamObject* Fields(ObjectHeader* stream) { return reinterpret_cast<TextInputStreamObject*>(stream); }

void ReadBlock(TextInputStreamObject* s) {
    int32_t got = 0;
    if (!s->file->Read(s->buffer, kTextStreamBlockSize, &got)) got = 0;
    if (got <= 0 && !s->file->AtEnd()) s->file->MarkReadFailed();
    s->count = got > 0 ? got : 0;
    s->position = 0;
}

uint32_t TagFor(TextInputStreamObject* s, ObjectHeader* encoding) {
    return EncodingCodeOfObject(encoding ? encoding : s->encoding);
}

const uint8_t* FindTerminator(const uint8_t* from, const uint8_t* end) {
    for (const uint8_t* p = from; p < end; ++p)
        if (*p == '\r' || *p == '\n') return p;
    return end;
}

void __cdecl StreamInit(ObjectHeader* self) {
    TextInputStreamObject* s = Fields(self);
    s->file = nullptr;
    s->encoding = gEncodingSource ? gEncodingSource(kEncodingUTF8) : nullptr;
    s->position = 0;
    s->count = 0;
}

void __cdecl StreamFinish(ObjectHeader* self) {
    TextInputStreamClose(self);
    TextInputStreamObject* s = Fields(self);
    ObjectHeader* encoding = s->encoding;
    s->encoding = nullptr;
    RuntimeUnlockObject(encoding);
}

ClassTypeRef kTextEncodingType = ORVANE_CLASS_TYPE("TextEncoding");

ParameterRecord kEncodingParameter[] = {{"encoding", &kTextEncodingType.header, 0, {0, 0, 0}, {0, 0, 0, 0}}};

PropertyRow kStreamProperties[] = {
    {0, "EOF", &kBooleanType, Fn(&TextInputStreamEOF), "TextInputStreamEOF", nullptr, nullptr, 0},
    {0, "Encoding", &kTextEncodingType.header, nullptr, "objGetter", nullptr, "objSetter",
     kTextInputStreamEncodingAt},
};

MethodRow kStreamMethods[] = {
    {"ReadLine", &kStringType, kEncodingParameter, 1, Fn(&TextInputStreamReadLine), "TextInputStreamReadLine",
     {}, nullptr, nullptr, {}, 0},
    {"ReadAll", &kStringType, kEncodingParameter, 1, Fn(&TextInputStreamReadAll), "TextInputStreamReadAll",
     {}, nullptr, nullptr, {}, 0},
    {"Close", nullptr, nullptr, 0, Fn(&TextInputStreamClose), "TextInputStreamClose", {}, nullptr, nullptr, {}, 0},
};
}  // namespace

uint32_t EncodingCodeOfObject(ObjectHeader* encoding) {
    if (!encoding) return kEncodingUnknown;
    uint32_t code;
    std::memcpy(&code, reinterpret_cast<uint8_t*>(encoding) + kTextEncodingCodeAt, sizeof code);
    return code;
}

EncodingObjectSource SetTextStreamEncodingSource(EncodingObjectSource source) {
    EncodingObjectSource previous = gEncodingSource;
    gEncodingSource = source;
    return previous;
}

ObjectDefinition* TextInputStreamDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "TextInputStream", nullptr, int32_t(sizeof(TextInputStreamObject)), StreamInit, StreamFinish,
        ORVANE_ROWS(kStreamProperties), ORVANE_ROWS(kStreamMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectHeader* NewTextInputStream(FileStream* file) {
    if (!file) return nullptr;
    ObjectHeader* stream = CreateInstance(TextInputStreamDefinition());
    if (!stream) {
        delete file;
        return nullptr;
    }
    TextInputStreamObject* s = Fields(stream);
    s->file = file;
    s->position = 0;
    s->count = 0;
    return stream;
}

extern "C" StringValue* __cdecl TextInputStreamReadLine(ObjectHeader* stream, ObjectHeader* encoding) {
    TextInputStreamObject* s = Fields(stream);
    if (!s || !s->file) return nullptr;
    BytePieces line;
    for (;;) {
        const uint8_t* from = s->buffer + s->position;
        const uint8_t* end = s->buffer + s->count;
        const uint8_t* stop = FindTerminator(from, end);
        line.Add(from, int32_t(stop - from));
        s->position = int32_t(stop - s->buffer);
        if (stop < end) {
            s->position += 1;
            if (*stop == '\r') {
                // A CR LF split across two blocks is one terminator.
                if (s->position == s->count) ReadBlock(s);
                if (s->position < s->count && s->buffer[s->position] == '\n') s->position += 1;
            }
            break;
        }
        // A read that fails short of the end leaves the file exhausted too, so
        // an unreadable file ends the line instead of being asked again.
        if (s->file->Exhausted()) break;
        ReadBlock(s);
    }
    return line.Make(TagFor(s, encoding)).Release();
}

extern "C" StringValue* __cdecl TextInputStreamReadAll(ObjectHeader* stream, ObjectHeader* encoding) {
    TextInputStreamObject* s = Fields(stream);
    if (!s || !s->file) return nullptr;
    BytePieces all;
    for (;;) {
        all.Add(s->buffer + s->position, s->count - s->position);
        s->position = 0;
        s->count = 0;
        ReadBlock(s);
        if (s->count == 0) break;
    }
    return all.Make(TagFor(s, encoding)).Release();
}

extern "C" int32_t __cdecl TextInputStreamEOF(ObjectHeader* stream, int32_t) {
    TextInputStreamObject* s = Fields(stream);
    if (!s || !s->file) return 0;
    return s->position >= s->count && s->file->Exhausted() ? 1 : 0;
}

extern "C" void __cdecl TextInputStreamClose(ObjectHeader* stream) {
    TextInputStreamObject* s = Fields(stream);
    if (!s || !s->file) return;
    FileStream* file = s->file;
    s->file = nullptr;
    s->position = 0;
    s->count = 0;
    delete file;
}
