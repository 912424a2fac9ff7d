// Menus: items and their Win32 menus read back from the system, command
// keys, separators, submenus made in place, enabling, choosing an item in
// the order focus control, window, application, the item itself; and the
// keyboard with real input typed on the display.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "loop/runtimemainloop.h"
#include "objects/ExceptionClasses.h"
#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/StringMap.h"
#include "objects/application.h"
#include "objects/intrinsicInterfaces.h"
#include "orvane/exports.h"
#include "startup/ProcessState.h"
#include "startup/RuntimeMain.h"
#include "strings/string.h"
#include "tests/TestSupport.h"
#include "ui/AcceleratorList.h"
#include "ui/FocusSeam.h"
#include "ui/KeyboardDispatch.h"
#include "ui/MenuImplementation.h"
#include "ui/ViewWindow.h"
#include "ui/WindowObject.h"
#include "ui/menubar.h"
#include "ui/win32windows.h"
#include "ui/window.h"

namespace {

std::vector<std::string> gTrace;
bool gWindowHandlerResult = true;

// ---- Module classes, as compiled code makes them -------------------------------------------

ClassRecord* Subclass(ObjectDefinition* definition, const char* name, int32_t extra = 0) {
    ClassRecord* base = ClassOfDefinition(definition);
    ClassRecord* c = RuntimeNewClass(base, base->methodCount, 0, base->eventCount, base->staticMethodCount,
                                     base->propertyCount);
    c->name = StringMakeC(name);
    c->instanceSize = base->instanceSize + extra;
    return c;
}

// A menu handler that records its name (kept in the object's own field) and
// returns what its test wants.
struct HandlerObject {
    ObjectHeader header;
    const char* label;
    bool result;
};
bool __cdecl HandlerAction(ObjectHeader* h, int32_t index) {
    auto* o = reinterpret_cast<HandlerObject*>(h);
    gTrace.push_back(std::string(o->label) + "(" + std::to_string(index) + ")");
    return o->result;
}
ClassRecord* HandlerClass() {
    static ClassRecord* c = [] {
        ClassRecord* r = Subclass(MenuHandlerDefinition(), "TestHandler", 8);
        r->events[0].function = reinterpret_cast<void*>(&HandlerAction);
        return r;
    }();
    return c;
}
ObjectHandle NewHandler(const char* label, bool result) {
    ObjectHandle h = ObjectHandle::Adopt(RuntimeNewObject(HandlerClass()));
    auto* o = reinterpret_cast<HandlerObject*>(h.Get());
    o->label = label;
    o->result = result;
    return h;
}

// A MenuItem subclass with Action and EnableMenu of its own.
bool gItemActionResult = true;
bool __cdecl ItemAction(ObjectHeader*) {
    gTrace.push_back("item Action");
    return gItemActionResult;
}
void __cdecl ItemEnableMenu(ObjectHeader* item) {
    gTrace.push_back("EnableMenu");
    RuntimeEnableMenu(item);
}
ClassRecord* ActingItemClass() {
    static ClassRecord* c = [] {
        ClassRecord* r = Subclass(MenuItemDefinition(), "TestActingItem");
        r->events[0].function = reinterpret_cast<void*>(&ItemAction);
        return r;
    }();
    return c;
}
ClassRecord* SelfEnablingItemClass() {
    static ClassRecord* c = [] {
        ClassRecord* r = Subclass(MenuItemDefinition(), "TestSelfEnablingItem");
        r->events[1].function = reinterpret_cast<void*>(&ItemEnableMenu);
        return r;
    }();
    return c;
}

// QuitMenuItem's own Action (the third event: after MenuItem's two).
bool gQuitOwnResult = false;
bool __cdecl QuitOwnAction(ObjectHeader*) {
    gTrace.push_back("quit item's own Action");
    return gQuitOwnResult;
}

// ---- Windows ----------------------------------------------------------------------------------

// Unique on the display, so that typing finds this program's window.
const std::string& WindowTitle() {
    static std::string title = "MenuTest " + std::to_string(GetCurrentProcessId());
    return title;
}
ObjectHeader* gLayoutMenuBar = nullptr;
void __cdecl OnLayout(ObjectHeader* w) {
    WindowObject* o = AsWindow(w);
    o->visible = 1;
    o->bounds = Rect16{300, 300, 500, 620};  // 320 x 200 client area
    o->title = StringMakeC(WindowTitle().c_str(), kEncodingUTF8);  // released by the window's finalizer
    if (gLayoutMenuBar) WindowMenuBarSetter(w, gLayoutMenuBar);  // as the viewer's Layout does
}
bool gKeyDownResult = true;
bool __cdecl OnKeyDown(ObjectHeader*, StringValue* key) {
    std::string text(StringText(key), size_t(StringLength(key)));
    gTrace.push_back("KeyDown " + std::to_string(text.empty() ? -1 : int(uint8_t(text[0]))));
    return gKeyDownResult;
}
void __cdecl OnWindowEnableMenuItems(ObjectHeader*) { gTrace.push_back("window EnableMenuItems"); }
ClassRecord* WindowClass() {
    static ClassRecord* c = [] {
        ClassRecord* r = Subclass(WindowDefinition(), "TestMenuWindow");
        r->events[kWindowLayout].function = reinterpret_cast<void*>(&OnLayout);
        r->events[kWindowKeyDown].function = reinterpret_cast<void*>(&OnKeyDown);
        r->events[kWindowEnableMenuItems].function = reinterpret_cast<void*>(&OnWindowEnableMenuItems);
        return r;
    }();
    return c;
}

void __cdecl OnAppEnableMenuItems(ObjectHeader*) { gTrace.push_back("app EnableMenuItems"); }
ClassRecord* AppClass() {
    static ClassRecord* c = [] {
        ClassRecord* r = Subclass(ApplicationDefinition(), "TestMenuApp");
        r->events[2].function = reinterpret_cast<void*>(&OnAppEnableMenuItems);
        return r;
    }();
    return c;
}

void RunIterations(int n) {
    for (int i = 0; i < n; ++i) {
        MSG waiting;
        if (!PeekMessageW(&waiting, nullptr, 0, 0, PM_NOREMOVE)) PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
        RunMainLoopIteration();
    }
}

template <typename F>
bool RunUntil(F done, int tenths = 50) {
    for (int i = 0; i < tenths * 10 && !done(); ++i) {
        RunIterations(1);
        Sleep(10);
    }
    return done();
}

size_t Count(const std::vector<std::string>& trace, const std::string& prefix);

// ---- Items ---------------------------------------------------------------------------------------

void SetText(ObjectHeader* item, const char* text) {
    StringHandle s(text);
    RuntimeMenuItemTextSetter(item, 0, s.Get());
}
void SetName(ObjectHeader* item, const char* name) {
    StringHandle s(name);
    RuntimeMenuItemNameSetter(item, 0, s.Get());
}
void SetKey(ObjectHeader* item, const char* key) {
    StringHandle s(key);
    RuntimeMenuItemCommandKeySetter(item, 0, s.Get());
}

ObjectHandle NewItemOf(ClassRecord* cls, const char* name, const char* text, const char* key = nullptr) {
    ObjectHandle item = ObjectHandle::Adopt(RuntimeNewObject(cls));
    RuntimeMenuItemDefaultConstructor(item.Get());
    if (name) SetName(item.Get(), name);
    if (text) SetText(item.Get(), text);
    if (key) SetKey(item.Get(), key);
    return item;
}
ObjectHandle NewItem(const char* name, const char* text, const char* key = nullptr) {
    return NewItemOf(ClassNamed("MenuItem"), name, text, key);
}
ObjectHandle NewBar() { return NewItemOf(ClassNamed("MenuBar"), nullptr, nullptr); }

// A property as compiled code reaches it: through the class's row.
const PropertyEntry* Property(ObjectHeader* o, const char* name) {
    ClassRecord* cls = o->classPtr;
    for (int32_t i = 0; i < cls->propertyCount; ++i) {
        std::string declaration = StringText(cls->properties[i].declaration);
        if (declaration.substr(0, declaration.find('%')) == name) return &cls->properties[i];
    }
    ADD_FAILURE() << "no property " << name;
    return nullptr;
}
void SetFlag(ObjectHeader* o, const char* name, bool value) {
    if (const PropertyEntry* p = Property(o, name))
        reinterpret_cast<void(__cdecl*)(ObjectHeader*, int32_t, int32_t)>(p->setter)(o, p->parameter, value);
}
bool Flag(ObjectHeader* o, const char* name) {
    const PropertyEntry* p = Property(o, name);
    return p && reinterpret_cast<int32_t(__cdecl*)(ObjectHeader*, int32_t)>(p->getter)(o, p->parameter) != 0;
}

std::wstring MenuString(HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, UINT(position), text, 128, MF_BYPOSITION);
    return text;
}
MENUITEMINFOW MenuInfo(HMENU menu, int position) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STATE;
    GetMenuItemInfoW(menu, UINT(position), TRUE, &info);
    return info;
}
HMENU SubmenuAt(HMENU menu, int position) { return GetSubMenu(menu, position); }
int32_t IdOf(ObjectHeader* item) { return ImpOf(item)->commandId; }
bool Grayed(HMENU menu, int position) { return (GetMenuState(menu, UINT(position), MF_BYPOSITION) & MF_GRAYED) != 0; }

