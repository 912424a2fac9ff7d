// The FolderItem class: a reference to a file or folder, one pointer to its
// platform implementation. Fixed entry points (RuntimeGetFolderItem and the
// special folders) are declared in orvane/exports.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvane/abi.h"

class FolderItemImp;
struct ObjectDefinition;

struct FolderItemObject {
    ObjectHeader header;
    FolderItemImp* mImp;
};
static_assert(offsetof(FolderItemObject, mImp) == 28, "FolderItem.mImp");
static_assert(sizeof(FolderItemObject) == 32, "FolderItem instance size");

ObjectDefinition* FolderItemDefinition();

// A new FolderItem that owns imp (deleted when no instance can be made); one
// reference for the caller, or nil for a nil imp.
ObjectHeader* NewFolderItem(FolderItemImp* imp);

// Accessors and methods named in the class's rows.
extern "C" {
StringValue* __cdecl fileAbsolutePathGetter(ObjectHeader* entry, int32_t parameter);
StringValue* __cdecl fileNameGetter(ObjectHeader* entry, int32_t parameter);
int32_t __cdecl fileExistsGetter(ObjectHeader* entry, int32_t parameter);
int32_t __cdecl fileDirectoryGetter(ObjectHeader* entry, int32_t parameter);
ObjectHeader* __cdecl folderParentGetter(ObjectHeader* entry, int32_t parameter);
ObjectHeader* __cdecl folderFindFolder(ObjectHeader* entry, int32_t code);
int32_t __cdecl FolderItemGetLastError(ObjectHeader* obj, int32_t parameter);
void __cdecl FolderItemSetLastError(ObjectHeader* obj, int32_t parameter, int32_t code);
ObjectHeader* __cdecl FolderChild(ObjectHeader* entry, StringValue* name);
ObjectHeader* __cdecl FolderTrueChild(ObjectHeader* entry, StringValue* name);
ObjectHeader* __cdecl FolderItemOpenTextFile(ObjectHeader* entry);
}
