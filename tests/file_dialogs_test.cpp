// File types, the filter text, the FolderItemDialog classes, and the real
// common dialog and folder browser driven by synthesised key strokes.
#include <gtest/gtest.h>

#include <windows.h>

#include <commdlg.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/FileTypes.h"
#include "files/FolderItemDialog.h"
#include "files/runFolderItem.h"
#include "objects/ObjectDefinition.h"
#include "orvane/exports.h"
#include "tests/DialogDriver.h"
#include "tests/TestFiles.h"
#include "tests/TestStrings.h"
#include "tests/TestSupport.h"

namespace {

using namespace std::string_literals;

// ---- Helpers --------------------------------------------------------------------------

// A file type record that lives for the test (not in the process's list).
struct TypeRow {
    const char* name;
    const char* type;
    const char* extensions;  // nil for none
};

std::vector<FileTypeRecord> MakeTypes(const std::vector<TypeRow>& rows) {
    std::vector<FileTypeRecord> records(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        records[i] = FileTypeRecord{i + 1 < rows.size() ? &records[i + 1] : nullptr,
                                    Utf8(rows[i].name).Release(), nullptr, Ascii(rows[i].type).Release(),
                                    rows[i].extensions ? Ascii(rows[i].extensions).Release() : nullptr};
    }
    return records;
}

void FreeTypes(std::vector<FileTypeRecord>& records) {
    for (FileTypeRecord& r : records) {
        StringRelease(r.name);
        StringRelease(r.type);
        StringRelease(r.extensions);
    }
}

std::wstring Utf16Of(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &out[0], n);
    return out;
}

std::wstring PathOf(ObjectHeader* item) {
    if (!item) return L"(nil)";
    return Utf16Of(Bytes(StringHandle::Adopt(fileAbsolutePathGetter(item, 0))));
}

// A dialog of a kind, with the creating reference.
class Dialog {
public:
    explicit Dialog(const char* className) : object_(NewObjectOf(className)) {}
    ~Dialog() { RuntimeUnlockObject(object_); }
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    ObjectHeader* Get() const { return object_; }
    FolderItemDialogObject* operator->() const { return AsFolderItemDialog(object_); }
    // Stores a text property the way compiled module code does: into the field.
    void Set(StringValue* FolderItemDialogObject::*field, const StringHandle& value) {
        StringValue*& slot = AsFolderItemDialog(object_)->*field;
        StringRelease(slot);
        slot = value.Retained();
    }
    void SetObject(ObjectHeader* FolderItemDialogObject::*field, ObjectHeader* value) {
        ObjectHeader*& slot = AsFolderItemDialog(object_)->*field;
        RuntimeLockObject(value);
        RuntimeUnlockObject(slot);
        slot = value;
    }

private:
    ObjectHeader* object_;
};

ObjectHeader* FolderItemFor(const std::wstring& path) {
    return RuntimeGetTrueFolderItem(Wide(std::u16string(path.begin(), path.end())).Get());
}

// ---- The filter text --------------------------------------------------------------------

struct FilterCase {
    const char* what;
    std::string filter;  // UTF-8
    std::vector<TypeRow> registered;
    std::wstring text;
    std::wstring defaultExtension;
};