// The classes of the exceptions raised while one exists.
class RaisedExceptions {
public:
    RaisedExceptions() : previous_(SetRaiseHook(Record)), previousUnhandled_(SetUnhandledExceptionHook(Ignore)) {
        current_ = this;
    }
    ~RaisedExceptions() {
        SetRaiseHook(previous_);
        SetUnhandledExceptionHook(previousUnhandled_);
        current_ = nullptr;
    }
    std::vector<std::string> names;

private:
    static void Record(ObjectHeader* e) { current_->names.push_back(StringText(e->classPtr->name)); }
    static void Ignore(ObjectHeader*) {}
    static RaisedExceptions* current_;
    ExceptionHook previous_;
    ExceptionHook previousUnhandled_;
};
RaisedExceptions* RaisedExceptions::current_ = nullptr;

class MenuTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterRuntimeWindowClasses(GetModuleHandleW(nullptr));
        InstallWindowLayer();
    }
    void SetUp() override {
        gTrace.clear();
        gQuit = false;
        gWindowHandlerResult = gItemActionResult = true;
        gQuitOwnResult = false;
        gKeyDownResult = true;
        app_ = ObjectHandle::Adopt(RuntimeNewObject(AppClass()));
        gApplicationObject = app_.Get();
        RuntimeLockObject(gApplicationObject);
    }
    void TearDown() override {
        SetFocusSeam(FocusSeam{});
        CloseEveryRuntimeWindow();
        ObjectHeader* app = gApplicationObject;
        gApplicationObject = nullptr;
        RuntimeUnlockObject(app);
        app_ = ObjectHandle();
        gQuit = false;
    }
    ObjectHandle OpenWindow() {
        ObjectHandle w = ObjectHandle::Adopt(RuntimeNewObject(WindowClass()));
        WindowDefaultConstructor(w.Get());
        return w;
    }
    static HWND HandleOf(const ObjectHandle& w) {
        ViewWindow* view = AsWindow(w.Get())->native;
        return view ? view->handle.Get() : nullptr;
    }
    static void AddWindowHandler(const ObjectHandle& w, const char* name, const ObjectHandle& handler) {
        StringHandle key(name);
        RuntimeLockObject(handler.Get());
        AsWindow(w.Get())->menuHandlers->Insert(key.Get(), handler.Get());
    }
    ObjectHandle app_;
};

