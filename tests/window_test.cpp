// Windows from creation to close: the events a module's window subclass
// receives, in order, compared with an expected table; showing on the next
// loop iteration; CancelClose for Close and quitting; closed
// windows. The window subclass is built as compiled module code builds it:
// handlers written into the event table of a Window subclass, properties set
// through the packed property setter.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "loop/runtimemainloop.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/RuntimeObjectFoundation.h"
#include "objects/globalFunctionsDecl.h"
#include "orvane/exports.h"
#include "startup/ProcessState.h"
#include "startup/RuntimeMain.h"
#include "strings/string.h"
#include "tests/MessageRecorder.h"
#include "tests/TestSupport.h"
#include "tests/WindowTestSupport.h"
#include "ui/ViewWindow.h"
#include "ui/WindowObject.h"
#include "ui/win32windows.h"
#include "ui/window.h"

namespace {

std::vector<std::string> gEvents;
bool gRefuseClose = false;
bool gCloseInsideClose = false;

void Record(const char* event) { gEvents.push_back(event); }

// Window properties by table index.
enum { kVisible = 0, kLeft = 1, kTop = 2, kWidth = 3, kHeight = 4, kTitle = 6, kCloseBox = 9 };

void __cdecl OnLayout(ObjectHeader* w) {
    Record("Layout");
    Packed().Bool(kVisible, true).Int(kWidth, 300).Int(kHeight, 200).Bool(kCloseBox, true).Text(kTitle, "Trace").SetOn(w);
}
void __cdecl OnHiddenLayout(ObjectHeader* w) {
    Record("Layout");
    Packed().Bool(kVisible, false).Int(kWidth, 200).Int(kHeight, 100).SetOn(w);
}
void __cdecl OnCreateControls(ObjectHeader*) { Record("CreateControls"); }
void __cdecl OnSetupBindings(ObjectHeader*) { Record("SetupBindings"); }
void __cdecl OnOpen(ObjectHeader*) { Record("Open"); }
void __cdecl OnClose(ObjectHeader* w) {
    Record("Close");
    if (gCloseInsideClose) RuntimeCloseWindow(w);
}
bool __cdecl OnCancelClose(ObjectHeader*) {
    Record("CancelClose");
    return gRefuseClose;
}
void __cdecl OnActivate(ObjectHeader*) { Record("Activate"); }
void __cdecl OnDeactivate(ObjectHeader*) { Record("Deactivate"); }
void __cdecl OnResized(ObjectHeader*) { Record("Resized"); }
void __cdecl OnMoved(ObjectHeader*) { Record("Moved"); }
ObjectHeader* gPaintGraphics = nullptr;  // the last Paint's Graphics, kept as a module might
void __cdecl OnPaint(ObjectHeader*, ObjectHeader* g) {
    Record("Paint");
    graphicsForeColorSetter(g, 0, 0xFF0000);
    RuntimeGraphicsFillRect(g, 10, 10, 50, 40);
    RuntimeLockUnlockObjects(g, gPaintGraphics);
    gPaintGraphics = g;
}

ClassRecord* WindowSubclass(void* layout) {
    ClassRecord* base = ClassOfDefinition(WindowDefinition());
    ClassRecord* c = RuntimeNewClass(base, base->methodCount, 0, base->eventCount, base->staticMethodCount,
                                     base->propertyCount);
    c->name = StringMakeC("TestWindow1");
    c->instanceSize = 144 + 8;  // own fields after the Window part
    auto set = [c](WindowEvent e, void* f) { c->events[e].function = f; };
    set(kWindowLayout, layout);
    set(kWindowCreateControls, reinterpret_cast<void*>(&OnCreateControls));
    set(kWindowSetupBindings, reinterpret_cast<void*>(&OnSetupBindings));
    set(kWindowOpen, reinterpret_cast<void*>(&OnOpen));
    set(kWindowClose, reinterpret_cast<void*>(&OnClose));
    set(kWindowCancelClose, reinterpret_cast<void*>(&OnCancelClose));
    set(kWindowActivate, reinterpret_cast<void*>(&OnActivate));
    set(kWindowDeactivate, reinterpret_cast<void*>(&OnDeactivate));
    set(kWindowResized, reinterpret_cast<void*>(&OnResized));
    set(kWindowMoved, reinterpret_cast<void*>(&OnMoved));
    set(kWindowPaint, reinterpret_cast<void*>(&OnPaint));
    return c;
}

// Away from the corner where other test programs put their windows.
void __cdecl OnPlacedLayout(ObjectHeader* w) {
    Record("Layout");
    Packed().Bool(kVisible, true).Int(kLeft, 600).Int(kTop, 400).Int(kWidth, 300).Int(kHeight, 200).SetOn(w);
}

ClassRecord* PlacedWindowClass() {
    static ClassRecord* c = WindowSubclass(reinterpret_cast<void*>(&OnPlacedLayout));
    return c;
}

ClassRecord* VisibleWindowClass() {
    static ClassRecord* c = WindowSubclass(reinterpret_cast<void*>(&OnLayout));
    return c;
}
ClassRecord* HiddenWindowClass() {
    static ClassRecord* c = WindowSubclass(reinterpret_cast<void*>(&OnHiddenLayout));
    return c;
}

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterRuntimeWindowClasses(GetModuleHandleW(nullptr));
        InstallWindowLayer();
    }
    void SetUp() override {
        gEvents.clear();
        gRefuseClose = gCloseInsideClose = false;
        gQuit = false;
    }
    void TearDown() override {
        RuntimeUnlockObject(gPaintGraphics);
        gPaintGraphics = nullptr;
        gRefuseClose = false;
        CloseEveryRuntimeWindow();
        gQuit = false;
        EXPECT_EQ(RuntimeViewWindowCount(), 0);
    }

    // A window as module code makes one: the object, then the constructor.
    ObjectHandle Open(ClassRecord* cls) {
        ObjectHandle w = ObjectHandle::Adopt(RuntimeNewObject(cls));
        WindowDefaultConstructor(w.Get());
        return w;
    }
    static HWND HandleOf(const ObjectHandle& w) {
        ViewWindow* view = AsWindow(w.Get())->native;
        return view ? view->handle.Get() : nullptr;
    }
};

