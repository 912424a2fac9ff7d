#include "files/runFolderItem.h"

#include "objects/ObjectDefinition.h"

#include <windows.h>
#include <shlobj.h>

#include "files/FileStream.h"
#include "files/FolderItemImpWin32.h"
#include "files/FolderPath.h"
#include "files/SystemFolders.h"
#include "files/TextInputStream.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"

namespace {
FolderItemImp*& ImpOf(ObjectHeader* item) { return reinterpret_cast<FolderItemObject*>(item)->mImp; }

// The implementation of an entry point's item; nil (after the report) when
// the item has none.
FolderItemImp* EntryImp(ObjectHeader* entry) {
    if (!entry || !ImpOf(entry)) {
        RUNTIME_CHECK_FAILED("entry->mImp");
        return nullptr;
    }
    return ImpOf(entry);
}

void __cdecl FolderItemInit(ObjectHeader* self) { ImpOf(self) = nullptr; }

void __cdecl FolderItemFinish(ObjectHeader* self) {
    FolderItemImp* imp = ImpOf(self);
    ImpOf(self) = nullptr;
    delete imp;
}

ObjectHeader* ItemForText(StringValue* text, bool resolve) {
    StringHandle path = PathTextToUtf8(StringHandle::Borrow(text));
    if (PathHasNul(path)) return nullptr;
    FolderItemImpWin32* imp = FolderItemImpWin32::FromText(path);
    if (!imp->IsUsable()) {
        delete imp;
        return nullptr;
    }
    if (resolve) {
        FolderItemImp* target = imp->ResolveShortcut();
        delete imp;
        return NewFolderItem(target);
    }
    return NewFolderItem(imp);
}

ObjectHeader* ChildOf(ObjectHeader* entry, StringValue* name, bool resolve) {
    FolderItemImp* imp = EntryImp(entry);
    if (!imp) return nullptr;
    StringHandle childName = PathTextToUtf8(StringHandle::Borrow(name));
    if (PathHasNul(childName)) return nullptr;
    return NewFolderItem(imp->Child(childName, resolve));
}

ObjectHeader* ItemForFolderPath(const StringHandle& path) {
    if (path.IsEmpty()) return nullptr;
    return NewFolderItem(FolderItemImpWin32::FromPath(path, false));
}

ObjectHeader* ItemForShellFolder(int folder) { return ItemForFolderPath(ShellFolderPath(folder)); }

ClassTypeRef kFolderItemType = ORVANE_CLASS_TYPE("FolderItem");
ClassTypeRef kTextInputStreamType = ORVANE_CLASS_TYPE("TextInputStream");

ParameterRecord kNameParameter[] = {{"name", &kStringType, 0, {0, 0, 0}, {0, 0, 0, 0}}};

PropertyRow kFolderItemProperties[] = {
    {0, "AbsolutePath", &kStringType, Fn(&fileAbsolutePathGetter), "fileAbsolutePathGetter", nullptr, nullptr, 0},
    {0, "Name", &kStringType, Fn(&fileNameGetter), "fileNameGetter", nullptr, nullptr, 0},
    {0, "Exists", &kBooleanType, Fn(&fileExistsGetter), "fileExistsGetter", nullptr, nullptr, 0},
    {0, "Directory", &kBooleanType, Fn(&fileDirectoryGetter), "fileDirectoryGetter", nullptr, nullptr, 0},
    {0, "Parent", &kFolderItemType.header, Fn(&folderParentGetter), "folderParentGetter", nullptr, nullptr, 0},
    {0, "DesktopFolder", &kFolderItemType.header, Fn(&folderFindFolder), "folderFindFolder", nullptr, nullptr,
     kFolderDesktop},
    {0, "TrashFolder", &kFolderItemType.header, Fn(&folderFindFolder), "folderFindFolder", nullptr, nullptr,
     kFolderTrash},
    {0, "SharedTrashFolder", &kFolderItemType.header, Fn(&folderFindFolder), "folderFindFolder", nullptr,
     nullptr, kFolderSharedTrash},
    {0, "TemporaryFolder", &kFolderItemType.header, Fn(&folderFindFolder), "folderFindFolder", nullptr, nullptr,
     kFolderTemporary},
    {0, "LastErrorCode", &kIntegerType, Fn(&FolderItemGetLastError), "FolderItemGetLastError",
     Fn(&FolderItemSetLastError), "FolderItemSetLastError", 0},
};

MethodRow kFolderItemMethods[] = {
    {"Child", &kFolderItemType.header, kNameParameter, 1, Fn(&FolderChild), "FolderChild", {}, nullptr, nullptr,
     {}, 0},
    {"TrueChild", &kFolderItemType.header, kNameParameter, 1, Fn(&FolderTrueChild), "FolderTrueChild", {},
     nullptr, nullptr, {}, 0},
    {"OpenAsTextFile", &kTextInputStreamType.header, nullptr, 0, Fn(&FolderItemOpenTextFile),
     "FolderItemOpenTextFile", {}, nullptr, nullptr, {}, 0},
};
}  // namespace