// ---- Texts and the Win32 menu -------------------------------------------------------------------------

TEST_F(MenuTest, CommandKeysShowTheirAcceleratorTextAfterATab) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    const struct {
        const char* key;
        const wchar_t* shown;
    } cases[] = {
        {"O", L"Item\tCtrl+O"},           {"Shift-S", L"Item\tCtrl+Shift+S"}, {"Shift+S", L"Item\tCtrl+Shift+S"},
        {"alt+shift+F5", L"Item\tCtrl+Shift+Alt+F5"}, {"", L"Item"},          {nullptr, L"Item"},
    };
    int before = AcceleratorCount();
    std::vector<ObjectHandle> items;
    for (const auto& c : cases) {
        items.push_back(NewItem("Item", "Item", c.key));
        RuntimeMenuItemAppend(file.Get(), items.back().Get());
    }
    HMENU menu = SubmenuAt(MenuBarHandle(bar.Get()), 0);
    ASSERT_NE(menu, nullptr);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(MenuString(menu, i), cases[i].shown) << i;
    EXPECT_EQ(AcceleratorCount(), before + 4);
    // Set on an item that is already shown, and taken away again.
    SetKey(items[4].Get(), "Q");
    EXPECT_EQ(MenuString(menu, 4), L"Item\tCtrl+Q");
    EXPECT_EQ(AcceleratorCount(), before + 5);
    SetKey(items[4].Get(), "");
    EXPECT_EQ(MenuString(menu, 4), L"Item");
    EXPECT_EQ(AcceleratorCount(), before + 4);
    // Removed items take their shortcuts along.
    RuntimeMenuItemRemoveIndex(file.Get(), 0);
    EXPECT_EQ(AcceleratorCount(), before + 3);
    EXPECT_EQ(MenuString(menu, 0), L"Item\tCtrl+Shift+S");
}

TEST_F(MenuTest, ASeparatorTurnsBackIntoACommandThatCanBeChosen) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle open = NewItem("FileOpen", "Open");
    ObjectHandle line = NewItem("FileLine", "-");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    RuntimeMenuItemAppend(file.Get(), open.Get());
    RuntimeMenuItemAppend(file.Get(), line.Get());
    HMENU menu = SubmenuAt(MenuBarHandle(bar.Get()), 0);
    EXPECT_NE(MenuInfo(menu, 1).fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(MenuInfo(menu, 0).fType & MFT_SEPARATOR, 0u);

    SetText(line.Get(), "Reload");
    MENUITEMINFOW info = MenuInfo(menu, 1);
    EXPECT_EQ(info.fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(MenuString(menu, 1), L"Reload");
    EXPECT_EQ(int32_t(info.wID), IdOf(line.Get()));

    SetText(line.Get(), "-");
    EXPECT_NE(MenuInfo(menu, 1).fType & MFT_SEPARATOR, 0u);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
}

TEST_F(MenuTest, AnItemAlreadyInAMenuBecomesASubmenuInPlace) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle first = NewItem("First", "First");
    ObjectHandle recent = NewItem("Recent", "Recent");
    ObjectHandle last = NewItem("Last", "Last", "L");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    for (ObjectHeader* item : {first.Get(), recent.Get(), last.Get()}) RuntimeMenuItemAppend(file.Get(), item);
    HMENU menu = SubmenuAt(MenuBarHandle(bar.Get()), 0);
    ASSERT_EQ(SubmenuAt(menu, 1), nullptr);

    ObjectHandle one = NewItem("RecentOne", "one.csv", "1");
    ObjectHandle two = NewItem("RecentTwo", "two.csv");
    RuntimeMenuItemAppend(recent.Get(), one.Get());
    RuntimeMenuItemAppend(recent.Get(), two.Get());
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(MenuString(menu, 0), L"First");
    EXPECT_EQ(MenuString(menu, 1), L"Recent");
    EXPECT_EQ(MenuString(menu, 2), L"Last\tCtrl+L");
    HMENU sub = SubmenuAt(menu, 1);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(GetMenuItemCount(sub), 2);
    EXPECT_EQ(MenuString(sub, 0), L"one.csv\tCtrl+1");
    EXPECT_EQ(MenuString(sub, 1), L"two.csv");
    EXPECT_EQ(int32_t(MenuInfo(sub, 1).wID), IdOf(two.Get()));
    // A command in the new submenu is still chosen by its id.
    ObjectHandle w = OpenWindow();
    RuntimeLockUnlockObjects(bar.Get(), AsWindow(w.Get())->menuBar);  // as WindowMenuBarSetter stores it
    AsWindow(w.Get())->menuBar = bar.Get();
    RunIterations(2);
    gTrace.clear();
    ObjectHandle handler = NewHandler("RecentTwo", true);
    AddWindowHandler(w, "RecentTwo", handler);
    EXPECT_TRUE(ChooseMenuItem(IdOf(two.Get())));
    EXPECT_EQ(gTrace, std::vector<std::string>{"RecentTwo(-1)"});
}