TEST(FilterTextTest, EntriesFromFilterItemsAndRegisteredTypes) {
    const FilterCase cases[] = {
        {"empty filter, no types of the dialog", "", {{"text", "TEXT", nullptr}}, L"", L""},
        {"the viewer's csv item matches no type: all files", "csv", {{"text", "TEXT", nullptr}},
         L"csv\0*.*\0\0\0"s, L""},
        {"a type without extensions and with a type code lists nothing of its own", "text",
         {{"text", "TEXT", nullptr}}, L"text\0*.*\0\0\0"s, L""},
        {"extensions give patterns and the default extension", "csv", {{"csv", "TEXT", ".csv;.txt"}},
         L"csv\0*.csv;*.txt\0\0\0"s, L"csv"},
        {"two items in filter order, names matched without regard to case", "CSV;text",
         {{"Text", "", nullptr}, {"csv", "TEXT", ".csv;.txt"}}, L"CSV\0*.csv;*.txt\0text\0*.*\0\0\0"s, L"csv"},
        {"types of one name join in registration order, empty extensions skipped", "route",
         {{"route", "TEXT", ".rte"}, {"other", "TEXT", ".x"}, {"route", "TEXT", ".csv;;.txt"}},
         L"route\0*.rte;*.csv;*.txt\0\0\0"s, L"rte"},
        {"a ???? type after one with extensions adds nothing", "doc",
         {{"doc", "TEXT", ".doc"}, {"doc", "", nullptr}}, L"doc\0*.doc\0\0\0"s, L"doc"},
        {"an extension without a full stop is no default", "raw", {{"raw", "TEXT", "raw"}},
         L"raw\0*raw\0\0\0"s, L""},
        {"the last item with an extension gives the default", "a;b",
         {{"a", "TEXT", ".aa"}, {"b", "TEXT", ".bb"}}, L"a\0*.aa\0b\0*.bb\0\0\0"s, L"bb"},
        {"Japanese item names are described as they are", "\xE8\xB7\xAF\xE7\xB7\x9A",
         {{"\xE8\xB7\xAF\xE7\xB7\x9A", "TEXT", ".csv"}}, L"\u8DEF\u7DDA\0*.csv\0\0\0"s, L"csv"},
        {"an empty item between separators is an entry of all files", "csv;;x", {},
         L"csv\0*.*\0\0*.*\0x\0*.*\0\0\0"s, L""},
    };
    for (const FilterCase& c : cases) {
        std::vector<FileTypeRecord> types = MakeTypes(c.registered);
        FilterText built = BuildFilterText(Utf8(c.filter), types.empty() ? nullptr : &types[0], {});
        EXPECT_EQ(built.text, c.text) << c.what;
        EXPECT_EQ(built.defaultExtension, c.defaultExtension) << c.what;
        FreeTypes(types);
    }
}

TEST(FilterTextTest, EmptyFilterUsesTheDialogsOwnTypes) {
    std::vector<FileTypeRecord> own = MakeTypes({{"Route", "TEXT", ".csv"}, {"Any", "????", nullptr}});
    std::vector<FileTypeRecord> registered = MakeTypes({{"Route", "TEXT", ".rte"}});
    FilterText built = BuildFilterText(StringHandle(), &registered[0], {&own[0], &own[1]});
    EXPECT_EQ(built.text, L"Route\0*.csv\0Any\0*.*\0\0\0"s);
    EXPECT_EQ(built.defaultExtension, L"csv");
    ASSERT_EQ(built.entryExtensions.size(), 2u);
    EXPECT_EQ(built.entryExtensions[0], L"csv");
    EXPECT_EQ(built.entryExtensions[1], L"");
    FreeTypes(own);
    FreeTypes(registered);
}

TEST(FileTypesTest, FourCharacterCodes) {
    EXPECT_EQ(FourCharCode(StringHandle()), 0x3F3F3F3Fu);
    EXPECT_EQ(FourCharCode(Ascii("TEXT")), 0x54455854u);
    EXPECT_EQ(FourCharCode(Ascii("R*ch")), 0x522A6368u);
    EXPECT_EQ(FourCharCode(Ascii("ab")), 0x61622020u);
    EXPECT_EQ(FourCharCode(Ascii("abcdef")), 0x61626364u);
}

TEST(FileTypesTest, RegistrationAppendsInOrderAndKeepsTheStrings) {
    // Names no other test filters for: the list lives for the whole process.
    StringHandle name = Ascii("registered-a"), creator = Ascii("R*ch"), type = Ascii("TEXT");
    RuntimeRegisterFileType(name.Get(), creator.Get(), type.Get(), nullptr);
    StringHandle second = Ascii("registered-b"), extensions = Ascii(".rb");
    RuntimeRegisterFileType(second.Get(), nullptr, type.Get(), extensions.Get());
    const FileTypeRecord* last = nullptr;
    const FileTypeRecord* beforeLast = nullptr;
    for (const FileTypeRecord* t = FirstFileType(); t; t = t->next) {
        beforeLast = last;
        last = t;
    }
    ASSERT_NE(beforeLast, nullptr);
    EXPECT_EQ(beforeLast->name, name.Get());
    EXPECT_EQ(beforeLast->creator, creator.Get());
    EXPECT_EQ(last->name, second.Get());
    EXPECT_EQ(last->extensions, extensions.Get());
    EXPECT_GE(name.Get()->refCount, 2);  // the record keeps its own reference
}