TEST_F(WindowTest, EventsFromCreationToCloseComeInOrder) {
    ObjectHandle w = Open(VisibleWindowClass());
    ASSERT_NE(HandleOf(w), nullptr);
    ASSERT_TRUE(RunUntil([&] { return IsWindowVisible(HandleOf(w)) != 0; }));
    RunIterations(3);
    RuntimeCloseWindow(w.Get());
    EXPECT_EQ(CompareEvents(gEvents, {{"Layout", false},
                                      {"CreateControls", false},
                                      {"SetupBindings", false},
                                      {"Open", false},
                                      {"Activate", false},
                                      {"Resized", true},
                                      {"Moved", true},
                                      // windows of other programs on the display may take the front
                                      {"Deactivate", true},
                                      {"Activate", true},
                                      {"Paint", false},
                                      {"CancelClose", false},
                                      {"Deactivate", true},
                                      {"Close", false}}),
              "");
    EXPECT_EQ(AsWindow(w.Get())->native, nullptr);
    EXPECT_EQ(RuntimeViewWindowCount(), 0);
}

bool Painted() {
    for (const std::string& e : gEvents)
        if (e == "Paint") return true;
    return false;
}

TEST_F(WindowTest, PaintDrawsOnTheScreenOverTheBackground) {
    ObjectHandle w = Open(PlacedWindowClass());
    HWND handle = HandleOf(w);
    ASSERT_TRUE(RunUntil([] { return Painted(); }));
    RunIterations(2);
    GdiFlush();
    EXPECT_EQ(ScreenPixel(handle, 20, 20), RGB(255, 0, 0));        // Paint's rectangle
    EXPECT_EQ(ScreenPixel(handle, 59, 49), RGB(255, 0, 0));        // its last pixel
    EXPECT_EQ(ScreenPixel(handle, 60, 50), GetSysColor(COLOR_BTNFACE));  // the erased background
    EXPECT_EQ(ScreenPixel(handle, 200, 150), GetSysColor(COLOR_BTNFACE));
    // The Graphics of a finished paint draws nothing.
    ASSERT_NE(gPaintGraphics, nullptr);
    RuntimeGraphicsFillRect(gPaintGraphics, 100, 100, 50, 50);
    GdiFlush();
    EXPECT_EQ(ScreenPixel(handle, 120, 120), GetSysColor(COLOR_BTNFACE));
}

// A window property set as compiled code sets it: through the class's row.
void SetProperty(ObjectHeader* w, const char* name, intptr_t value) {
    ClassRecord* cls = w->classPtr;
    for (int32_t i = 0; i < cls->propertyCount; ++i) {
        const PropertyEntry& p = cls->properties[i];
        std::string declaration = StringText(p.declaration);
        if (declaration.substr(0, declaration.find('%')) != name) continue;
        reinterpret_cast<void(__cdecl*)(ObjectHeader*, int32_t, intptr_t)>(p.setter)(w, p.parameter, value);
        return;
    }
    ADD_FAILURE() << "no property " << name;
}

