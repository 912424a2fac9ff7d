// Controls in windows, built as compiled module code builds them: a Window
// subclass whose CreateControls allocates Canvas subclasses implementing
// _PaneChild, with handlers written into the event tables. Covers the
// event sequence from creation to close, the control list, the lock
// layout, Visible/Enabled propagation, closing a control, focus, the
// canvas's Graphics, backdrop and Scroll, and the mouse with real input
// (xdotool on the display, so the program runs alone).
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "graphics/DrawingContext.h"
#include "graphics/Graphics.h"
#include "graphics/Picture.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/StringMap.h"
#include "objects/intrinsicInterfaces.h"
#include "orvane/exports.h"
#include "startup/ProcessState.h"
#include "startup/RuntimeMain.h"
#include "startup/Win32Owners.h"
#include "tests/TestSupport.h"
#include "ui/MouseDispatch.h"
#include "ui/ReceiverList.h"
#include "tests/WindowTestSupport.h"
#include "ui/Canvas.h"
#include "ui/ControlObject.h"
#include "ui/Controls.h"
#include "ui/FocusSeam.h"
#include "ui/SubPane.h"
#include "ui/ViewWindow.h"
#include "ui/WindowObject.h"
#include "ui/win32windows.h"
#include "ui/window.h"

extern "C" int32_t windowControlCountGetter(ObjectHeader* window, int32_t);
extern "C" int32_t windowMouseGetter(ObjectHeader* window, int32_t which);

