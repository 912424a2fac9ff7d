// The application object, its events and quit protocol, the version getters,
// and the main loop: protected iterations, periodic tasks, timers, background
// calls. Module-like handlers are plain functions written into the event
// table of an Application subclass, as compiled code does.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "loader/relocentry.h"
#include "loop/runtimemainloop.h"
#include "objects/ExceptionClasses.h"
#include "objects/globalFunctionsDecl.h"
#include "objects/ObjectDefinition.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/RuntimeObjectFoundation.h"
#include "objects/application.h"
#include "orvane/exports.h"
#include "startup/RuntimeMain.h"
#include "strings/string.h"
#include "tests/TestFiles.h"
#include "tests/TestStrings.h"
#include "tests/TestSupport.h"
#include "ui/MessageDialog.h"
#include "ui/win32windows.h"

namespace {

std::vector<std::string> gEvents;
std::vector<std::string> gMessages;
bool gHandleUnhandled = false;
bool gQuitInsideClose = false;
bool gQuitInsideUnhandled = false;
bool gRaiseInsideUnhandled = false;

void CaptureMessage(const StringHandle& text) { gMessages.push_back(Bytes(text)); }

void __cdecl OnOpen(ObjectHeader*) { gEvents.push_back("Open"); }
void __cdecl OnOpenRaising(ObjectHeader*) {
    gEvents.push_back("Open");
    RaiseNilObjectException();
    gEvents.push_back("after raise");  // the raise returns; the landing happens on the way out
}
void __cdecl OnClose(ObjectHeader*) {
    gEvents.push_back("Close");
    if (gQuitInsideClose) ApplicationQuit();
}
void __cdecl OnNewDocument(ObjectHeader*) { gEvents.push_back("NewDocument"); }
void __cdecl OnActivate(ObjectHeader*) { gEvents.push_back("Activate"); }
void __cdecl OnDeactivate(ObjectHeader*) { gEvents.push_back("Deactivate"); }
bool __cdecl OnUnhandled(ObjectHeader*, ObjectHeader* e) {
    gEvents.push_back("UnhandledException " + std::string(StringText(e->classPtr->name)));
    if (gQuitInsideUnhandled) ApplicationQuit();
    if (gRaiseInsideUnhandled) RaiseOutOfBoundsException();
    return gHandleUnhandled;
}

enum { kOpen, kClose, kEnableMenuItems, kNewDocument, kOpenDocument, kAppleEvent, kActivate, kDeactivate,
       kUnhandled };

// A module's App class: an Application subclass with its own handlers.
ClassRecord* AppClass() {
    static ClassRecord* cls = [] {
        ClassRecord* base = ClassOfDefinition(ApplicationDefinition());
        ClassRecord* c = RuntimeNewClass(base, base->methodCount, 0, base->eventCount, base->staticMethodCount,
                                         base->propertyCount);
        c->name = StringMakeC("TestApp");
        c->instanceSize = kApplicationInstanceSize + 4;
        c->events[kClose].function = reinterpret_cast<void*>(&OnClose);
        c->events[kNewDocument].function = reinterpret_cast<void*>(&OnNewDocument);
        c->events[kActivate].function = reinterpret_cast<void*>(&OnActivate);
        c->events[kDeactivate].function = reinterpret_cast<void*>(&OnDeactivate);
        c->events[kUnhandled].function = reinterpret_cast<void*>(&OnUnhandled);
        return c;
    }();
    return cls;
}

ClassRecord* AppClassWithOpen(void* open) {
    ClassRecord* base = AppClass();
    ClassRecord* c = RuntimeNewClass(base, base->methodCount, 0, base->eventCount, base->staticMethodCount,
                                     base->propertyCount);
    c->instanceSize = base->instanceSize;
    c->events[kOpen].function = open;
    return c;
}

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        gEvents.clear();
        gMessages.clear();
        gHandleUnhandled = gQuitInsideClose = gQuitInsideUnhandled = gRaiseInsideUnhandled = false;
        gQuit = false;
        previousMessageHook_ = SetRuntimeMessageHook(CaptureMessage);
        liveAtStart_ = RuntimeLiveObjectCount();
    }
    void TearDown() override {
        // The process keeps its application object; each test gives it back.
        if (gApplicationObject) {
            ObjectHeader* app = gApplicationObject;
            gApplicationObject = nullptr;
            RuntimeUnlockObject(app);
        }
        gQuit = false;
        SetRuntimeMessageHook(previousMessageHook_);
        EXPECT_EQ(RuntimeLiveObjectCount(), liveAtStart_) << "objects leaked";
    }
    // An application object held by gApplicationObject, as RuntimeRegisterAppObject leaves it.
    ObjectHeader* Install(ClassRecord* cls) {
        ObjectHeader* app = RuntimeNewObject(cls);
        gApplicationObject = app;
        return app;
    }
    RuntimeMessageHook previousMessageHook_ = nullptr;
    int32_t liveAtStart_ = 0;
};