TEST_F(WindowTest, TheBackdropIsDrawnAtTheOriginInItsOwnSizeOverTheBackColor) {
    ObjectHandle w = Open(PlacedWindowClass());
    HWND handle = HandleOf(w);
    ObjectHandle picture = ObjectHandle::Adopt(newPicture(50, 30, 32));
    ObjectHandle g = ObjectHandle::Adopt(pictureGraphicsGetter(picture.Get(), 0));
    graphicsForeColorSetter(g.Get(), 0, 0x0000FF);
    RuntimeGraphicsFillRect(g.Get(), 0, 0, 50, 30);
    SetProperty(w.Get(), "Backdrop", reinterpret_cast<intptr_t>(picture.Get()));
    SetProperty(w.Get(), "BackColor", 0x00FF00);
    SetProperty(w.Get(), "HasBackColor", 1);
    ASSERT_TRUE(RunUntil([] { return Painted(); }));
    RunIterations(2);
    GdiFlush();
    EXPECT_EQ(ScreenPixel(handle, 2, 2), RGB(0, 0, 255));     // backdrop
    EXPECT_EQ(ScreenPixel(handle, 20, 20), RGB(255, 0, 0));   // Paint draws over it
    EXPECT_EQ(ScreenPixel(handle, 49, 5), RGB(0, 0, 255));    // its last column
    EXPECT_EQ(ScreenPixel(handle, 5, 29), RGB(0, 0, 255));    // its last row
    EXPECT_EQ(ScreenPixel(handle, 50, 5), RGB(0, 255, 0));
    EXPECT_EQ(ScreenPixel(handle, 5, 30), RGB(0, 255, 0));
    EXPECT_EQ(ScreenPixel(handle, 70, 20), RGB(0, 255, 0));   // beyond it, the back colour
    EXPECT_EQ(ScreenPixel(handle, 20, 35), RGB(255, 0, 0));
    EXPECT_EQ(ScreenPixel(handle, 20, 60), RGB(0, 255, 0));
    EXPECT_EQ(ScreenPixel(handle, 250, 150), RGB(0, 255, 0));
}