TEST_F(MenuTest, AMenuBuiltBeforeItIsInsertedStillDropsDown) {
    ObjectHandle bar = NewBar();
    ObjectHandle edit = NewItem("EditMenu", "Edit");
    ObjectHandle cut = NewItem("EditCut", "Cut", "X");
    RuntimeMenuItemAppend(edit.Get(), cut.Get());
    RuntimeMenuItemAppend(bar.Get(), edit.Get());
    HMENU sub = SubmenuAt(MenuBarHandle(bar.Get()), 0);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(MenuString(sub, 0), L"Cut\tCtrl+X");
    EXPECT_EQ(MenuString(MenuBarHandle(bar.Get()), 0), L"Edit");
}

TEST_F(MenuTest, ADisabledTitleStaysUndimmedWhileItsCommandsAreGreyed) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle open = NewItem("FileOpen", "Open");
    ObjectHandle quit = NewItem("FileQuit", "Quit");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    RuntimeMenuItemAppend(file.Get(), open.Get());
    RuntimeMenuItemAppend(file.Get(), quit.Get());
    HMENU top = MenuBarHandle(bar.Get());
    HMENU menu = SubmenuAt(top, 0);

    SetFlag(file.Get(), "Enabled", false);
    EXPECT_FALSE(Grayed(top, 0));
    EXPECT_TRUE(Grayed(menu, 0));
    EXPECT_TRUE(Grayed(menu, 1));
    EXPECT_FALSE(Flag(file.Get(), "Enabled"));
    EXPECT_FALSE(Flag(open.Get(), "Enabled"));

    RuntimeEnableMenu(file.Get());
    EXPECT_FALSE(Grayed(top, 0));
    EXPECT_FALSE(Grayed(menu, 0));
    EXPECT_FALSE(Grayed(menu, 1));

    SetFlag(quit.Get(), "Checked", true);
    EXPECT_TRUE(Flag(quit.Get(), "Checked"));
    EXPECT_NE(GetMenuState(menu, 1, MF_BYPOSITION) & MF_CHECKED, 0u);
}

// ---- Choosing ----------------------------------------------------------------------------------------------

TEST_F(MenuTest, AQuitItemIsHandledByTheWindowsHandlerOrElseQuits) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle quit = NewItemOf(ClassNamed("QuitMenuItem"), "FileQuit", "Quit", "Q");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    RuntimeMenuItemAppend(file.Get(), quit.Get());
    ObjectHandle w = OpenWindow();
    WindowMenuBarSetter(w.Get(), bar.Get());
    RunIterations(2);
    ObjectHandle handler = NewHandler("window FileQuit", true);
    AddWindowHandler(w, "FileQuit", handler);
    gTrace.clear();

    // The window's menu, chosen: WM_COMMAND without a control handle.
    SendMessageW(HandleOf(w), WM_COMMAND, WPARAM(IdOf(quit.Get())), 0);
    EXPECT_EQ(gTrace, std::vector<std::string>{"window FileQuit(-1)"});
    EXPECT_FALSE(gQuit);
    ASSERT_NE(HandleOf(w), nullptr);

    reinterpret_cast<HandlerObject*>(handler.Get())->result = false;
    gTrace.clear();
    RaisedExceptions raised;
    SendMessageW(HandleOf(w), WM_COMMAND, WPARAM(IdOf(quit.Get())), 0);
    EXPECT_EQ(gTrace, std::vector<std::string>{"window FileQuit(-1)"});
    EXPECT_TRUE(gQuit);
    EXPECT_EQ(HandleOf(w), nullptr);  // quitting closed the window
    EXPECT_EQ(raised.names, std::vector<std::string>{"EndException"});
}

