#include "files/FolderItemDialog.h"

#include <shlwapi.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "files/FileTypes.h"
#include "files/FolderItemImpWin32.h"
#include "files/Win32FileCalls.h"
#include "files/runFolderItem.h"
#include "graphics/DrawingContext.h"
#include "objects/ObjectDefinition.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"
#include "startup/Win32Owners.h"
#include "strings/string.h"
#include "ui/ViewWindow.h"
#include "ui/WindowObject.h"
#include "ui/window.h"

extern "C" {
ObjectHeader* __cdecl FolderItemDialogShowModal(ObjectHeader* dialog);
ObjectHeader* __cdecl FolderItemDialogShowWithin(ObjectHeader* dialog, ObjectHeader* window);
}

namespace {
constexpr DWORD kOpenSaveFlags = OFN_ENABLESIZING | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_ENABLEHOOK |
                                 OFN_HIDEREADONLY;  // 0x880824
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;        // 5
constexpr UINT kBrowseNewStyle = BIF_NEWDIALOGSTYLE | BIF_UAHINT;          // 0x140
constexpr int kFileNameCombo = 0x47C;  // cmb13 of the explorer-style dialog
constexpr int kFileNameEdit = 0x480;   // edt1, which some dialogs have instead

FileDialogFunctions gFunctions = {nullptr, nullptr};

// The common dialog library is loaded when a dialog is first shown (and kept),
// not at start-up by every process of the runtime.
OpenFileNameFunction CommonDialogFunction(const char* name) {
    static HMODULE library = LoadLibraryA("comdlg32.dll");
    return library ? reinterpret_cast<OpenFileNameFunction>(reinterpret_cast<void*>(GetProcAddress(library, name)))
                   : nullptr;
}

StringHandle Field(StringValue* s) { return StringHandle::Borrow(s); }

// Every text handed to the platform lives as long as the call.
struct DialogTexts {
    FilterText filter;
    std::wstring title;
    std::wstring initialDirectory;
};

std::wstring AbsolutePathOf(ObjectHeader* item) {
    if (!item) return std::wstring();
    return WideOf(StringHandle::Adopt(fileAbsolutePathGetter(item, 0)));
}

HWND WindowHandleOf(ObjectHeader* window) {
    if (!window) return nullptr;
    ViewWindow* view = AsWindow(window)->native;
    return view ? view->handle.Get() : nullptr;
}

void MoveTo(HWND window, const FolderItemDialogObject* d) {
    if (d->left == -1 && d->top == -1) return;
    SetWindowPos(window, nullptr, d->left, d->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetCaption(HWND window, StringValue* caption) {
    if (!window || StringLength(caption) == 0) return;
    SetWindowTextW(window, WideOf(Field(caption)).c_str());
}

// The UTF-16 filter text kept in the dialog for as long as it lives.
void KeepFilterText(FolderItemDialogObject* d, const std::wstring& text) {
    StringRelease(d->runtime.filterText);
    d->runtime.filterText =
        text.empty() ? nullptr
                     : StringMakeUtf16(reinterpret_cast<const uint16_t*>(text.data()), int32_t(text.size()));
}

FilterText DialogFilter(const FolderItemDialogObject* d) {
    std::vector<const FileTypeRecord*> own;
    for (int32_t i = 0; i < d->runtime.fileTypeCount; ++i)
        own.push_back(static_cast<const FileTypeRecord*>(d->runtime.fileTypes[i]));
    return BuildFilterText(Field(d->filter), FirstFileType(), own);
}

// The default extension of the filter's entry (1-based), or empty.
std::wstring EntryExtension(const FolderItemDialogObject* d, DWORD entry) {
    const FilterText filter = DialogFilter(d);
    return entry >= 1 && entry <= filter.entryExtensions.size() ? filter.entryExtensions[entry - 1]
                                                                : std::wstring();
}

// The file name with its extension replaced (or added).
std::wstring WithExtension(const std::wstring& name, const std::wstring& extension) {
    size_t dot = name.find_last_of(L'.');
    std::wstring stem = dot == std::wstring::npos ? name : name.substr(0, dot);
    return stem + L"." + extension;
}

void TypeChanged(HWND dialogWindow, FolderItemDialogObject* d, const OPENFILENAMEW* ofn) {
    d->runtime.selectedType = int32_t(ofn->nFilterIndex);
    if (d->mType != kDialogSave) return;
    const std::wstring extension = EntryExtension(d, ofn->nFilterIndex);
    if (extension.empty()) return;
    wchar_t name[kDialogFileNameBuffer] = {};
    LRESULT n = SendMessageW(dialogWindow, CDM_GETSPEC, kDialogFileNameBuffer, LPARAM(name));
    if (n <= 1 || n > kDialogFileNameBuffer) return;
    const std::wstring renamed = WithExtension(name, extension);
    const int field = GetDlgItem(dialogWindow, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
    SendMessageW(dialogWindow, CDM_SETCONTROLTEXT, field, LPARAM(renamed.c_str()));
}

// A path that fills the whole buffer may have been cut short: it is refused
// as the platform's too-small result is, rather than naming another file.
bool ChosenPathFits(const wchar_t* buffer) {
    return wcsnlen(buffer, kDialogFileNameBuffer) < size_t(kDialogFileNameBuffer - 1);
}

// The chosen path becomes Result (shortcuts resolved); one more reference
// for the caller.
ObjectHeader* TakeResult(FolderItemDialogObject* d, const wchar_t* path) {
    StringHandle utf8 = PathFromUtf16(path, int32_t(wcslen(path)));
    FolderItemImpWin32* chosen = FolderItemImpWin32::FromPath(utf8, false);
    FolderItemImp* resolved = chosen->ResolveShortcut();
    delete chosen;
    ObjectHeader* item = NewFolderItem(resolved);
    if (!item) return nullptr;
    RuntimeUnlockObject(d->result);
    d->result = item;
    RuntimeLockObject(item);
    return item;
}

ObjectHeader* ShowFileDialog(FolderItemDialogObject* d, HWND owner) {
    DialogTexts texts;
    texts.filter = DialogFilter(d);
    KeepFilterText(d, texts.filter.text);
    texts.title = WideOf(Field(d->title));
    texts.initialDirectory = AbsolutePathOf(d->initialDirectory);

    FolderItemDialogPrivate& p = d->runtime;
    std::memset(p.fileName, 0, sizeof p.fileName);
    // A suggested name the buffer cannot hold is left out rather than cut.
    const std::wstring suggested = WideOf(Field(d->suggestedFileName));
    if (suggested.size() < size_t(kDialogFileNameBuffer)) std::wmemcpy(p.fileName, suggested.data(), suggested.size());

    OPENFILENAMEW& ofn = p.openFileName;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = kOpenFileNameSize;
    ofn.hwndOwner = owner;
    ofn.hInstance = gInstance;
    ofn.lpstrFilter = texts.filter.text.empty() ? nullptr : texts.filter.text.c_str();
    ofn.lpstrFile = p.fileName;
    ofn.nMaxFile = kDialogFileNameBuffer;
    ofn.lpstrTitle = texts.title.empty() ? nullptr : texts.title.c_str();
    ofn.lpstrInitialDir = texts.initialDirectory.empty() ? nullptr : texts.initialDirectory.c_str();
    ofn.lpstrDefExt = texts.filter.defaultExtension.empty() ? nullptr : texts.filter.defaultExtension.c_str();
    ofn.Flags = kOpenSaveFlags | (d->mType == kDialogOpen ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT);
    ofn.lpfnHook = FolderItemDialogHook;
    ofn.lCustData = LPARAM(d);

    OpenFileNameFunction show = d->mType == kDialogOpen
                                    ? (gFunctions.open ? gFunctions.open : CommonDialogFunction("GetOpenFileNameW"))
                                    : (gFunctions.save ? gFunctions.save : CommonDialogFunction("GetSaveFileNameW"));
    const BOOL chosen = show ? show(&ofn) : FALSE;
    if (d->mType == kDialogSave) p.selectedType = int32_t(ofn.nFilterIndex);
    // Cancel and the too-small buffer both come back as false.
    if (!chosen || !ChosenPathFits(p.fileName)) return nullptr;
    return TakeResult(d, p.fileName);
}

bool ShellVersionAtLeast5() {
    HMODULE shell = GetModuleHandleA("shell32.dll");
    auto getVersion = shell ? reinterpret_cast<DLLGETVERSIONPROC>(
                                  reinterpret_cast<void*>(GetProcAddress(shell, "DllGetVersion")))
                            : nullptr;
    if (!getVersion) return false;
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof info;
    return SUCCEEDED(getVersion(&info)) && info.dwMajorVersion >= 5;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM lParam, LPARAM data) {
    auto* d = reinterpret_cast<FolderItemDialogObject*>(data);
    if (!d) {
        RUNTIME_CHECK_FAILED("fiDialog");
        return 0;
    }
    if (message == BFFM_INITIALIZED) {
        MoveTo(window, d);
        SetCaption(window, d->title);
        std::wstring path = AbsolutePathOf(d->initialDirectory);
        if (path.empty()) {
            wchar_t current[kDialogFileNameBuffer] = {};
            DWORD n = GetCurrentDirectoryW(kDialogFileNameBuffer, current);
            if (n > 0 && n < DWORD(kDialogFileNameBuffer)) path = current;
        }
        if (StringLength(d->actionButtonCaption) > 0) {
            const std::wstring ok = WideOf(Field(d->actionButtonCaption));
            SendMessageW(window, BFFM_SETOKTEXT, 0, LPARAM(ok.c_str()));
        }
        // The wide form, so that a folder whose name is not in the system code
        // page is selected too.
        if (!path.empty()) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, LPARAM(path.c_str()));
    } else if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH] = {};
        if (lParam && SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(lParam), path))
            SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, LPARAM(path));
    }
    return 0;
}

