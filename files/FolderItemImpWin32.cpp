#include "files/FolderItemImpWin32.h"

#include <objbase.h>
#include <shlobj.h>

#include "files/FileStream.h"
#include "files/FolderPath.h"
#include "files/Win32FileCalls.h"
#include "orvane/exports.h"
#include "startup/SystemVersion.h"
#include "strings/dump.h"

namespace {
constexpr int32_t kShortcutPathBuffer = 1024;
constexpr DWORD kDriveListSize = 255;

const CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

StringHandle Text(const char* bytes) { return PathFromBytes(bytes, int32_t(lstrlenA(bytes))); }

// Loads the path as a shell link and reads its target; nil when any step fails.
template <typename Link, typename Char>
StringHandle LinkTarget(const IID& linkInterface, const StringHandle& path,
                        StringHandle (*toPath)(const Char*, int32_t)) {
    ComPtr<Link> link;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, linkInterface, link.Out())))
        return StringHandle();
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(kPersistFile, file.Out()))) return StringHandle();
    StringHandle wide = PathToUtf16(path);
    if (FAILED(file->Load(WidePointer(wide), 0))) return StringHandle();
    if (FAILED(link->Resolve(nullptr, 0))) return StringHandle();
    Char target[kShortcutPathBuffer] = {};
    if (FAILED(link->GetPath(target, kShortcutPathBuffer, nullptr, SLGP_SHORTPATH))) return StringHandle();
    int32_t n = 0;
    while (n < kShortcutPathBuffer && target[n]) ++n;
    return toPath(target, n);
}

StringHandle WideToPath(const wchar_t* units, int32_t n) { return PathFromUtf16(units, n); }
StringHandle BytesToPath(const char* bytes, int32_t n) { return PathFromBytes(bytes, n); }
}  // namespace

void* FolderItemImp::operator new(size_t size) { return RuntimeMemAlloc(int32_t(size)); }
void FolderItemImp::operator delete(void* block) { RuntimeMemFree(block); }

FolderItemImpWin32* FolderItemImpWin32::FromText(const StringHandle& text) {
    StringHandle path = CombineWithBase(ApplicationFolder(), text);
    return FromPath(path, false);
}

FolderItemImpWin32* FolderItemImpWin32::FromPath(const StringHandle& given, bool root) {
    StringHandle path = LongPathForm(DropTrailingBackslash(given));
    FolderItemImpWin32* imp = new FolderItemImpWin32;
    imp->isRoot_ = root || IsRootPathText(path) ? 1 : 0;
    imp->path_ = DropTrailingBackslash(path);
    return imp;
}

FolderItemImp* FolderItemImpWin32::Copy() const {
    FolderItemImpWin32* imp = new FolderItemImpWin32;
    imp->lastError_ = lastError_;
    imp->path_ = path_;
    imp->isRoot_ = isRoot_;
    imp->inVirtualVolume_ = inVirtualVolume_;
    return imp;
}

bool FolderItemImpWin32::IsUsable() const {
    DWORD error = 0;
    return PathAttributes(path_, &error) != INVALID_FILE_ATTRIBUTES || error == ERROR_FILE_NOT_FOUND;
}

bool FolderItemImpWin32::Exists() {
    StringHandle pattern = path_;
    if (isRoot_) pattern.Append(Text("\\*"));
    if (PathFindsSomething(pattern)) return true;
    int32_t n = path_.Length();
    if (n == 0 || path_.Text()[n - 1] != ':') return false;
    // A bare drive whose root cannot be listed still exists when it is mounted.
    char drives[kDriveListSize + 1] = {};
    DWORD got = GetLogicalDriveStringsA(kDriveListSize, drives);
    if (got == 0 || got > kDriveListSize) return false;
    StringHandle list = PathFromBytes(drives, int32_t(got));
    return StringInStrB(1, list.Get(), path_.Get()) > 0;
}

bool FolderItemImpWin32::Alias() {
    ComInitialization com;
    return !ShortcutTarget().IsEmpty();
}

bool FolderItemImpWin32::Directory() {
    if (isRoot_) return true;
    DWORD attributes = PathAttributes(path_, nullptr);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

StringHandle FolderItemImpWin32::Name() {
    PathSplit split = SplitPath(path_);
    if (split.nameLength > 0) return path_.Sub(split.nameStart, split.nameLength);
    return path_.Left(split.volumeLength);
}

StringHandle FolderItemImpWin32::AbsolutePath() {
    if (!Directory()) return path_;
    StringHandle out = path_;
    out.Append(Text("\\"));
    return out;
}

FileStream* FolderItemImpWin32::OpenAsFile() { return FileStream::OpenForReading(path_, nullptr); }

FolderItemImp* FolderItemImpWin32::Child(const StringHandle& name, bool resolve) {
    if (inVirtualVolume_ || !Directory()) return nullptr;
    StringHandle path = path_;
    path.Append(Text("\\"));
    path.Append(name);
    FolderItemImpWin32* child = FromPath(path, false);
    if (!resolve) return child;
    FolderItemImp* target = child->ResolveShortcut();
    delete child;
    return target;
}

StringHandle FolderItemImpWin32::ShortcutTarget() const {
    StringHandle target = IsWindowsNT() ? LinkTarget<IShellLinkW, wchar_t>(kShellLinkW, path_, WideToPath)
                                        : LinkTarget<IShellLinkA, char>(kShellLinkA, path_, BytesToPath);
    return target.IsEmpty() ? target : LongPathForm(target);
}

FolderItemImp* FolderItemImpWin32::ResolveShortcut() {
    StringHandle target;
    {
        ComInitialization com;
        target = ShortcutTarget();
    }
    if (target.IsEmpty()) return Copy();
    return FromPath(target, false);
}

FolderItemImp* FolderItemImpWin32::Parent() {
    if (isRoot_) return nullptr;
    PathSplit split = SplitPath(path_);
    if (split.volumeLength == 0) return nullptr;  // a bare name has no folder to go up to
    if (split.directoryLength > 0) return FromPath(path_.Left(split.directoryStart + split.directoryLength), false);
    return FromPath(path_.Left(split.volumeLength), true);
}
