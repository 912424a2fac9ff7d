// Runtime initialisation: the top of the runtime, which assembles the program
// (the export rows and the intrinsic classes it hands to the lower units).
#include "startup/RuntimeMain.h"

#include <commctrl.h>
#include <ole2.h>

#include "files/TextInputStream.h"
#include "loop/runtimemainloop.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "startup/ExportRows.h"
#include "startup/PluginInstaller.h"
#include "startup/intrinsicClass.h"
#include "strings/TextEncodingUtil.h"
#include "ui/Focus.h"
#include "ui/MouseDispatch.h"
#include "ui/KeyboardDispatch.h"
#include "ui/menubar.h"
#include "ui/win32windows.h"
#include "ui/window.h"

namespace {
constexpr int32_t kStackCheckerSize = 262144;
}  // namespace

void InstallWindowLayer() {
    SetRuntimeWindowList(RuntimeWindowList{RuntimeViewWindowCount, CloseEveryRuntimeWindow,
                                           AnyRuntimeWindowRefusesClose});
    MainLoopWindowHooks hooks = {};
    hooks.prepareWindows = PrepareRuntimeWindows;
    hooks.tracking = MouseTracking;
    hooks.pollMouse = PollMouse;
    hooks.dispatchKey = DispatchKeyMessage;
    SetMainLoopWindowHooks(hooks);
    SetModalLoopIteration(RunProtectedIteration);
    InstallFocusSeam();
    InstallMenuLayer();
}

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
    ExportInstallFixedRows(ExportFixedRows(), ExportFixedRowsCount());
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
    InstallWindowLayer();
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