// ---- The classes ----------------------------------------------------------------------

TEST(FolderItemDialogClassTest, PropertiesAtTheirFieldOffsets) {
    ObjectDefinition* d = FindDefinitionText("FolderItemDialog");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->instanceSize, 3396);
    struct Expected {
        const char* name;
        uint32_t offset;
        const char* getter;
        const char* setter;
    } expected[] = {
        {"Top", 32, "intGetter", "intSetter"},
        {"Left", 36, "intGetter", "intSetter"},
        {"Title", 40, "stringGetter", "stringSetter"},
        {"ActionButtonCaption", 44, "stringGetter", "stringSetter"},
        {"CancelButtonCaption", 48, "stringGetter", "stringSetter"},
        {"SuggestedFileName", 52, "stringGetter", "stringSetter"},
        {"PromptText", 56, "stringGetter", "stringSetter"},
        {"Filter", 60, "stringGetter", "stringSetter"},
        {"InitialDirectory", 64, "objGetter", "objSetter"},
        {"Result", 68, "objGetter", nullptr},
    };
    ASSERT_EQ(d->propertyCount, int32_t(sizeof expected / sizeof expected[0]));
    for (int32_t i = 0; i < d->propertyCount; ++i) {
        const PropertyDefinition& p = d->properties[i];
        EXPECT_EQ(Bytes(StringHandle::Borrow(p.name)), expected[i].name);
        EXPECT_EQ(p.parameter, expected[i].offset) << expected[i].name;
        EXPECT_STREQ(p.getterName, expected[i].getter) << expected[i].name;
        if (expected[i].setter) EXPECT_STREQ(p.setterName, expected[i].setter) << expected[i].name;
        else EXPECT_EQ(p.setter, nullptr) << expected[i].name;
        EXPECT_NE(p.getter, nullptr) << expected[i].name;
    }
    for (const char* kind : {"OpenDialog", "SaveAsDialog", "SelectFolderDialog"}) {
        ObjectDefinition* k = FindDefinitionText(kind);
        ASSERT_NE(k, nullptr) << kind;
        EXPECT_EQ(k->superclass, d) << kind;
        EXPECT_EQ(k->instanceSize, 3396) << kind;
    }
}

TEST(FolderItemDialogClassTest, ConstructorsSetKindAndPlace) {
    struct {
        const char* name;
        int8_t kind;
    } kinds[] = {{"FolderItemDialog", -1}, {"OpenDialog", 0}, {"SaveAsDialog", 1}, {"SelectFolderDialog", 2}};
    for (const auto& k : kinds) {
        Dialog dialog(k.name);
        ASSERT_NE(dialog.Get(), nullptr) << k.name;
        EXPECT_EQ(dialog->mType, k.kind) << k.name;
        EXPECT_EQ(reinterpret_cast<uint8_t*>(dialog.Get())[28], uint8_t(k.kind)) << k.name;
        EXPECT_EQ(dialog->top, -1) << k.name;
        EXPECT_EQ(dialog->left, -1) << k.name;
        EXPECT_EQ(dialog->result, nullptr) << k.name;
    }
}

TEST(FolderItemDialogClassTest, DestructorReleasesStringsAndItems) {
    StringHandle title = Ascii("title");
    TempFolder folder(L"dialogs");
    ObjectHeader* item = FolderItemFor(folder.Path());
    ASSERT_NE(item, nullptr);
    {
        Dialog dialog("OpenDialog");
        dialog.Set(&FolderItemDialogObject::title, title);
        dialog.Set(&FolderItemDialogObject::filter, title);
        dialog.SetObject(&FolderItemDialogObject::initialDirectory, item);
        EXPECT_EQ(title.Get()->refCount, 3);
        EXPECT_EQ(item->refCount, 2);
    }
    EXPECT_EQ(title.Get()->refCount, 1);
    EXPECT_EQ(item->refCount, 1);
    RuntimeUnlockObject(item);
}