namespace {

std::vector<std::string> gEvents;
void Record(const std::string& e) { gEvents.push_back(e); }

// Property indexes of a canvas (Control 0-6, RectControl 7-24, Canvas 25-29).
enum {
    kIndex = 1, kVisible = 11, kLeft = 12, kTop = 13, kWidth = 14, kHeight = 15, kEnabled = 16,
    kLockLeft = 19, kLockTop = 20, kLockRight = 21, kLockBottom = 22, kAcceptFocus = 27, kAcceptTabs = 28
};

// What a canvas class of the scenario does, by class name.
struct CanvasSetup {
    int left, top, width, height;
    bool mouseDown = true;  // MouseDown's result
    bool enabled = true;
    bool acceptFocus = false;
    bool lockRight = false, lockBottom = false, lockLeft = false, lockTop = false;
    int paintRect[4] = {0, 0, 0, 0};  // filled blue by Paint when its width is not 0
};
std::map<std::string, CanvasSetup> gSetups;
// Instances of one class (a control array): the n-th made is laid out 40
// pixels right of the (n-1)-th and takes the n-th index of the list.
std::map<std::string, std::vector<int32_t>> gArrayIndexes;
std::map<std::string, int> gMade;
std::map<std::string, size_t> gAsked;
std::vector<std::string> gCreate;        // the canvas classes CreateControls makes, in order
std::map<std::string, RECT> gPaintClip;  // the clip box of the last Paint of each canvas
std::vector<int> gContextual;            // IsCMMClick in each MouseDown
bool gWindowMouseDown = false;
bool gRecordMoves = false;  // enter, exit and move are recorded only when a test asks

std::string NameOf(ObjectHeader* o) { return StringText(o->classPtr->name); }
std::string Point(int x, int y) { return " " + std::to_string(x) + "," + std::to_string(y); }

void __cdecl CanvasLayout(ObjectHeader* c) {
    Record(NameOf(c) + ".Layout");
    const CanvasSetup& s = gSetups[NameOf(c)];
    int n = gMade[NameOf(c)]++;
    const std::vector<int32_t>& indexes = gArrayIndexes[NameOf(c)];
    if (size_t(n) < indexes.size()) Packed().Int(kIndex, indexes[size_t(n)]).SetOn(c);
    Packed()
        .Int(kLeft, s.left + 40 * n).Int(kTop, s.top).Int(kWidth, s.width).Int(kHeight, s.height)
        .Bool(kVisible, true).Bool(kEnabled, s.enabled).Bool(kAcceptFocus, s.acceptFocus)
        .Bool(kLockLeft, s.lockLeft).Bool(kLockTop, s.lockTop).Bool(kLockRight, s.lockRight)
        .Bool(kLockBottom, s.lockBottom)
        .SetOn(c);
}
void __cdecl CanvasSetWindow(ObjectHeader*, ObjectHeader*) {}
// Asked once, when the control is added: the next index of its array.
int32_t __cdecl CanvasIndex(ObjectHeader* c) {
    const std::vector<int32_t>& indexes = gArrayIndexes[NameOf(c)];
    size_t n = gAsked[NameOf(c)]++;
    return n < indexes.size() ? indexes[n] : -1;
}
void __cdecl CanvasOpen(ObjectHeader* c) { Record(NameOf(c) + ".Open"); }
void __cdecl CanvasClose(ObjectHeader* c) { Record(NameOf(c) + ".Close"); }
void __cdecl CanvasPaint(ObjectHeader* c, ObjectHeader* g) {
    Record(NameOf(c) + ".Paint");
    HDC dc = DrawingContextMakeCurrent(GraphicsDrawingContext(g));
    RECT box = {0, 0, 0, 0};
    GetClipBox(dc, &box);
    gPaintClip[NameOf(c)] = box;
    const int* r = gSetups[NameOf(c)].paintRect;
    if (r[2]) {
        graphicsForeColorSetter(g, 0, 0x0000FF);
        RuntimeGraphicsFillRect(g, r[0], r[1], r[2], r[3]);
    }
}
bool __cdecl CanvasMouseDown(ObjectHeader* c, int32_t x, int32_t y) {
    Record(NameOf(c) + ".MouseDown" + Point(x, y));
    gContextual.push_back(IsCMMClick());
    return gSetups[NameOf(c)].mouseDown;
}
void __cdecl CanvasMouseDrag(ObjectHeader* c, int32_t x, int32_t y) { Record(NameOf(c) + ".MouseDrag" + Point(x, y)); }
void __cdecl CanvasMouseUp(ObjectHeader* c, int32_t x, int32_t y) { Record(NameOf(c) + ".MouseUp" + Point(x, y)); }
void __cdecl CanvasMouseEnter(ObjectHeader* c) {
    if (gRecordMoves) Record(NameOf(c) + ".MouseEnter");
}
void __cdecl CanvasMouseExit(ObjectHeader* c) {
    if (gRecordMoves) Record(NameOf(c) + ".MouseExit");
}
void __cdecl CanvasMouseMove(ObjectHeader* c, int32_t x, int32_t y) {
    if (gRecordMoves) Record(NameOf(c) + ".MouseMove" + Point(x, y));
}
void __cdecl CanvasGotFocus(ObjectHeader* c) { Record(NameOf(c) + ".GotFocus"); }
void __cdecl CanvasLostFocus(ObjectHeader* c) { Record(NameOf(c) + ".LostFocus"); }
bool __cdecl CanvasKeyDown(ObjectHeader* c, StringValue* key) {
    Record(NameOf(c) + ".KeyDown " + std::string(StringText(key), size_t(StringLength(key))));
    return true;
}

// Canvas event indexes a module writes (after Control's 3 and RectControl's 4).
enum { kPaintAt = 7, kGotFocusAt = 8, kLostFocusAt = 9, kKeyDownAt = 10, kMouseDownAt = 11, kMouseDragAt = 12,
       kMouseUpAt = 13 };

ClassRecord* CanvasClass(const std::string& name, bool paints = true) {
    static std::map<std::string, ClassRecord*> made;
    ClassRecord*& c = made[name + (paints ? "" : "/")];
    if (c) return c;
    c = ModuleSubclass(CanvasDefinition(), name.c_str(), 8, 1);
    MethodEntry* table = RuntimeNewVtable(4);
    table[0] = {nullptr, nullptr};
    table[1] = {reinterpret_cast<void*>(&CanvasLayout), StringMakeC("_Layout")};
    table[2] = {reinterpret_cast<void*>(&CanvasSetWindow), StringMakeC("_SetWindow")};
    table[3] = {reinterpret_cast<void*>(&CanvasIndex), StringMakeC("_Index")};
    ClassInterfaces(c)[0] = InterfaceEntry{ClassOfDefinition(PaneChildDefinition()), 4, table};
    auto set = [&](int at, void* f) { c->events[at].function = f; };
    set(kControlOpen, reinterpret_cast<void*>(&CanvasOpen));
    set(kControlClose, reinterpret_cast<void*>(&CanvasClose));
    if (paints) set(kPaintAt, reinterpret_cast<void*>(&CanvasPaint));
    set(kMouseDownAt, reinterpret_cast<void*>(&CanvasMouseDown));
    set(3, reinterpret_cast<void*>(&CanvasMouseMove));  // RectControl's MouseMove, MouseEnter, MouseExit
    set(4, reinterpret_cast<void*>(&CanvasMouseEnter));
    set(5, reinterpret_cast<void*>(&CanvasMouseExit));
    set(kMouseDragAt, reinterpret_cast<void*>(&CanvasMouseDrag));
    set(kMouseUpAt, reinterpret_cast<void*>(&CanvasMouseUp));
    set(kGotFocusAt, reinterpret_cast<void*>(&CanvasGotFocus));
    set(kLostFocusAt, reinterpret_cast<void*>(&CanvasLostFocus));
    set(kKeyDownAt, reinterpret_cast<void*>(&CanvasKeyDown));
    return c;
}

// ---- The window ---------------------------------------------------------------------------

enum { kWinVisible = 0, kWinLeft = 1, kWinTop = 2, kWinWidth = 3, kWinHeight = 4, kWinPlacement = 5 };
bool gPaintless = false;  // the canvases of the next window have no Paint handler

void __cdecl WinLayout(ObjectHeader* w) {
    Record("Layout");
    Packed().Bool(kWinVisible, true).Int(kWinLeft, 300).Int(kWinTop, 200).Int(kWinWidth, 400).Int(kWinHeight, 300).SetOn(w);
}
void __cdecl WinCreateControls(ObjectHeader* w) {
    Record("CreateControls");
    for (const std::string& name : gCreate) {
        ObjectHandle c = ObjectHandle::Adopt(WindowAllocateObject(w, CanvasClass(name, !gPaintless)));
        WindowAddControl(w, c.Get());
    }
}
void __cdecl WinSetupBindings(ObjectHeader*) { Record("SetupBindings"); }
void __cdecl WinOpen(ObjectHeader*) { Record("Open"); }
void __cdecl WinClose(ObjectHeader*) { Record("Close"); }
bool __cdecl WinCancelClose(ObjectHeader*) {
    Record("CancelClose");
    return false;
}
void __cdecl WinActivate(ObjectHeader*) { Record("Activate"); }
void __cdecl WinDeactivate(ObjectHeader*) { Record("Deactivate"); }
void __cdecl WinResized(ObjectHeader*) { Record("Resized"); }
void __cdecl WinMoved(ObjectHeader*) { Record("Moved"); }
void __cdecl WinPaint(ObjectHeader*, ObjectHeader*) { Record("Paint"); }
bool __cdecl WinMouseDown(ObjectHeader*, int32_t x, int32_t y) {
    Record("MouseDown" + Point(x, y));
    gContextual.push_back(IsCMMClick());
    return gWindowMouseDown;
}
void __cdecl WinMouseUp(ObjectHeader*, int32_t x, int32_t y) { Record("MouseUp" + Point(x, y)); }
void __cdecl WinMouseEnter(ObjectHeader*) {
    if (gRecordMoves) Record("MouseEnter");
}
void __cdecl WinMouseExit(ObjectHeader*) {
    if (gRecordMoves) Record("MouseExit");
}
void __cdecl WinMouseMove(ObjectHeader*, int32_t x, int32_t y) {
    if (gRecordMoves) Record("MouseMove" + Point(x, y));
}

ClassRecord* TestWindowClass() {
    static ClassRecord* c = [] {
        ClassRecord* w = ModuleSubclass(WindowDefinition(), "ControlsWindow", 8);
        auto set = [w](WindowEvent e, void* f) { w->events[e].function = f; };
        set(kWindowLayout, reinterpret_cast<void*>(&WinLayout));
        set(kWindowCreateControls, reinterpret_cast<void*>(&WinCreateControls));
        set(kWindowSetupBindings, reinterpret_cast<void*>(&WinSetupBindings));
        set(kWindowOpen, reinterpret_cast<void*>(&WinOpen));
        set(kWindowClose, reinterpret_cast<void*>(&WinClose));
        set(kWindowCancelClose, reinterpret_cast<void*>(&WinCancelClose));
        set(kWindowActivate, reinterpret_cast<void*>(&WinActivate));
        set(kWindowDeactivate, reinterpret_cast<void*>(&WinDeactivate));
        set(kWindowResized, reinterpret_cast<void*>(&WinResized));
        set(kWindowMoved, reinterpret_cast<void*>(&WinMoved));
        set(kWindowPaint, reinterpret_cast<void*>(&WinPaint));
        set(kWindowMouseDown, reinterpret_cast<void*>(&WinMouseDown));
        set(kWindowMouseUp, reinterpret_cast<void*>(&WinMouseUp));
        set(kWindowMouseEnter, reinterpret_cast<void*>(&WinMouseEnter));
        set(kWindowMouseExit, reinterpret_cast<void*>(&WinMouseExit));
        set(kWindowMouseMove, reinterpret_cast<void*>(&WinMouseMove));
        return w;
    }();
    return c;
}

class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterRuntimeWindowClasses(GetModuleHandleW(nullptr));
        InstallWindowLayer();
    }
    void SetUp() override {
        gEvents.clear();
        gSetups.clear();
        gArrayIndexes.clear();
        gMade.clear();
        gAsked.clear();
        gCreate.clear();
        gPaintClip.clear();
        gContextual.clear();
        gWindowMouseDown = false;
        gRecordMoves = false;
        gPaintless = false;
        gQuit = false;
    }
    void TearDown() override {
        CloseEveryRuntimeWindow();
        gQuit = false;
        EXPECT_EQ(RuntimeViewWindowCount(), 0);
    }
    // Opens a window with the canvases, shown and painted.
    ObjectHandle OpenWindow(const std::vector<std::pair<std::string, CanvasSetup>>& canvases) {
        for (const auto& c : canvases) {
            gSetups[c.first] = c.second;
            gCreate.push_back(c.first);
        }
        ObjectHandle w = ObjectHandle::Adopt(RuntimeNewObject(TestWindowClass()));
        WindowDefaultConstructor(w.Get());
        HWND handle = Handle(w);
        EXPECT_TRUE(RunUntil([&] { return handle && IsWindowVisible(handle); }));
        SetWindowPos(handle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(handle);
        RunIterations(5);
        UpdateWindow(handle);
        return w;
    }
    static HWND Handle(const ObjectHandle& w) {
        ViewWindow* view = AsWindow(w.Get())->native;
        return view ? view->handle.Get() : nullptr;
    }
    static ObjectHeader* ControlNamed(const ObjectHandle& w, const char* name) {
        StringHandle key(name);
        ObjectHeader* c = RuntimeControlReference(w.Get(), key.Get());
        RuntimeUnlockObject(c);  // the window holds it
        return c;
    }
    static HWND PaneHandle(ObjectHeader* control) {
        Pane* pane = AsControl(control)->pane;
        return pane ? pane->handle.Get() : nullptr;
    }
};