TEST_F(WindowTest, AProgrammaticResizeIsAppliedOnTheNextIteration) {
    ObjectHandle w = Open(PlacedWindowClass());
    HWND handle = HandleOf(w);
    RunIterations(2);
    gEvents.clear();
    windowPosSetter(w.Get(), 2, 400);
    windowPosSetter(w.Get(), 3, 120);
    RECT client;
    GetClientRect(handle, &client);
    EXPECT_EQ(client.right, 300);  // pending until the loop comes round
    RunIterations(1);
    GetClientRect(handle, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 120);
    EXPECT_EQ(windowPosGetter(w.Get(), 2), 400);
    EXPECT_EQ(windowPosGetter(w.Get(), 0), 610);  // where the placement put it
    EXPECT_EQ(CompareEvents(gEvents, {{"Resized", false}, {"Paint", true}}), "");

    AsWindow(w.Get())->fullScreen = 1;  // while full screen, the setters change nothing
    windowPosSetter(w.Get(), 2, 500);
    windowPosSetter(w.Get(), 0, 0);
    RunIterations(1);
    GetClientRect(handle, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(windowPosGetter(w.Get(), 0), 610);
    AsWindow(w.Get())->fullScreen = 0;
}

TEST_F(WindowTest, TheNativeWindowFollowsTheLayout) {
    ObjectHandle w = Open(VisibleWindowClass());
    HWND handle = HandleOf(w);
    ASSERT_NE(handle, nullptr);
    RECT client;
    GetClientRect(handle, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    wchar_t title[32] = {};
    GetWindowTextW(handle, title, 32);
    EXPECT_STREQ(title, L"Trace");
    EXPECT_NE(GetWindowLongW(handle, GWL_STYLE) & WS_SYSMENU, 0);
    wchar_t className[32] = {};
    GetClassNameW(handle, className, 32);
    EXPECT_STREQ(className, L"TWWindow");
    EXPECT_EQ(windowPosGetter(w.Get(), 2), 300);
    EXPECT_EQ(windowPosGetter(w.Get(), 3), 200);
}

TEST_F(WindowTest, AVisibleWindowAppearsOnlyOnTheNextIteration) {
    ObjectHandle w = Open(VisibleWindowClass());
    EXPECT_FALSE(IsWindowVisible(HandleOf(w)));  // Open has run, nothing is on screen yet
    RunIterations(1);
    EXPECT_TRUE(IsWindowVisible(HandleOf(w)));
}

TEST_F(WindowTest, AHiddenWindowAppearsOnlyWhenShown) {
    ObjectHandle w = Open(HiddenWindowClass());
    RunIterations(3);
    EXPECT_FALSE(IsWindowVisible(HandleOf(w)));
    RuntimeShowWindow(w.Get());
    EXPECT_TRUE(IsWindowVisible(HandleOf(w)));
    EXPECT_EQ(AsWindow(w.Get())->visible, 1);
    RuntimeHideWindow(w.Get());
    RunIterations(2);
    EXPECT_FALSE(IsWindowVisible(HandleOf(w)));
}

TEST_F(WindowTest, CancelCloseKeepsTheWindowForCloseAndQuitting) {
    ObjectHandle w = Open(VisibleWindowClass());
    HWND handle = HandleOf(w);
    RunIterations(2);
    gRefuseClose = true;

    RuntimeCloseWindow(w.Get());
    EXPECT_EQ(HandleOf(w), handle) << "Close";

    EXPECT_TRUE(AnyRuntimeWindowRefusesClose()) << "quit";
    EXPECT_TRUE(AnyRuntimeWindowCancelsClose()) << "quit, as the application asks the window list";
    CloseEveryRuntimeWindow();
    EXPECT_EQ(HandleOf(w), handle) << "closing every window";

    gRefuseClose = false;
    gEvents.clear();
    RuntimeCloseWindow(w.Get());
    EXPECT_EQ(HandleOf(w), nullptr);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(CompareEvents(gEvents, {{"CancelClose", false}, {"Deactivate", true}, {"Close", false}}), "");
}

TEST_F(WindowTest, ClosingInsideCloseDestroysOnceAfterTheHandler) {
    ObjectHandle w = Open(HiddenWindowClass());
    HWND handle = HandleOf(w);
    gCloseInsideClose = true;
    RuntimeCloseWindow(w.Get());
    EXPECT_FALSE(IsWindow(handle));
    // The inner Close asks CancelClose again but closes nothing twice.
    EXPECT_EQ(CompareEvents(gEvents, {{"Layout", false},
                                      {"CreateControls", false},
                                      {"SetupBindings", false},
                                      {"Open", false},
                                      {"CancelClose", false},
                                      {"Close", false},
                                      {"CancelClose", false}}),
              "");
}

TEST_F(WindowTest, AClosedWindowsMethodsDoNothing) {
    ObjectHandle w = Open(VisibleWindowClass());
    RuntimeCloseWindow(w.Get());
    ASSERT_EQ(HandleOf(w), nullptr);
    gEvents.clear();
    AssertionCapture capture;
    RuntimeShowWindow(w.Get());
    RuntimeHideWindow(w.Get());
    RuntimeShowModal(w.Get());
    RuntimeCloseWindow(w.Get());
    formRefresh(w.Get());
    WindowForceUpdateFrontBuffer(w.Get());
    EXPECT_TRUE(gEvents.empty());
    EXPECT_TRUE(capture.Reports().empty());
    EXPECT_EQ(HandleOf(w), nullptr);
    EXPECT_EQ(RuntimeViewWindowCount(), 0);
}

TEST_F(WindowTest, ANilWindowIsReportedNamingTheArgument) {
    AssertionCapture capture;
    RuntimeShowWindow(nullptr);
    RuntimeCloseWindow(nullptr);
    WindowDefaultConstructor(nullptr);
    ASSERT_EQ(capture.Reports().size(), 3u);
    EXPECT_EQ(capture.Reports()[0].unit, "runctl");
    EXPECT_EQ(capture.Reports()[0].condition, "self");
    EXPECT_EQ(capture.Reports()[2].condition, "window");
}

TEST_F(WindowTest, TheWindowObjectLivesOnWhileTheModuleHoldsIt) {
    int32_t live = RuntimeLiveObjectCount();
    {
        ObjectHandle w = Open(VisibleWindowClass());
        EXPECT_EQ(w.Get()->refCount, 2);  // the module's and the native window's
        RuntimeCloseWindow(w.Get());
        EXPECT_EQ(w.Get()->refCount, 1);
    }
    EXPECT_EQ(RuntimeLiveObjectCount(), live);
}

TEST_F(WindowTest, TheFrontWindowIsTheNewestVisibleOne) {
    ObjectHandle first = Open(VisibleWindowClass());
    ObjectHandle hidden = Open(HiddenWindowClass());
    RunIterations(2);
    EXPECT_EQ(FrontWindowObject(), first.Get());
    ObjectHandle second = Open(VisibleWindowClass());
    RunIterations(2);
    EXPECT_EQ(FrontWindowObject(), second.Get());
    RuntimeCloseWindow(second.Get());
    EXPECT_EQ(FrontWindowObject(), first.Get());
}

TEST_F(WindowTest, TheLoopEndsWhenTheLastWindowIsGone) {
    ObjectHandle w = Open(VisibleWindowClass());
    RunIterations(2);
    EXPECT_FALSE(gQuit);
    RuntimeCloseWindow(w.Get());
    RunIterations(1);
    EXPECT_TRUE(gQuit);
}

}  // namespace