TEST_F(MenuTest, AQuitItemsOwnActionReturningTrueKeepsTheApplication) {
    ClassRecord* cls = Subclass(QuitMenuItemDefinition(), "TestQuitItem");
    cls->events[2].function = reinterpret_cast<void*>(&QuitOwnAction);
    ObjectHandle bar = NewBar();
    ObjectHandle quit = NewItemOf(cls, "FileQuit", "Quit");
    RuntimeMenuItemAppend(bar.Get(), quit.Get());
    AppMenuBarSetter(gApplicationObject, 0, bar.Get());
    gQuitOwnResult = true;
    EXPECT_TRUE(ChooseMenuItem(IdOf(quit.Get())));
    EXPECT_EQ(gTrace, std::vector<std::string>{"quit item's own Action"});
    EXPECT_FALSE(gQuit);
}

TEST_F(MenuTest, ChoosingGoesToTheFocusControlThenTheWindowThenTheApplicationThenTheItem) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle open = NewItemOf(ActingItemClass(), "FileOpen", "Open");
    RuntimeMenuItemIndexSetter(open.Get(), 0, 3);
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    RuntimeMenuItemAppend(file.Get(), open.Get());
    ObjectHandle w = OpenWindow();
    WindowMenuBarSetter(w.Get(), bar.Get());
    RunIterations(2);

    static ObjectHeader* control;
    static ObjectHeader* controlHandler;
    static std::vector<std::string>* defaults;
    ObjectHandle focus = NewHandler("the focus control", false);  // any object serves as a control here
    ObjectHandle focusHandler = NewHandler("control", false);
    std::vector<std::string> defaultCalls;
    control = focus.Get();
    controlHandler = focusHandler.Get();
    defaults = &defaultCalls;
    FocusSeam seam = {};
    seam.focusControl = [] { return control; };
    seam.menuHandler = [](ObjectHeader* c, StringValue*) { return c == control ? controlHandler : nullptr; };
    seam.defaultCommand = [](ObjectHeader*, StringValue* name) {
        defaults->push_back(StringText(name));
        return true;
    };
    SetFocusSeam(seam);
    ObjectHandle windowHandler = NewHandler("window", false);
    AddWindowHandler(w, "FileOpen", windowHandler);
    ObjectHandle appHandler = NewHandler("app", false);
    StringHandle name("fileopen");  // names are found without regard to case
    ApplicationAddMenuHandler(gApplicationObject, name.Get(), appHandler.Get());

    gItemActionResult = false;
    gTrace.clear();
    EXPECT_TRUE(ChooseMenuItem(IdOf(open.Get())));  // the focus pane's own command took it
    EXPECT_EQ(gTrace, (std::vector<std::string>{"control(3)", "window(3)", "app(3)", "item Action"}));
    EXPECT_EQ(defaultCalls, std::vector<std::string>{"FileOpen"});

    gTrace.clear();
    reinterpret_cast<HandlerObject*>(windowHandler.Get())->result = true;
    EXPECT_TRUE(ChooseMenuItem(IdOf(open.Get())));
    EXPECT_EQ(gTrace, (std::vector<std::string>{"control(3)", "window(3)"}));

    // An id that is not in the front window's menu bar is not handled.
    gTrace.clear();
    EXPECT_FALSE(ChooseMenuItem(IdOf(open.Get()) + 5000));
    EXPECT_TRUE(gTrace.empty());
}

// ---- Enabling ------------------------------------------------------------------------------------------------

TEST_F(MenuTest, AutoEnableItemsWithoutHandlersStayDisabled) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle open = NewItem("FileOpen", "Open", "O");
    ObjectHandle nothing = NewItem("FileNothing", "Nothing");
    ObjectHandle manual = NewItem("FileManual", "Manual");
    ObjectHandle acting = NewItemOf(ActingItemClass(), "FileActing", "Acting");
    ObjectHandle self = NewItemOf(SelfEnablingItemClass(), "FileSelf", "Self");
    ObjectHandle quit = NewItemOf(ClassNamed("QuitMenuItem"), "FileQuit", "Quit");
    RuntimeMenuItemAutoEnableSetter(manual.Get(), 0, 0);
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    for (ObjectHeader* item : {open.Get(), nothing.Get(), manual.Get(), acting.Get(), self.Get(), quit.Get()})
        RuntimeMenuItemAppend(file.Get(), item);
    ObjectHandle w = OpenWindow();
    WindowMenuBarSetter(w.Get(), bar.Get());
    RunIterations(2);
    ObjectHandle handler = NewHandler("open", true);
    AddWindowHandler(w, "FileOpen", handler);
    HMENU menu = SubmenuAt(MenuBarHandle(bar.Get()), 0);

    gTrace.clear();
    EnableMenuItems(false);
    EXPECT_FALSE(Grayed(menu, 0)) << "a window handler";
    EXPECT_TRUE(Grayed(menu, 1)) << "no handler anywhere";
    EXPECT_TRUE(Grayed(menu, 2)) << "AutoEnable False";
    EXPECT_FALSE(Grayed(menu, 3)) << "an Action of its own";
    EXPECT_FALSE(Grayed(menu, 4)) << "enabled by its EnableMenu";
    EXPECT_FALSE(Grayed(menu, 5)) << "the quit item's built-in Action";
    EXPECT_FALSE(Grayed(MenuBarHandle(bar.Get()), 0)) << "the title";
    EXPECT_EQ(gTrace, (std::vector<std::string>{"EnableMenu", "window EnableMenuItems", "app EnableMenuItems"}));

    // In front of a modal window everything stays disabled; the application is not asked.
    gTrace.clear();
    EnableMenuItems(true);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(Grayed(menu, i)) << i;
    EXPECT_EQ(gTrace, std::vector<std::string>{"window EnableMenuItems"});

    // Opening the menu runs the pass.
    SendMessageW(HandleOf(w), WM_INITMENU, WPARAM(MenuBarHandle(bar.Get())), 0);
    EXPECT_FALSE(Grayed(menu, 0));
    EXPECT_TRUE(Grayed(menu, 1));

    // So does activating the window.
    RuntimeEnableMenu(nothing.Get());
    gTrace.clear();
    SendMessageW(HandleOf(w), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(Grayed(menu, 1));
    EXPECT_EQ(Count(gTrace, "window EnableMenuItems"), 1u);
}