const char kNotHandled[] = "An exception of class NilObjectException was not handled.\r\nThe application must shut down.";

TEST_F(ApplicationTest, ApplicationClassHasItsRowsAndEventIndexes) {
    ClassRecord* cls = ClassOfDefinition(ApplicationDefinition());
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->instanceSize, 52);
    EXPECT_EQ(cls->eventCount, 9);
    EXPECT_EQ(cls->propertyCount, 15);
    EXPECT_EQ(cls->staticMethodCount, 3);
    EXPECT_EQ(Bytes(StringHandle::Borrow(cls->properties[0].declaration)), "MouseCursor%o<MouseCursor>");
    EXPECT_EQ(Bytes(StringHandle::Borrow(cls->properties[4].declaration)), "MajorVersion%i");
    EXPECT_EQ(cls->properties[6].parameter, 2);  // BugVersion
    EXPECT_EQ(Bytes(StringHandle::Borrow(cls->staticMethods[1].name)), "OpenDocument%%o<Application>o<FolderItem>");
    EXPECT_NE(ExportFindForLink("AppIntegerVersionStuffGetter"), nullptr);
    EXPECT_NE(ExportFindForLink("AppMenuBarSetter"), nullptr);
    EXPECT_NE(ExportFindForLink("ApplicationQuit"), nullptr);
    EXPECT_NE(ExportFindForLink("getAppObject"), nullptr);

    ObjectHeader* app = RuntimeNewObject(cls);
    ObjectHeader* mdi = nullptr;
    std::memcpy(&mdi, reinterpret_cast<uint8_t*>(app) + kAppMDIWindowAt, 4);
    EXPECT_NE(mdi, nullptr);
    RuntimeUnlockObject(app);
}

TEST_F(ApplicationTest, VersionNumbersFromTheResourceTexts) {
    struct Case {
        const char* version;
        const char* release;
        int32_t expected[5];
    } cases[] = {
        {"0.0.8.0", "Development", {0, 0, 8, 0, 0}},
        {"1.2.3.4", "beta", {1, 2, 3, 2, 4}},
        {"3.1", "FINAL", {3, 1, 0, 3, 0}},
        {"", "Gamma", {0, 0, 0, -1, 0}},
        {"2.5.x.7", "alpha", {2, 5, 0, 1, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        StringHandle version = Ascii(c.version);
        StringHandle release = Ascii(c.release);
        for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(VersionNumberFrom(version.Get(), release.Get(), i), c.expected[i]) << i;
    }
}

TEST_F(ApplicationTest, VersionGettersReadTheRuntimesVersionResource) {
    LoadVersionResourceFrom(WinePath(ORVANE_RUNTIME_EXE).c_str());
    ObjectHeader* app = Install(AppClass());
    const int32_t expected[] = {0, 0, 8, 0, 0, -1};
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(AppIntegerVersionStuffGetter(app, i), expected[i]) << i;
    EXPECT_EQ(Bytes(VersionResourceValue("FileVersion")), "0.0.8.0");
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(AppStringVersionStuffGetter(app, i), nullptr) << i;
    LoadVersionResourceFrom("Z:\\no\\such\\file.exe");
    EXPECT_EQ(AppIntegerVersionStuffGetter(app, 3), -1);
}

TEST_F(ApplicationTest, NilApplicationIsReported) {
    AssertionCapture capture;
    EXPECT_EQ(AppIntegerVersionStuffGetter(nullptr, 0), 0);
    AppMenuBarSetter(nullptr, 0, nullptr);
    ApplicationQuit();
    ApplicationAddMenuHandler(nullptr, nullptr, nullptr);
    ASSERT_EQ(capture.Reports().size(), 4u);
    EXPECT_EQ(capture.Reports()[0].condition, "app");
    EXPECT_EQ(capture.Reports()[0].unit, "application");
    EXPECT_EQ(capture.Reports()[2].condition, "gApplicationObject");
    EXPECT_EQ(capture.Reports()[2].line, 1923);
    EXPECT_EQ(capture.Reports()[3].condition, "self");
    EXPECT_FALSE(gQuit);
}

TEST_F(ApplicationTest, RegisterLocksTheObjectRaisesOpenAndWithoutOpenDocumentNewDocument) {
    ObjectHeader* app = RuntimeNewObject(AppClassWithOpen(reinterpret_cast<void*>(&OnOpen)));
    RuntimeRegisterAppObject(app);
    EXPECT_EQ(gApplicationObject, app);
    EXPECT_EQ(app->refCount, 2);
    RuntimeUnlockObject(app);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"Open", "NewDocument"}));
    EXPECT_TRUE(gMessages.empty());
}

