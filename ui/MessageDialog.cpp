#include "ui/MessageDialog.h"

#include <windows.h>

namespace {
RuntimeMessageHook gHook = nullptr;
}

RuntimeMessageHook SetRuntimeMessageHook(RuntimeMessageHook hook) {
    RuntimeMessageHook old = gHook;
    gHook = hook;
    return old;
}

void RuntimeShowMessage(const StringHandle& text) {
    if (gHook) {
        gHook(text);
        return;
    }
    MessageBoxA(nullptr, text.Text(), "", MB_OK);
}
