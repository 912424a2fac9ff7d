#include "ui/win32windows.h"

#include "startup/ProcessState.h"
#include "startup/SystemVersion.h"
#include "ui/SubPane.h"
#include "ui/menubar.h"
#include "ui/window.h"

COLORREF gControlColors[6];

namespace {
constexpr int kIconResource = 102;

struct NativeClass {
    const char* name;
    const wchar_t* wideName;
    UINT style;
    bool icon;
};

const NativeClass kClasses[] = {
    {"TWWindow", L"TWWindow", CS_OWNDC, true},
    {"TW_Pane", L"TW_Pane", CS_HREDRAW | CS_VREDRAW, false},
    {"TW_CanvasPane", L"TW_CanvasPane", CS_HREDRAW | CS_VREDRAW, false},
};

void RegisterOne(HINSTANCE instance, const NativeClass& cls, WNDPROC proc, int extraBytes,
                 HCURSOR cursor, HBRUSH background) {
    HICON icon = cls.icon ? LoadIconA(instance, MAKEINTRESOURCEA(kIconResource)) : nullptr;
    if (IsWindowsNT()) {
        WNDCLASSW wc = {};
        wc.style = cls.style;
        wc.lpfnWndProc = proc;
        wc.cbWndExtra = extraBytes;
        wc.hInstance = instance;
        wc.hIcon = icon;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.lpszClassName = cls.wideName;
        RegisterClassW(&wc);
    } else {
        WNDCLASSA wc = {};
        wc.style = cls.style;
        wc.lpfnWndProc = proc;
        wc.cbWndExtra = extraBytes;
        wc.hInstance = instance;
        wc.hIcon = icon;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.lpszClassName = cls.name;
        RegisterClassA(&wc);
    }
}

LRESULT CALLBACK MDIFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefFrameProcW(window, nullptr, message, wParam, lParam);
}

LRESULT CALLBACK MDIChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefMDIChildProcW(window, message, wParam, lParam);
}
}  // namespace

void RegisterRuntimeWindowClasses(HINSTANCE instance) {
    for (const NativeClass& cls : kClasses)
        RegisterOne(instance, cls, cls.icon ? ViewWindowProcedure : PaneWindowProcedure, 4, nullptr, nullptr);
}

void RegisterMDIWindowClasses(HINSTANCE instance) {
    HCURSOR arrow = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    HBRUSH workspace = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    RegisterOne(instance, {"TW_MDIFRAME", L"TW_MDIFRAME", CS_CLASSDC | CS_PARENTDC, true},
                MDIFrameProc, 0, arrow, workspace);
    RegisterOne(instance, {"TW_MDICHILD", L"TW_MDICHILD", CS_CLASSDC | CS_PARENTDC, true},
                MDIChildProc, 4, arrow, workspace);
}

// The window list arrives with the window layer; until then no runtime window
// exists unless a list is installed.
namespace {
RuntimeWindowList gWindowList = {};
}  // namespace

RuntimeWindowList SetRuntimeWindowList(const RuntimeWindowList& list) {
    RuntimeWindowList previous = gWindowList;
    gWindowList = list;
    return previous;
}
int RuntimeWindowCount() { return gWindowList.count ? gWindowList.count() : 0; }
void CloseAllRuntimeWindows() {
    if (gWindowList.closeAll) gWindowList.closeAll();
}
bool AnyRuntimeWindowCancelsClose() { return gWindowList.anyCancelsClose && gWindowList.anyCancelsClose(); }
void ShowRuntimeWindowHelpTags(bool) {}
void InstallFrameMenuBar(ObjectHeader* menuBar) {
    if (gMDIFrame) SetMenu(gMDIFrame, MenuBarHandle(menuBar));
}

void SetControlColorDefaults() {
    gControlColors[0] = RGB(0, 0, 0);             // text
    gControlColors[1] = RGB(255, 255, 255);       // fill
    gControlColors[2] = GetSysColor(COLOR_BTNFACE);
    gControlColors[3] = GetSysColor(COLOR_BTNSHADOW);
    gControlColors[4] = GetSysColor(COLOR_BTNHIGHLIGHT);
    gControlColors[5] = GetSysColor(COLOR_HIGHLIGHT);
}
