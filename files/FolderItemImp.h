// The platform side of a FolderItem: the item's full path and the questions
// asked of the file system about it. Nothing about the file is cached.
#pragma once

#include <cstddef>
#include <cstdint>

#include "strings/string.h"

class FileStream;

class FolderItemImp {
public:
    FolderItemImp() = default;
    FolderItemImp(const FolderItemImp&) = delete;
    FolderItemImp& operator=(const FolderItemImp&) = delete;

    // The operations in the order of the runtime's implementation table.
    virtual ~FolderItemImp() = default;
    virtual FolderItemImp* Copy() const = 0;
    virtual bool Exists() = 0;
    virtual bool Alias() = 0;
    virtual bool Directory() = 0;
    virtual StringHandle Name() = 0;
    virtual StringHandle AbsolutePath() = 0;
    // Opened for reading; nil on failure (lastError stays as it was).
    virtual FileStream* OpenAsFile() = 0;
    // Nil when this is not a directory or lies inside a virtual volume.
    virtual FolderItemImp* Child(const StringHandle& name, bool resolve) = 0;
    // A new implementation for the shortcut's target, or for the same path
    // when this is not a shortcut.
    virtual FolderItemImp* ResolveShortcut() = 0;
    // The item that holds this one, or nil for a root.
    virtual FolderItemImp* Parent() = 0;

    int32_t LastError() const { return lastError_; }
    void SetLastError(int32_t code) { lastError_ = code; }
    const StringHandle& Path() const { return path_; }
    bool IsRoot() const { return isRoot_ != 0; }

    // Allocated from the runtime's general allocator.
    static void* operator new(size_t size);
    static void operator delete(void* block);

protected:
    int32_t lastError_ = 0;
    StringHandle path_;    // tagged UTF-8, no trailing backslash
    uint8_t isRoot_ = 0;   // a drive or a network share
    uint8_t reserved_ = 0;
    uint8_t inVirtualVolume_ = 0;
};