CanvasSetup At(int left, int top, int width, int height) {
    CanvasSetup s;
    s.left = left, s.top = top, s.width = width, s.height = height;
    return s;
}

// ---- Tests --------------------------------------------------------------------------------

TEST_F(ControlsTest, TheCanvasClassRecordHasTheIndexesCompiledCodeUses) {
    ClassRecord* c = ClassOfDefinition(CanvasDefinition());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->instanceSize, 120);
    EXPECT_EQ(c->eventCount, 15);
    EXPECT_EQ(c->staticMethodCount, 12);
    EXPECT_EQ(c->propertyCount, 30);
    // Each event's slot, from the definitions that declare them.
    auto event = [](ObjectDefinition* d, const char* name) {
        for (int32_t i = 0; i < d->eventCount; ++i)
            if (std::string(StringText(d->events[i]->name)) == name) return d->events[i]->index;
        return -1;
    };
    EXPECT_EQ(event(ControlDefinition(), "CreatePane"), 0);
    EXPECT_EQ(event(ControlDefinition(), "Close"), 2);
    EXPECT_EQ(event(RectControlDefinition(), "MouseMove"), 3);
    EXPECT_EQ(event(RectControlDefinition(), "DropObject"), 6);
    EXPECT_EQ(event(CanvasDefinition(), "Paint"), 7);
    EXPECT_EQ(event(CanvasDefinition(), "MouseDown"), 11);
    EXPECT_EQ(event(CanvasDefinition(), "MouseUp"), 13);
    EXPECT_EQ(event(CanvasDefinition(), "EnableMenuItems"), 14);
    auto property = [c](int i) {
        std::string d = StringText(c->properties[i].declaration);
        return d.substr(0, d.find('%'));
    };
    EXPECT_EQ(property(0), "Name");
    EXPECT_EQ(property(6), "Handle");
    EXPECT_EQ(property(11), "Visible");
    EXPECT_EQ(property(12), "Left");
    EXPECT_EQ(property(24), "InitialParent");
    EXPECT_EQ(property(25), "Graphics");
    EXPECT_EQ(property(29), "UseFocusRing");
    // The built-in CreatePane is in the table; a subclass inherits it.
    EXPECT_NE(c->events[0].function, nullptr);
    EXPECT_EQ(CanvasClass("Canvas1")->events[0].function, c->events[0].function);
    EXPECT_EQ(ClassOfDefinition(RectControlDefinition())->instanceSize, 104);
}

TEST_F(ControlsTest, EventsFromCreationToCloseComeInOrder) {
    CanvasSetup s = At(10, 10, 100, 80);
    ObjectHandle w = OpenWindow({{"Canvas1", s}});
    ASSERT_TRUE(RunUntil([] {
        for (const std::string& e : gEvents)
            if (e == "Canvas1.Paint") return true;
        return false;
    }));
    RuntimeCloseWindow(w.Get());
    EXPECT_EQ(CompareEvents(gEvents, {{"Layout", false},
                                      {"CreateControls", false},
                                      {"Canvas1.Layout", false},
                                      {"SetupBindings", false},
                                      {"Canvas1.Open", false},
                                      {"Open", false},
                                      {"Activate", false},
                                      {"Resized", true},
                                      {"Moved", true},
                                      {"Deactivate", true},
                                      {"Activate", true},
                                      {"Paint", true},
                                      {"Canvas1.Paint", false},
                                      {"Paint", true},
                                      {"Canvas1.Paint", true},
                                      {"CancelClose", false},
                                      {"Deactivate", true},
                                      {"Canvas1.Close", false},
                                      {"Close", false}}),
              "");
    EXPECT_EQ(AsWindow(w.Get())->native, nullptr);
}

