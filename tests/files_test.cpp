// Folder items (path model, creation, navigation, special folders, shortcuts)
// and text input streams (line endings, block boundaries, large lines,
// closing, unreadable files).
#include "objects/ObjectDefinition.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/FileStream.h"
#include "files/FolderItemImpWin32.h"
#include "files/FolderPath.h"
#include "files/SystemFolders.h"
#include "files/TextInputStream.h"
#include "files/Win32FileCalls.h"
#include "files/runFolderItem.h"
#include "loader/relocentry.h"
#include "objects/RuntimeObjectFoundation.h"
#include "orvane/exports.h"
#include "strings/TextEncodingUtil.h"
#include "tests/TestFiles.h"
#include "tests/TestStrings.h"
#include "tests/TestSupport.h"

namespace {

// ---- Helpers --------------------------------------------------------------------------

std::string Narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string Taken(StringValue* s) { return Bytes(StringHandle::Adopt(s)); }

// A TextEncoding stand-in: header, base, variant, format, valid, code.
ObjectHeader* gUtf8Encoding = nullptr;
ObjectHeader* gShiftJisEncoding = nullptr;

ObjectHeader* MakeEncodingObject(uint32_t code) {
    static ClassRecord* cls = [] {
        ClassRecord* c = RuntimeNewClass(nullptr, 0, 0, 0, 0, 0);
        c->instanceSize = 48;
        return c;
    }();
    ObjectHeader* e = RuntimeNewObject(cls);
    std::memcpy(reinterpret_cast<uint8_t*>(e) + kTextEncodingCodeAt, &code, 4);
    return e;
}

ObjectHeader* SharedEncoding(uint32_t code) {
    ObjectHeader* e = code == kEncodingUTF8 ? gUtf8Encoding : nullptr;
    RuntimeLockObject(e);
    return e;
}

class EncodingEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        gUtf8Encoding = MakeEncodingObject(kEncodingUTF8);
        gShiftJisEncoding = MakeEncodingObject(0x0A01);
        SetTextStreamEncodingSource(SharedEncoding);
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new EncodingEnvironment);

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        liveBefore_ = RuntimeLiveObjectCount();
        folder_ = FreshTempFolder(L"files");
    }
    void TearDown() override {
        RemoveFolder(folder_);
        EXPECT_EQ(RuntimeLiveObjectCount(), liveBefore_);
    }

    std::wstring File(const std::wstring& name) const { return folder_ + L"\\" + name; }
    std::string FolderUtf8() const { return Narrow(folder_); }
    std::string FileUtf8(const std::wstring& name) const { return Narrow(File(name)); }

    void Write(const std::wstring& name, const std::string& bytes) {
        HANDLE h = CreateFileW(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        if (!bytes.empty()) WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(h);
        ASSERT_EQ(written, DWORD(bytes.size()));
    }

    ObjectHeader* Item(const std::string& path) { return RuntimeGetTrueFolderItem(Utf8(path).Get()); }

    ObjectHeader* Open(const std::wstring& name) {
        ObjectHeader* item = Item(FileUtf8(name));
        if (!item) return nullptr;
        ObjectHeader* stream = FolderItemOpenTextFile(item);
        RuntimeUnlockObject(item);
        return stream;
    }

    // Every line until EOF ("<nil>" for an empty one); at most limit lines.
    std::vector<std::string> Lines(ObjectHeader* stream, int limit = 1000) {
        std::vector<std::string> out;
        while (!TextInputStreamEOF(stream, 0) && int(out.size()) < limit) {
            StringHandle line = StringHandle::Adopt(TextInputStreamReadLine(stream, nullptr));
            out.push_back(line.IsEmpty() ? "<nil>" : Bytes(line));
        }
        return out;
    }

    std::wstring folder_;
    int32_t liveBefore_ = 0;
};

std::string AbsolutePath(ObjectHeader* item) { return Taken(fileAbsolutePathGetter(item, 0)); }
std::string Name(ObjectHeader* item) { return Taken(fileNameGetter(item, 0)); }