// ---- The tree ------------------------------------------------------------------------------------------------

TEST_F(MenuTest, LookupFindsAnItemInsideAMenu) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle open = NewItem("FileOpen", "Open");
    ObjectHandle second = NewItem("FileOpen", "Open again");
    RuntimeMenuItemIndexSetter(second.Get(), 0, 1);
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    RuntimeMenuItemAppend(file.Get(), open.Get());
    RuntimeMenuItemAppend(file.Get(), second.Get());
    StringHandle name("fileOPEN");
    int32_t refs = open.Get()->refCount;
    ObjectHandle found = ObjectHandle::Adopt(RuntimeMenuItemLookup(bar.Get(), name.Get()));
    EXPECT_EQ(found.Get(), open.Get());
    EXPECT_EQ(open.Get()->refCount, refs + 1);  // returned locked
    ObjectHandle indexed = ObjectHandle::Adopt(RuntimeMenuItemLookupArray(bar.Get(), name.Get(), 1));
    EXPECT_EQ(indexed.Get(), second.Get());
    StringHandle missing("FileSave");
    EXPECT_EQ(RuntimeMenuItemLookup(bar.Get(), missing.Get()), nullptr);
    // Child looks at direct children only.
    EXPECT_EQ(RuntimeMenuItemChild(bar.Get(), name.Get()), nullptr);
    ObjectHandle child = ObjectHandle::Adopt(RuntimeMenuItemChild(file.Get(), name.Get()));
    EXPECT_EQ(child.Get(), open.Get());
    EXPECT_EQ(RuntimeMenuItemCount(file.Get()), 2);
    ObjectHandle at = ObjectHandle::Adopt(RuntimeMenuItemItem(file.Get(), 1));
    EXPECT_EQ(at.Get(), second.Get());
}

TEST_F(MenuTest, BadIndexesAndNilItemsRaise) {
    ObjectHandle menu = NewItem("M", "M");
    ObjectHandle child = NewItem("C", "C");
    RuntimeMenuItemAppend(menu.Get(), child.Get());
    RaisedExceptions raised;
    EXPECT_EQ(RuntimeMenuItemItem(menu.Get(), 1), nullptr);
    EXPECT_EQ(RuntimeMenuItemItem(menu.Get(), -1), nullptr);
    RuntimeMenuItemInsert(menu.Get(), 2, child.Get());
    RuntimeMenuItemRemoveIndex(menu.Get(), 1);
    EXPECT_EQ(RuntimeMenuItemCount(nullptr), 0);
    RuntimeMenuItemAppend(nullptr, child.Get());
    SetText(nullptr, "x");
    EXPECT_EQ(raised.names, (std::vector<std::string>{"OutOfBoundsException", "OutOfBoundsException",
                                                      "OutOfBoundsException", "OutOfBoundsException",
                                                      "NilObjectException", "NilObjectException",
                                                      "NilObjectException"}));
    RuntimeMenuItemAppend(menu.Get(), nullptr);  // ignored
    EXPECT_EQ(RuntimeMenuItemCount(menu.Get()), 1);
    EXPECT_EQ(raised.names.size(), 7u);

    AssertionCapture capture;
    MenuBarInstallClone(menu.Get(), nullptr);
    RuntimeMenuItemRemoveItem(menu.Get(), nullptr);
    ASSERT_EQ(capture.Reports().size(), 2u);
    EXPECT_EQ(capture.Reports()[0].unit, "menubar");
    EXPECT_EQ(capture.Reports()[0].condition, "installThis");
    EXPECT_EQ(capture.Reports()[1].condition, "item");
}

