// The buffered file streams' file object: one Windows file handle, read and
// written synchronously under the process-wide stream lock.
#pragma once

#include <windows.h>

#include <cstdint>

#include "startup/Win32Owners.h"
#include "strings/string.h"

class FileStream {
public:
    // Opens the path (UTF-8) for reading; nil when that fails, with the
    // Windows error in *error.
    static FileStream* OpenForReading(const StringHandle& path, DWORD* error);

    explicit FileStream(HANDLE file) : file_(file) {}
    virtual ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // The virtual operations in the order the runtime's file objects use.
    virtual bool Read(void* buffer, int32_t count, int32_t* bytesRead);
    virtual bool Write(const void* buffer, int32_t count);
    virtual void Close();
    virtual bool AtEnd();  // position at or beyond the length
    virtual bool SetPosition(int64_t position);
    virtual int64_t Length();
    virtual bool SetLength(int64_t length);
    virtual int64_t Position();
    virtual bool Flush();

    // A read that failed (or gave nothing) short of the end: nothing more can
    // be read, so readers stop as they do at the end.
    void MarkReadFailed() { readFailed_ = true; }
    bool ReadFailed() const { return readFailed_; }
    bool Exhausted() { return readFailed_ || AtEnd(); }

    static void* operator new(size_t size);
    static void operator delete(void* block);

private:
    KernelHandle file_;
    bool readFailed_ = false;
};