TEST_F(ApplicationTest, RegisterWithoutObjectMakesAnApplication) {
    RuntimeRegisterAppObject(nullptr);
    ASSERT_NE(gApplicationObject, nullptr);
    EXPECT_EQ(gApplicationObject->classPtr, ClassOfDefinition(ApplicationDefinition()));
    ObjectHeader* got = getAppObject();
    EXPECT_EQ(got, gApplicationObject);
    EXPECT_EQ(got->refCount, 2);
    RuntimeUnlockObject(got);
}

// The same path as an exception in the main loop: the application's
// UnhandledException, then the message and the quit flag.
TEST_F(ApplicationTest, AnExceptionInOpenIsReportedLikeOneInTheLoop) {
    ObjectHeader* app = RuntimeNewObject(AppClassWithOpen(reinterpret_cast<void*>(&OnOpenRaising)));
    RuntimeRegisterAppObject(app);
    RuntimeUnlockObject(app);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"Open", "after raise", "UnhandledException NilObjectException",
                                                 "NewDocument"}));
    EXPECT_EQ(gMessages, std::vector<std::string>{kNotHandled});
    EXPECT_TRUE(gQuit);
}

class RaisingTask : public PeriodicTask {
public:
    void Fire() override {
        ++fired;
        RaiseNilObjectException();
    }
    int fired = 0;
};

TEST_F(ApplicationTest, AnExceptionInTheLoopReachesTheSameMessage) {
    Install(AppClass());
    RaisingTask task;
    RegisterPeriodicTask(&task, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);  // so the iteration does not wait
    // Without windows the iteration would set the quit flag before its periodic
    // pass, and an exception after that is not reported; MDI mode keeps it running.
    gMDIMode = true;
    RunProtectedIteration();
    gMDIMode = false;
    UnregisterPeriodicTask(&task);
    EXPECT_EQ(task.fired, 1);
    EXPECT_EQ(gEvents, std::vector<std::string>{"UnhandledException NilObjectException"});
    EXPECT_EQ(gMessages, std::vector<std::string>{kNotHandled});
    EXPECT_TRUE(gQuit);
}

TEST_F(ApplicationTest, AHandledExceptionLeavesTheApplicationRunning) {
    Install(AppClass());
    gHandleUnhandled = true;
    RaisingTask task;
    RegisterPeriodicTask(&task, 0);
    RuntimeProtectedCall([](void*) { RunPeriodicPass(); });
    UnregisterPeriodicTask(&task);
    EXPECT_EQ(gEvents, std::vector<std::string>{"UnhandledException NilObjectException"});
    EXPECT_TRUE(gMessages.empty());
    EXPECT_FALSE(gQuit);
}

