#include "tests/DialogDriver.h"

#include <commctrl.h>

#include <cstdint>
#include <cwchar>
#include <cstdio>
#include <vector>

namespace {

std::string Utf8Of(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// The X window behind a top-level window, as Wine's X11 driver records it.
unsigned long XWindowOf(HWND window) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_whole_window")));
}

HWND TopLevelOf(HWND window) {
    HWND root = GetAncestor(window, GA_ROOT);
    return root ? root : window;
}

// The Unix path of a file of this process (Wine maps Windows paths to it).
std::string UnixPathOf(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return std::string();
    char* unix = toUnix(path.c_str());
    if (!unix) return std::string();
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

void Pause(int ms) { Sleep(DWORD(ms)); }
}  // namespace

namespace {
BOOL CALLBACK TakeProcessDialog(HWND window, LPARAM data) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || wcscmp(cls, L"#32770") != 0) return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}
}  // namespace

HWND FileNameField(HWND dialog) {
    HWND combo = GetDlgItem(dialog, 0x47C);  // cmb13
    return combo ? combo : GetDlgItem(dialog, 0x480);  // edt1, in Wine's dialog
}

HWND FindProcessDialog() {
    HWND found = nullptr;
    EnumWindows(TakeProcessDialog, LPARAM(&found));
    return found;
}

std::wstring WindowText(HWND window) {
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

bool RunUnixCommand(const std::string& command) {
    // Wine starts a Linux program without a process to wait for: the
    // command leaves a mark when it is done.
    static int counter = 0;
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring mark = std::wstring(folder) + L"orvane_done_" + std::to_wstring(GetCurrentProcessId()) +
                              L"_" + std::to_wstring(++counter);
    const std::string unixMark = UnixPathOf(mark);
    if (unixMark.empty()) return false;
    std::string line = "/bin/sh -c \"" + command + "; touch '" + unixMark + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> text(line.begin(), line.end());
    text.push_back(0);
    if (!CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 300; ++i) {
        if (GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileW(mark.c_str());
            return true;
        }
        Pause(100);
    }
    return false;
}

bool TypeInto(HWND window, const std::wstring& text) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"orvane_keys_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    const std::string bytes = Utf8Of(text);
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(h);
    const std::string unixFile = UnixPathOf(file);
    const unsigned long x = XWindowOf(TopLevelOf(window));
    bool ok = !unixFile.empty() && x != 0 &&
              RunUnixCommand("LC_ALL=C.UTF-8 xdotool windowfocus " + std::to_string(x) +
                             " sleep 0.2 type --delay 40 --file '" + unixFile + "'");
    DeleteFileW(file.c_str());
    return ok;
}

bool PressKeys(HWND window, const std::string& keys) {
    const unsigned long x = XWindowOf(TopLevelOf(window));
    return x != 0 && RunUnixCommand("xdotool windowfocus " + std::to_string(x) + " sleep 0.2 key --delay 60 " + keys);
}

bool EnterFileName(HWND dialog, const std::wstring& name) {
    HWND field = FileNameField(dialog);
    for (int attempt = 0; attempt < 4; ++attempt) {
        SendMessageW(field, WM_SETTEXT, 0, LPARAM(L""));
        TypeInto(dialog, name);
        Pause(300);
        if (WindowText(field) == name) return PressKeys(dialog, "Return");

    }
    return false;
}

namespace {
BOOL CALLBACK TakeListView(HWND window, LPARAM data) {
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (wcscmp(cls, L"SysListView32") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}

// The screen point at the middle of the label of the list's item of that name.
bool ListItemPoint(HWND dialog, const std::wstring& name, POINT* point) {
    HWND list = nullptr;
    EnumChildWindows(dialog, TakeListView, LPARAM(&list));
    if (!list) return false;
    const int count = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[MAX_PATH] = {};
        LVITEMW item = {};
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(i), LPARAM(&item));
        if (name != text) continue;
        RECT label = {};
        label.left = LVIR_LABEL;
        if (!SendMessageW(list, LVM_GETITEMRECT, WPARAM(i), LPARAM(&label))) return false;
        point->x = (label.left + label.right) / 2;
        point->y = (label.top + label.bottom) / 2;
        return ClientToScreen(list, point) != FALSE;
    }
    return false;
}
}  // namespace

bool ClickFileName(HWND dialog, const std::wstring& name) {
    HWND field = FileNameField(dialog);
    for (int attempt = 0; attempt < 4; ++attempt) {
        POINT at = {};
        if (!ListItemPoint(dialog, name, &at)) {
            Pause(300);  // the folder may still be listing
            continue;
        }
        const unsigned long x = XWindowOf(TopLevelOf(dialog));
        RunUnixCommand("xdotool windowfocus " + std::to_string(x) + " sleep 0.2 mousemove " +
                       std::to_string(at.x) + " " + std::to_string(at.y) + " sleep 0.2 click 1");
        Pause(300);
        if (WindowText(field) == name) return PressKeys(dialog, "Return");
    }
    return false;
}

bool WaitClosed(HWND dialog) {
    for (int i = 0; i < 50; ++i) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog)) return true;
        Pause(100);
    }
    return false;
}

namespace {
BOOL CALLBACK TakeTreeView(HWND window, LPARAM data) {
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (wcscmp(cls, L"SysTreeView32") != 0) return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}
}  // namespace

bool WaitForTreeSelection(HWND dialog, const std::wstring& text) {
    HWND tree = nullptr;
    for (int i = 0; i < 100; ++i) {
        if (!tree) EnumChildWindows(dialog, TakeTreeView, LPARAM(&tree));
        if (tree) {
            auto selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
            wchar_t name[MAX_PATH] = {};
            TVITEMW item = {};
            item.mask = TVIF_TEXT;
            item.hItem = selected;
            item.pszText = name;
            item.cchTextMax = MAX_PATH;
            if (selected && SendMessageW(tree, TVM_GETITEMW, 0, LPARAM(&item)) && text == name) return true;
        }
        Pause(100);
    }
    return false;
}

void CancelDialog(HWND dialog) {
    if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

DialogDriver::DialogDriver(Script script)
    : thread_([this, script] {
          HWND dialog = nullptr;
          for (int i = 0; i < 600 && !dialog; ++i) {
              Pause(100);
              dialog = FindProcessDialog();
          }
          if (!dialog) return;
          Pause(700);  // let the dialog finish its set-up and paint
          script(dialog);
          finished_ = true;
          // A script that left the dialog open ends it, so that the test goes on.
          for (int i = 0; i < 100 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) Pause(100);
          CancelDialog(dialog);
      }) {}

DialogDriver::~DialogDriver() {
    if (thread_.joinable()) thread_.join();
}

bool DialogDriver::Finished() {
    if (thread_.joinable()) thread_.join();
    return finished_;
}