TEST_F(MenuTest, RemovingAnItemTakesItOutOfTheMenuAndFreesItsId) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    int32_t free = FreeCommandIdCount();
    ObjectHandle a = NewItem("A", "A");
    ObjectHandle b = NewItem("B", "B");
    EXPECT_EQ(FreeCommandIdCount(), free - 2);
    EXPECT_GE(IdOf(a.Get()), kFirstCommandId);
    EXPECT_LT(IdOf(a.Get()), kFirstCommandId + kCommandIdSlots);
    RuntimeMenuItemAppend(file.Get(), a.Get());
    RuntimeMenuItemAppend(file.Get(), b.Get());
    HMENU menu = SubmenuAt(MenuBarHandle(bar.Get()), 0);
    RuntimeMenuItemRemoveItem(file.Get(), a.Get());
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    EXPECT_EQ(MenuString(menu, 0), L"B");
    EXPECT_EQ(FreeCommandIdCount(), free - 1);
    RuntimeCloseMenuItem(b.Get());
    EXPECT_EQ(GetMenuItemCount(menu), 0);
    EXPECT_EQ(FreeCommandIdCount(), free);
    // Put back, an item gets an id again.
    RuntimeMenuItemInsert(file.Get(), 0, a.Get());
    EXPECT_NE(IdOf(a.Get()), 0);
    EXPECT_EQ(int32_t(MenuInfo(menu, 0).wID), IdOf(a.Get()));
}

TEST_F(MenuTest, InstallCloneGoesAfterTheLastItemOfItsName) {
    ObjectHandle bar = NewBar();
    ObjectHandle windows = NewItem("WindowMenu", "Window");
    ObjectHandle first = NewItem("WindowItem", "One");
    ObjectHandle second = NewItem("WindowItem", "Two");
    ObjectHandle other = NewItem("WindowOther", "Other");
    RuntimeMenuItemIndexSetter(first.Get(), 0, 0);
    RuntimeMenuItemIndexSetter(second.Get(), 0, 4);
    RuntimeMenuItemAppend(bar.Get(), windows.Get());
    for (ObjectHeader* item : {first.Get(), second.Get(), other.Get()}) RuntimeMenuItemAppend(windows.Get(), item);
    ObjectHandle clone = NewItem("WindowItem", "Three");
    MenuBarInstallClone(bar.Get(), clone.Get());
    EXPECT_EQ(RuntimeMenuItemIndexGetter(clone.Get(), 0), 5);
    HMENU menu = SubmenuAt(MenuBarHandle(bar.Get()), 0);
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    EXPECT_EQ(MenuString(menu, 2), L"Three");
    EXPECT_EQ(MenuString(menu, 3), L"Other");

    ObjectHandle stray = NewItem("Nobody", "Stray");
    MenuBarInstallClone(bar.Get(), stray.Get());
    EXPECT_EQ(GetMenuItemCount(menu), 4);
}

TEST_F(MenuTest, AWindowsMenuBarIsAttachedAndTheClientAreaKeepsItsSize) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    ObjectHandle w = OpenWindow();
    HWND handle = HandleOf(w);
    RECT before;
    GetClientRect(handle, &before);
    WindowMenuBarSetter(w.Get(), bar.Get());
    EXPECT_EQ(GetMenu(handle), MenuBarHandle(bar.Get()));
    RECT after;
    GetClientRect(handle, &after);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    ObjectHandle got = ObjectHandle::Adopt(WindowMenuBarGetter(w.Get()));
    EXPECT_EQ(got.Get(), bar.Get());
}

TEST_F(MenuTest, AMenuBarSetInLayoutIsAttachedWhenTheWindowIsMade) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    gLayoutMenuBar = bar.Get();
    ObjectHandle w = OpenWindow();
    gLayoutMenuBar = nullptr;
    HWND handle = HandleOf(w);
    EXPECT_EQ(GetMenu(handle), MenuBarHandle(bar.Get()));
    RECT client;
    GetClientRect(handle, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
}

TEST_F(MenuTest, AnItemCannotHoldItself) {
    ObjectHandle a = NewItem("A", "A");
    ObjectHandle b = NewItem("B", "B");
    RuntimeMenuItemAppend(a.Get(), b.Get());
    RuntimeMenuItemAppend(b.Get(), a.Get());
    RuntimeMenuItemAppend(a.Get(), a.Get());
    EXPECT_EQ(RuntimeMenuItemCount(a.Get()), 1);
    EXPECT_EQ(RuntimeMenuItemCount(b.Get()), 0);
}

// ---- Real keys ------------------------------------------------------------------------------------------

// Types on the display through the X test extension, as a user would.
void Type(const std::string& keys) {
    std::string line = "/usr/bin/xdotool search --name \"^" + WindowTitle() + "$\" windowfocus --sync key --delay 50 " + keys;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        << "xdotool is needed on the display";
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

std::vector<std::string> Without(const std::vector<std::string>& trace, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& e : trace)
        if (e.find(prefix) == std::string::npos) out.push_back(e);
    return out;
}

std::string Joined(const std::vector<std::string>& trace) {
    std::string all;
    for (const std::string& e : trace) all += " [" + e + "]";
    return all;
}

size_t Count(const std::vector<std::string>& trace, const std::string& prefix) {
    size_t n = 0;
    for (const std::string& e : trace) n += e.find(prefix) == 0;
    return n;
}