TEST(FolderItemDialogClassTest, ADialogWithoutKindIsReportedAndGivesNil) {
    Dialog dialog("FolderItemDialog");
    AssertionCapture capture;
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].condition, "-1 != mType");
    EXPECT_EQ(capture.Reports()[0].unit, "FolderItemDialog");
}

// ---- What the platform's call receives -----------------------------------------------------

struct CapturedCall {
    OPENFILENAMEW ofn;
    std::wstring filter, title, initialDirectory, defaultExtension, fileName;
    int calls = 0;
};
CapturedCall gCall;
std::wstring gAnswer;  // written into the buffer; empty: the user cancels
BOOL gAnswerResult = TRUE;

size_t FilterLength(const wchar_t* filter) {
    size_t n = 0;
    while (filter && (filter[n] || filter[n + 1])) ++n;
    return filter ? n + 2 : 0;
}

BOOL WINAPI FakeFileDialog(OPENFILENAMEW* ofn) {
    gCall.ofn = *ofn;
    gCall.calls++;
    gCall.filter.assign(ofn->lpstrFilter ? ofn->lpstrFilter : L"", FilterLength(ofn->lpstrFilter));
    gCall.title = ofn->lpstrTitle ? ofn->lpstrTitle : L"";
    gCall.initialDirectory = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : L"";
    gCall.defaultExtension = ofn->lpstrDefExt ? ofn->lpstrDefExt : L"";
    gCall.fileName.assign(ofn->lpstrFile, wcsnlen(ofn->lpstrFile, ofn->nMaxFile));
    if (gAnswer.empty()) return FALSE;
    size_t n = gAnswer.size() < ofn->nMaxFile ? gAnswer.size() : ofn->nMaxFile - 1;
    std::wmemcpy(ofn->lpstrFile, gAnswer.data(), n);
    ofn->lpstrFile[n] = 0;
    ofn->nFilterIndex = 1;
    return gAnswerResult;
}

class FakeDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gCall = CapturedCall{};
        gAnswer.clear();
        gAnswerResult = TRUE;
        saved_ = SetFileDialogFunctions({FakeFileDialog, FakeFileDialog});
    }
    void TearDown() override { SetFileDialogFunctions(saved_); }
    FileDialogFunctions saved_{};
    TempFolder folder_{L"dialogs"};
};

TEST_F(FakeDialogTest, OpenKindFillsTheStructure) {
    Dialog dialog("OpenDialog");
    dialog.Set(&FolderItemDialogObject::title, Utf8("\xE9\x96\x8B\xE3\x81\x8F"));  // 開く
    dialog.Set(&FolderItemDialogObject::filter, Ascii("csv"));
    ObjectHeader* folder = FolderItemFor(folder_.Path());
    dialog.SetObject(&FolderItemDialogObject::initialDirectory, folder);
    RuntimeUnlockObject(folder);
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    ASSERT_EQ(gCall.calls, 1);
    EXPECT_EQ(gCall.ofn.lStructSize, 76u);
    EXPECT_EQ(gCall.ofn.Flags, 0x880824u | 0x1000u);
    EXPECT_EQ(gCall.ofn.nMaxFile, 1024u);
    EXPECT_EQ(gCall.filter, L"csv\0*.*\0\0\0"s.substr(0, 9));
    EXPECT_EQ(gCall.title, L"\u958B\u304F");
    EXPECT_EQ(gCall.initialDirectory, folder_.Path() + L"\\");
    EXPECT_EQ(gCall.defaultExtension, L"");
    EXPECT_EQ(gCall.ofn.lpfnHook, &FolderItemDialogHook);
    EXPECT_EQ(gCall.ofn.lCustData, LPARAM(dialog.Get()));
    EXPECT_EQ(gCall.ofn.hwndOwner, nullptr);  // no runtime window in front
}

TEST_F(FakeDialogTest, SaveKindTakesTheSuggestedNameAndOwner) {
    Dialog dialog("SaveAsDialog");
    dialog.Set(&FolderItemDialogObject::suggestedFileName, Utf8("\xE8\xB7\xAF\xE7\xB7\x9A.csv"));
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    EXPECT_EQ(gCall.ofn.Flags, 0x880824u | 0x2u);
    EXPECT_EQ(gCall.fileName, L"\u8DEF\u7DDA.csv");
    EXPECT_TRUE(gCall.filter.empty());
    EXPECT_EQ(gCall.ofn.lpstrFilter, nullptr);
    DestroyWindow(owner);
}

