// Runtime initialisation and shutdown, and the entry points that the
// module's entry code calls to drive the runtime.
#include "startup/RuntimeMain.h"

#include <commctrl.h>
#include <ole2.h>

#include "files/TextInputStream.h"
#include "loop/runtimemainloop.h"
#include "objects/ObjectDefinition.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/application.h"
#include "startup/CommandLine.h"
#include "startup/ShutdownList.h"
#include "objects/intrinsicClass.h"
#include "startup/PluginInstaller.h"
#include "strings/TextEncodingUtil.h"
#include "strings/string.h"
#include "ui/win32windows.h"

HINSTANCE gInstance = nullptr;
int gSystemScript = 0;
CRITICAL_SECTION gStringLock;
CRITICAL_SECTION gPoolLock;
CRITICAL_SECTION gStreamLock;
ObjectHeader* gApplicationObject = nullptr;
bool gRunning = false;
bool gQuit = false;
bool gMDIMode = false;
StringValue* gFrameTitle = nullptr;
thread_local uintptr_t gStackLimit = 0;
FontRecord gDefaultFont = {"System", 10};
FontRecord gDefaultSmallFont = {"System", 12};

namespace {
constexpr int32_t kStackCheckerSize = 262144;
HWND gMDIFrame = nullptr;
}  // namespace

int SystemScriptFromLanguage(LANGID language) {
    switch (language) {
        case 0x0411: return 13;  // Japanese
        case 0x0404: case 0x0804: case 0x0C04: case 0x1004: return 21;  // Chinese
        default: return 0;
    }
}

void RuntimeInitProcessState(HINSTANCE instance) {
    static bool done = false;
    if (done) return;
    done = true;
    gSystemScript = SystemScriptFromLanguage(GetUserDefaultLangID());
    gInstance = instance;
    InitCommonControls();
    InitializeCriticalSection(&gStringLock);
    InitializeCriticalSection(&gPoolLock);
    InitializeCriticalSection(&gStreamLock);
}

void RuntimeInitialize() {
    SetUnhandledExceptionHook(HandleLoopException);
    RegisterRuntimeWindowClasses(gInstance);
    OleInitialize(nullptr);
    SetControlColorDefaults();
    gDefaultFont = FontRecord{"System", 10};
    BuildIntrinsicDefinitions();
    InstallTextConverters();
    SetTextStreamEncodingSource(SharedTextEncoding);
    InstallPlugins();  // the module's resources are not registered yet: installs nothing
    gDefaultSmallFont = FontRecord{"System", 12};
    TARNInitStackChecker(kStackCheckerSize);
}

// Nothing consults the limit; plug-ins read and replace it.
extern "C" void TARNInitStackChecker(int32_t size) {
    uintptr_t sp;
    __asm__ volatile("movl %%esp, %0" : "=r"(sp));
    gStackLimit = sp - uintptr_t(size);
}

extern "C" void* TARNGetStackLimit(void) { return reinterpret_cast<void*>(gStackLimit); }

extern "C" void TARNSetStackLimit(void* limit) { gStackLimit = reinterpret_cast<uintptr_t>(limit); }

extern "C" void RuntimeInit(void) {
    InstallPlugins();
    if (!gMDIMode || gMDIFrame) return;
    RegisterMDIWindowClasses(gInstance);
    StringHandle title = StringHandle::Borrow(gFrameTitle);
    // The menu bar of the application object joins the frame with the menus.
    if (IsWindowsNT()) {
        StringHandle wide = title.ToUtf16();
        const wchar_t* text = wide.IsEmpty() ? L"" : reinterpret_cast<const wchar_t*>(wide.Utf16());
        gMDIFrame = CreateWindowExW(0, L"TW_MDIFRAME", text, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr,
                                    gInstance, nullptr);
    } else {
        gMDIFrame = CreateWindowExA(0, "TW_MDIFRAME", title.Text(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr,
                                    gInstance, nullptr);
    }
}

extern "C" void RuntimeExit(void) {}

namespace {

void __cdecl RaiseOpenThunk(void*) { RaiseApplicationOpen(); }

struct DocumentScan {
    void* handler;
    int opened;
};

// Each path gets its own folder item: a handler that keeps the item it was
// given must not see it pointed at the next path.
void OpenDocumentPath(const char* bytes, int n, void* context) {
    DocumentScan* scan = static_cast<DocumentScan*>(context);
    StringHandle path = StringHandle::Adopt(StringMake(bytes, n));
    path.SetEncoding(kEncodingUTF8);
    ObjectHeader* item = RuntimeGetFolderItem(path.Get());
    if (!item) return;
    using Handler = void(__cdecl*)(ObjectHeader* app, ObjectHeader* item);
    RuntimeLockObject(gApplicationObject);
    reinterpret_cast<Handler>(scan->handler)(gApplicationObject, item);
    RuntimeUnlockObject(gApplicationObject);
    RuntimeUnlockObject(item);
    ++scan->opened;
}

}  // namespace

extern "C" void RuntimeRegisterAppObject(ObjectHeader* app) {
    if (app) {
        RuntimeLockObject(app);
        gApplicationObject = app;
    } else {
        gApplicationObject = CreateInstance(ApplicationDefinition());
    }
    RuntimeProtectedCall(RaiseOpenThunk);
    if (!gApplicationObject) return;
    DocumentScan scan = {ApplicationOpenDocumentHandler(), 0};
    if (scan.handler) {
        StringHandle line = StringHandle::Adopt(SystemGetCommandLine());
        const char* rest = SkipProgramPath(line.Text());
        if (*rest)
            ForEachDocumentPath(rest, OpenDocumentPath, &scan);
        else
            scan.handler = nullptr;
    }
    if (!scan.handler && gApplicationObject) RaiseApplicationNewDocument();
}

extern "C" void RuntimeRun(void) {
    gRunning = true;
    while (!gQuit) RunProtectedIteration();
    CloseAllRuntimeWindows();
    gRunning = false;
    OleUninitialize();
    RunRuntimeExitRoutines();
}
