// Start-up pieces: the system script, the command line, the assertion report
// text, the shutdown list, lineTrace and the native window classes.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "loop/runtimemainloop.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "startup/CommandLine.h"
#include "startup/RuntimeMain.h"
#include "startup/ShutdownList.h"
#include "strings/string.h"
#include "strings/utility.h"
#include "tests/TestFiles.h"
#include "tests/TestSupport.h"
#include "ui/win32windows.h"

namespace {

TEST(SystemScript, FollowsTheUserLanguage) {
    struct Case {
        LANGID language;
        int script;
    } cases[] = {
        {0x0411, 13}, {0x0404, 21}, {0x0804, 21}, {0x0C04, 21}, {0x1004, 21},
        {0x0409, 0},  {0x0407, 0},  {0x0412, 0},  {0x1404, 0},  {0x0000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SystemScriptFromLanguage(c.language), c.script) << std::hex << c.language;
}

void Collect(const char* path, int length, void* context) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(path, length);
}

std::vector<std::string> Paths(const char* commandLine) {
    std::vector<std::string> paths;
    ForEachDocumentPath(SkipProgramPath(commandLine), Collect, &paths);
    return paths;
}

TEST(CommandLine, DocumentPaths) {
    using V = std::vector<std::string>;
    struct Case {
        const char* line;
        V paths;
    } cases[] = {
        {"viewer.exe", V{}},
        {"\"C:\\Program Files\\viewer.exe\"", V{}},
        {"\"C:\\Program Files\\viewer.exe\" ", V{}},
        {"viewer.exe a.csv", V{"a.csv"}},
        {"\"C:\\a b\\viewer.exe\" \"C:\\my routes\\x.csv\" y.csv",
         V{"C:\\my routes\\x.csv", "y.csv"}},
        {"viewer.exe \"C:\\no end quote\\x.csv", V{"C:\\no end quote\\x.csv"}},
        {"viewer.exe    a.csv     b.csv   ", V{"a.csv", "b.csv"}},
        {"viewer.exe \"\" a.csv", V{"a.csv"}},
        {"viewer.exe a\"b", V{"a\"b"}},
        {"viewer.exe \"q\"r", V{"q", "r"}},
        {"", V{}},
    };
    for (const Case& c : cases) EXPECT_EQ(Paths(c.line), c.paths) << c.line;
    EXPECT_STREQ(SkipProgramPath(nullptr), "");
}

TEST(AssertionReport, TextIsLaidOutByteForByte) {
    char text[1024];
    FormatAssertionReport(text, sizeof text, 3, "loaderX86", 206, "foundFunction",
                          "Function 'Nope' was not exported");
    EXPECT_STREQ(text,
                 "Failed Assertion: 3\nPress OK to Continue\nPress Cancel to Quit.\n\n"
                 "Please report what caused this error\nalong with the information below.\n\n"
                 "loaderX86: 206\nFailure Condition: foundFunction\n"
                 "Function 'Nope' was not exported");
    // The level is shown as a 16-bit signed number; no message leaves the last line empty.
    FormatAssertionReport(text, sizeof text, 0x1FFFF, "dump", 7, "x", nullptr);
    EXPECT_NE(std::string(text).find("Failed Assertion: -1\n"), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("dump: 7\nFailure Condition: x\n"), std::string::npos);
    EXPECT_EQ(text[strlen(text) - 1], '\n');
}

TEST(AssertionReport, LongTextsAreCutAtTheBuffer) {
    std::string longMessage(5000, 'm');
    char text[1024];
    FormatAssertionReport(text, sizeof text, 0, "u", 1, "c", longMessage.c_str());
    EXPECT_EQ(strlen(text), 1023u);
}

TEST(AssertionReport, NamesTheUnitWithoutDirectoryOrExtension) {
    AssertionCapture capture;
    RuntimeAssertionReport(0, 0, "C:\\src\\loader\\loaderX86.cpp", 540, "0", nullptr);
    RuntimeAssertionReport(0, 0, "objects/RuntimeObjectFoundation.cpp", 193,
                           "!parent->isAnInterface", nullptr);
    RUNTIME_ASSERT(1 + 1 == 3);
    ASSERT_EQ(capture.Reports().size(), 3u);
    EXPECT_EQ(capture.Reports()[0].unit, "loaderX86");
    EXPECT_EQ(capture.Reports()[1].unit, "RuntimeObjectFoundation");
    EXPECT_EQ(capture.Reports()[1].line, 193);
    EXPECT_EQ(capture.Reports()[2].unit, "startup_test");
    EXPECT_EQ(capture.Reports()[2].condition, "1 + 1 == 3");
}

struct Service : RuntimeService {
    Service(std::vector<int>& log, int id) : log_(log), id_(id) {}
    ~Service() override { log_.push_back(id_); }
    std::vector<int>& log_;
    int id_;
};

TEST(ShutdownList, DestroysNewestFirstAndForgetsServicesDeletedEarlier) {
    std::vector<int> log;
    int before = ShutdownListCount();
    ShutdownListDestroyAll();  // whatever earlier tests left
    auto* a = new Service(log, 1);
    auto* b = new Service(log, 2);
    auto* c = new Service(log, 3);
    ShutdownListAdd(a);
    ShutdownListAdd(b);
    ShutdownListAdd(c);
    EXPECT_EQ(ShutdownListCount(), 3);
    delete b;  // takes itself off the list
    EXPECT_EQ(ShutdownListCount(), 2);
    ShutdownListDestroyAll();
    EXPECT_EQ(log, (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(ShutdownListCount(), 0);
    (void)before;
}

// A service added twice is on the list once: destroying all deletes it once.
TEST(ShutdownList, AServiceAddedTwiceIsDestroyedOnce) {
    ShutdownListDestroyAll();
    std::vector<int> log;
    auto* a = new Service(log, 1);
    auto* b = new Service(log, 2);
    ShutdownListAdd(a);
    ShutdownListAdd(b);
    ShutdownListAdd(a);
    ShutdownListAdd(nullptr);
    EXPECT_EQ(ShutdownListCount(), 2);
    ShutdownListDestroyAll();
    EXPECT_EQ(log, (std::vector<int>{2, 1}));
    EXPECT_EQ(ShutdownListCount(), 0);
    // A service that was never listed takes nothing off the list when deleted.
    ShutdownListAdd(new Service(log, 3));
    delete new Service(log, 4);
    EXPECT_EQ(ShutdownListCount(), 1);
    ShutdownListDestroyAll();
    EXPECT_EQ(log, (std::vector<int>{2, 1, 4, 3}));
}

std::string ReadFileText(const char* path) {
    std::string text;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[4096];
    DWORD got;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// A fresh folder as the working directory while it exists.
class WorkingFolder {
public:
    WorkingFolder() : folder_(L"startup") {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(folder_.Path().c_str());
    }
    ~WorkingFolder() { SetCurrentDirectoryW(previous_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    TempFolder folder_;  // removed with trace.log after the directory is left
    wchar_t previous_[MAX_PATH];
};
TEST(LineTrace, AppendsOneLinePerCallToTraceLogInTheWorkingDirectory) {
    WorkingFolder folder;
    ShutdownListDestroyAll();
    StringHandle first("first line");
    StringHandle second = StringHandle::Adopt(StringMakeC("zwei \xC3\xBC", kEncodingUTF8));
    lineTrace(first.Get());
    lineTrace(nullptr);  // the empty string: an empty line
    lineTrace(second.Get());
    EXPECT_EQ(ShutdownListCount(), 1) << "the trace writer is a shutdown service";
    ShutdownListDestroyAll();  // closes the file
    EXPECT_EQ(ReadFileText("trace.log"), "first line\r\n\r\nzwei \xC3\xBC\r\n");
    // A new writer after shutdown appends instead of truncating.
    lineTrace(first.Get());
    ShutdownListDestroyAll();
    EXPECT_EQ(ReadFileText("trace.log"), "first line\r\n\r\nzwei \xC3\xBC\r\nfirst line\r\n");
}

TEST(StackChecker, LimitIsTheStackPointerLessTheSize) {
    volatile char here = 0;
    uintptr_t sp = reinterpret_cast<uintptr_t>(&here);
    TARNInitStackChecker(262144);
    EXPECT_LT(gStackLimit, sp - 262144 + 4096);
    EXPECT_GT(gStackLimit, sp - 262144 - 4096);
}

TEST(PointerArray, GrowsByIncrementOrSizeButAtLeastSixteen) {
    struct Case {
        int32_t increment;
        std::vector<int32_t> capacities;  // after each growth
    } cases[] = {
        {0, {16, 32, 64, 128}},
        {5, {16, 32, 48, 64}},
        {40, {40, 80, 120, 160}},
    };
    for (const Case& c : cases) {
        PointerArray array(c.increment);
        std::vector<int32_t> seen;
        for (int i = 0; i < c.capacities.back(); ++i) {
            array.Append(reinterpret_cast<void*>(intptr_t(i + 1)));
            if (seen.empty() || seen.back() != array.Capacity()) seen.push_back(array.Capacity());
        }
        EXPECT_EQ(seen, c.capacities) << "increment " << c.increment;
        for (int i = 0; i < array.Count(); ++i)
            ASSERT_EQ(array.At(i), reinterpret_cast<void*>(intptr_t(i + 1)));
        array.RemoveAt(0);
        EXPECT_EQ(array.At(0), reinterpret_cast<void*>(intptr_t(2)));
    }
}

TEST(WindowClasses, AreRegisteredWithTheirStylesAndExtraBytes) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterRuntimeWindowClasses(instance);
    RegisterTimerWindow(instance);
    struct Case {
        const wchar_t* name;
        UINT style;
    } cases[] = {
        {L"TWWindow", CS_OWNDC},
        {L"TW_Pane", CS_HREDRAW | CS_VREDRAW},
        {L"TW_CanvasPane", CS_HREDRAW | CS_VREDRAW},
    };
    for (const Case& c : cases) {
        WNDCLASSW wc = {};
        ASSERT_TRUE(GetClassInfoW(instance, c.name, &wc));
        EXPECT_EQ(wc.style, c.style);
        EXPECT_EQ(wc.cbWndExtra, 4);
        EXPECT_EQ(wc.hCursor, nullptr);
        EXPECT_EQ(wc.hbrBackground, nullptr);
    }
    WNDCLASSA timer = {};
    EXPECT_TRUE(GetClassInfoA(instance, "WinTimerClass", &timer));
    ASSERT_NE(TimerWindow(), nullptr);
    RECT r;
    GetClientRect(TimerWindow(), &r);
    EXPECT_FALSE(IsWindowVisible(TimerWindow()));
}

TEST(Ticks, AreSixtiethsOfASecond) {
    DWORD before = GetTickCount();
    int32_t ticks = RuntimeTicks();
    DWORD after = GetTickCount();
    EXPECT_GE(ticks, int32_t(before * 0.06));
    EXPECT_LE(ticks, int32_t(after * 0.06));
}

// ---- Fixed reports -----------------------------------------------------------------------------

// Every report the runtime promises by unit, line and texts, written out here
// independently of the list the runtime is built from.
struct PromisedReport {
    const char* name;
    const char* unit;
    int line;
    const char* condition;
    const char* message;  // nil: the message is given when the report is shown
};

TEST(FixedReports, EveryRowShowsItsPromisedUnitLineAndTexts) {
    const PromisedReport promised[] = {
        {"kReportPoolHeapFree", "utility", 842, "0", nullptr},
        {"kReportNilExceptionClassNilObject", "RuntimeExceptionFoundation", 87, "exc", nullptr},
        {"kReportNilExceptionClassIllegalCast", "RuntimeExceptionFoundation", 102, "exc", nullptr},
        {"kReportNilExceptionClassOutOfBounds", "RuntimeExceptionFoundation", 117, "exc", nullptr},
        {"kReportUnhandledWithoutHook", "RuntimeExceptionFoundation", 520, "0", nullptr},
        {"kReportMethodTableTooSmall", "RuntimeObjectFoundation", 109, "out->methodCount >= base->methodCount", nullptr},
        {"kReportInterfaceTableTooSmall", "RuntimeObjectFoundation", 111, "out->interfaceCount >= base->interfaceCount", nullptr},
        {"kReportEventTableTooSmall", "RuntimeObjectFoundation", 113, "out->eventCount >= base->eventCount", nullptr},
        {"kReportStaticMethodTableTooSmall", "RuntimeObjectFoundation", 115, "out->staticMethodCount >= base->staticMethodCount", nullptr},
        {"kReportPropertyTableTooSmall", "RuntimeObjectFoundation", 117, "out->propertyCount >= base->propertyCount", nullptr},
        {"kReportInterfaceAsParent", "RuntimeObjectFoundation", 193, "!parent->isAnInterface", nullptr},
        {"kReportMissingSuperclass", "ObjectDefinition", 98, "super", nullptr},
        {"kReportSystemPropertyVirtual", "ObjectDefinition", 160, "systemPropertyVirtual", nullptr},
        {"kReportPropertyTableSize", "ObjectDefinition", 170, "propertyCount == defn->mPropertyTableSize", nullptr},
        {"kReportUnknownEventHandler", "ObjectDefinition", 200, "eventIndex >= 0", nullptr},
        {"kReportInterfaceTableFull", "ObjectDefinition", 220, "itableCtr < out->interfaceCount", nullptr},
        {"kReportPropertyTableFull", "ObjectDefinition", 250, "propertyCtr < out->propertyCount", nullptr},
        {"kReportPropertyTableIndex", "ObjectDefinition", 252, "propertyCtr == ivar->mPropertyTableIndex", nullptr},
        {"kReportAppResourceFork", "application", 1700, "app", nullptr},
        {"kReportAppMouseCursor", "application", 1710, "app", nullptr},
        {"kReportAppBalloonHelpGet", "application", 1720, "app", nullptr},
        {"kReportAppBalloonHelpSet", "application", 1730, "app", nullptr},
        {"kReportAppIntegerVersion", "application", 1740, "app", nullptr},
        {"kReportAppStringVersion", "application", 1750, "app", nullptr},
        {"kReportAppMenuBarGet", "application", 1760, "app", nullptr},
        {"kReportAppMenuBarSet", "application", 1770, "app", nullptr},
        {"kReportAppDockItem", "application", 1780, "app", nullptr},
        {"kReportAppNewDocument", "application", 1790, "app", nullptr},
        {"kReportAppOpenDocument", "application", 1800, "app", nullptr},
        {"kReportMenuHandlerSelf", "application", 1850, "self", nullptr},
        {"kReportMenuHandlerName", "application", 1851, "name", nullptr},
        {"kReportMenuHandlerMap", "application", 1856, "self->mMenuHandlers", nullptr},
        {"kReportNoApplicationObject", "application", 1923, "gApplicationObject", nullptr},
        {"kReportProtectedCallNil", "runtimemainloop", 596, "fp", nullptr},
        {"kReportNilLoopException", "runtimemainloop", 646, "0", nullptr},
        {"kReportNotExported", "loaderX86", 206, "foundFunction", nullptr},
        {"kReportOptionKind", "loaderX86", 379, "0", nullptr},
        {"kReportOwnExecutable", "loaderX86", 540, "0", nullptr},
        {"kReportExportConflict", "relocentry", 2240, "functionPtr == oldEntry->code", nullptr},
        {"kReportMassPropertyIndex", "runctl", 3900, "destIndex < propTableCount", nullptr},
        {"kReportMassPropertyReadOnly", "runctl", 3902, "destProperty->setter", "Assignment to a read-only property."},
        {"kReportMassPropertyCutShort", "runctl", 3990, "bytes remaining >= record size", "Mass property input ends inside a record."},
        {"kReportMassPropertyType", "runctl", 4030, "0", "Illegal type in mass property input."},
    };
    const int count = int(sizeof promised / sizeof promised[0]);
    ASSERT_EQ(int(kFixedReportCount), count) << "a report was added or removed: update the promises";
    std::set<std::pair<std::string, int>> places;
    for (int i = 0; i < count; ++i) {
        const FixedReportRow& row = FixedReportRowOf(FixedReport(i));
        const PromisedReport* p = nullptr;
        for (const PromisedReport& q : promised)
            if (std::string(q.name) == row.name) p = &q;
        ASSERT_NE(p, nullptr) << row.name << " is not promised";
        EXPECT_TRUE(places.insert({p->unit, p->line}).second) << row.name << ": two reports at one place";
        AssertionCapture capture;
        RuntimeFixedReport(FixedReport(i), "given");
        ASSERT_EQ(capture.Reports().size(), 1u) << row.name;
        const CapturedReport& r = capture.Reports()[0];
        EXPECT_EQ(r.unit, p->unit) << row.name;
        EXPECT_EQ(r.line, p->line) << row.name;
        EXPECT_EQ(r.condition, p->condition) << row.name;
        EXPECT_EQ(r.message, p->message ? p->message : "given") << row.name;
        char text[1024];
        FormatAssertionReport(text, sizeof text, 0, p->unit, p->line, p->condition, r.message.c_str());
        EXPECT_EQ(r.text, text) << row.name;
    }
}

}  // namespace
