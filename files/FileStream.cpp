#include "files/FileStream.h"

#include "files/Win32FileCalls.h"
#include "startup/ProcessState.h"
#include "strings/dump.h"
#include "strings/utility.h"

FileStream* FileStream::OpenForReading(const StringHandle& path, DWORD* error) {
    HANDLE h = OpenPathForReading(path, error);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return new FileStream(h);
}

FileStream::~FileStream() { Close(); }

void* FileStream::operator new(size_t size) { return RuntimeMemAlloc(int32_t(size)); }
void FileStream::operator delete(void* block) { RuntimeMemFree(block); }

bool FileStream::Read(void* buffer, int32_t count, int32_t* bytesRead) {
    DWORD got = 0;
    BOOL ok = FALSE;
    if (file_.IsValid() && count > 0) {
        CriticalSectionLock lock(gStreamLock);
        ok = ReadFile(file_.Get(), buffer, DWORD(count), &got, nullptr);
    }
    if (!ok) got = 0;
    if (bytesRead) *bytesRead = int32_t(got);
    return ok != FALSE;
}

bool FileStream::Write(const void* buffer, int32_t count) {
    if (!file_.IsValid() || count <= 0) return count == 0;
    DWORD written = 0;
    CriticalSectionLock lock(gStreamLock);
    return WriteFile(file_.Get(), buffer, DWORD(count), &written, nullptr) && written == DWORD(count);
}

void FileStream::Close() {
    file_.Reset();
}

bool FileStream::AtEnd() {
    if (!file_.IsValid()) return true;
    return Position() >= Length();
}

bool FileStream::SetPosition(int64_t position) {
    if (!file_.IsValid()) return false;
    LARGE_INTEGER to;
    to.QuadPart = position;
    return SetFilePointerEx(file_.Get(), to, nullptr, FILE_BEGIN) != FALSE;
}

int64_t FileStream::Length() {
    LARGE_INTEGER size;
    if (!file_.IsValid() || !GetFileSizeEx(file_.Get(), &size)) return 0;
    return size.QuadPart;
}

bool FileStream::SetLength(int64_t length) {
    int64_t at = Position();
    if (!SetPosition(length) || !SetEndOfFile(file_.Get())) return false;
    return SetPosition(at < length ? at : length);
}

int64_t FileStream::Position() {
    if (!file_.IsValid()) return 0;
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(file_.Get(), zero, &at, FILE_CURRENT)) return 0;
    return at.QuadPart;
}

bool FileStream::Flush() { return file_.IsValid() && FlushFileBuffers(file_.Get()); }
