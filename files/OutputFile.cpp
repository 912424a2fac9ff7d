// Binary output files for module code: created empty, written in order,
// and kept only when every write succeeded and the caller asks to keep them,
// so a failed output leaves no partial file behind.
#include <windows.h>

#include <new>

#include "files/FileStream.h"
#include "files/Win32FileCalls.h"
#include "orvane/exports.h"
#include "strings/dump.h"
#include "startup/SystemVersion.h"

namespace {

struct OutputFile {
    FileStream* stream;
    StringHandle path;
    bool failed;
};

HANDLE CreatePathForWriting(const StringHandle& path) {
    if (IsWindowsNT()) {
        StringHandle wide = PathToUtf16(path);
        return CreateFileW(WidePointer(wide), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
    return CreateFileA(path.Text(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void DeletePath(const StringHandle& path) {
    if (IsWindowsNT()) {
        StringHandle wide = PathToUtf16(path);
        DeleteFileW(WidePointer(wide));
    } else {
        DeleteFileA(path.Text());
    }
}

}  // namespace

extern "C" void* __cdecl RuntimeOutputFileCreate(StringValue* path) {
    if (!path) return nullptr;
    StringHandle p = StringHandle::Borrow(path).ToUtf8();
    HANDLE h = CreatePathForWriting(p);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    void* block = RuntimeMemAlloc(int32_t(sizeof(OutputFile)));
    if (!block) {
        CloseHandle(h);
        DeletePath(p);
        return nullptr;
    }
    return new (block) OutputFile{new FileStream(h), p, false};
}

extern "C" int32_t __cdecl RuntimeOutputFileWrite(void* file, const void* bytes, int32_t count) {
    OutputFile* f = static_cast<OutputFile*>(file);
    if (!f) return 0;
    // A write that cannot be done leaves the file incomplete: it fails too.
    if (count < 0 || (count > 0 && !bytes)) f->failed = true;
    if (!f->failed && !f->stream->Write(bytes, count)) f->failed = true;
    return f->failed ? 0 : 1;
}

extern "C" int32_t __cdecl RuntimeOutputFileClose(void* file, int32_t keep) {
    OutputFile* f = static_cast<OutputFile*>(file);
    if (!f) return 0;
    bool kept = keep && !f->failed && f->stream->Flush();
    delete f->stream;  // closes the handle
    if (!kept) DeletePath(f->path);
    f->~OutputFile();
    RuntimeMemFree(f);
    return kept ? 1 : 0;
}