ObjectHeader* ShowFolderBrowser(FolderItemDialogObject* d, HWND owner) {
    ComInitialization com;  // the new dialog style needs COM on this thread
    const std::wstring prompt = WideOf(Field(d->promptText));
    FolderItemDialogPrivate& p = d->runtime;
    std::memset(p.fileName, 0, sizeof p.fileName);
    BROWSEINFOW& info = p.browseInfo;
    std::memset(&info, 0, sizeof info);
    info.hwndOwner = owner;
    info.pszDisplayName = p.fileName;
    info.lpszTitle = prompt.empty() ? nullptr : prompt.c_str();
    info.ulFlags = kBrowseFlags | (ShellVersionAtLeast5() ? kBrowseNewStyle : 0);
    info.lpfn = BrowseCallback;
    info.lParam = LPARAM(d);
    ShellItemList chosen;
    *chosen.Out() = SHBrowseForFolderW(&info);
    if (!chosen.Get()) return nullptr;
    // The item list's path: SHGetPathFromIDListW writes at most MAX_PATH characters.
    std::memset(p.fileName, 0, sizeof p.fileName);
    if (!SHGetPathFromIDListW(chosen.Get(), p.fileName) || !p.fileName[0]) return nullptr;
    return TakeResult(d, p.fileName);
}