TEST_F(ApplicationTest, QuitRaisesCloseOnceAndEndsThroughEndException) {
    Install(AppClass());
    gQuitInsideClose = true;  // a second request from inside Close does nothing
    RuntimeProtectedCall([](void*) {
        ApplicationQuit();
        gEvents.push_back("after quit");
    });
    EXPECT_EQ(gEvents, (std::vector<std::string>{"Close", "after quit"}));
    EXPECT_TRUE(gMessages.empty());  // EndException is neither reported nor passed on
    EXPECT_TRUE(gQuit);
    uint8_t quitting = 1;
    std::memcpy(&quitting, reinterpret_cast<uint8_t*>(gApplicationObject) + kAppQuittingAt, 1);
    EXPECT_EQ(quitting, 0);
}

// Two stand-in windows; the first refuses to close while gRefuse is set.
bool gRefuse = false;
int gWindows = 0;
RuntimeWindowList TwoWindows() {
    gWindows = 2;
    return RuntimeWindowList{[] { return gWindows; },
                             [] {
                                 gEvents.push_back("windows closed");
                                 gWindows = 0;
                             },
                             [] {
                                 gEvents.push_back("CancelClose");
                                 return gRefuse;
                             }};
}

TEST_F(ApplicationTest, AWindowThatRefusesToCloseRefusesTheQuit) {
    Install(AppClass());
    RuntimeWindowList previous = SetRuntimeWindowList(TwoWindows());
    gRefuse = true;
    RuntimeProtectedCall([](void*) {
        ApplicationQuit();
        gEvents.push_back("after quit");
    });
    EXPECT_EQ(gEvents, (std::vector<std::string>{"CancelClose", "after quit"}));
    EXPECT_FALSE(gQuit);
    EXPECT_EQ(gWindows, 2);

    // Asked again without the refusal: windows first, then Close, then the end.
    gEvents.clear();
    gRefuse = false;
    RuntimeProtectedCall([](void*) {
        ApplicationQuit();
        gEvents.push_back("after quit");
    });
    EXPECT_EQ(gEvents, (std::vector<std::string>{"CancelClose", "windows closed", "Close", "after quit"}));
    EXPECT_TRUE(gQuit);
    SetRuntimeWindowList(previous);
}

TEST_F(ApplicationTest, AnEndExceptionReachingTheLoopClosesEveryWindowSilently) {
    RuntimeWindowList previous = SetRuntimeWindowList(TwoWindows());
    RuntimeProtectedCall([](void*) { RaiseNewException(ClassOfDefinition(EndExceptionDefinition())); });
    EXPECT_EQ(gEvents, std::vector<std::string>{"windows closed"});
    EXPECT_TRUE(gMessages.empty());
    EXPECT_TRUE(gQuit);
    SetRuntimeWindowList(previous);
}

TEST_F(ApplicationTest, QuitFromInsideUnhandledExceptionRaisesNoEndException) {
    Install(AppClass());
    gQuitInsideUnhandled = true;
    RaisingTask task;
    RegisterPeriodicTask(&task, 0);
    RuntimeProtectedCall([](void*) { RunPeriodicPass(); });
    UnregisterPeriodicTask(&task);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"UnhandledException NilObjectException", "Close"}));
    EXPECT_TRUE(gMessages.empty());  // the quit flag was set: no message
    EXPECT_TRUE(gQuit);
}

// The handler's own exception finds no landing block and takes the unhandled
// path, which does not call the handler again: one message, then the end.
TEST_F(ApplicationTest, AnExceptionInsideUnhandledExceptionIsReportedOnce) {
    Install(AppClass());
    ExceptionHook previous = SetUnhandledExceptionHook(HandleLoopException);
    gRaiseInsideUnhandled = true;
    gHandleUnhandled = true;
    RaisingTask task;
    RegisterPeriodicTask(&task, 0);
    RuntimeProtectedCall([](void*) { RunPeriodicPass(); });
    UnregisterPeriodicTask(&task);
    SetUnhandledExceptionHook(previous);
    EXPECT_EQ(gEvents, std::vector<std::string>{"UnhandledException NilObjectException"});
    EXPECT_EQ(gMessages, std::vector<std::string>{
        "An exception of class OutOfBoundsException was not handled.\r\nThe application must shut down."});
    EXPECT_TRUE(gQuit);
}