TEST_F(FakeDialogTest, ChosenPathBecomesResultAndCancelKeepsIt) {
    Dialog dialog("OpenDialog");
    gAnswer = folder_.File(L"\u8DEF\u7DDA.csv");
    ObjectHeader* first = FolderItemDialogShowModal(dialog.Get());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, dialog->result);
    EXPECT_EQ(first->refCount, 2);  // Result's and the caller's
    EXPECT_EQ(PathOf(first), gAnswer);
    gAnswer.clear();  // cancel
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    EXPECT_EQ(dialog->result, first);
    gAnswer = folder_.File(L"b.csv");
    ObjectHeader* second = FolderItemDialogShowModal(dialog.Get());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(PathOf(dialog->result), gAnswer);
    EXPECT_EQ(first->refCount, 1);  // Result let go of it
    RuntimeUnlockObject(first);
    RuntimeUnlockObject(second);
}

TEST_F(FakeDialogTest, OverlongNamesNeitherOverflowNorNameAnotherFile) {
    Dialog dialog("SaveAsDialog");
    // A suggested name the 1,024-character buffer cannot hold is left out.
    dialog.Set(&FolderItemDialogObject::suggestedFileName, Ascii(std::string(1500, 'a') + ".csv"));
    gAnswer.clear();
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    EXPECT_EQ(gCall.fileName, L"");
    // One that just fits is given whole.
    dialog.Set(&FolderItemDialogObject::suggestedFileName, Ascii(std::string(1023, 'b')));
    FolderItemDialogShowModal(dialog.Get());
    EXPECT_EQ(gCall.fileName, std::wstring(1023, L'b'));
    EXPECT_EQ(gCall.ofn.lpstrFile[1023], L'\0');
    // A chosen path that fills the buffer may be cut short: refused, Result kept.
    gAnswer = L"C:\\" + std::wstring(1200, L'c');
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    EXPECT_EQ(dialog->result, nullptr);
    // The platform's too-small result (false) is a cancel.
    gAnswer = L"C:\\short.csv";
    gAnswerResult = FALSE;
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    EXPECT_EQ(dialog->result, nullptr);
}

TEST_F(FakeDialogTest, LanguageShortcutsShowTheirKind) {
    StringHandle filter = Ascii("csv"), name = Ascii("new.csv");
    gAnswer = folder_.File(L"x.csv");
    ObjectHeader* opened = RuntimeGetOpenFolderItem(filter.Get());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(gCall.ofn.Flags & 0x1003u, 0x1000u);
    EXPECT_EQ(gCall.filter, L"csv\0*.*\0\0\0"s.substr(0, 9));
    EXPECT_EQ(opened->refCount, 1);  // the dialog is gone, only the caller holds it
    EXPECT_EQ(PathOf(opened), gAnswer);
    RuntimeUnlockObject(opened);
    ObjectHeader* saved = RuntimeGetSaveFolderItem(filter.Get(), name.Get());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(gCall.ofn.Flags & 0x1003u, 0x2u);
    EXPECT_EQ(gCall.fileName, L"new.csv");
    RuntimeUnlockObject(saved);
    EXPECT_EQ(filter.Get()->refCount, 1);
}

// ---- The real dialogs, driven by key strokes ----------------------------------------------

class RealDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The dialog makes the chosen folder the current one; it is put back,
        // so that the test's folder can be removed.
        GetCurrentDirectoryW(MAX_PATH, savedDirectory_);
        for (const wchar_t* name : {L"route.csv", L"\u8DEF\u7DDA\u56F3.csv", L"other.txt"}) {
            HANDLE h = CreateFileW(folder_.File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            CloseHandle(h);
        }
        folderItem_ = FolderItemFor(folder_.Path());
        ASSERT_NE(folderItem_, nullptr);
    }
    void TearDown() override {
        RuntimeUnlockObject(folderItem_);
        SetCurrentDirectoryW(savedDirectory_);
    }

    wchar_t savedDirectory_[MAX_PATH] = {};
    TempFolder folder_{L"real_dialogs"};
    ObjectHeader* folderItem_ = nullptr;
};