// ---- Path model -----------------------------------------------------------------------

struct SplitCase {
    const char* path;
    const char* volume;
    const char* directory;
    const char* name;
};

TEST(FolderPathTest, SplitsVolumeDirectoryAndName) {
    const SplitCase cases[] = {
        {"C:\\a\\b.txt", "C:\\", "a\\", "b.txt"},
        {"C:\\b.txt", "C:\\", "", "b.txt"},
        {"C:", "C:", "", "C:"},
        {"C:\\", "C:", "", "C:"},
        {"\\\\srv\\share\\f.csv", "\\\\", "srv\\share\\", "f.csv"},
        {"\\\\srv", "\\\\", "", "srv"},
        {"plain.txt", "", "", "plain.txt"},
        {"a\\b.txt", "", "", "a\\b.txt"},
        {"", "", "", ""},
    };
    for (const SplitCase& c : cases) {
        std::string p = c.path;
        PathSplit s = SplitPath(p.data(), int32_t(p.size()));
        EXPECT_EQ(p.substr(0, size_t(s.volumeLength)), c.volume) << p;
        EXPECT_EQ(p.substr(size_t(s.directoryStart), size_t(s.directoryLength)), c.directory) << p;
        EXPECT_EQ(p.substr(size_t(s.nameStart), size_t(s.nameLength)), c.name) << p;
    }
}

