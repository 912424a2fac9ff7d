// Folder items on the Windows file system.
#pragma once

#include <windows.h>

#include "files/FolderItemImp.h"

class FolderItemImpWin32 : public FolderItemImp {
public:
    // An item for a path text (UTF-8): combined with the application's folder
    // unless it has a volume, without a trailing backslash, in long form.
    static FolderItemImpWin32* FromText(const StringHandle& text);
    // The same for a path made from an existing item's; root marks it so.
    static FolderItemImpWin32* FromPath(const StringHandle& path, bool root);

    FolderItemImp* Copy() const override;
    bool Exists() override;
    bool Alias() override;
    bool Directory() override;
    StringHandle Name() override;
    StringHandle AbsolutePath() override;
    FileStream* OpenAsFile() override;
    FolderItemImp* Child(const StringHandle& name, bool resolve) override;
    FolderItemImp* ResolveShortcut() override;
    FolderItemImp* Parent() override;

    // The validity rule: the file attributes can be read, or the query fails
    // only because the file is missing (its folder exists).
    bool IsUsable() const;

private:
    FolderItemImpWin32() = default;
    // The shortcut's target (long form), or nil when the path is no shortcut.
    StringHandle ShortcutTarget() const;
};