TEST_F(ControlsTest, TheControlListKeysByClassNameAndIndex) {
    struct Case {
        std::vector<std::pair<std::string, int32_t>> added;  // class, _Index
        std::vector<std::string> keys;                        // the list afterwards, in order
    };
    const Case cases[] = {
        {{{"Arr", 0}, {"Arr", 1}}, {"Arr$0", "Arr$1"}},
        {{{"Solo", -1}, {"Other", -1}, {"Solo", -1}}, {"Solo", "Other"}},  // the later Solo in the earlier's place
        {{{"MixedCase", -1}, {"MIXEDCASE", -1}}, {"MixedCase"}},
    };
    for (const Case& c : cases) {
        gCreate.clear();
        gSetups.clear();
        gArrayIndexes.clear();
        gMade.clear();
        gAsked.clear();
        for (const auto& a : c.added) {
            gSetups[a.first] = At(0, 0, 20, 20);
            if (a.second >= 0) gArrayIndexes[a.first].push_back(a.second);
            gCreate.push_back(a.first);
        }
        ObjectHandle w = ObjectHandle::Adopt(RuntimeNewObject(TestWindowClass()));
        std::vector<std::string> keys;
        std::vector<ObjectHeader*> values;
        AsWindow(w.Get())->controls->ForEach([&](StringValue* key, void* value) {
            keys.push_back(std::string(StringText(key), size_t(StringLength(key))));
            values.push_back(static_cast<ObjectHeader*>(value));
        });
        EXPECT_EQ(keys, c.keys);
        EXPECT_EQ(windowPosGetter(w.Get(), 2), 400);
        RuntimeCloseWindow(w.Get());
    }
    // Looking up: by name, by name and index, and a miss.
    gCreate = {"Arr"};
    gSetups.clear();
    gArrayIndexes.clear();
    gMade.clear();
    gAsked.clear();
    gSetups["Arr"] = At(0, 0, 10, 10);
    gArrayIndexes["Arr"] = {0};
    ObjectHandle w = ObjectHandle::Adopt(RuntimeNewObject(TestWindowClass()));
    StringHandle arr("arr");
    ObjectHandle byIndex = ObjectHandle::Adopt(RuntimeControlArrayItemReference(w.Get(), arr.Get(), 0));
    ASSERT_NE(byIndex.Get(), nullptr);
    EXPECT_EQ(NameOf(byIndex.Get()), "Arr");
    EXPECT_EQ(RuntimeControlArrayItemReference(w.Get(), arr.Get(), 1), nullptr);
    EXPECT_EQ(RuntimeControlReference(w.Get(), arr.Get()), nullptr);
    RuntimeCloseWindow(w.Get());
}

TEST_F(ControlsTest, LockedEdgesFollowTheWindow) {
    struct Case {
        bool left, top, right, bottom;
        Rect16 expected;  // top, left, bottom, right after growing by (30, 20)
    };
    const Rect16 start = {10, 20, 60, 120};
    const Case cases[] = {
        {true, false, true, false, {10, 20, 60, 150}},   // LockLeft + LockRight: grows
        {false, false, true, false, {10, 50, 60, 150}},  // LockRight only: moves
        {true, true, false, false, {10, 20, 60, 120}},   // LockLeft + LockTop: stays
        {false, true, false, true, {10, 20, 80, 120}},   // LockTop + LockBottom: grows down
        {false, false, false, true, {30, 20, 80, 120}},  // LockBottom only: moves down
        {false, false, true, true, {30, 50, 80, 150}},
    };
    for (const Case& c : cases) {
        ControlObject control = {};
        control.rect = start;
        control.lockLeft = c.left, control.lockTop = c.top, control.lockRight = c.right, control.lockBottom = c.bottom;
        Rect16 r = LockedRect(control, 30, 20);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.bottom, c.expected.bottom);
        EXPECT_EQ(r.right, c.expected.right);
    }
    // In a real window: a programmatic resize moves the locked pane.
    CanvasSetup grows = At(10, 10, 100, 50);
    grows.lockLeft = grows.lockRight = true;
    CanvasSetup stays = At(200, 10, 50, 50);
    stays.lockLeft = stays.lockTop = true;
    ObjectHandle w = OpenWindow({{"Grows", grows}, {"Stays", stays}});
    windowPosSetter(w.Get(), 2, 460);
    RunIterations(3);
    ObjectHeader* g = ControlNamed(w, "Grows");
    ObjectHeader* s = ControlNamed(w, "Stays");
    EXPECT_EQ(ctlPosGetter(g, 2), 160);
    EXPECT_EQ(ctlPosGetter(s, 0), 200);
    RECT pane;
    GetClientRect(PaneHandle(g), &pane);
    EXPECT_EQ(pane.right, 160);
}