// The name typed into the file-name field, or (for a name key strokes cannot
// carry) clicked in the file list.
struct OpenCase {
    std::wstring name;
    bool typed;
};

TEST_F(RealDialogTest, OpenAFileByTypingOrClickingItsName) {
    const OpenCase cases[] = {
        {L"route.csv", true},
        // The csv item matches no registered type: the dialog lists all files,
        // so the text file is there to be clicked.
        {L"other.txt", false},
        {L"\u8DEF\u7DDA\u56F3.csv", false},
    };
    for (const OpenCase& c : cases) {
        Dialog dialog("OpenDialog");
        dialog.Set(&FolderItemDialogObject::filter, Ascii("csv"));
        dialog.Set(&FolderItemDialogObject::title, Ascii("Open a route"));
        dialog.SetObject(&FolderItemDialogObject::initialDirectory, folderItem_);
        std::wstring title;
        bool entered = false;
        DialogDriver driver([&](HWND d) {
            title = WindowText(d);
            entered = c.typed ? EnterFileName(d, c.name) : ClickFileName(d, c.name);
        });
        ObjectHeader* chosen = FolderItemDialogShowModal(dialog.Get());
        EXPECT_TRUE(driver.Finished());
        EXPECT_TRUE(entered) << "the file-name field never held the name";
        EXPECT_EQ(title, L"Open a route");
        EXPECT_EQ(PathOf(chosen), folder_.File(c.name));
        EXPECT_EQ(chosen, dialog->result);
        RuntimeUnlockObject(chosen);
    }
}

TEST_F(RealDialogTest, CancelKeepsResultCaptionsAndPlaceAreTheDialogs) {
    Dialog dialog("OpenDialog");
    dialog.Set(&FolderItemDialogObject::actionButtonCaption, Utf8("\xE9\x81\xB8\xE6\x8A\x9E"));  // 選択
    dialog.Set(&FolderItemDialogObject::cancelButtonCaption, Utf8("\xE3\x82\x84\xE3\x82\x81\xE3\x82\x8B"));  // やめる
    dialog.SetObject(&FolderItemDialogObject::initialDirectory, folderItem_);
    dialog->left = 140;
    dialog->top = 96;
    ObjectHeader* previous = FolderItemFor(folder_.File(L"route.csv"));
    dialog.SetObject(&FolderItemDialogObject::result, previous);
    RECT placed = {};
    std::wstring ok, cancel;
    bool closedByKey = false;
    DialogDriver driver([&](HWND d) {
        GetWindowRect(d, &placed);
        ok = WindowText(GetDlgItem(d, IDOK));
        cancel = WindowText(GetDlgItem(d, IDCANCEL));
        for (int attempt = 0; attempt < 3 && !closedByKey; ++attempt) {
            PressKeys(d, "Escape");
            closedByKey = WaitClosed(d);
        }
    });
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(closedByKey);
    EXPECT_EQ(placed.left, 140);
    EXPECT_EQ(placed.top, 96);
    EXPECT_EQ(ok, L"\u9078\u629E");
    EXPECT_EQ(cancel, L"\u3084\u3081\u308B");
    EXPECT_EQ(dialog->result, previous);
    RuntimeUnlockObject(previous);
}

TEST_F(RealDialogTest, SaveKindOffersTheSuggestedName) {
    Dialog dialog("SaveAsDialog");
    dialog.Set(&FolderItemDialogObject::suggestedFileName, Utf8("\xE4\xBF\x9D\xE5\xAD\x98.csv"));  // 保存.csv
    dialog.SetObject(&FolderItemDialogObject::initialDirectory, folderItem_);
    std::wstring offered;
    DialogDriver driver([&](HWND d) {
        offered = WindowText(FileNameField(d));
        PressKeys(d, "Return");
    });
    ObjectHeader* chosen = FolderItemDialogShowModal(dialog.Get());
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(offered, L"\u4FDD\u5B58.csv");
    EXPECT_EQ(PathOf(chosen), folder_.File(L"\u4FDD\u5B58.csv"));
    RuntimeUnlockObject(chosen);
}

