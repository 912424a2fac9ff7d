// The entry points that the module's entry code calls to drive the runtime:
// RuntimeInit, RuntimeRegisterAppObject, RuntimeRun and RuntimeExit, and the
// stack limit that plug-ins read and replace.
#include <windows.h>

#include <ole2.h>

#include "files/runFolderItem.h"
#include "loop/runtimemainloop.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/application.h"
#include "orvane/exports.h"
#include "startup/CommandLine.h"
#include "startup/PluginInstaller.h"
#include "startup/ProcessState.h"
#include "startup/ShutdownList.h"
#include "startup/SystemVersion.h"
#include "strings/string.h"
#include "ui/win32windows.h"

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
    ObjectHandle item = ObjectHandle::Adopt(RuntimeGetFolderItem(path.Get()));
    if (!item) return;
    using Handler = void(__cdecl*)(ObjectHeader* app, ObjectHeader* item);
    ObjectHandle app = ObjectHandle::Borrow(gApplicationObject);
    reinterpret_cast<Handler>(scan->handler)(app.Get(), item.Get());
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