TEST(FolderPathTest, RootsAreDrivesAndShares) {
    const std::pair<const char*, bool> cases[] = {
        {"C:", true},          {"C:\\", true},       {"C:\\a", false},     {"\\\\srv\\share", true},
        {"\\\\srv\\share\\x", false}, {"\\\\srv", false}, {"plain", false}, {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsRootPathText(Utf8(c.first)), c.second) << c.first;
}

TEST(FolderPathTest, WindowsErrorsMapToLastErrorCodes) {
    const std::pair<uint32_t, int32_t> cases[] = {
        {2, 101},  {3, 101},   {15, 101},  {5, 102},   {16, 102},  {19, 102},  {29, 102},  {30, 102},
        {65, 102}, {108, 102}, {148, 102}, {266, 102}, {8, 103},   {14, 103},  {39, 103},  {26, 104},
        {32, 104}, {33, 104},  {123, 105}, {161, 105}, {267, 105}, {1006, 105}, {0, 0},    {87, 87},
    };
    for (const auto& c : cases) EXPECT_EQ(FolderItemErrorFromWindows(c.first), c.second) << c.first;
}

TEST(FolderPathTest, NetworkAndDriveTextsAreUsedUnchanged) {
    StringHandle base = Utf8("C:\\app");
    EXPECT_EQ(Bytes(CombineWithBase(base, Utf8("\\\\srv\\share\\f"))), "\\\\srv\\share\\f");
    EXPECT_EQ(Bytes(CombineWithBase(base, Utf8("D:\\x"))), "D:\\x");
    EXPECT_EQ(Bytes(CombineWithBase(base, Utf8("x\\y"))), "C:\\app\\x\\y");  // not a network path
    EXPECT_EQ(Bytes(CombineWithBase(base, Utf8("\\x"))), "C:\\app\\\\x");
    EXPECT_EQ(Bytes(CombineWithBase(base, StringHandle())), "C:\\app\\");
    FolderItemImpWin32* share = FolderItemImpWin32::FromText(Utf8("\\\\nosuchserver\\share\\"));
    EXPECT_EQ(Bytes(share->Path()), "\\\\nosuchserver\\share");
    EXPECT_TRUE(share->IsRoot());
    delete share;
}

// ---- Class records ------------------------------------------------------------------------

TEST(FileClassesTest, ClassesAndEntryNamesAreRegistered) {
    RegisterDefinition(FolderItemDefinition());
    RegisterDefinition(TextInputStreamDefinition());
    ClassRecord* item = RuntimeLookupClass(Ascii("FolderItem").Get());
    ClassRecord* stream = RuntimeLookupClass(Ascii("TextInputStream").Get());
    ASSERT_NE(item, nullptr);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(item->instanceSize, 32);
    EXPECT_EQ(stream->instanceSize, 1068);
    EXPECT_EQ(Bytes(StringHandle::Borrow(item->properties[0].declaration)), "AbsolutePath%s");
    EXPECT_EQ(item->properties[0].getter, reinterpret_cast<void*>(&fileAbsolutePathGetter));
    EXPECT_EQ(Bytes(StringHandle::Borrow(stream->properties[1].declaration)), "Encoding%o<TextEncoding>");
    EXPECT_EQ(stream->properties[1].parameter, kTextInputStreamEncodingAt);
    const std::pair<const char*, void*> names[] = {
        {"fileAbsolutePathGetter", reinterpret_cast<void*>(&fileAbsolutePathGetter)},
        {"folderFindFolder", reinterpret_cast<void*>(&folderFindFolder)},
        {"FolderItemSetLastError", reinterpret_cast<void*>(&FolderItemSetLastError)},
        {"FolderItemOpenTextFile", reinterpret_cast<void*>(&FolderItemOpenTextFile)},
        {"TextInputStreamReadLine", reinterpret_cast<void*>(&TextInputStreamReadLine)},
        {"TextInputStreamEOF", reinterpret_cast<void*>(&TextInputStreamEOF)},
        {"TextInputStreamClose", reinterpret_cast<void*>(&TextInputStreamClose)},
        {"RuntimeGetFolderItem", reinterpret_cast<void*>(&RuntimeGetFolderItem)},
    };
    for (const auto& n : names) {
        const ExportRow* row = ExportLookup(Ascii(n.first).Get());
        ASSERT_NE(row, nullptr) << n.first;
        EXPECT_EQ(row->entry, n.second) << n.first;
    }
}

// ---- Creating items ---------------------------------------------------------------------

TEST_F(FilesTest, EmptyTextGivesTheApplicationFolder) {
    ObjectHeader* item = RuntimeGetFolderItem(nullptr);
    ASSERT_NE(item, nullptr);
    std::string app = Bytes(ApplicationFolder());
    EXPECT_EQ(AbsolutePath(item), app + "\\");
    EXPECT_TRUE(fileDirectoryGetter(item, 0));
    EXPECT_EQ(StringEncoding(StringHandle::Adopt(fileAbsolutePathGetter(item, 0)).Get()), kEncodingUTF8);
    RuntimeUnlockObject(item);
}

TEST_F(FilesTest, RelativeNamesLieInTheApplicationFolder) {
    std::string app = Bytes(ApplicationFolder());
    for (const char* text : {"nosuchfile.csv", "ASCII"}) {
        StringHandle t = std::string(text) == "ASCII" ? Ascii("other.txt") : Utf8(text);
        ObjectHeader* item = RuntimeGetFolderItem(t.Get());
        ASSERT_NE(item, nullptr) << text;
        EXPECT_EQ(AbsolutePath(item), app + "\\" + Bytes(t));
        EXPECT_FALSE(fileExistsGetter(item, 0));
        RuntimeUnlockObject(item);
    }
}

TEST_F(FilesTest, DrivePathsAndTrailingBackslashes) {
    Write(L"a.txt", "x");
    ObjectHeader* file = Item(FileUtf8(L"a.txt"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(AbsolutePath(file), FileUtf8(L"a.txt"));
    EXPECT_EQ(Name(file), "a.txt");
    EXPECT_TRUE(fileExistsGetter(file, 0));
    EXPECT_FALSE(fileDirectoryGetter(file, 0));
    RuntimeUnlockObject(file);

    ObjectHeader* folder = Item(FolderUtf8() + "\\");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(AbsolutePath(folder), FolderUtf8() + "\\");
    EXPECT_TRUE(fileDirectoryGetter(folder, 0));
    RuntimeUnlockObject(folder);
}

TEST_F(FilesTest, MissingFileInExistingFolderIsAnItemMissingFolderIsNil) {
    ObjectHeader* missing = Item(FileUtf8(L"missing.csv"));
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(fileExistsGetter(missing, 0));
    EXPECT_EQ(AbsolutePath(missing), FileUtf8(L"missing.csv"));
    RuntimeUnlockObject(missing);
    EXPECT_EQ(Item(FileUtf8(L"nofolder\\missing.csv")), nullptr);
    EXPECT_EQ(RuntimeGetFolderItem(Utf8("\\\\nosuchserver\\share\\x").Get()), nullptr);
}

TEST_F(FilesTest, TextWithNulIsNil) {
    std::string text = FileUtf8(L"a") + std::string(1, '\0') + "b";
    EXPECT_EQ(RuntimeGetFolderItem(Utf8(text).Get()), nullptr);
}

TEST_F(FilesTest, RootsOfADrive) {
    for (const char* text : {"C:", "C:\\"}) {
        ObjectHeader* root = Item(text);
        ASSERT_NE(root, nullptr) << text;
        EXPECT_EQ(AbsolutePath(root), "C:\\");
        EXPECT_EQ(Name(root), "C:");
        EXPECT_TRUE(fileDirectoryGetter(root, 0));
        EXPECT_TRUE(fileExistsGetter(root, 0));
        EXPECT_EQ(folderParentGetter(root, 0), nullptr);
        RuntimeUnlockObject(root);
    }
}

TEST_F(FilesTest, ParentAndChild) {
    Write(L"a.txt", "x");
    ObjectHeader* folder = Item(FolderUtf8());
    ASSERT_NE(folder, nullptr);
    ObjectHeader* child = FolderTrueChild(folder, Utf8("a.txt").Get());
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(AbsolutePath(child), FileUtf8(L"a.txt"));
    EXPECT_EQ(FolderChild(child, Utf8("b").Get()), nullptr);  // a file has no children
    ObjectHeader* parent = folderParentGetter(child, 0);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(AbsolutePath(parent), FolderUtf8() + "\\");
    ObjectHeader* missingChild = FolderChild(folder, Utf8("none.txt").Get());
    ASSERT_NE(missingChild, nullptr);
    EXPECT_FALSE(fileExistsGetter(missingChild, 0));

    // Up to the drive, which is a root.
    ObjectHeader* up = parent;
    RuntimeLockObject(up);
    for (int i = 0; i < 64; ++i) {
        ObjectHeader* next = folderParentGetter(up, 0);
        if (!next) break;
        RuntimeUnlockObject(up);
        up = next;
    }
    EXPECT_EQ(AbsolutePath(up), "C:\\");
    RuntimeUnlockObject(up);
    for (ObjectHeader* o : {folder, child, parent, missingChild}) RuntimeUnlockObject(o);
}

TEST_F(FilesTest, LastErrorCodeAndItemsWithoutImplementation) {
    ObjectHeader* folder = Item(FolderUtf8());
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(FolderItemGetLastError(folder, 0), 0);
    FolderItemSetLastError(folder, 0, 104);
    EXPECT_EQ(FolderItemGetLastError(folder, 0), 104);
    RuntimeUnlockObject(folder);

    ObjectHeader* bare = CreateInstance(FolderItemDefinition());
    ASSERT_NE(bare, nullptr);
    AssertionCapture capture;
    EXPECT_EQ(fileAbsolutePathGetter(bare, 0), nullptr);
    EXPECT_EQ(FolderItemGetLastError(bare, 0), 0);
    EXPECT_EQ(FolderItemOpenTextFile(bare), nullptr);
    ASSERT_EQ(capture.Reports().size(), 3u);
    EXPECT_EQ(capture.Reports()[0].condition, "entry->mImp");
    EXPECT_EQ(capture.Reports()[0].unit, "runFolderItem");
    EXPECT_EQ(capture.Reports()[1].condition, "obj->mImp");
    RuntimeUnlockObject(bare);
}

TEST_F(FilesTest, SystemFolders) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::string expected = Narrow(temp);
    ObjectHeader* t = folderFindFolder(nullptr, int32_t(kFolderTemporary));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(AbsolutePath(t), expected);
    RuntimeUnlockObject(t);
    EXPECT_EQ(folderFindFolder(nullptr, int32_t(kFolderSharedTrash)), nullptr);
    ObjectHeader* system = getSystemFolder();
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(fileDirectoryGetter(system, 0));
    RuntimeUnlockObject(system);
    EXPECT_EQ(getShutdownItemsFolder(), nullptr);
}

TEST_F(FilesTest, ShortcutsResolveToTheirTarget) {
    Write(L"target.txt", "T");
    std::wstring link = File(L"link.lnk");
    CoInitialize(nullptr);
    IShellLinkW* shell = nullptr;
    bool saved = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell)))) {
        shell->SetPath(File(L"target.txt").c_str());
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            saved = SUCCEEDED(file->Save(link.c_str(), TRUE));
            file->Release();
        }
        shell->Release();
    }
    CoUninitialize();
    if (!saved) GTEST_SKIP() << "no shell links here";
    ObjectHeader* resolved = RuntimeGetFolderItem(Utf8(Narrow(link)).Get());
    ObjectHeader* unresolved = RuntimeGetTrueFolderItem(Utf8(Narrow(link)).Get());
    ObjectHeader* plain = RuntimeGetFolderItem(Utf8(FileUtf8(L"target.txt")).Get());
    ASSERT_NE(resolved, nullptr);
    ASSERT_NE(unresolved, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(Name(resolved), "target.txt");
    EXPECT_EQ(AbsolutePath(unresolved), Narrow(link));
    EXPECT_EQ(AbsolutePath(plain), FileUtf8(L"target.txt"));
    for (ObjectHeader* o : {resolved, unresolved, plain}) RuntimeUnlockObject(o);
}

