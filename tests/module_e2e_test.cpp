// End to end: a tiny hand-assembled module run by the real runtime executable,
// from development files and appended behind a copy of the executable, the
// message boxes of loads that fail, and the sample module of tests/sample_module
// built from C++ by the module builder and the stamp step. Each child process is watched with
// timeouts and killed if anything goes wrong, so no test can hang.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "loader/ExecutableLayout.h"
#include "tests/TestFiles.h"
#include "tools/PeResource.h"

namespace {

constexpr DWORD kChildTimeoutMs = 120000;  // Wine under emulation starts slowly

using Bytes = std::vector<uint8_t>;

void Append32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void AppendName(Bytes& out, const std::string& name) {
    out.push_back(uint8_t(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
}

uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

const char kTraceText[] = "Hello from the module";

// code:  0  68 <literal>      push offset literal   (type 5, site 1)
//        5  E8 <lineTrace>    call lineTrace        (type 1, mode 1, site 6)
//       10  83 C4 04          add esp, 4
//       13  C3                ret
//       14  <4 bytes>         a slot for an import that is never called
// data:  the literal as a complete string value record.
struct Module {
    Bytes code, data, imports;
};

Module TraceModule(bool importMissingName) {
    Module m;
    m.code = {0x68, 0, 0, 0, 0, 0xE8, 0, 0, 0, 0, 0x83, 0xC4, 0x04, 0xC3, 0, 0, 0, 0};
    const std::string text = kTraceText;
    Append32(m.data, 1);                             // refCount
    Append32(m.data, 0);                             // text, set by the linker
    Append32(m.data, uint32_t(text.size() + 2));     // capacity
    Append32(m.data, uint32_t(text.size()));         // length
    Append32(m.data, 0x08000100u);                   // UTF-8
    m.data.push_back(uint8_t(text.size()));          // length byte
    m.data.insert(m.data.end(), text.begin(), text.end());
    m.data.push_back(0);
    while (m.data.size() % 4) m.data.push_back(0);
    m.imports = {5};
    Append32(m.imports, 1);
    m.imports.insert(m.imports.end(), {1, 1});
    Append32(m.imports, 6);
    AppendName(m.imports, "lineTrace");
    if (importMissingName) {
        m.imports.insert(m.imports.end(), {1, 0});
        Append32(m.imports, 14);
        AppendName(m.imports, "noSuchEntryPoint");
    }
    return m;
}

// Five u32-length-prefixed blocks: code, data, import, resource, options.
Bytes ImageOf(const Module& m) {
    Bytes out;
    for (const Bytes* b : {&m.code, &m.data, &m.imports}) {
        Append32(out, uint32_t(b->size()));
        out.insert(out.end(), b->begin(), b->end());
    }
    Append32(out, 0);
    Append32(out, 0);
    return out;
}

// ---- Files and folders -------------------------------------------------------------------

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A build output as Wine sees it.
std::wstring WideWinePath(const std::string& path) { return Widen(WinePath(path)); }

std::wstring RuntimeExe() { return WideWinePath(ORVANE_RUNTIME_EXE); }

std::wstring FreshFolder() { return FreshTempFolder(L"e2e"); }

bool WriteBytes(const std::wstring& path, const Bytes& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
               written == bytes.size());
    CloseHandle(file);
    return ok;
}

bool ReadBytes(const std::wstring& path, Bytes& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x40000000;
    if (ok) {
        bytes.resize(size_t(size.QuadPart));
        DWORD got = 0;
        ok = bytes.empty() || (ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr) &&
                               got == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

std::string ReadText(const std::wstring& path) {
    Bytes bytes;
    if (!ReadBytes(path, bytes)) return "<missing>";
    return std::string(bytes.begin(), bytes.end());
}

void WriteDevelopmentFiles(const std::wstring& folder, const Module& m,
                           const wchar_t* skip = nullptr) {
    const std::pair<const wchar_t*, const Bytes*> files[] = {
        {L"import.dat", &m.imports}, {L"code.dat", &m.code}, {L"data.dat", &m.data}};
    const Bytes empty;
    for (const auto& f : files) {
        if (!skip || std::wcscmp(skip, f.first) != 0) {
            ASSERT_TRUE(WriteBytes(folder + L"\\" + f.first, *f.second));
        }
    }
    for (const wchar_t* name : {L"rsrc.dat", L"options.dat"}) {
        if (!skip || std::wcscmp(skip, name) != 0) {
            ASSERT_TRUE(WriteBytes(folder + L"\\" + name, empty));
        }
    }
}

// A copy of the runtime with image appended and its locator pointing at it.
void WriteStampedExecutable(const std::wstring& path, const Bytes& image) {
    Bytes exe;
    ASSERT_TRUE(ReadBytes(RuntimeExe(), exe)) << "cannot read the runtime executable";
    pe::ResourceData locator;
    ASSERT_TRUE(pe::FindModuleLocator(exe.data(), exe.size(), locator));
    ASSERT_EQ(locator.size, 8u);
    ASSERT_EQ(std::string(exe.begin() + locator.fileOffset, exe.begin() + locator.fileOffset + 8),
              "PICKPOKE");
    const uint32_t offset = uint32_t(exe.size());
    for (int i = 0; i < 4; ++i) exe[locator.fileOffset + i] = uint8_t(offset >> (8 * i));
    exe.insert(exe.end(), image.begin(), image.end());
    ASSERT_TRUE(WriteBytes(path, exe));
}

// Points the locator of the executable at path at offset.
void SetLocatorOffset(const std::wstring& path, uint32_t offset) {
    Bytes exe;
    ASSERT_TRUE(ReadBytes(path, exe));
    pe::ResourceData locator;
    ASSERT_TRUE(pe::FindModuleLocator(exe.data(), exe.size(), locator));
    for (int i = 0; i < 4; ++i) exe[locator.fileOffset + i] = uint8_t(offset >> (8 * i));
    ASSERT_TRUE(WriteBytes(path, exe));
}

// The file offset of the first section's raw data, from the headers.
uint32_t FirstSectionData(const Bytes& exe) {
    const uint32_t pe = Get32(&exe[0x3C]);
    const uint32_t optionalSize = uint32_t(exe[pe + 20] | exe[pe + 21] << 8);
    return Get32(&exe[pe + 24 + optionalSize + 20]);
}

// ---- Watching the child -------------------------------------------------------------------

struct Box {
    std::wstring title;
    std::vector<std::wstring> texts;  // of its static controls
};

enum class Answer { kOK, kCancel };

struct ChildRun {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<Box> boxes;
    int unexpectedBoxes = 0;
};

struct FindBox {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBoxOfProcess(HWND window, LPARAM param) {
    FindBox& find = *reinterpret_cast<FindBox*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (owner == find.processId && std::wcscmp(cls, L"#32770") == 0 && IsWindowVisible(window)) {
        find.found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (_wcsicmp(cls, L"Static") == 0) {
        wchar_t text[2048] = {};
        GetWindowTextW(child, text, 2048);
        if (text[0]) reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
    }
    return TRUE;
}

// Runs the executable in folder, answering each message box it shows in turn.
ChildRun RunChild(const std::wstring& exe, const std::wstring& folder,
                  const std::vector<Answer>& answers) {
    ChildRun run;
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
        return run;
    run.started = true;
    const DWORD started = GetTickCount();
    HWND answered = nullptr;
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - started > kChildTimeoutMs) {
            run.timedOut = true;
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 10000);
            break;
        }
        if (answered && IsWindow(answered)) continue;  // still closing
        FindBox find{process.dwProcessId, nullptr};
        EnumWindows(FindBoxOfProcess, reinterpret_cast<LPARAM>(&find));
        if (!find.found) continue;
        Box box;
        wchar_t title[256] = {};
        GetWindowTextW(find.found, title, 256);
        box.title = title;
        EnumChildWindows(find.found, CollectStaticText, reinterpret_cast<LPARAM>(&box.texts));
        Answer answer = Answer::kOK;
        if (run.boxes.size() < answers.size())
            answer = answers[run.boxes.size()];
        else
            ++run.unexpectedBoxes;
        run.boxes.push_back(box);
        const int id = answer == Answer::kOK ? IDOK : IDCANCEL;
        PostMessageW(find.found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(find.found, id)));
        answered = find.found;
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

bool HasText(const Box& box, const std::wstring& text) {
    for (const std::wstring& t : box.texts)
        if (t == text) return true;
    return false;
}

bool ContainsText(const Box& box, const std::wstring& part) {
    for (const std::wstring& t : box.texts)
        if (t.find(part) != std::wstring::npos) return true;
    return false;
}

std::string Narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out.push_back(c < 128 ? char(c) : '?');
    return out;
}

std::string Describe(const ChildRun& run) {
    std::string out = "exit code " + std::to_string(run.exitCode) +
                      (run.timedOut ? ", timed out" : "") + ", boxes:";
    for (const Box& b : run.boxes) {
        out += "\n  [" + Narrow(b.title) + "]";
        for (const std::wstring& t : b.texts) out += "\n    " + Narrow(t);
    }
    return out;
}

class ModuleEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(GetFileAttributesW(RuntimeExe().c_str()), INVALID_FILE_ATTRIBUTES)
            << "the runtime executable is missing";
        run_ = FreshFolder();
        exeFolder_ = FreshFolder();
    }
    void TearDown() override {
        RemoveFolder(run_);
        RemoveFolder(exeFolder_);
    }
    std::wstring Trace() const { return run_ + L"\\trace.log"; }

    std::wstring run_;        // the working directory of the child
    std::wstring exeFolder_;  // where a stamped copy of the executable lives
};

const std::string kExpectedTrace = std::string(kTraceText) + "\r\n";

TEST_F(ModuleEndToEnd, DevelopmentFilesAreLinkedAndRun) {
    WriteDevelopmentFiles(run_, TraceModule(false));
    const ChildRun run = RunChild(RuntimeExe(), run_, {});
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run);
    EXPECT_EQ(ReadText(Trace()), kExpectedTrace);
}

