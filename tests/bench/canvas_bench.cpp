// Repainting a 656 x 465 canvas whose Paint copies a picture of its size
// (as the route viewer's map does), against a bare BitBlt of the same
// picture onto the canvas's window, measured in the same run.
#include <windows.h>

#include <cstdio>

#include "graphics/DrawingContext.h"
#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "graphics/PixelMap.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectFields.h"
#include "objects/ObjectHandle.h"
#include "orvane/exports.h"
#include "startup/RuntimeMain.h"
#include "startup/Win32Owners.h"
#include "startup/intrinsicClass.h"
#include "tests/WindowTestSupport.h"
#include "ui/Canvas.h"
#include "ui/ControlObject.h"
#include "ui/SubPane.h"
#include "ui/ViewWindow.h"
#include "ui/WindowObject.h"
#include "ui/win32windows.h"
#include "ui/window.h"

namespace {

constexpr int32_t kWidth = 656, kHeight = 465, kPaints = 300;
ObjectHeader* gPicture = nullptr;
ObjectHeader* gCanvas = nullptr;
double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

int gPainted = 0;
bool gCopy = true;  // false: Paint is raised but draws nothing (the cost of the paint cycle alone)

void __cdecl CanvasPaint(ObjectHeader*, ObjectHeader* g) {
    if (gCopy) RuntimeGraphicsDrawPicture(g, gPicture, 0, 0, kWidth, kHeight, 0, 0, kWidth, kHeight);
    ++gPainted;
}

double RepaintMs(HWND pane) {
    double start = Now();
    for (int i = 0; i < kPaints; ++i) {
        InvalidateRect(pane, nullptr, FALSE);
        UpdateWindow(pane);
        GdiFlush();
    }
    return (Now() - start) / kPaints;
}

void __cdecl WindowLayout(ObjectHeader* w) {
    Packed().Bool(0, true).Int(1, 20).Int(2, 20).Int(3, kWidth).Int(4, kHeight).SetOn(w);
}

void __cdecl WindowCreateControls(ObjectHeader* w) {
    ClassRecord* canvasClass = ModuleSubclass(CanvasDefinition(), "BenchCanvas", 0);
    canvasClass->events[7].function = reinterpret_cast<void*>(&CanvasPaint);  // Paint, after 3 + 4 inherited events
    gCanvas = WindowAllocateObject(w, canvasClass);
    ctlPosSetter(gCanvas, 2, kWidth);
    ctlPosSetter(gCanvas, 3, kHeight);
    WindowAddControl(w, gCanvas);
}

}  // namespace

int main() {
    RuntimeInitProcessState(GetModuleHandleA(nullptr));
    BuildIntrinsicDefinitions();
    RegisterRuntimeWindowClasses(GetModuleHandleW(nullptr));
    InstallWindowLayer();

    ObjectHandle picture = ObjectHandle::Adopt(newPicture(kWidth, kHeight, 32));
    gPicture = picture.Get();
    {
        ObjectHandle g = ObjectHandle::Adopt(pictureGraphicsGetter(gPicture, 0));
        for (int i = 0; i < 64; ++i) {
            graphicsForeColorSetter(g.Get(), 0, (i * 0x040404) ^ 0x00FF40);
            RuntimeGraphicsFillRect(g.Get(), i * 10, i * 7, 60, 40);
        }
        DrawingContextReleaseCurrent();
    }
    ClassRecord* windowClass = ModuleSubclass(WindowDefinition(), "BenchWindow", 0);
    windowClass->events[kWindowLayout].function = reinterpret_cast<void*>(&WindowLayout);
    windowClass->events[kWindowCreateControls].function = reinterpret_cast<void*>(&WindowCreateControls);
    ObjectHandle window = ObjectHandle::Adopt(RuntimeNewObject(windowClass));
    WindowDefaultConstructor(window.Get());
    RunUntil([] { return gPainted > 0; });
    HWND pane = AsControl(gCanvas)->pane->handle.Get();

    // The canvas: invalidate and paint now, Paint copying the picture.
    gPainted = 0;
    double canvasMs = RepaintMs(pane);
    int painted = gPainted;
    gCopy = false;
    double cycleMs = RepaintMs(pane);

    // The reference: the same picture blitted onto the same window.
    PixelMap* map = FieldAt<PixelMap*>(gPicture, kPictureMapAt);
    double start = Now();
    for (int i = 0; i < kPaints; ++i) {
        WindowDC dc(pane);
        MemoryDC source;
        SelectedObject bitmap(source.Get(), map->bitmap);
        BitBlt(dc.Get(), 0, 0, kWidth, kHeight, source.Get(), 0, 0, SRCCOPY);
        GdiFlush();
    }
    double blitMs = (Now() - start) / kPaints;

    std::printf("canvas_bench: %d x %d, %d paints (%d raised Paint)\n", kWidth, kHeight, kPaints, painted);
    std::printf("  canvas Paint copying the picture: %.3f ms per paint\n", canvasMs);
    std::printf("  the paint cycle, Paint drawing nothing: %.3f ms per paint\n", cycleMs);
    std::printf("  bare BitBlt of the picture:       %.3f ms per copy\n", blitMs);
    std::printf("  ratio: %.2f\n", blitMs > 0 ? canvasMs / blitMs : 0.0);
    RuntimeCloseWindow(window.Get());
    RuntimeUnlockObject(gCanvas);
    return 0;
}