ObjectHeader* ShowDialog(ObjectHeader* dialog, HWND owner) {
    if (!dialog) return nullptr;
    FolderItemDialogObject* d = AsFolderItemDialog(dialog);
    if (d->mType == kDialogKindUnset) RUNTIME_CHECK_FAILED("-1 != mType");
    // The dialog runs its own message loop: no device context may stay selected.
    DrawingContextReleaseCurrent();
    d->runtime.owner = owner;
    switch (d->mType) {
        case kDialogOpen:
        case kDialogSave: return ShowFileDialog(d, owner);
        case kDialogSelectFolder: return ShowFolderBrowser(d, owner);
        default: return nullptr;
    }
}

void __cdecl DialogInit(ObjectHeader* self) {
    FolderItemDialogObject* d = AsFolderItemDialog(self);
    d->top = -1;
    d->left = -1;
    d->result = nullptr;
    d->mType = kDialogKindUnset;
}

void __cdecl DialogFinish(ObjectHeader* self) {
    FolderItemDialogObject* d = AsFolderItemDialog(self);
    for (StringValue** s : {&d->title, &d->actionButtonCaption, &d->cancelButtonCaption, &d->suggestedFileName,
                            &d->promptText, &d->filter, &d->runtime.filterText}) {
        StringRelease(*s);
        *s = nullptr;
    }
    RuntimeUnlockObject(d->initialDirectory);
    RuntimeUnlockObject(d->result);
    d->initialDirectory = nullptr;
    d->result = nullptr;
}

void __cdecl OpenDialogInit(ObjectHeader* self) { AsFolderItemDialog(self)->mType = kDialogOpen; }
void __cdecl SaveAsDialogInit(ObjectHeader* self) { AsFolderItemDialog(self)->mType = kDialogSave; }
void __cdecl SelectFolderDialogInit(ObjectHeader* self) { AsFolderItemDialog(self)->mType = kDialogSelectFolder; }

ClassTypeRef kFolderItemType = ORVANE_CLASS_TYPE("FolderItem");
ClassTypeRef kWindowType = ORVANE_CLASS_TYPE("Window");

