// End to end: a tiny hand-assembled module run by the real runtime executable,
// from development files and appended behind a copy of the executable, and
// the message boxes of loads that fail. Each child process is watched with
// timeouts and killed if anything goes wrong, so no test can hang.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

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

// The executable as Wine sees it: the Linux path on drive Z:.
std::wstring RuntimeExe() {
    std::string path = ORVANE_RUNTIME_EXE;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return Widen(path);
}

std::wstring FreshFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"orvane_e2e_" +
                          std::to_wstring(GetCurrentProcessId()) + L"_" +
                          std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

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
// at once, OK lets linking go on and the module run.
TEST_F(ModuleEndToEnd, MissingExportIsAnAssertionReport) {
    struct Case {
        Answer answer;
        std::string trace;
    } cases[] = {{Answer::kCancel, "<missing>"}, {Answer::kOK, kExpectedTrace}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer == Answer::kOK ? "OK" : "Cancel");
        DeleteFileW(Trace().c_str());
        WriteDevelopmentFiles(run_, TraceModule(true));
        const ChildRun run = RunChild(RuntimeExe(), run_, {c.answer});
        ASSERT_TRUE(run.started);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << Describe(run);
        ASSERT_EQ(run.boxes.size(), 1u) << Describe(run);
        EXPECT_EQ(run.boxes[0].title, L"Failed Assertion");
        EXPECT_TRUE(ContainsText(run.boxes[0], L"loaderX86: 206")) << Describe(run);
        EXPECT_TRUE(ContainsText(run.boxes[0], L"Failure Condition: foundFunction")) << Describe(run);
        EXPECT_TRUE(ContainsText(run.boxes[0], L"Function 'noSuchEntryPoint' was not exported"))
            << Describe(run);
        EXPECT_EQ(ReadText(Trace()), c.trace);
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