// ---- Text input streams -----------------------------------------------------------------

struct LineCase {
    std::string content;
    std::vector<std::string> lines;
};

TEST_F(FilesTest, LineEndings) {
    const std::string x1023(1023, 'x');
    const LineCase cases[] = {
        {"A\r\nB", {"A", "B"}},
        {"A\r\n", {"A"}},
        {"A\n\n", {"A", "<nil>"}},
        {"A\rB\nC", {"A", "B", "C"}},
        {"A\n\rB", {"A", "<nil>", "B"}},
        {x1023 + "\r\nB", {x1023, "B"}},        // CR is byte 1,024, LF starts the next block
        {x1023 + "\rB", {x1023, "B"}},
        {x1023 + "\r", {x1023}},
        {std::string(1024, 'y') + "\nZ", {std::string(1024, 'y'), "Z"}},
        {std::string(3000, 'z'), {std::string(3000, 'z')}},
    };
    for (const LineCase& c : cases) {
        Write(L"lines.txt", c.content);
        ObjectHeader* stream = Open(L"lines.txt");
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(Lines(stream), c.lines) << c.content.substr(0, 8);
        EXPECT_TRUE(TextInputStreamEOF(stream, 0));
        EXPECT_EQ(TextInputStreamReadLine(stream, nullptr), nullptr);
        TextInputStreamClose(stream);
        RuntimeUnlockObject(stream);
    }
}