TEST_F(ApplicationTest, ActivationIsRaisedOncePerChange) {
    Install(AppClass());
    NotifyApplicationActivation(true, false);
    NotifyApplicationActivation(true, false);
    NotifyApplicationActivation(false, true);  // a closing window does not deactivate
    NotifyApplicationActivation(false, false);
    NotifyApplicationActivation(false, false);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"Activate", "Deactivate"}));
}

TEST_F(ApplicationTest, MenuHandlersAreHeldUntilTheApplicationDies) {
    ObjectHeader* app = Install(AppClass());
    ObjectHeader* first = CreateInstance(ApplicationDefinition());
    ObjectHeader* second = CreateInstance(ApplicationDefinition());
    StringHandle name = Ascii("FileQuit");
    ApplicationAddMenuHandler(app, name.Get(), first);
    ApplicationAddMenuHandler(app, name.Get(), nullptr);  // ignored
    EXPECT_EQ(first->refCount, 2);
    StringHandle lower = Ascii("filequit");
    EXPECT_EQ(ApplicationMenuHandler(app, lower.Get()), first);
    ApplicationAddMenuHandler(app, name.Get(), second);
    EXPECT_EQ(ApplicationMenuHandler(app, name.Get()), second);
    EXPECT_EQ(first->refCount, 1);
    RuntimeUnlockObject(first);
    RuntimeUnlockObject(second);
    // The finalizer releases the handler; the live count check in TearDown shows it.
}

// ---- The loop -----------------------------------------------------------------------------

class CountingTask : public PeriodicTask {
public:
    void Fire() override { ++fired; }
    int fired = 0;
};

TEST_F(ApplicationTest, PeriodicTasksFireByPeriodAndBackgroundCallsOncePerTick) {
    CountingTask everyPass, hourly;
    RegisterPeriodicTask(&everyPass, 0);
    RegisterPeriodicTask(&hourly, 60 * 60 * 60);
    RunPeriodicPass();
    RunPeriodicPass();
    EXPECT_EQ(everyPass.fired, 2);
    EXPECT_EQ(hourly.fired, 0);

    // Two background calls within one tick: the second does nothing.
    int fired = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        int32_t tick = RuntimeTicks();
        int before = everyPass.fired;
        RuntimeBackgroundTask();
        RuntimeBackgroundTask();
        if (RuntimeTicks() != tick) continue;  // the tick changed in between: try again
        fired = everyPass.fired - before;
        break;
    }
    EXPECT_LE(fired, 1);

    // The timer path fires the tasks of its timer, unless the timer is disabled.
    int before = hourly.fired;
    DispatchRuntimeTimer(hourly.timerId);
    EXPECT_EQ(hourly.fired, before + 1);
    SetRuntimeTimerDisabled(hourly.timerId, true);
    DispatchRuntimeTimer(hourly.timerId);
    EXPECT_EQ(hourly.fired, before + 1);
    int32_t count = PeriodicTaskCount();
    UnregisterPeriodicTask(&hourly);
    EXPECT_EQ(PeriodicTaskCount(), count - 1);
}

std::vector<int> gDeferred;

TEST_F(ApplicationTest, DeferredUpdatesRunLastAddedFirstAndWmQuitEndsTheLoop) {
    ObjectHeader* a = CreateInstance(ApplicationDefinition());
    ObjectHeader* b = CreateInstance(ApplicationDefinition());
    gDeferred.clear();
    AddDeferredUpdate(a, [](ObjectHeader*) { gDeferred.push_back(1); });
    AddDeferredUpdate(b, [](ObjectHeader*) { gDeferred.push_back(2); });
    RuntimeUnlockObject(a);  // the list keeps them alive
    RuntimeUnlockObject(b);
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
    RunMainLoopIteration();
    EXPECT_EQ(gDeferred, (std::vector<int>{2, 1}));
    gQuit = false;
    PostQuitMessage(0);
    RunMainLoopIteration();
    EXPECT_TRUE(gQuit);
}

TEST_F(ApplicationTest, ProtectedCallOfNilIsReported) {
    AssertionCapture capture;
    RuntimeProtectedCall(nullptr);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].unit, "runtimemainloop");
    EXPECT_EQ(capture.Reports()[0].line, 596);
    EXPECT_EQ(capture.Reports()[0].condition, "fp");
}

}  // namespace