TEST_F(ModuleEndToEnd, ImageAppendedToTheExecutableRunsInAnEmptyFolder) {
    const std::wstring exe = exeFolder_ + L"\\app.exe";
    WriteStampedExecutable(exe, ImageOf(TraceModule(false)));
    const ChildRun run = RunChild(exe, run_, {});
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run);
    EXPECT_EQ(ReadText(Trace()), kExpectedTrace);
}

// Loads that fail show one box and end with exit code 0.
TEST_F(ModuleEndToEnd, FailedLoadsShowTheirMessageAndExitCleanly) {
    enum class Setup { kMissingDataFile, kTruncatedImage, kLoopingChainImage };
    struct Case {
        const char* what;
        Setup setup;
        const wchar_t* message;
    } cases[] = {
        {"missing development file", Setup::kMissingDataFile,
         L"The application could not be loaded because the file data.dat could not be read."},
        {"truncated image", Setup::kTruncatedImage,
         L"The application could not be loaded because its module image is incomplete or "
         L"damaged."},
        {"looping chain", Setup::kLoopingChainImage,
         L"The application could not be loaded because its link records are damaged: the "
         L"chain of sites starting at code offset 6 does not end."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveFolder(run_);
        RemoveFolder(exeFolder_);
        CreateDirectoryW(run_.c_str(), nullptr);
        CreateDirectoryW(exeFolder_.c_str(), nullptr);
        std::wstring exe = RuntimeExe();
        Module module = TraceModule(false);
        if (c.setup == Setup::kMissingDataFile) {
            WriteDevelopmentFiles(run_, module, L"data.dat");
        } else {
            if (c.setup == Setup::kLoopingChainImage) module.code[6] = 6;  // site 6 links to itself
            Bytes image = ImageOf(module);
            if (c.setup == Setup::kTruncatedImage) image.resize(image.size() - 5);
            exe = exeFolder_ + L"\\app.exe";
            WriteStampedExecutable(exe, image);
        }
        const ChildRun run = RunChild(exe, run_, {Answer::kOK});
        ASSERT_TRUE(run.started);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << Describe(run);
        ASSERT_EQ(run.boxes.size(), 1u) << Describe(run);
        EXPECT_EQ(run.boxes[0].title, L"") << Describe(run);
        EXPECT_TRUE(HasText(run.boxes[0], c.message)) << Describe(run);
        EXPECT_EQ(ReadText(Trace()), "<missing>");
    }
}

// A name that is not exported is an assertion report: Cancel ends the process
// at once; after OK the load fails with its own message. The module never runs.
TEST_F(ModuleEndToEnd, MissingExportIsReportedAndTheModuleNeverRuns) {
    for (Answer answer : {Answer::kCancel, Answer::kOK}) {
        SCOPED_TRACE(answer == Answer::kOK ? "OK" : "Cancel");
        DeleteFileW(Trace().c_str());
        WriteDevelopmentFiles(run_, TraceModule(true));
        const ChildRun run = RunChild(RuntimeExe(), run_, {answer, Answer::kOK});
        ASSERT_TRUE(run.started);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << Describe(run);
        ASSERT_EQ(run.boxes.size(), answer == Answer::kOK ? 2u : 1u) << Describe(run);
        EXPECT_EQ(run.boxes[0].title, L"Failed Assertion");
        EXPECT_TRUE(ContainsText(run.boxes[0], L"loaderX86: 206")) << Describe(run);
        EXPECT_TRUE(ContainsText(run.boxes[0], L"Failure Condition: foundFunction")) << Describe(run);
        EXPECT_TRUE(ContainsText(run.boxes[0], L"Function 'noSuchEntryPoint' was not exported"))
            << Describe(run);
        if (answer == Answer::kOK) {
            EXPECT_EQ(run.boxes[1].title, L"") << Describe(run);
            EXPECT_TRUE(HasText(run.boxes[1],
                                L"The application could not be loaded because the runtime does "
                                L"not export the function noSuchEntryPoint."))
                << Describe(run);
        }
        EXPECT_EQ(ReadText(Trace()), "<missing>");
    }
}

// The locator of a stamped copy pointing elsewhere than at the image: inside
// the runtime's own headers or sections, even at a well-formed image forged
// there, one byte into the image, or at an image that runs past the end of
// the file. Each is a damaged image: one box, exit code 0, nothing run.
TEST_F(ModuleEndToEnd, LocatorNotAtAWholeImageIsADamagedImage) {
    Bytes runtime;
    ASSERT_TRUE(ReadBytes(RuntimeExe(), runtime));
    const uint32_t imageAt = uint32_t(runtime.size());
    // ud2: run, it ends the process with Wine's illegal instruction report.
    Module trap;
    trap.code = {0x0F, 0x0B};
    const Bytes trapImage = ImageOf(trap);  // 22 bytes: fits in the DOS stub at 0x40..0x7F
    const Bytes traceImage = ImageOf(TraceModule(false));
    enum class Damage { kOffset, kForged, kCodeCountPastTheEnd };
    const struct {
        const char* what;
        Damage damage;
        uint32_t offset;
        const Bytes* forged;  // written over the runtime's bytes at offset
    } cases[] = {
        {"offset 8, in the headers", Damage::kOffset, 8, nullptr},
        {"offset of the first section", Damage::kOffset, FirstSectionData(runtime), nullptr},
        {"image forged into the headers", Damage::kForged, 0x40, &trapImage},
        // The runtime's last bytes are its symbol names, never read at run time.
        {"image forged over the runtime's last bytes", Damage::kForged,
         imageAt - uint32_t(traceImage.size()), &traceImage},
        {"one byte into the image", Damage::kOffset, imageAt + 1, nullptr},
        {"image runs past the end of the file", Damage::kCodeCountPastTheEnd, imageAt, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(Trace().c_str());
        Bytes image = traceImage;
        if (c.damage == Damage::kCodeCountPastTheEnd) image[0] = uint8_t(image.size() - 3);
        const std::wstring exe = exeFolder_ + L"\\app.exe";
        WriteStampedExecutable(exe, image);
        if (c.forged) {
            Bytes bytes;
            ASSERT_TRUE(ReadBytes(exe, bytes));
            std::copy(c.forged->begin(), c.forged->end(), bytes.begin() + c.offset);
            ASSERT_TRUE(WriteBytes(exe, bytes));
        }
        SetLocatorOffset(exe, c.offset);
        const ChildRun run = RunChild(exe, run_, {Answer::kOK});
        ASSERT_TRUE(run.started);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << Describe(run);
        ASSERT_EQ(run.boxes.size(), 1u) << Describe(run);
        EXPECT_EQ(run.boxes[0].title, L"") << Describe(run);
        EXPECT_TRUE(HasText(run.boxes[0],
                            L"The application could not be loaded because its module image is "
                            L"incomplete or damaged."))
            << Describe(run);
        EXPECT_EQ(ReadText(Trace()), "<missing>");
    }
}

// ---- The sample module, built from C++ by the real toolchain ------------------------------

// What tests/sample_module writes, line by line.
std::string SampleTrace() {
    std::string digits;
    for (int i = 0; i < 28; ++i) digits += "0123456789";
    const std::string lines[] = {
        "sample: RuntimeInit returned",
        "shared line",
        "UTF-8: Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln \xE2\x80\x93 \xE6\x9D\xB1\xE4\xBA\xAC \xE2\x9C\x93",
        "ASCII: plain seven-bit text",
        "long literal: " + digits + " <end>",
        "long literal length byte: 255",
        "long literal length: 300",
        "literal read through its fields alone, first byte: 102",
        "UTF-8 literal tagged UTF-8",
        "ASCII literal tagged ASCII",
        "shared line",
        "traced through a pointer to lineTrace",
        "data global: 7",
        "data global: 8",
        "bss global: 0",
        "bss global: 40",
        "6 * 7 by a module call: 42",
        "refCount after 60 locks: 61",
        "refCount after 60 unlocks: 1",
        "apple pie",
        "refCount of a joined string: 1",
        "compare: less",
        "compare: greater",
        "compare: equal",
        "double: length * 0.1 is above 29.9",
        "double: length * 0.1 * 4 rounded: 120",
        "callback reached through a code address",
        "shared line",
        "plugin table of 3 slots, zeroed: yes",
        "class built once: yes",
        "subclass base is the counter class: yes",
        "counter initializer",
        "plus initializer",
        "plus method, value 6",
        "plus isa counter: yes",
        "plus finalizer",
        "counter finalizer",
        "NilObjectException",
        "intrinsic class instance size: 36",
        "sample: calling RuntimeExit",
    };
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

const wchar_t* const kDevelopmentFileNames[] = {L"import.dat", L"code.dat", L"data.dat", L"rsrc.dat",
                                                L"options.dat"};

std::wstring SampleExe() { return WideWinePath(ORVANE_SAMPLE_EXE); }
std::wstring SampleDevFile(const wchar_t* name) {
    return WideWinePath(ORVANE_SAMPLE_DEV_DIR) + L"\\" + name;
}

// The five blocks in file order: code, data, import, resource, options.
struct Blocks {
    Bytes code, data, imports, resources, options;
    Bytes* At(int i) { return i == 0 ? &code : i == 1 ? &data : i == 2 ? &imports : i == 3 ? &resources : &options; }
};

// Five u32-length-prefixed blocks starting at bytes[at]; false when one runs past the end.
bool DecodeBlocks(const Bytes& bytes, size_t at, Blocks& out, size_t& end) {
    for (int i = 0; i < 5; ++i) {
        if (at > bytes.size() || bytes.size() - at < 4) return false;
        const uint32_t n = Get32(&bytes[at]);
        at += 4;
        if (bytes.size() - at < n) return false;
        out.At(i)->assign(bytes.begin() + at, bytes.begin() + at + n);
        at += n;
    }
    end = at;
    return true;
}

// The image of a stamped executable, found through its locator.
bool BlocksOfStampedExecutable(const Bytes& exe, Blocks& out, std::string& why) {
    pe::ResourceData locator;
    if (!pe::FindModuleLocator(exe.data(), exe.size(), locator) || locator.size != 8) {
        why = "no locator";
        return false;
    }
    const uint32_t offset = Get32(&exe[locator.fileOffset]);
    if (std::memcmp(&exe[locator.fileOffset + 4], "POKE", 4) != 0) {
        why = "media word is not POKE";
        return false;
    }
    size_t end = 0;
    if (offset >= exe.size() || !DecodeBlocks(exe, offset, out, end)) {
        why = "image at " + std::to_string(offset) + " runs past the end";
        return false;
    }
    if (end != exe.size()) {
        why = "bytes after the image";
        return false;
    }
    return true;
}

// An import record as the loader reads it; type-1 chains already walked.
struct Record {
    uint8_t type = 0;
    uint8_t mode = 0;
    uint32_t site = 0;
    std::string name;
    std::vector<uint32_t> sites;  // type 1
};

// Reads the import block independently of the builder's own decoder.
bool DecodeRecords(const Blocks& b, std::vector<Record>& out, std::string& why) {
    const Bytes& in = b.imports;
    size_t at = 0;
    auto need = [&](size_t n) { return in.size() - at >= n; };
    auto fail = [&](const std::string& message) {
        why = message;
        return false;
    };
    auto inCode = [&](uint32_t site) { return b.code.size() >= 4 && site <= b.code.size() - 4; };
    while (at < in.size()) {
        Record r;
        r.type = in[at++];
        if (r.type == 1) {
            if (!need(6)) return fail("cut-off type-1 record");
            r.mode = in[at];
            r.site = Get32(&in[at + 1]);
            const size_t n = in[at + 5];
            at += 6;
            if (!need(n + 1) || in[at + n] != 0) return fail("bad name");
            r.name.assign(in.begin() + at, in.begin() + at + n);
            at += n + 1;
            for (uint32_t s = r.site; s != 0; s = Get32(&b.code[s])) {
                if (!inCode(s) || r.sites.size() > b.code.size())
                    return fail("chain of " + r.name + " leaves the code or loops");
                r.sites.push_back(s);
            }
        } else if (r.type == 2 || r.type == 3 || r.type == 5) {
            if (!need(4)) return fail("cut-off record");
            r.site = Get32(&in[at]);
            at += 4;
            if (!inCode(r.site)) return fail("site outside the code");
        } else {
            return fail("record type " + std::to_string(r.type));
        }
        out.push_back(r);
    }
    return true;
}

// The builder's map: symbol -> every (block, offset) it was placed at.
std::multimap<std::string, std::pair<char, uint32_t>> ReadMap(const std::string& text) {
    std::multimap<std::string, std::pair<char, uint32_t>> map;
    std::istringstream in(text);
    std::string block, offset, symbol;
    while (in >> block >> offset >> symbol)
        map.emplace(symbol, std::make_pair(block[0], uint32_t(std::stoul(offset, nullptr, 16))));
    return map;
}

class SampleModule : public ModuleEndToEnd {};

// Both ways of running it: the bare runtime reading the development files,
// and the stamped executable alone in a folder, run from an empty one.
TEST_F(SampleModule, RunsAndWritesTheExpectedTrace) {
    enum class Way { kDevelopmentFiles, kStampedExecutable };
    for (Way way : {Way::kDevelopmentFiles, Way::kStampedExecutable}) {
        SCOPED_TRACE(way == Way::kDevelopmentFiles ? "development files" : "stamped executable");
        RemoveFolder(run_);
        RemoveFolder(exeFolder_);
        ASSERT_TRUE(CreateDirectoryW(run_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(exeFolder_.c_str(), nullptr));
        std::wstring exe = RuntimeExe();
        if (way == Way::kDevelopmentFiles) {
            for (const wchar_t* name : kDevelopmentFileNames)
                ASSERT_TRUE(CopyFileW(SampleDevFile(name).c_str(), (run_ + L"\\" + name).c_str(), FALSE))
                    << Narrow(name);
        } else {
            exe = exeFolder_ + L"\\SampleModule.exe";
            ASSERT_TRUE(CopyFileW(SampleExe().c_str(), exe.c_str(), FALSE)) << "no stamped sample";
        }
        const ChildRun run = RunChild(exe, run_, {});
        ASSERT_TRUE(run.started);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << Describe(run);
        EXPECT_TRUE(run.boxes.empty()) << Describe(run);
        EXPECT_EQ(ReadText(Trace()), SampleTrace());
    }
}

// The stamped image, the image file and the development files hold the same
// blocks, with the records the sample's constructs must produce.
TEST(SampleModuleImage, HoldsEveryRecordKindItsCodeNeeds) {
    Bytes exe, imageFile;
    ASSERT_TRUE(ReadBytes(SampleExe(), exe)) << "no stamped sample";
    ASSERT_TRUE(ReadBytes(WideWinePath(ORVANE_SAMPLE_IMAGE), imageFile));
    Blocks b, fromFile;
    std::string why;
    ASSERT_TRUE(BlocksOfStampedExecutable(exe, b, why)) << why;
    size_t end = 0;
    ASSERT_TRUE(DecodeBlocks(imageFile, 0, fromFile, end));
    EXPECT_EQ(end, imageFile.size());
    const wchar_t* const blockFiles[5] = {L"code.dat", L"data.dat", L"import.dat", L"rsrc.dat",
                                          L"options.dat"};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(Narrow(blockFiles[i]));
        Bytes dev;
        ASSERT_TRUE(ReadBytes(SampleDevFile(blockFiles[i]), dev));
        EXPECT_TRUE(dev == *b.At(i));
        EXPECT_TRUE(*fromFile.At(i) == *b.At(i));
    }
    EXPECT_TRUE(b.resources.empty());
    EXPECT_TRUE(b.options.empty());

    std::vector<Record> records;
    ASSERT_TRUE(DecodeRecords(b, records, why)) << why;

    // What the loader refuses, the builder and the stamp step never make: the
    // image lies behind the runtime's own bytes, and every type-2 and type-3
    // operand lies in its block or at its end.
    {
        HANDLE file = CreateFileW(SampleExe().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        uint64_t ownEnd = 0;
        const bool found = ExecutableOwnBytesEnd(file, ownEnd);
        CloseHandle(file);
        ASSERT_TRUE(found);
        Bytes runtime;
        ASSERT_TRUE(ReadBytes(RuntimeExe(), runtime));
        EXPECT_EQ(ownEnd, runtime.size());
        pe::ResourceData locator;
        ASSERT_TRUE(pe::FindModuleLocator(exe.data(), exe.size(), locator));
        EXPECT_GE(Get32(&exe[locator.fileOffset]), ownEnd);
    }
    for (const Record& r : records) {
        if (r.type != 2 && r.type != 3) continue;
        const size_t blockSize = r.type == 2 ? b.data.size() : b.code.size();
        EXPECT_LE(Get32(&b.code[r.site]), blockSize) << "type " << int(r.type) << ", site " << r.site;
    }
    const auto map = ReadMap(ReadText(WideWinePath(ORVANE_SAMPLE_MAP)));
    auto only = [&](const std::string& symbol, char block) -> uint32_t {
        auto range = map.equal_range(symbol);
        EXPECT_NE(range.first, range.second) << symbol << " not in the map";
        for (auto it = range.first; it != range.second; ++it) {
            EXPECT_EQ(it->second.first, block) << symbol;
            EXPECT_EQ(it->second.second, range.first->second.second) << symbol << " placed twice";
        }
        return range.first != range.second ? range.first->second.second : 0xFFFFFFFFu;
    };
    // What a site of a type 2, 3 or 5 record holds before linking: the offset it adds a base to.
    auto sitesHolding = [&](uint8_t type, uint32_t value) {
        int n = 0;
        for (const Record& r : records)
            if (r.type == type && Get32(&b.code[r.site]) == value) ++n;
        return n;
    };

    // Entry-point chains: (name, mode) -> sites.
    std::map<std::pair<std::string, int>, size_t> chains;
    std::map<int, int> kinds;  // type * 10 + mode (type 1), type * 10 otherwise
    for (const Record& r : records) {
        ++kinds[r.type * 10 + (r.type == 1 ? r.mode : 0)];
        if (r.type == 1) {
            EXPECT_TRUE(chains.emplace(std::make_pair(r.name, int(r.mode)), r.sites.size()).second)
                << "two chains for " << r.name;
        }
    }
    const struct {
        const char* what;
        int kind;
    } kindCases[] = {
        {"type 1 mode 1 (calls of entry points)", 11}, {"type 1 mode 0 (addresses of entry points)", 10},
        {"type 2 (data)", 20},                         {"type 3 (code addresses)", 30},
        {"type 5 (literals)", 50},
    };
    for (const auto& c : kindCases) EXPECT_GT(kinds[c.kind], 0) << c.what;

    const struct {
        const char* name;
        int mode;
        size_t sites;  // 0: at least one
    } chainCases[] = {
        // SampleLockSixty, and the class builder locking the five literals it
        // stores (two names, two signatures, one declaration).
        {"RuntimeLockString", 1, 65},
        {"lineTrace", 0, 2},           // gTracer and the plugin table slot
        {"RuntimeInit", 1, 1},
        {"RuntimeExit", 1, 1},
        {"RuntimeAllocatePluginEntrypointsTable", 1, 1},
        {"RuntimeStringCompare", 1, 3},
        {"lineTrace", 1, 0},
        {"RuntimeUnlockString", 1, 0},
        {"RuntimeAddString", 1, 0},
    };
    for (const auto& c : chainCases) {
        SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(c.mode));
        auto it = chains.find({c.name, c.mode});
        ASSERT_NE(it, chains.end());
        if (c.sites)
            EXPECT_EQ(it->second, c.sites);
        else
            EXPECT_GT(it->second, 0u);
    }
    EXPECT_GE(chains[std::make_pair(std::string("RuntimeUnlockString"), 1)], 60u);

    // Byte 0 is the entry; the code addresses stored are the callback's.
    EXPECT_EQ(only("_OrvaneModuleEntry", 'c'), 0u);
    const uint32_t callback = only("_SampleCallback", 'c');
    EXPECT_EQ(sitesHolding(3, callback), 2u) << "gCallback and the plugin table slot";
    // The rest are the sample classes' initializers, finalizers and methods.
    EXPECT_EQ(kinds[30], 8);

    // Globals: .data keeps its value, .bss is zero-filled; both reached by type-2 sites.
    const uint32_t dataValue = only("_gSampleDataValue", 'd');
    const uint32_t bssValue = only("_gSampleBssValue", 'd');
    ASSERT_LE(dataValue, b.data.size() - 4);
    ASSERT_LE(bssValue, b.data.size() - 4);
    EXPECT_EQ(Get32(&b.data[dataValue]), 7u);
    EXPECT_EQ(Get32(&b.data[bssValue]), 0u);
    EXPECT_GT(sitesHolding(2, dataValue), 0);
    EXPECT_GT(sitesHolding(2, bssValue), 0);

    // Every type-5 site points at a complete literal record that is not linked yet.
    for (const Record& r : records) {
        if (r.type != 5) continue;
        const uint32_t at = Get32(&b.code[r.site]);
        ASSERT_LE(at, b.data.size() - 22) << "literal at " << at;
        EXPECT_EQ(Get32(&b.data[at]), 1u) << "refCount of the literal at " << at;
        EXPECT_EQ(Get32(&b.data[at + 4]), 0u) << "text of the literal at " << at;
        const uint32_t length = Get32(&b.data[at + 12]);
        ASSERT_LE(length, b.data.size() - at - 22);
        EXPECT_EQ(Get32(&b.data[at + 8]), length + 2);
        EXPECT_EQ(b.data[at + 20], length < 256 ? length : 255u);
        EXPECT_EQ(b.data[at + 21 + length], 0);
    }

    // The header's literal: one record in each object, folded into one, traced from three places.
    const std::string shared = "shared line";
    EXPECT_EQ(map.count("__ZL11kSharedLine"), 2u);
    const uint32_t sharedAt = only("__ZL11kSharedLine", 'd');
    int copies = 0;
    for (size_t i = 0; i + shared.size() <= b.data.size(); ++i)
        if (std::memcmp(&b.data[i], shared.data(), shared.size()) == 0) ++copies;
    EXPECT_EQ(copies, 1);
    EXPECT_GE(sitesHolding(5, sharedAt), 3);

    // The long literal: 300 bytes, length byte 255.
    const uint32_t longAt = only("__ZN12_GLOBAL__N_1L5kLongE", 'd');
    ASSERT_LE(longAt, b.data.size() - 322);
    EXPECT_EQ(Get32(&b.data[longAt + 12]), 300u);
    EXPECT_EQ(b.data[longAt + 20], 255);
    EXPECT_GT(sitesHolding(5, longAt), 0);

    // Encodings as written: the UTF-8 and the ASCII literal.
    const struct {
        const char* symbol;
        uint32_t encoding;
    } encodingCases[] = {{"__ZN12_GLOBAL__N_1L5kUtf8E", 0x08000100u}, {"__ZN12_GLOBAL__N_1L6kAsciiE", 0x600u}};
    for (const auto& c : encodingCases) {
        const uint32_t at = only(c.symbol, 'd');
        ASSERT_LE(at, b.data.size() - 22) << c.symbol;
        EXPECT_EQ(Get32(&b.data[at + 16]), c.encoding) << c.symbol;
    }
}

// ---- The resource reader on the real executable ----------------------------------------------

TEST(PeResource, FindsTheLocatorOfTheRuntimeExecutable) {
    Bytes exe;
    ASSERT_TRUE(ReadBytes(RuntimeExe(), exe));
    pe::ResourceData locator;
    ASSERT_TRUE(pe::FindModuleLocator(exe.data(), exe.size(), locator));
    ASSERT_EQ(locator.size, 8u);
    EXPECT_EQ(std::memcmp(exe.data() + locator.fileOffset, "PICKPOKE", 8), 0);
    // The lookup is by type name and id: other ids and names are not found.
    pe::ResourceData other;
    EXPECT_FALSE(pe::FindResourceData(exe.data(), exe.size(), "PICKLE", 102, other));
    EXPECT_FALSE(pe::FindResourceData(exe.data(), exe.size(), "PICKL", 101, other));
    EXPECT_FALSE(pe::FindResourceData(exe.data(), exe.size(), "PICKLES", 101, other));
    EXPECT_TRUE(pe::FindResourceData(exe.data(), exe.size(), "pickle", 101, other));
    EXPECT_EQ(other.fileOffset, locator.fileOffset);
}

TEST(PeResource, CutOrDamagedFilesNeverLeadOutsideTheBuffer) {
    Bytes exe;
    ASSERT_TRUE(ReadBytes(RuntimeExe(), exe));
    pe::ResourceData locator;
    ASSERT_TRUE(pe::FindModuleLocator(exe.data(), exe.size(), locator));
    // Every cut of the headers, and every cut around the resource directory and data.
    const size_t end = locator.fileOffset + locator.size;
    std::vector<size_t> lengths;
    for (size_t n = 0; n < 4096 && n < exe.size(); ++n) lengths.push_back(n);
    for (size_t n = end > 8192 ? end - 8192 : 0; n <= end + 16 && n <= exe.size(); ++n)
        lengths.push_back(n);
    for (size_t n : lengths) {
        pe::ResourceData found;
        if (pe::FindModuleLocator(exe.data(), n, found)) {
            ASSERT_LE(uint64_t(found.fileOffset) + found.size, n) << n;
        } else {
            ASSERT_LT(n, end) << n;  // once the data is inside, the headers are too
        }
    }
    // Random damage to the headers and the resource directory.
    std::mt19937 random(77u);
    const uint32_t peOffset = Get32(exe.data() + 0x3C);
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged(exe.begin(), exe.begin() + end);
        for (int k = 0; k < 4; ++k) {
            const size_t at = round % 2 ? peOffset + random() % 512
                                        : (locator.fileOffset > 4096 ? locator.fileOffset - 4096 : 0) +
                                              random() % 4104;
            if (at < damaged.size()) damaged[at] = uint8_t(random());
        }
        pe::ResourceData found;
        if (pe::FindModuleLocator(damaged.data(), damaged.size(), found)) {
            ASSERT_LE(uint64_t(found.fileOffset) + found.size, damaged.size()) << round;
        }
    }
    pe::ResourceData none;
    const Bytes text(64, 'M');
    EXPECT_FALSE(pe::FindModuleLocator(text.data(), text.size(), none));
    EXPECT_FALSE(pe::FindModuleLocator(nullptr, 0, none));
}

}  // namespace