PropertyRow kDialogProperties[] = {
    {0, "Top", &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", 32},
    {0, "Left", &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", 36},
    {0, "Title", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", 40},
    {0, "ActionButtonCaption", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", 44},
    {0, "CancelButtonCaption", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", 48},
    {0, "SuggestedFileName", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", 52},
    {0, "PromptText", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", 56},
    {0, "Filter", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", 60},
    {0, "InitialDirectory", &kFolderItemType.header, nullptr, "objGetter", nullptr, "objSetter", 64},
    {0, "Result", &kFolderItemType.header, nullptr, "objGetter", nullptr, nullptr, 68},
};

ParameterRecord kParentParameter[] = {{"parent", &kWindowType.header, 0, {0, 0, 0}, {0, 0, 0, 0}}};

MethodRow kDialogMethods[] = {
    {"ShowModal", &kFolderItemType.header, nullptr, 0, Fn(&FolderItemDialogShowModal), "FolderItemDialogShowModal",
     {}, nullptr, nullptr, {}, 0},
    {"ShowModalWithin", &kFolderItemType.header, kParentParameter, 1, Fn(&FolderItemDialogShowWithin),
     "FolderItemDialogShowWithin", {}, nullptr, nullptr, {}, 0},
};

ObjectDefinition* KindDefinition(const char* name, ObjectProc init) {
    return DefineClass(ClassDescription{name, FolderItemDialogDefinition, kFolderItemDialogSize, init, nullptr,
                                        ORVANE_NO_ROWS, ORVANE_NO_ROWS, ORVANE_NO_ROWS});
}

// The language's shortcuts: a dialog of the kind, shown, released.
ObjectHeader* ShowShortcut(ObjectDefinition* kind, StringValue* filter, StringValue* suggestedName) {
    DrawingContextReleaseCurrent();
    ObjectHeader* dialog = CreateInstance(kind);
    if (!dialog) return nullptr;
    FolderItemDialogObject* d = AsFolderItemDialog(dialog);
    d->filter = StringRetain(filter);
    d->suggestedFileName = StringRetain(suggestedName);
    ObjectHeader* chosen = ShowDialog(dialog, WindowHandleOf(FrontWindowObject()));
    RuntimeUnlockObject(dialog);
    return chosen;
}
}  // namespace

ObjectDefinition* FolderItemDialogDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "FolderItemDialog", nullptr, kFolderItemDialogSize, DialogInit, DialogFinish,
        ORVANE_ROWS(kDialogProperties), ORVANE_ROWS(kDialogMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* OpenDialogDefinition() {
    static ObjectDefinition* d = KindDefinition("OpenDialog", OpenDialogInit);
    return d;
}

ObjectDefinition* SaveAsDialogDefinition() {
    static ObjectDefinition* d = KindDefinition("SaveAsDialog", SaveAsDialogInit);
    return d;
}

ObjectDefinition* SelectFolderDialogDefinition() {
    static ObjectDefinition* d = KindDefinition("SelectFolderDialog", SelectFolderDialogInit);
    return d;
}

FileDialogFunctions SetFileDialogFunctions(FileDialogFunctions functions) {
    FileDialogFunctions old = gFunctions;
    gFunctions = functions;
    return old;
}

UINT_PTR CALLBACK FolderItemDialogHook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lParam);
        auto* d = reinterpret_cast<FolderItemDialogObject*>(ofn->lCustData);
        SetWindowLongPtrW(hook, GWLP_USERDATA, LONG_PTR(d));
        d->runtime.hookTop = d->top;
        d->runtime.hookLeft = d->left;
        d->runtime.moved = 0;
        return 0;
    }
    auto* d = reinterpret_cast<FolderItemDialogObject*>(GetWindowLongPtrW(hook, GWLP_USERDATA));
    if (!d) return 0;
    HWND dialogWindow = GetParent(hook);
    if ((message == WM_WINDOWPOSCHANGING || message == WM_WINDOWPOSCHANGED) && !d->runtime.moved) {
        d->runtime.moved = 1;
        if (d->runtime.hookLeft != -1 || d->runtime.hookTop != -1)
            SetWindowPos(dialogWindow, nullptr, d->runtime.hookLeft, d->runtime.hookTop, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (message == WM_NOTIFY) {
        const auto* note = reinterpret_cast<const OFNOTIFYW*>(lParam);
        if (note->hdr.code == CDN_INITDONE) {
            SetCaption(GetDlgItem(dialogWindow, IDOK), d->actionButtonCaption);
            SetCaption(GetDlgItem(dialogWindow, IDCANCEL), d->cancelButtonCaption);
        } else if (note->hdr.code == CDN_TYPECHANGE) {
            TypeChanged(dialogWindow, d, note->lpOFN);
        }
    }
    return 0;
}

extern "C" ObjectHeader* __cdecl FolderItemDialogShowModal(ObjectHeader* dialog) {
    return ShowDialog(dialog, WindowHandleOf(FrontWindowObject()));
}

extern "C" ObjectHeader* __cdecl FolderItemDialogShowWithin(ObjectHeader* dialog, ObjectHeader* window) {
    return ShowDialog(dialog, WindowHandleOf(window));
}

extern "C" ObjectHeader* __cdecl RuntimeGetOpenFolderItem(StringValue* filter) {
    return ShowShortcut(OpenDialogDefinition(), filter, nullptr);
}

extern "C" ObjectHeader* __cdecl RuntimeGetSaveFolderItem(StringValue* filter, StringValue* suggestedName) {
    return ShowShortcut(SaveAsDialogDefinition(), filter, suggestedName);
}

extern "C" ObjectHeader* __cdecl RuntimeSelectFolder(void) {
    return ShowShortcut(SelectFolderDialogDefinition(), nullptr, nullptr);
}