TEST_F(RealDialogTest, OverlongSuggestedNameLeavesTheFieldEmpty) {
    Dialog dialog("SaveAsDialog");
    dialog.Set(&FolderItemDialogObject::suggestedFileName, Ascii(std::string(1500, 'n') + ".csv"));
    dialog.SetObject(&FolderItemDialogObject::initialDirectory, folderItem_);
    std::wstring offered = L"(not read)";
    DialogDriver driver([&](HWND d) {
        offered = WindowText(FileNameField(d));
        PressKeys(d, "Escape");
    });
    EXPECT_EQ(FolderItemDialogShowModal(dialog.Get()), nullptr);
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(offered, L"");
}

TEST_F(RealDialogTest, ChoosingAnotherTypeGivesTheSaveNameItsExtension) {
    static bool registered = false;
    if (!registered) {
        registered = true;
        StringHandle type = Ascii("TEXT");
        RuntimeRegisterFileType(Ascii("orvane-route").Get(), nullptr, type.Get(), Ascii(".csv").Get());
        RuntimeRegisterFileType(Ascii("orvane-text").Get(), nullptr, type.Get(), Ascii(".txt;.text").Get());
    }
    Dialog dialog("SaveAsDialog");
    dialog.Set(&FolderItemDialogObject::filter, Ascii("orvane-route;orvane-text"));
    dialog.Set(&FolderItemDialogObject::suggestedFileName, Ascii("plan.csv"));
    dialog.SetObject(&FolderItemDialogObject::initialDirectory, folderItem_);
    std::wstring renamed;
    DialogDriver driver([&](HWND d) {
        // The type list by its mnemonic, the next type by the arrow key.
        PressKeys(d, "alt+t Down");
        for (int i = 0; i < 30 && renamed != L"plan.txt"; ++i) {
            Sleep(100);
            renamed = WindowText(FileNameField(d));
        }
        PressKeys(d, "Return");
    });
    ObjectHeader* chosen = FolderItemDialogShowModal(dialog.Get());
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(renamed, L"plan.txt");
    EXPECT_EQ(dialog->runtime.selectedType, 2);
    EXPECT_EQ(PathOf(chosen), folder_.File(L"plan.txt"));
    RuntimeUnlockObject(chosen);
}

TEST_F(RealDialogTest, SelectFolderReturnsTheFolder) {
    // On the drive itself: below the user's folder the browser's tree is not
    // always ready to select by the time it says it is initialised.
    const std::wstring base = L"C:\\orvane_browse_" + std::to_wstring(GetCurrentProcessId());
    const std::wstring chosenFolder = base + L"\\route";
    CreateDirectoryW(base.c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(chosenFolder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ObjectHeader* initial = FolderItemFor(chosenFolder);
    Dialog dialog("SelectFolderDialog");
    dialog.Set(&FolderItemDialogObject::title, Ascii("Choose the route folder"));
    dialog.Set(&FolderItemDialogObject::actionButtonCaption, Utf8("\xE9\x81\xB8\xE6\x8A\x9E"));  // 選択
    dialog.SetObject(&FolderItemDialogObject::initialDirectory, initial);
    dialog->left = 60;
    dialog->top = 40;
    std::wstring caption, ok;
    RECT placed = {};
    bool selected = false;
    DialogDriver driver([&](HWND d) {
        caption = WindowText(d);
        ok = WindowText(GetDlgItem(d, IDOK));
        GetWindowRect(d, &placed);
        // The initial folder; Wine's browser does not always take the
        // selection it is sent at initialisation.
        selected = WaitForTreeSelection(d, L"route");
        PressKeys(d, "Return");
    });
    ObjectHeader* chosen = FolderItemDialogShowModal(dialog.Get());
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(caption, L"Choose the route folder");
    EXPECT_EQ(ok, L"\u9078\u629E");
    EXPECT_EQ(placed.left, 60);
    EXPECT_EQ(placed.top, 40);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen, dialog->result);
    EXPECT_TRUE(fileDirectoryGetter(chosen, 0));
    if (selected) EXPECT_EQ(PathOf(chosen), chosenFolder + L"\\");
    RuntimeUnlockObject(chosen);
    RuntimeUnlockObject(initial);
    RemoveDirectoryW(chosenFolder.c_str());
    RemoveDirectoryW(base.c_str());
}

}  // namespace
