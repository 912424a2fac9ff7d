// The FolderItemDialog class and its kinds (OpenDialog, SaveAsDialog,
// SelectFolderDialog): the common file dialog and the folder browser, whose
// choice comes back as a FolderItem. Module code stores the properties into
// the fields directly, so their offsets are part of the module interface.
#pragma once

#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

#include <cstddef>
#include <cstdint>

#include "orvane/abi.h"

struct ObjectDefinition;

enum FolderItemDialogKind : int8_t {
    kDialogKindUnset = -1,
    kDialogOpen = 0,
    kDialogSave = 1,
    kDialogSelectFolder = 2,
};

constexpr int32_t kDialogFileNameBuffer = 1024;  // characters, the terminating NUL included
constexpr int32_t kFolderItemDialogSize = 3396;
// The size of the open-file-name structure the dialog hands the platform.
constexpr DWORD kOpenFileNameSize = 76;

// The runtime's own part of the dialog, behind the fields module code uses.
struct FolderItemDialogPrivate {
    const void* const* fileTypes;  // the dialog's own file types (none are ever added)
    int32_t fileTypeCount;
    int32_t selectedType;   // the filter index the user chose last (1-based), 0 before
    HWND owner;             // for ShowModalWithin; nil otherwise
    StringValue* filterText;  // UTF-16, NUL-separated, of the last showing
    int32_t hookTop, hookLeft;
    uint8_t moved;          // the dialog was placed at Left/Top
    uint8_t pad[3];
    OPENFILENAMEW openFileName;
    BROWSEINFOW browseInfo;
    wchar_t fileName[kDialogFileNameBuffer];
};

struct FolderItemDialogObject {
    ObjectHeader header;
    int8_t mType;  // FolderItemDialogKind
    uint8_t pad[3];
    int32_t top;
    int32_t left;
    StringValue* title;
    StringValue* actionButtonCaption;
    StringValue* cancelButtonCaption;
    StringValue* suggestedFileName;
    StringValue* promptText;
    StringValue* filter;
    ObjectHeader* initialDirectory;  // FolderItem
    ObjectHeader* result;            // FolderItem
    FolderItemDialogPrivate runtime;
    uint8_t reserved[kFolderItemDialogSize - 72 - sizeof(FolderItemDialogPrivate)];
};

static_assert(offsetof(FolderItemDialogObject, mType) == 28, "FolderItemDialog.mType");
static_assert(offsetof(FolderItemDialogObject, top) == 32, "FolderItemDialog.Top");
static_assert(offsetof(FolderItemDialogObject, left) == 36, "FolderItemDialog.Left");
static_assert(offsetof(FolderItemDialogObject, title) == 40, "FolderItemDialog.Title");
static_assert(offsetof(FolderItemDialogObject, actionButtonCaption) == 44, "FolderItemDialog.ActionButtonCaption");
static_assert(offsetof(FolderItemDialogObject, cancelButtonCaption) == 48, "FolderItemDialog.CancelButtonCaption");
static_assert(offsetof(FolderItemDialogObject, suggestedFileName) == 52, "FolderItemDialog.SuggestedFileName");
static_assert(offsetof(FolderItemDialogObject, promptText) == 56, "FolderItemDialog.PromptText");
static_assert(offsetof(FolderItemDialogObject, filter) == 60, "FolderItemDialog.Filter");
static_assert(offsetof(FolderItemDialogObject, initialDirectory) == 64, "FolderItemDialog.InitialDirectory");
static_assert(offsetof(FolderItemDialogObject, result) == 68, "FolderItemDialog.Result");
static_assert(offsetof(FolderItemDialogObject, runtime) == 72, "FolderItemDialog private part");
static_assert(sizeof(FolderItemDialogObject) == kFolderItemDialogSize, "FolderItemDialog instance size");

inline FolderItemDialogObject* AsFolderItemDialog(ObjectHeader* o) {
    return reinterpret_cast<FolderItemDialogObject*>(o);
}

ObjectDefinition* FolderItemDialogDefinition();
ObjectDefinition* OpenDialogDefinition();
ObjectDefinition* SaveAsDialogDefinition();
ObjectDefinition* SelectFolderDialogDefinition();

// Tests replace the platform's dialog calls: the structure as the dialog
// filled it, and the call's result. Nil restores the platform's.
using OpenFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEW* openFileName);
struct FileDialogFunctions {
    OpenFileNameFunction open;
    OpenFileNameFunction save;
};
FileDialogFunctions SetFileDialogFunctions(FileDialogFunctions functions);

// The hook the file dialog is given (for tests that drive it by hand).
UINT_PTR CALLBACK FolderItemDialogHook(HWND hook, UINT message, WPARAM wParam, LPARAM lParam);