ObjectDefinition* FolderItemDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "FolderItem", nullptr, int32_t(sizeof(FolderItemObject)), FolderItemInit, FolderItemFinish,
        ORVANE_ROWS(kFolderItemProperties), ORVANE_ROWS(kFolderItemMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectHeader* NewFolderItem(FolderItemImp* imp) {
    if (!imp) return nullptr;
    ObjectHeader* item = CreateInstance(FolderItemDefinition());
    if (!item) {
        delete imp;
        return nullptr;
    }
    ImpOf(item) = imp;
    return item;
}

// ---- Creation from a path text -----------------------------------------------------

extern "C" ObjectHeader* __cdecl RuntimeGetFolderItem(StringValue* text) { return ItemForText(text, true); }

extern "C" ObjectHeader* __cdecl RuntimeGetTrueFolderItem(StringValue* text) { return ItemForText(text, false); }

// ---- Properties ---------------------------------------------------------------------

extern "C" StringValue* __cdecl fileAbsolutePathGetter(ObjectHeader* entry, int32_t) {
    FolderItemImp* imp = EntryImp(entry);
    return imp ? imp->AbsolutePath().Release() : nullptr;
}

extern "C" StringValue* __cdecl fileNameGetter(ObjectHeader* entry, int32_t) {
    FolderItemImp* imp = EntryImp(entry);
    return imp ? imp->Name().Release() : nullptr;
}

extern "C" int32_t __cdecl fileExistsGetter(ObjectHeader* entry, int32_t) {
    FolderItemImp* imp = EntryImp(entry);
    return imp && imp->Exists() ? 1 : 0;
}

extern "C" int32_t __cdecl fileDirectoryGetter(ObjectHeader* entry, int32_t) {
    FolderItemImp* imp = EntryImp(entry);
    return imp && imp->Directory() ? 1 : 0;
}

extern "C" ObjectHeader* __cdecl folderParentGetter(ObjectHeader* entry, int32_t) {
    FolderItemImp* imp = EntryImp(entry);
    return imp ? NewFolderItem(imp->Parent()) : nullptr;
}

extern "C" ObjectHeader* __cdecl folderFindFolder(ObjectHeader*, int32_t code) {
    return ItemForFolderPath(SpecialFolderPath(uint32_t(code)));
}

extern "C" int32_t __cdecl FolderItemGetLastError(ObjectHeader* obj, int32_t) {
    if (!obj || !ImpOf(obj)) {
        RUNTIME_CHECK_FAILED("obj->mImp");
        return 0;
    }
    return ImpOf(obj)->LastError();
}

extern "C" void __cdecl FolderItemSetLastError(ObjectHeader* obj, int32_t, int32_t code) {
    if (FolderItemImp* imp = EntryImp(obj)) imp->SetLastError(code);
}

// ---- Methods ------------------------------------------------------------------------

extern "C" ObjectHeader* __cdecl FolderChild(ObjectHeader* entry, StringValue* name) {
    return ChildOf(entry, name, true);
}

extern "C" ObjectHeader* __cdecl FolderTrueChild(ObjectHeader* entry, StringValue* name) {
    return ChildOf(entry, name, false);
}

extern "C" ObjectHeader* __cdecl FolderItemOpenTextFile(ObjectHeader* entry) {
    FolderItemImp* imp = EntryImp(entry);
    if (!imp) return nullptr;
    return NewTextInputStream(imp->OpenAsFile());
}

// ---- Special folders of the language ----------------------------------------------------

extern "C" ObjectHeader* __cdecl getAppleMenuFolder(void) { return ItemForShellFolder(CSIDL_PROGRAMS); }
extern "C" ObjectHeader* __cdecl getControlPanelsFolder(void) { return ItemForShellFolder(CSIDL_CONTROLS); }
extern "C" ObjectHeader* __cdecl GetDocumentsFolder(void) { return ItemForShellFolder(CSIDL_PERSONAL); }
extern "C" ObjectHeader* __cdecl getStartupItemsFolder(void) { return ItemForShellFolder(CSIDL_STARTUP); }
extern "C" ObjectHeader* __cdecl getDesktopFolder(void) { return ItemForShellFolder(CSIDL_DESKTOPDIRECTORY); }
extern "C" ObjectHeader* __cdecl getFontsFolder(void) { return ItemForShellFolder(CSIDL_FONTS); }

extern "C" ObjectHeader* __cdecl getPreferencesFolder(void) {
    StringHandle path = ShellFolderPath(CSIDL_APPDATA);
    return ItemForFolderPath(path.IsEmpty() ? WindowsFolderPath() : path);
}

extern "C" ObjectHeader* __cdecl getApplicationSupportFolder(void) { return getPreferencesFolder(); }
extern "C" ObjectHeader* __cdecl getSystemFolder(void) { return ItemForFolderPath(SystemFolderPath()); }
extern "C" ObjectHeader* __cdecl getExtensionsFolder(void) { return ItemForFolderPath(SystemFolderPath()); }
extern "C" ObjectHeader* __cdecl getTemporaryItemsFolder(void) { return ItemForFolderPath(TemporaryFolderPath()); }
extern "C" ObjectHeader* __cdecl getTrashFolder(void) { return nullptr; }
extern "C" ObjectHeader* __cdecl getShutdownItemsFolder(void) { return nullptr; }