TEST_F(FilesTest, LinesAreTaggedWithTheStreamOrTheGivenEncoding) {
    Write(L"t.txt", "one\ntwo\nthree");
    ObjectHeader* stream = Open(L"t.txt");
    ASSERT_NE(stream, nullptr);
    StringHandle one = StringHandle::Adopt(TextInputStreamReadLine(stream, nullptr));
    EXPECT_EQ(one.Encoding(), kEncodingUTF8);
    StringHandle two = StringHandle::Adopt(TextInputStreamReadLine(stream, gShiftJisEncoding));
    EXPECT_EQ(Bytes(two), "two");
    EXPECT_EQ(two.Encoding(), 0x0A01u);
    EXPECT_EQ(reinterpret_cast<TextInputStreamObject*>(stream)->encoding, gUtf8Encoding);
    StringHandle rest = StringHandle::Adopt(TextInputStreamReadAll(stream, nullptr));
    EXPECT_EQ(Bytes(rest), "three");
    EXPECT_TRUE(TextInputStreamEOF(stream, 0));
    RuntimeUnlockObject(stream);  // the destructor closes the file
    EXPECT_TRUE(DeleteFileW(File(L"t.txt").c_str()));
}

TEST_F(FilesTest, EmptyFileIsAtItsEndAtOnce) {
    Write(L"empty.txt", "");
    ObjectHeader* stream = Open(L"empty.txt");
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(TextInputStreamEOF(stream, 0));
    EXPECT_EQ(TextInputStreamReadLine(stream, nullptr), nullptr);
    EXPECT_EQ(TextInputStreamReadAll(stream, nullptr), nullptr);
    RuntimeUnlockObject(stream);
}