TEST_F(MenuTest, ControlSReachesTheMenuItemBeforeAnyKeyDown) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle save = NewItem("FileSave", "Save", "S");
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    RuntimeMenuItemAppend(file.Get(), save.Get());
    ObjectHandle w = OpenWindow();
    WindowMenuBarSetter(w.Get(), bar.Get());
    ObjectHandle handler = NewHandler("FileSave", true);
    AddWindowHandler(w, "FileSave", handler);
    ASSERT_TRUE(RunUntil([&] { return IsWindowVisible(HandleOf(w)) != 0; }));
    gTrace.clear();
    Type("ctrl+s");
    ASSERT_TRUE(RunUntil([] { return Count(gTrace, "FileSave") > 0; })) << "the shortcut did not arrive:" << Joined(gTrace);
    RunIterations(5);
    std::vector<std::string> events = Without(Without(gTrace, "EnableMenuItems"), "EnableMenu");
    EXPECT_EQ(events, std::vector<std::string>{"FileSave(-1)"});
}

TEST_F(MenuTest, KeyDownCarriesTheCharacterOfTheRealKey) {
    ObjectHandle w = OpenWindow();
    ASSERT_TRUE(RunUntil([&] { return IsWindowVisible(HandleOf(w)) != 0; }));
    gTrace.clear();
    Type("a Caps_Lock a Caps_Lock Left");
    ASSERT_TRUE(RunUntil([] { return Count(gTrace, "KeyDown") >= 3; })) << "the keys did not arrive:" << Joined(gTrace);
    RunIterations(5);
    EXPECT_EQ(gTrace, (std::vector<std::string>{"KeyDown 97", "KeyDown 65", "KeyDown 28"}));
    EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0) << "Caps Lock left on";
}

TEST_F(MenuTest, TheShortcutOfADisabledItemPassesTheKeyOnToKeyDown) {
    ObjectHandle bar = NewBar();
    ObjectHandle file = NewItem("FileMenu", "File");
    ObjectHandle save = NewItem("FileSave", "Save", "S");  // no handler anywhere: stays disabled
    RuntimeMenuItemAppend(bar.Get(), file.Get());
    RuntimeMenuItemAppend(file.Get(), save.Get());
    ObjectHandle w = OpenWindow();
    WindowMenuBarSetter(w.Get(), bar.Get());
    ASSERT_TRUE(RunUntil([&] { return IsWindowVisible(HandleOf(w)) != 0; }));
    gTrace.clear();
    Type("ctrl+s");
    ASSERT_TRUE(RunUntil([] { return Count(gTrace, "KeyDown") > 0; })) << "the key did not arrive:" << Joined(gTrace);
    RunIterations(5);
    EXPECT_EQ(Without(gTrace, "EnableMenuItems"), std::vector<std::string>{"KeyDown 115"});
}

// The order within the dispatcher, with key messages as the loop hands them
// over (no modifier is held here, so none is needed from the keyboard).
std::vector<std::string>* gSeamCalls;
bool gControlTakesKeys = false;

TEST_F(MenuTest, AKeyGoesToTheFocusControlThenTheWindowThenTheDefaultHandling) {
    ObjectHandle w = OpenWindow();
    ASSERT_TRUE(RunUntil([&] { return IsWindowVisible(HandleOf(w)) != 0; }));
    static ObjectHeader* control;
    ObjectHandle focus = NewHandler("the focus control", false);
    control = focus.Get();
    std::vector<std::string> calls;
    gSeamCalls = &gTrace;
    FocusSeam seam = {};
    seam.focusControl = [] { return control; };
    seam.keyDown = [](ObjectHeader*, uint8_t key) {
        gSeamCalls->push_back("control KeyDown " + std::to_string(key));
        return gControlTakesKeys;
    };
    seam.moveFocus = [](HWND, bool backwards) {
        gSeamCalls->push_back(backwards ? "focus back" : "focus on");
        return true;
    };
    SetFocusSeam(seam);
    auto press = [&](WPARAM vk) {
        MSG message = {HandleOf(w), WM_KEYDOWN, vk, 1, 0, {0, 0}};
        bool consumed = DispatchKeyMessage(&message);
        for (const std::string& e : Without(gTrace, "EnableMenu")) calls.push_back(e);
        gTrace.clear();
        return consumed;
    };
    gTrace.clear();

    gKeyDownResult = false;
    EXPECT_TRUE(press(VK_TAB));
    EXPECT_EQ(calls, (std::vector<std::string>{"control KeyDown 9", "KeyDown 9", "focus on"}));

    calls.clear();
    gKeyDownResult = true;
    EXPECT_TRUE(press(VK_LEFT));  // the window's KeyDown took it
    EXPECT_EQ(calls, (std::vector<std::string>{"control KeyDown 28", "KeyDown 28"}));

    calls.clear();
    gControlTakesKeys = true;
    EXPECT_TRUE(press(VK_F5));
    EXPECT_EQ(calls, std::vector<std::string>{"control KeyDown 204"});
    gControlTakesKeys = false;

    calls.clear();
    EXPECT_FALSE(press(VK_SHIFT));  // modifier keys raise no KeyDown
    EXPECT_TRUE(calls.empty());

    calls.clear();
    gKeyDownResult = false;
    EXPECT_FALSE(press(VK_ESCAPE));  // no cancel button to press yet: passed on
    EXPECT_EQ(calls, (std::vector<std::string>{"control KeyDown 27", "KeyDown 27"}));

    MSG up = {HandleOf(w), WM_KEYUP, VK_TAB, 1, 0, {0, 0}};
    EXPECT_FALSE(DispatchKeyMessage(&up));
}

}  // namespace