TEST_F(ControlsTest, HidingAContainerHidesWhatIsInsideAndShowingRestoresEachOwnSetting) {
    ObjectHandle w = OpenWindow({{"Box", At(10, 10, 200, 150)}, {"Inner", At(20, 20, 50, 40)}});
    ObjectHeader* box = ControlNamed(w, "Box");
    ObjectHeader* inner = ControlNamed(w, "Inner");
    ASSERT_TRUE(IsWindowVisible(PaneHandle(inner)));
    ControlVisibleSetter(box, 0, 0);
    EXPECT_FALSE(IsWindowVisible(PaneHandle(box)));
    EXPECT_FALSE(IsWindowVisible(PaneHandle(inner)));
    ControlVisibleSetter(inner, 0, 0);
    ControlVisibleSetter(box, 0, 1);
    EXPECT_TRUE(IsWindowVisible(PaneHandle(box)));
    EXPECT_FALSE(IsWindowVisible(PaneHandle(inner))) << "its own Visible is false";
    ControlVisibleSetter(inner, 0, 1);
    EXPECT_TRUE(IsWindowVisible(PaneHandle(inner)));
    controlEnabledSetter(box, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(PaneHandle(inner)));
    controlEnabledSetter(box, 0, 1);
    EXPECT_TRUE(IsWindowEnabled(PaneHandle(inner)));
    // Moving the container moves what is inside by as much.
    ctlPosSetter(box, 0, 30);
    EXPECT_EQ(ctlPosGetter(inner, 0), 40);
    RECT r;
    GetWindowRect(PaneHandle(inner), &r);
    MapWindowPoints(nullptr, Handle(w), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(ctlPosGetter(inner, 7), 0);  // a selector outside 0-3
}

TEST_F(ControlsTest, ClosingAControlClosesItsPaneAndClosesTheGapInItsArray) {
    // Three members of one array: one class, indexes 0-2, side by side.
    gArrayIndexes["Item"] = {0, 1, 2};
    gSetups["Item"] = At(10, 10, 30, 30);
    gCreate = {"Item", "Item", "Item"};
    ObjectHandle w = OpenWindow({});
    StringHandle item("Item");
    ObjectHandle second = ObjectHandle::Adopt(RuntimeControlArrayItemReference(w.Get(), item.Get(), 1));
    ObjectHandle third = ObjectHandle::Adopt(RuntimeControlArrayItemReference(w.Get(), item.Get(), 2));
    ASSERT_NE(second.Get(), nullptr);
    ASSERT_NE(third.Get(), nullptr);
    ASSERT_EQ(AsControl(third.Get())->index, 2);
    HWND pane = PaneHandle(second.Get());
    gEvents.clear();
    ControlClose(second.Get());
    EXPECT_EQ(CompareEvents(gEvents, {{"Item.Close", false}}), "");
    EXPECT_FALSE(IsWindow(pane));
    EXPECT_EQ(AsControl(second.Get())->pane, nullptr);
    EXPECT_EQ(windowControlCountGetter(w.Get(), 0), 2);
    ObjectHandle now = ObjectHandle::Adopt(RuntimeControlArrayItemReference(w.Get(), item.Get(), 1));
    EXPECT_EQ(now.Get(), third.Get());
    EXPECT_EQ(AsControl(third.Get())->index, 1);
    EXPECT_EQ(RuntimeControlArrayItemReference(w.Get(), item.Get(), 2), nullptr);
    EXPECT_EQ(second.Get()->refCount, 1);  // only this test holds it now
}

TEST_F(ControlsTest, TheCanvasGraphicsIsCachedAndEachReadAddsAReference) {
    ObjectHandle loose = ObjectHandle::Adopt(NewObjectOf("Canvas"));
    EXPECT_EQ(canvasGraphicsGetter(loose.Get(), 0), nullptr) << "no pane yet";

    ObjectHandle w = OpenWindow({{"Canvas1", At(20, 30, 100, 80)}});
    ObjectHeader* canvas = ControlNamed(w, "Canvas1");
    ObjectHandle g1 = ObjectHandle::Adopt(canvasGraphicsGetter(canvas, 0));
    ASSERT_NE(g1.Get(), nullptr);
    EXPECT_EQ(g1.Get()->refCount, 2);  // the canvas's and ours
    ObjectHandle g2 = ObjectHandle::Adopt(canvasGraphicsGetter(canvas, 0));
    EXPECT_EQ(g2.Get(), g1.Get());
    EXPECT_EQ(g1.Get()->refCount, 3);
    // It draws on the screen at once, in canvas coordinates, clipped to the canvas.
    graphicsForeColorSetter(g1.Get(), 0, 0x00FF00);
    RuntimeGraphicsFillRect(g1.Get(), -10, 0, 300, 10);
    DrawingContextReleaseCurrent();
    RunIterations(2);
    GdiFlush();
    EXPECT_EQ(ScreenPixel(Handle(w), 20, 30), RGB(0, 255, 0));
    EXPECT_EQ(ScreenPixel(Handle(w), 119, 39), RGB(0, 255, 0));
    EXPECT_NE(ScreenPixel(Handle(w), 120, 35), RGB(0, 255, 0)) << "clipped at the right edge";
    EXPECT_NE(ScreenPixel(Handle(w), 15, 35), RGB(0, 255, 0)) << "clipped at the left edge";
    // After the window is gone the object draws nothing, and is still the caller's.
    RuntimeCloseWindow(w.Get());
    RuntimeGraphicsFillRect(g1.Get(), 0, 0, 10, 10);
    EXPECT_EQ(g1.Get()->refCount, 3);
}

TEST_F(ControlsTest, ACanvasWithoutPaintIsTransparent) {
    gPaintless = true;
    ObjectHandle w = OpenWindow({{"Clear", At(10, 10, 50, 50)}});
    EXPECT_NE(GetWindowLongW(PaneHandle(ControlNamed(w, "Clear")), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
    RuntimeCloseWindow(w.Get());
    gPaintless = false;
    ObjectHandle v = OpenWindow({{"Opaque", At(10, 10, 50, 50)}});
    EXPECT_EQ(GetWindowLongW(PaneHandle(ControlNamed(v, "Opaque")), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
    wchar_t cls[32] = {};
    GetClassNameW(PaneHandle(ControlNamed(v, "Opaque")), cls, 32);
    EXPECT_STREQ(cls, L"TW_CanvasPane");
}

// Scroll (0, 0) repaints nothing; (10, 0) moves the content right and
// repaints the 10-pixel strip it uncovered.
TEST_F(ControlsTest, ScrollMovesTheContentAndRepaintsTheUncoveredStrip) {
    CanvasSetup s = At(20, 20, 120, 80);
    ObjectHandle w = OpenWindow({{"Scroller", s}});
    ObjectHeader* canvas = ControlNamed(w, "Scroller");
    ASSERT_TRUE(RunUntil([] { return gPaintClip.count("Scroller") != 0; }));
    RunIterations(3);
    {
        ObjectHandle g = ObjectHandle::Adopt(canvasGraphicsGetter(canvas, 0));
        graphicsForeColorSetter(g.Get(), 0, 0x00FF00);
        RuntimeGraphicsFillRect(g.Get(), 30, 0, 10, 80);  // a green band at x 30-39
        DrawingContextReleaseCurrent();
    }
    gEvents.clear();
    canvasScroll(canvas, 0, 0, 0, 0, -10000, -10000, 1);
    RunIterations(5);
    EXPECT_TRUE(gEvents.empty()) << CompareEvents(gEvents, {});

    gSetups["Scroller"].paintRect[0] = 0, gSetups["Scroller"].paintRect[1] = 0;
    gSetups["Scroller"].paintRect[2] = 120, gSetups["Scroller"].paintRect[3] = 80;  // Paint fills what it may
    canvasScroll(canvas, 10, 0, 0, 0, -10000, -10000, 1);
    ASSERT_TRUE(RunUntil([] { return !gEvents.empty(); }));
    RunIterations(3);
    EXPECT_EQ(CompareEvents(gEvents, {{"Scroller.Paint", false}}), "");
    RECT clip = gPaintClip["Scroller"];
    EXPECT_EQ(clip.left, 0);
    EXPECT_EQ(clip.right, 10);
    EXPECT_EQ(clip.top, 0);
    EXPECT_EQ(clip.bottom, 80);
    GdiFlush();
    HWND h = Handle(w);
    EXPECT_EQ(ScreenPixel(h, 20 + 5, 50), RGB(0, 0, 255));   // the strip, painted
    EXPECT_EQ(ScreenPixel(h, 20 + 40, 50), RGB(0, 255, 0));  // the band, moved from 30 to 40
    EXPECT_EQ(ScreenPixel(h, 20 + 49, 50), RGB(0, 255, 0));
    EXPECT_NE(ScreenPixel(h, 20 + 35, 50), RGB(0, 255, 0));
}

TEST_F(ControlsTest, TheBackdropIsCutToTheCanvasAndLeavesTheRestToPaint) {
    struct Case {
        int width, height;  // of the picture, the canvas being 100 x 80
    };
    for (Case c : {Case{40, 30}, Case{150, 150}}) {
        gMade.clear();  // each window's canvas is the first of its class
        CanvasSetup s = At(20, 20, 100, 80);
        s.paintRect[0] = 90, s.paintRect[1] = 70, s.paintRect[2] = 10, s.paintRect[3] = 10;
        ObjectHandle w = OpenWindow({{"Backed", s}});
        ObjectHeader* canvas = ControlNamed(w, "Backed");
        ObjectHandle picture = ObjectHandle::Adopt(newPicture(c.width, c.height, 32));
        {
            ObjectHandle g = ObjectHandle::Adopt(pictureGraphicsGetter(picture.Get(), 0));
            graphicsForeColorSetter(g.Get(), 0, 0x00FF00);
            RuntimeGraphicsFillRect(g.Get(), 0, 0, c.width, c.height);
        }
        gPaintClip.clear();
        canvasBackdropSetter(canvas, 0, picture.Get());
        EXPECT_EQ(picture.Get()->refCount, 2);
        ASSERT_TRUE(RunUntil([] { return gPaintClip.count("Backed") != 0; }));
        RunIterations(3);
        GdiFlush();
        HWND h = Handle(w);
        EXPECT_EQ(ScreenPixel(h, 20, 20), RGB(0, 255, 0)) << c.width;
        EXPECT_EQ(ScreenPixel(h, 20 + 95, 20 + 75), RGB(0, 0, 255)) << "Paint over it";
        if (c.width > 100) {
            EXPECT_EQ(ScreenPixel(h, 20 + 85, 20 + 79), RGB(0, 255, 0));
            EXPECT_EQ(ScreenPixel(h, 20 + 100, 20 + 50), GetSysColor(COLOR_BTNFACE)) << "cut at the canvas";
            EXPECT_EQ(ScreenPixel(h, 20 + 50, 20 + 80), GetSysColor(COLOR_BTNFACE));
        } else {
            EXPECT_EQ(ScreenPixel(h, 20 + 39, 20 + 29), RGB(0, 255, 0));
            EXPECT_NE(ScreenPixel(h, 20 + 41, 20 + 10), RGB(0, 255, 0)) << "the rest is not the picture's";
            EXPECT_NE(ScreenPixel(h, 20 + 10, 20 + 31), RGB(0, 255, 0));
        }
        canvasBackdropSetter(canvas, 0, nullptr);
        EXPECT_EQ(picture.Get()->refCount, 1);
        RuntimeCloseWindow(w.Get());
    }
}

TEST_F(ControlsTest, FocusMovesWithGotAndLostFocusAndKeysGoToTheFocusCanvas) {
    CanvasSetup a = At(10, 10, 50, 50), b = At(100, 10, 50, 50), c = At(200, 10, 50, 50);
    a.acceptFocus = b.acceptFocus = true;  // c does not take the focus
    ObjectHandle w = OpenWindow({{"FocusA", a}, {"FocusB", b}, {"NoFocus", c}});
    ASSERT_EQ(GetActiveWindow(), Handle(w));
    ObjectHeader* fa = ControlNamed(w, "FocusA");
    ObjectHeader* fb = ControlNamed(w, "FocusB");
    const FocusSeam& seam = CurrentFocusSeam();
    gEvents.clear();
    RuntimeSetFocus(ControlNamed(w, "NoFocus"));
    EXPECT_EQ(seam.focusControl(), nullptr);
    RuntimeSetFocus(fa);
    EXPECT_EQ(seam.focusControl(), fa);
    EXPECT_EQ(GetFocus(), PaneHandle(fa));
    EXPECT_TRUE(seam.keyDown(fa, 'x'));
    EXPECT_FALSE(seam.keyDown(fa, 9)) << "Tab is not offered without AcceptTabs";
    EXPECT_TRUE(seam.moveFocus(Handle(w), false));
    EXPECT_EQ(seam.focusControl(), fb);
    EXPECT_TRUE(seam.moveFocus(Handle(w), false));
    EXPECT_EQ(seam.focusControl(), fa) << "Tab order wraps and skips the canvas without AcceptFocus";
    AsCanvas(fa)->acceptTabs = 1;
    EXPECT_TRUE(seam.keyDown(fa, 9));
    EXPECT_EQ(CompareEvents(gEvents, {{"FocusA.GotFocus", false},
                                      {"FocusA.KeyDown x", false},
                                      {"FocusA.LostFocus", false},
                                      {"FocusB.GotFocus", false},
                                      {"FocusB.LostFocus", false},
                                      {"FocusA.GotFocus", false},
                                      {"FocusA.KeyDown \t", false}}),
              "");
    // Closing the focus canvas drops the focus without a dangling pane.
    ControlClose(fa);
    EXPECT_EQ(seam.focusControl(), nullptr);
}

TEST_F(ControlsTest, AnImplicitWindowIsSharedUntilClosed) {
    StringHandle name("ControlsWindow");
    EXPECT_EQ(RuntimeGetImplicitWindow(name.Get()), nullptr);  // the name now waits for its instance
    ObjectHandle w = ObjectHandle::Adopt(RuntimeNewObject(TestWindowClass()));
    ObjectHandle again = ObjectHandle::Adopt(RuntimeGetImplicitWindow(name.Get()));
    EXPECT_EQ(again.Get(), w.Get());
    ObjectHandle other = ObjectHandle::Adopt(RuntimeNewObject(TestWindowClass()));
    ObjectHandle still = ObjectHandle::Adopt(RuntimeGetImplicitWindow(name.Get()));
    EXPECT_EQ(still.Get(), w.Get()) << "a second window of the class is not the instance";
    RuntimeCloseWindow(w.Get());
    EXPECT_EQ(w.Get()->refCount, 3) << "the map let go of it";
    EXPECT_EQ(RuntimeGetImplicitWindow(name.Get()), nullptr);
    RuntimeCloseWindow(other.Get());
    ObjectHandle next = ObjectHandle::Adopt(RuntimeNewObject(TestWindowClass()));
    ObjectHandle found = ObjectHandle::Adopt(RuntimeGetImplicitWindow(name.Get()));
    EXPECT_EQ(found.Get(), next.Get());
    RuntimeCloseWindow(next.Get());
}

// ---- The mouse, with real input -------------------------------------------------------

// Where each xdotool run leaves the pointer: its arrival there says the run
// is over (the process handle Wine gives for a Unix program does not wait
// for it).
constexpr POINT kParked = {1000, 760};

bool PointerParked() {
    POINT p;
    return GetCursorPos(&p) && p.x == kParked.x && p.y == kParked.y;
}

// Runs xdotool on the display with the arguments, the loop running meanwhile
// and for a while after (the input reaches the windows through the loop).
void Xdotool(const std::string& arguments) {
    SetCursorPos(2, 2);
    std::string line = "/usr/bin/xdotool " + arguments + " mousemove " + std::to_string(kParked.x) + " " +
                       std::to_string(kParked.y);
    std::wstring command(line.begin(), line.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(L"/usr/bin/xdotool", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << "xdotool";
    KernelHandle processHandle(process.hProcess), thread(process.hThread);
    // A time-out only: a loaded machine may take long to start xdotool.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000 && !PointerParked();) {
        RunIterations(1);
        Sleep(5);
    }
    ASSERT_TRUE(PointerParked()) << "xdotool did not finish: " << line;
    for (int i = 0; i < 30; ++i) {
        RunIterations(1);
        Sleep(10);
    }
}

class MouseTest : public ControlsTest {
protected:
    // Two canvases overlapping in (100-220, 60-170); the front one made last.
    ObjectHandle OpenOverlapping(bool frontTakes, bool backTakes, bool frontEnabled = true) {
        CanvasSetup back = ::At(20, 20, 200, 150), front = ::At(100, 60, 200, 150);
        back.mouseDown = backTakes;
        front.mouseDown = frontTakes;
        front.enabled = frontEnabled;
        ObjectHandle w = OpenWindow({{"Back", back}, {"Front", front}});
        gEvents.clear();
        gContextual.clear();
        return w;
    }
    // The screen point of a client point of the window.
    static std::string ScreenAt(const ObjectHandle& w, int x, int y) {
        POINT p = {x, y};
        ClientToScreen(Handle(w), &p);
        return std::to_string(p.x) + " " + std::to_string(p.y);
    }
    static std::string Click(const ObjectHandle& w, int x, int y, int button = 1, const char* hold = "0.1") {
        return "mousemove " + ScreenAt(w, x, y) + " sleep 0.2 mousedown " + std::to_string(button) + " sleep " + hold +
               " mouseup " + std::to_string(button) + " sleep 0.2";
    }
};

TEST_F(MouseTest, AClickIsOfferedFromTheLastPaneBackToTheWindow) {
    ObjectHandle w = OpenOverlapping(false, false);
    Xdotool(Click(w, 150, 100));
    // Neither canvas took it: no drag or up for them; the window did not take it either.
    EXPECT_EQ(CompareEvents(gEvents, {{"Front.MouseDown 50,40", false},
                                      {"Back.MouseDown 130,80", false},
                                      {"MouseDown 150,100", false}}),
              "");
    // Outside the front canvas, only the back one and the window are asked.
    gEvents.clear();
    Xdotool(Click(w, 40, 30));
    EXPECT_EQ(CompareEvents(gEvents, {{"Back.MouseDown 20,10", false}, {"MouseDown 40,30", false}}), "");
}

TEST_F(MouseTest, ACanvasThatTakesTheClickGetsASteadyDragStreamAndOneMouseUp) {
    ObjectHandle w = OpenOverlapping(true, false);
    Xdotool(Click(w, 150, 100, 1, "1.0"));
    ASSERT_FALSE(gEvents.empty());
    EXPECT_EQ(gEvents.front(), "Front.MouseDown 50,40");
    EXPECT_EQ(gEvents.back(), "Front.MouseUp 50,40");
    size_t drags = 0;
    for (size_t i = 1; i + 1 < gEvents.size(); ++i) {
        EXPECT_EQ(gEvents[i], "Front.MouseDrag 50,40") << i;  // held still: the same point each time
        ++drags;
    }
    EXPECT_GE(drags, 5u) << "one drag per loop iteration while the button is held";
    EXPECT_FALSE(MouseTracking());
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MouseTest, TheContextualClickFlagIsSetForTheRightButtonOnly) {
    ObjectHandle w = OpenOverlapping(true, false);
    Xdotool(Click(w, 150, 100, 3));
    Xdotool(Click(w, 150, 100, 1));
    EXPECT_EQ(gContextual, (std::vector<int>{1, 0}));
    EXPECT_EQ(IsCMMClick(), 0) << "only while MouseDown runs";
    std::vector<std::string> withoutDrags;
    for (const std::string& e : gEvents)
        if (e != "Front.MouseDrag 50,40") withoutDrags.push_back(e);
    EXPECT_EQ(CompareEvents(withoutDrags, {{"Front.MouseDown 50,40", false},
                                           {"Front.MouseUp 50,40", false},
                                           {"Front.MouseDown 50,40", false},
                                           {"Front.MouseUp 50,40", false}}),
              "");
}

TEST_F(MouseTest, ADisabledCanvasGetsNoMouseDown) {
    ObjectHandle w = OpenOverlapping(true, false, false);
    Xdotool(Click(w, 150, 100));
    EXPECT_EQ(CompareEvents(gEvents, {{"Back.MouseDown 130,80", false}, {"MouseDown 150,100", false}}), "");
    // The window takes it when its MouseDown says so, and gets the MouseUp.
    gWindowMouseDown = true;
    gEvents.clear();
    Xdotool(Click(w, 350, 250));
    ASSERT_GE(gEvents.size(), 2u);
    EXPECT_EQ(gEvents.front(), "MouseDown 350,250");
    EXPECT_EQ(gEvents.back(), "MouseUp 350,250");
}

TEST_F(MouseTest, EnterMoveAndExitFollowThePointer) {
    ObjectHandle w = OpenOverlapping(false, false);
    Xdotool("sleep 0.1");  // the pointer starts outside the window
    gEvents.clear();
    gRecordMoves = true;
    Xdotool("mousemove " + ScreenAt(w, 260, 190) + " sleep 0.3 mousemove " + ScreenAt(w, 350, 250) + " sleep 0.3");
    RunUntil([] { return !gEvents.empty() && gEvents.back() == "MouseExit"; });  // the poll sees the pointer gone
    gRecordMoves = false;
    std::vector<std::string> crossings;
    bool movedInCanvas = false, movedInWindow = false;
    for (const std::string& e : gEvents) {
        if (e.find("Move") == std::string::npos) crossings.push_back(e);
        if (e == "Front.MouseMove 160,130") movedInCanvas = true;
        if (e == "MouseMove 350,250") movedInWindow = true;
    }
    EXPECT_EQ(CompareEvents(crossings, {{"MouseEnter", false},
                                        {"Front.MouseEnter", false},
                                        {"Front.MouseExit", false},
                                        {"MouseExit", false}}),
              "");
    EXPECT_TRUE(movedInCanvas) << CompareEvents(gEvents, {});
    EXPECT_TRUE(movedInWindow) << CompareEvents(gEvents, {});
    // A control's MouseX and MouseY are those of its window.
    SetCursorPos(500, 400);
    ObjectHeader* front = ControlNamed(w, "Front");
    EXPECT_EQ(controlMouseXGetter(front, 0), windowMouseGetter(w.Get(), 0));
    EXPECT_EQ(controlMouseYGetter(front, 0), windowMouseGetter(w.Get(), 1));
    EXPECT_NE(controlMouseXGetter(front, 0), 0);
}

// Receivers of a control's notifications: newest first, only those whose
// class implements the interface, each held while listed.
std::vector<int> gNotifiedOrder;
void __cdecl PerformAction(ObjectHeader* r) { gNotifiedOrder.push_back(*reinterpret_cast<int32_t*>(reinterpret_cast<uint8_t*>(r) + 28)); }

TEST_F(ControlsTest, ReceiversAreNotifiedNewestFirstAndHeldWhileListed) {
    ClassRecord* receiverClass = ModuleSubclass(CollectionElementDefinition(), "Receiver1", 4, 1);
    MethodEntry* table = RuntimeNewVtable(2);
    table[0] = {nullptr, nullptr};
    table[1] = {reinterpret_cast<void*>(&PerformAction), StringMakeC("PerformAction")};
    ClassInterfaces(receiverClass)[0] = InterfaceEntry{ClassOfDefinition(ActionNotificationReceiverDefinition()), 2, table};
    ObjectHandle first = ObjectHandle::Adopt(RuntimeNewObject(receiverClass));
    ObjectHandle second = ObjectHandle::Adopt(RuntimeNewObject(receiverClass));
    ObjectHandle plain = ObjectHandle::Adopt(NewObjectOf("CollectionElement"));
    *reinterpret_cast<int32_t*>(reinterpret_cast<uint8_t*>(first.Get()) + 28) = 1;
    *reinterpret_cast<int32_t*>(reinterpret_cast<uint8_t*>(second.Get()) + 28) = 2;
    ReceiverNode* list = nullptr;
    ReceiverListAdd(&list, first.Get());
    ReceiverListAdd(&list, plain.Get());
    ReceiverListAdd(&list, second.Get());
    EXPECT_EQ(first.Get()->refCount, 2);
    NotifyActionReceivers(list);
    EXPECT_EQ(gNotifiedOrder, (std::vector<int>{2, 1}));
    ReceiverListRemove(&list, first.Get());
    EXPECT_EQ(first.Get()->refCount, 1);
    gNotifiedOrder.clear();
    NotifyActionReceivers(list);
    EXPECT_EQ(gNotifiedOrder, (std::vector<int>{2}));
    ReceiverListRemove(&list, first.Get());  // no longer listed: nothing happens
    ReceiverListClear(&list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(second.Get()->refCount, 1);
    EXPECT_EQ(plain.Get()->refCount, 1);
}

TEST_F(ControlsTest, RefreshPaintsAtOnceAndNotWhileHidden) {
    ObjectHandle w = OpenWindow({{"Fresh", ::At(10, 10, 60, 40)}});
    ObjectHeader* canvas = ControlNamed(w, "Fresh");
    RunIterations(5);
    gEvents.clear();
    RuntimeControlRefresh(canvas);
    EXPECT_EQ(CompareEvents(gEvents, {{"Fresh.Paint", false}}), "") << "painted before Refresh returns";
    gEvents.clear();
    RuntimeControlRefreshRect(canvas, 5, 5, 10, 10);
    EXPECT_EQ(CompareEvents(gEvents, {{"Fresh.Paint", false}}), "");
    RECT clip = gPaintClip["Fresh"];
    EXPECT_EQ(clip.left, 5);
    EXPECT_EQ(clip.right, 15);
    gEvents.clear();
    ControlVisibleSetter(canvas, 0, 0);
    RuntimeControlRefresh(canvas);
    RunIterations(3);
    for (const std::string& e : gEvents) EXPECT_NE(e, "Fresh.Paint");  // the window repaints what it uncovered
}

}  // namespace