TEST_F(FilesTest, TenMegabyteLine) {
    std::string big(10 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char('a' + i % 26);
    Write(L"big.txt", big + "\r\nend");
    ObjectHeader* stream = Open(L"big.txt");
    ASSERT_NE(stream, nullptr);
    StringHandle line = StringHandle::Adopt(TextInputStreamReadLine(stream, nullptr));
    ASSERT_EQ(line.Length(), int32_t(big.size()));
    EXPECT_EQ(std::memcmp(line.Text(), big.data(), big.size()), 0);
    EXPECT_EQ(Taken(TextInputStreamReadLine(stream, nullptr)), "end");
    EXPECT_TRUE(TextInputStreamEOF(stream, 0));
    RuntimeUnlockObject(stream);
}

TEST_F(FilesTest, CloseTwiceAndReadingAfterClose) {
    Write(L"c.txt", "a\nb\n");
    ObjectHeader* stream = Open(L"c.txt");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(Taken(TextInputStreamReadLine(stream, nullptr)), "a");
    TextInputStreamClose(stream);
    TextInputStreamClose(stream);
    EXPECT_FALSE(TextInputStreamEOF(stream, 0));
    EXPECT_EQ(TextInputStreamReadLine(stream, nullptr), nullptr);
    EXPECT_EQ(TextInputStreamReadAll(stream, nullptr), nullptr);
    EXPECT_TRUE(DeleteFileW(File(L"c.txt").c_str()));  // the handle is gone
    RuntimeUnlockObject(stream);
}

TEST_F(FilesTest, OpeningAMissingFileOrAFolderGivesNil) {
    ObjectHeader* missing = Item(FileUtf8(L"none.txt"));
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(FolderItemOpenTextFile(missing), nullptr);
    EXPECT_EQ(FolderItemGetLastError(missing, 0), 0);
    RuntimeUnlockObject(missing);
}

TEST_F(FilesTest, FileDeletedWhileOpen) {
    Write(L"d.txt", "one\ntwo\n");
    ObjectHeader* stream = Open(L"d.txt");
    ASSERT_NE(stream, nullptr);
    // Opened without delete sharing: the file stays while the stream has it,
    // or, where it can be deleted anyway, the open handle still reads it.
    BOOL deleted = DeleteFileW(File(L"d.txt").c_str());
    if (!deleted) {
        EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(Lines(stream), (std::vector<std::string>{"one", "two"}));
    RuntimeUnlockObject(stream);
}

TEST_F(FilesTest, LockedFileEndsTheReading) {
    std::string content(5000, 'q');
    Write(L"l.txt", content);
    HANDLE other = CreateFileW(File(L"l.txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(other, 0, 0, 5000, 0));
    ObjectHeader* stream = Open(L"l.txt");
    ASSERT_NE(stream, nullptr);
    int32_t probe = 0;
    char byte;
    HANDLE reader = CreateFileW(File(L"l.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    FileStream check(reader);
    bool readable = check.Read(&byte, 1, &probe) && probe == 1;
    if (readable) {
        UnlockFile(other, 0, 0, 5000, 0);
        CloseHandle(other);
        RuntimeUnlockObject(stream);
        GTEST_SKIP() << "byte-range locks do not stop reads here";
    }
    std::vector<std::string> lines = Lines(stream, 10);
    EXPECT_EQ(lines, (std::vector<std::string>{"<nil>"}));  // the read fails: nothing, then EOF
    EXPECT_TRUE(TextInputStreamEOF(stream, 0));
    EXPECT_EQ(TextInputStreamReadAll(stream, nullptr), nullptr);
    UnlockFile(other, 0, 0, 5000, 0);
    CloseHandle(other);
    RuntimeUnlockObject(stream);
}

// A file object whose reads fail after the first block, short of the end.
class FailingFileStream : public FileStream {
public:
    explicit FailingFileStream(HANDLE h) : FileStream(h) {}
    bool Read(void* buffer, int32_t count, int32_t* bytesRead) override {
        if (reads_++ == 0) return FileStream::Read(buffer, count, bytesRead);
        *bytesRead = 0;
        return false;
    }

private:
    int reads_ = 0;
};

TEST_F(FilesTest, ReadFailingShortOfTheEndEndsTheReading) {
    Write(L"f.txt", std::string(1500, 'a') + "\nrest\n");
    for (bool readAll : {false, true}) {
        HANDLE h = CreateFileW(File(L"f.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ObjectHeader* stream = NewTextInputStream(new FailingFileStream(h));
        ASSERT_NE(stream, nullptr);
        if (readAll) {
            EXPECT_EQ(Taken(TextInputStreamReadAll(stream, nullptr)), std::string(1024, 'a'));
            EXPECT_TRUE(TextInputStreamEOF(stream, 0));
        } else {
            EXPECT_EQ(Lines(stream, 10), (std::vector<std::string>{std::string(1024, 'a')}));
            EXPECT_TRUE(TextInputStreamEOF(stream, 0));
            EXPECT_EQ(TextInputStreamReadLine(stream, nullptr), nullptr);
        }
        RuntimeUnlockObject(stream);
    }
}

// Prints ReadLine throughput; not a pass/fail figure.
TEST_F(FilesTest, ReadLineThroughput) {
    const int kLines = 200000;
    std::string content;
    content.reserve(size_t(kLines) * 40);
    for (int i = 0; i < kLines; ++i) content += "1000.5,.curve 600,0,.pitch 12,x" + std::to_string(i) + "\r\n";
    Write(L"route.csv", content);
    ObjectHeader* stream = Open(L"route.csv");
    ASSERT_NE(stream, nullptr);
    LARGE_INTEGER frequency, start, stop;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int count = 0;
    int64_t bytes = 0;
    while (!TextInputStreamEOF(stream, 0)) {
        StringValue* line = TextInputStreamReadLine(stream, nullptr);
        bytes += StringLength(line);
        RuntimeUnlockString(line);
        ++count;
    }
    QueryPerformanceCounter(&stop);
    double seconds = double(stop.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    EXPECT_EQ(count, kLines);
    EXPECT_EQ(bytes, int64_t(content.size()) - 2 * kLines);
    std::printf("ReadLine: %d lines (%lld bytes) in %.3f s = %.0f lines/s\n", count, (long long)bytes, seconds,
                seconds > 0 ? count / seconds : 0.0);
    RecordProperty("lines_per_second", int(seconds > 0 ? count / seconds : 0));
    RuntimeUnlockObject(stream);
}

}  // namespace
