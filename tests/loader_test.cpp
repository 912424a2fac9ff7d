// The module loader: linking synthetic blocks in memory, the option and
// resource blocks, the locator, reading images and development files, and
// damaged input of every kind.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "loader/ExecutableLayout.h"
#include "loader/ResourceManager.h"
#include "loader/loaderX86.h"
#include "loader/relocentry.h"
#include "startup/RuntimeMain.h"
#include "startup/ShutdownList.h"
#include "strings/string.h"
#include "tests/TestFiles.h"
#include "tests/TestSupport.h"
#include "ui/MessageDialog.h"

namespace {

uint32_t Address(const void* p) { return uint32_t(reinterpret_cast<uintptr_t>(p)); }

uint32_t Read32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Write32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

void Append32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void Append16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void AppendBytes(std::vector<uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
}

void AppendName(std::vector<uint8_t>& out, const std::string& name) {
    out.push_back(uint8_t(name.size()));
    AppendBytes(out, name);
    out.push_back(0);
}

// Code and data blocks with guard bytes on both sides, so that a write
// outside either block shows.
class Blocks {
public:
    static constexpr uint32_t kGuard = 16;
    static constexpr uint8_t kGuardByte = 0xA5;

    Blocks(uint32_t codeSize = 64, uint32_t dataSize = 64)
        : codeSize_(codeSize),
          dataSize_(dataSize),
          code_(codeSize + 2 * kGuard, kGuardByte),
          data_(dataSize + 2 * kGuard, kGuardByte) {
        std::fill(code_.begin() + kGuard, code_.end() - kGuard, 0);
        std::fill(data_.begin() + kGuard, data_.end() - kGuard, 0);
    }

    uint8_t* Code() { return code_.data() + kGuard; }
    uint8_t* Data() { return data_.data() + kGuard; }
    uint32_t Code32(uint32_t at) { return Read32(Code() + at); }
    uint32_t Data32(uint32_t at) { return Read32(Data() + at); }
    void SetCode32(uint32_t at, uint32_t v) { Write32(Code() + at, v); }
    void SetData32(uint32_t at, uint32_t v) { Write32(Data() + at, v); }
    std::vector<uint8_t> CodeBytes() { return {Code(), Code() + codeSize_}; }
    std::vector<uint8_t> DataBytes() { return {Data(), Data() + dataSize_}; }

    ModuleImage Image() {
        ModuleImage image;
        image.code = Code();
        image.codeSize = codeSize_;
        image.data = Data();
        image.dataSize = dataSize_;
        return image;
    }

    bool GuardsIntact() const {
        for (const std::vector<uint8_t>* v : {&code_, &data_}) {
            for (uint32_t i = 0; i < kGuard; ++i)
                if ((*v)[i] != kGuardByte || (*v)[v->size() - 1 - i] != kGuardByte) return false;
        }
        return true;
    }

    // A chain through the given sites, in order.
    void Chain(std::initializer_list<uint32_t> sites) {
        const uint32_t* s = sites.begin();
        for (size_t i = 0; i < sites.size(); ++i)
            SetCode32(s[i], i + 1 < sites.size() ? s[i + 1] : 0);
    }

private:
    uint32_t codeSize_, dataSize_;
    std::vector<uint8_t> code_, data_;
};

// Import records, remembering where each one starts.
class ImportBlock {
public:
    ImportBlock& EntryPoint(uint8_t mode, uint32_t first, const std::string& name) {
        Start(1);
        bytes_.push_back(mode);
        Append32(bytes_, first);
        AppendName(bytes_, name);
        return *this;
    }
    ImportBlock& DataRelocation(uint32_t site) { return Site(2, site); }
    ImportBlock& CodeRelocation(uint32_t site) { return Site(3, site); }
    ImportBlock& Library(uint32_t first, const std::string& routine, const std::string& library) {
        Start(4);
        Append32(bytes_, first);
        AppendName(bytes_, routine);
        AppendName(bytes_, library);
        return *this;
    }
    ImportBlock& Literal(uint32_t site) { return Site(5, site); }
    ImportBlock& Byte(uint8_t type) {
        Start(type);
        return *this;
    }

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    const std::vector<uint32_t>& Starts() const { return starts_; }

private:
    void Start(uint8_t type) {
        starts_.push_back(uint32_t(bytes_.size()));
        bytes_.push_back(type);
    }
    ImportBlock& Site(uint8_t type, uint32_t site) {
        Start(type);
        Append32(bytes_, site);
        return *this;
    }

    std::vector<uint8_t> bytes_;
    std::vector<uint32_t> starts_;
};

bool Link(Blocks& blocks, const std::vector<uint8_t>& bytes, StringHandle& error) {
    return LinkImports(blocks.Image(), bytes.data(), uint32_t(bytes.size()), error);
}

bool Link(Blocks& blocks, const ImportBlock& imports, StringHandle& error) {
    return Link(blocks, imports.Bytes(), error);
}

std::string Str(const StringHandle& s) { return std::string(s.Text(), size_t(s.Length())); }

uint32_t Displacement(const void* entry, const uint8_t* code, uint32_t site) {
    return Address(entry) - (Address(code + site) + 4);
}

void* KernelRoutine(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
}

// A string literal record of the data block: refCount 1, text 0, capacity,
// length, encoding, length byte, text, NUL, 4-byte aligned.
void PutLiteral(Blocks& blocks, uint32_t at, const std::string& text, uint32_t encoding) {
    blocks.SetData32(at, 1);
    blocks.SetData32(at + 4, 0);
    blocks.SetData32(at + 8, uint32_t(text.size() + 2));
    blocks.SetData32(at + 12, uint32_t(text.size()));
    blocks.SetData32(at + 16, encoding);
    blocks.Data()[at + 20] = uint8_t(text.size());
    std::memcpy(blocks.Data() + at + 21, text.data(), text.size());
    blocks.Data()[at + 21 + text.size()] = 0;
}

const char kDamaged[] = "The application could not be loaded because its link records are damaged: ";

std::string CutOff(uint32_t offset) {
    return kDamaged + std::string("the record at import offset ") + std::to_string(offset) +
           " is cut off.";
}
std::string OutsideCode(uint32_t site) {
    return kDamaged + std::string("code offset ") + std::to_string(site) +
           " lies outside the code block.";
}
std::string Loops(uint32_t first) {
    return kDamaged + std::string("the chain of sites starting at code offset ") +
           std::to_string(first) + " does not end.";
}
std::string OperandOutside(const char* block, uint32_t operand, uint32_t site) {
    return kDamaged + std::string("the ") + block + " offset " + std::to_string(operand) +
           " at code offset " + std::to_string(site) + " lies outside the " + block + " block.";
}
std::string NotExported(const std::string& name) {
    return "The application could not be loaded because the runtime does not export the "
           "function " +
           name + ".";
}
std::string OutsideData(uint32_t offset) {
    return kDamaged + std::string("the string literal at data offset ") +
           std::to_string(offset) + " lies outside the data block.";
}

// Messages the loader shows go here instead of a box.
std::vector<std::string> gMessages;
void CaptureMessage(const StringHandle& text) { gMessages.push_back(Str(text)); }

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLoaderState();
        WindowsResourceManager::Instance().Reset();
        ResetOptions();
        gMessages.clear();
        previousHook_ = SetRuntimeMessageHook(CaptureMessage);
    }
    void TearDown() override {
        SetRuntimeMessageHook(previousHook_);
        WindowsResourceManager::Instance().Reset();
        ResetOptions();
        ResetLoaderState();
    }
    static void ResetOptions() {
        gMDIMode = false;
        StringRelease(gFrameTitle);
        gFrameTitle = nullptr;
    }

private:
    RuntimeMessageHook previousHook_ = nullptr;
};

// ---- Type 1: runtime entry points ----------------------------------------------------

TEST_F(LoaderTest, ModeOneChainReceivesDisplacementsToTheEntry) {
    Blocks b;
    b.Chain({4, 20, 41, 56});  // 41: sites need no alignment
    StringHandle error;
    ASSERT_TRUE(Link(b, ImportBlock().EntryPoint(1, 4, "lineTrace"), error)) << Str(error);
    void* entry = ExportFindForLink("lineTrace");
    ASSERT_NE(entry, nullptr);
    // A call at code offset 3 has its operand at 4: e - (code base + 8).
    EXPECT_EQ(b.Code32(4), Address(entry) - (Address(b.Code()) + 8));
    for (uint32_t site : {20u, 41u, 56u}) EXPECT_EQ(b.Code32(site), Displacement(entry, b.Code(), site));
    EXPECT_TRUE(b.GuardsIntact());
}

TEST_F(LoaderTest, OtherModesStoreTheAbsoluteEntry) {
    for (uint8_t mode : {0, 2, 255}) {
        Blocks b;
        b.Chain({8, 12, 60});
        StringHandle error;
        ASSERT_TRUE(Link(b, ImportBlock().EntryPoint(mode, 8, "RuntimeLockString"), error));
        void* entry = ExportFindForLink("RuntimeLockString");
        ASSERT_NE(entry, nullptr);
        for (uint32_t site : {8u, 12u, 60u}) EXPECT_EQ(b.Code32(site), Address(entry)) << int(mode);
        EXPECT_TRUE(b.GuardsIntact());
    }
}

TEST_F(LoaderTest, EntryPointNamesMatchWhateverTheirLetterCase) {
    struct Case {
        const char* imported;
        const char* exported;
    } cases[] = {{"LINETRACE", "lineTrace"},
                 {"linetrace", "lineTrace"},
                 {"rUnTiMeLoCkStRiNg", "RuntimeLockString"},
                 {"runtimeinit", "RuntimeInit"}};
    for (const Case& c : cases) {
        Blocks b;
        b.Chain({16});
        StringHandle error;
        ASSERT_TRUE(Link(b, ImportBlock().EntryPoint(0, 16, c.imported), error)) << c.imported;
        EXPECT_EQ(b.Code32(16), Address(ExportFindForLink(c.exported))) << c.imported;
    }
}

// The report's OK must not let the module run: the link fails there, with the
// chain unpatched and no later record applied.
TEST_F(LoaderTest, MissingEntryPointIsReportedAndFailsTheLink) {
    Blocks b;
    b.Chain({4, 8});
    b.SetCode32(12, 0x30);
    b.Chain({20});
    AssertionCapture capture;
    StringHandle error;
    ImportBlock imports;
    imports.EntryPoint(1, 4, "noSuchEntryPoint").DataRelocation(12).EntryPoint(0, 20, "RuntimeRun");
    EXPECT_FALSE(Link(b, imports, error));
    EXPECT_EQ(Str(error), NotExported("noSuchEntryPoint"));
    ASSERT_EQ(capture.Reports().size(), 1u);
    const CapturedReport& r = capture.Reports()[0];
    EXPECT_EQ(r.unit, "loaderX86");
    EXPECT_EQ(r.line, 206);
    EXPECT_EQ(r.condition, "foundFunction");
    EXPECT_EQ(r.message, "Function 'noSuchEntryPoint' was not exported");
    EXPECT_NE(r.text.find("loaderX86: 206\nFailure Condition: foundFunction\n"
                          "Function 'noSuchEntryPoint' was not exported"),
              std::string::npos);
    EXPECT_EQ(b.Code32(4), 8u);  // the chain stays as it was
    EXPECT_EQ(b.Code32(8), 0u);
    EXPECT_EQ(b.Code32(12), 0x30u);  // later records are not applied
    EXPECT_EQ(b.Code32(20), 0u);
    EXPECT_TRUE(b.GuardsIntact());

    // Records before the missing name were applied; the link fails all the same.
    Blocks c;
    c.SetCode32(12, 0x30);
    c.Chain({20});
    ImportBlock later;
    later.DataRelocation(12).EntryPoint(0, 20, "RuntimeRun").EntryPoint(1, 4, "noSuchEither");
    EXPECT_FALSE(Link(c, later, error));
    EXPECT_EQ(Str(error), NotExported("noSuchEither"));
    EXPECT_EQ(c.Code32(12), Address(c.Data()) + 0x30);
    EXPECT_EQ(c.Code32(20), Address(ExportFindForLink("RuntimeRun")));
    EXPECT_EQ(capture.Reports().size(), 2u);
}

// ---- Types 2, 3 and 5 -------------------------------------------------------------------

TEST_F(LoaderTest, RelocationsAddTheirBase) {
    struct Case {
        uint8_t type;
        bool dataBase;
    } cases[] = {{2, true}, {3, false}};
    for (const Case& c : cases) {
        Blocks b;
        b.SetCode32(8, 0x10);
        b.SetCode32(60, 0);  // the last 4 bytes of the block
        StringHandle error;
        ImportBlock imports;
        if (c.type == 2)
            imports.DataRelocation(8).DataRelocation(60);
        else
            imports.CodeRelocation(8).CodeRelocation(60);
        ASSERT_TRUE(Link(b, imports, error));
        const uint32_t base = Address(c.dataBase ? b.Data() : b.Code());
        EXPECT_EQ(b.Code32(8), base + 0x10) << int(c.type);
        EXPECT_EQ(b.Code32(60), base) << int(c.type);
        EXPECT_TRUE(b.GuardsIntact());
    }
}

// An operand may point anywhere in its block or just past its end; one
// further fails the link before the site is touched.
TEST_F(LoaderTest, RelocationOperandsMustLieInTheirBlock) {
    const uint32_t kCode = 64, kData = 40;  // different sizes: each type checks its own block
    struct Case {
        uint8_t type;
        uint32_t operand;
        bool links;
    } cases[] = {
        {2, 0, true},           {2, kData - 1, true},   {2, kData, true},
        {2, kData + 1, false},  {2, kCode, false},      {2, 0x7FFFFFFF, false},
        {2, 0xFFFFFFFC, false}, {3, 0, true},           {3, kCode, true},
        {3, kCode + 1, false},  {3, 0x10000, false},    {3, 0xFFFFFFFF, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + ", operand " + std::to_string(c.operand));
        Blocks b(kCode, kData);
        b.SetCode32(8, 4);
        b.SetCode32(20, c.operand);
        ImportBlock imports;
        imports.DataRelocation(8);
        if (c.type == 2)
            imports.DataRelocation(20);
        else
            imports.CodeRelocation(20);
        const std::vector<uint8_t> dataBefore = b.DataBytes();
        StringHandle error;
        EXPECT_EQ(Link(b, imports, error), c.links) << Str(error);
        const uint32_t base = Address(c.type == 2 ? b.Data() : b.Code());
        if (c.links) {
            EXPECT_TRUE(error.IsEmpty());
            EXPECT_EQ(b.Code32(20), base + c.operand);
        } else {
            EXPECT_EQ(Str(error), OperandOutside(c.type == 2 ? "data" : "code", c.operand, 20));
            EXPECT_EQ(b.Code32(20), c.operand);  // not touched
        }
        EXPECT_EQ(b.Code32(8), Address(b.Data()) + 4);  // the record before is applied
        EXPECT_EQ(b.DataBytes(), dataBefore);
        EXPECT_TRUE(b.GuardsIntact());
    }
}

TEST_F(LoaderTest, LiteralReferredToTwiceGetsItsTextPointerOnce) {
    Blocks b;
    PutLiteral(b, 20, "Hello", kEncodingUTF8);
    b.SetCode32(1, 20);
    b.SetCode32(30, 20);
    StringHandle error;
    ASSERT_TRUE(Link(b, ImportBlock().Literal(1).Literal(30), error));
    EXPECT_EQ(b.Code32(1), Address(b.Data() + 20));
    EXPECT_EQ(b.Code32(30), Address(b.Data() + 20));
    EXPECT_EQ(b.Data32(24), Address(b.Data() + 40));
    const StringValue* literal = reinterpret_cast<const StringValue*>(b.Data() + 20);
    EXPECT_STREQ(StringText(literal), "Hello");
    EXPECT_EQ(literal->refCount, 1);

    // A text pointer already set is left alone.
    Blocks c;
    PutLiteral(c, 0, "x", kEncodingASCII);
    c.SetData32(4, 0x12345678);
    c.SetCode32(8, 0);
    ASSERT_TRUE(Link(c, ImportBlock().Literal(8), error));
    EXPECT_EQ(c.Data32(4), 0x12345678u);
    EXPECT_EQ(c.Code32(8), Address(c.Data()));
}

TEST_F(LoaderTest, UnknownTypeBytesAreSkippedAlone) {
    Blocks b;
    b.SetCode32(8, 4);
    b.SetCode32(16, 4);
    ImportBlock imports;
    imports.Byte(0).Byte(6).Byte(0xFF).DataRelocation(8).Byte(0x80).CodeRelocation(16).Byte(7);
    StringHandle error;
    ASSERT_TRUE(Link(b, imports, error));
    EXPECT_EQ(b.Code32(8), Address(b.Data()) + 4);
    EXPECT_EQ(b.Code32(16), Address(b.Code()) + 4);
}

TEST_F(LoaderTest, EmptyImportBlockLinks) {
    Blocks b;
    StringHandle error;
    EXPECT_TRUE(LinkImports(b.Image(), nullptr, 0, error));
    EXPECT_TRUE(error.IsEmpty());
    EXPECT_EQ(b.CodeBytes(), std::vector<uint8_t>(64, 0));
}

// ---- Type 4: external libraries ---------------------------------------------------------

TEST_F(LoaderTest, SystemLibraryIsLoadedOnceWhateverItsLetterCase) {
    Blocks b;
    b.Chain({4, 12});
    b.Chain({20});
    ImportBlock imports;
    imports.Library(4, "GetTickCount", "KERNEL32.DLL").Library(20, "GetCurrentProcessId", "kernel32.dll");
    StringHandle error;
    ASSERT_TRUE(Link(b, imports, error)) << Str(error);
    EXPECT_EQ(LoadedLibraryCount(), 1);
    EXPECT_EQ(b.Code32(4), Displacement(KernelRoutine("GetTickCount"), b.Code(), 4));
    EXPECT_EQ(b.Code32(12), Displacement(KernelRoutine("GetTickCount"), b.Code(), 12));
    EXPECT_EQ(b.Code32(20), Displacement(KernelRoutine("GetCurrentProcessId"), b.Code(), 20));

    // Another library is a second entry.
    Blocks c;
    c.Chain({8});
    ASSERT_TRUE(Link(c, ImportBlock().Library(8, "GetDesktopWindow", "User32.dll"), error));
    EXPECT_EQ(LoadedLibraryCount(), 2);
}

TEST_F(LoaderTest, MissingLibraryOrRoutineFailsWithItsMessage) {
    struct Case {
        const char* routine;
        const char* library;
        const char* message;
    } cases[] = {
        {"GetTickCount", "NoSuchLibrary_q7.dll",
         "The application could not be loaded because a necessary shared library "
         "NoSuchLibrary_q7.dll could not be found."},
        {"NoSuchRoutine_q7", "kernel32.dll",
         "The application could not be loaded because the routine NoSuchRoutine_q7 could not "
         "be found in the shared library kernel32.dll."},
    };
    for (const Case& c : cases) {
        Blocks b;
        b.Chain({4});
        b.SetCode32(8, 0);
        StringHandle error;
        ImportBlock imports;
        imports.Library(4, c.routine, c.library).DataRelocation(8);
        EXPECT_FALSE(Link(b, imports, error));
        EXPECT_EQ(Str(error), c.message);
        EXPECT_EQ(b.Code32(4), 0u);
        EXPECT_EQ(b.Code32(8), 0u);  // linking stopped there
    }
}

// ---- Damaged import blocks ---------------------------------------------------------------

TEST_F(LoaderTest, DamagedSitesFailTheLinkAndPatchNothing) {
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, uint32_t>> code;  // (offset, u32) stored first
        ImportBlock imports;
        std::string message;
    };
    std::vector<Case> cases;
    cases.push_back({"first site at the end", {}, ImportBlock().EntryPoint(1, 64, "lineTrace"),
                     OutsideCode(64)});
    cases.push_back({"first site straddles the end", {}, ImportBlock().EntryPoint(0, 61, "lineTrace"),
                     OutsideCode(61)});
    cases.push_back({"far first site", {}, ImportBlock().EntryPoint(1, 0xFFFFFFFE, "lineTrace"),
                     OutsideCode(0xFFFFFFFE)});
    cases.push_back({"link leaves the block",
                     {{4, 8}, {8, 100}},
                     ImportBlock().EntryPoint(1, 4, "lineTrace"),
                     OutsideCode(100)});
    cases.push_back({"chain loops", {{4, 8}, {8, 12}, {12, 4}},
                     ImportBlock().EntryPoint(1, 4, "lineTrace"), Loops(4)});
    cases.push_back({"site links to itself", {{40, 40}},
                     ImportBlock().EntryPoint(0, 40, "RuntimeInit"), Loops(40)});
    cases.push_back({"loop behind a missing name", {{4, 8}, {8, 4}},
                     ImportBlock().EntryPoint(0, 4, "noSuchEntryPoint"), Loops(4)});
    cases.push_back({"library chain loops", {{4, 4}},
                     ImportBlock().Library(4, "GetTickCount", "kernel32.dll"), Loops(4)});
    cases.push_back({"library chain leaves", {{4, 0xFFFFFFFF}},
                     ImportBlock().Library(4, "GetTickCount", "kernel32.dll"),
                     OutsideCode(0xFFFFFFFF)});
    cases.push_back({"data relocation", {}, ImportBlock().DataRelocation(61), OutsideCode(61)});
    cases.push_back({"code relocation", {}, ImportBlock().CodeRelocation(0xFFFFFFFD),
                     OutsideCode(0xFFFFFFFD)});
    cases.push_back({"literal site", {}, ImportBlock().Literal(64), OutsideCode(64)});
    cases.push_back({"literal past the data", {{8, 44}}, ImportBlock().Literal(8), OutsideData(44)});
    cases.push_back({"literal far away", {{8, 0xFFFFFFF0}}, ImportBlock().Literal(8),
                     OutsideData(0xFFFFFFF0)});
    for (Case& c : cases) {
        Blocks b;
        for (auto& [at, v] : c.code) b.SetCode32(at, v);
        const std::vector<uint8_t> codeBefore = b.CodeBytes();
        const std::vector<uint8_t> dataBefore = b.DataBytes();
        StringHandle error;
        EXPECT_FALSE(Link(b, c.imports, error)) << c.what;
        EXPECT_EQ(Str(error), c.message) << c.what;
        EXPECT_EQ(b.CodeBytes(), codeBefore) << c.what;
        EXPECT_EQ(b.DataBytes(), dataBefore) << c.what;
        EXPECT_TRUE(b.GuardsIntact()) << c.what;
    }
}

TEST_F(LoaderTest, SitesAtTheVeryEndOfTheBlocksLink) {
    StringHandle error;
    // A literal whose record and length byte end exactly at the end of the data.
    Blocks c(64, 64);
    c.SetCode32(60, 43);
    ASSERT_TRUE(Link(c, ImportBlock().Literal(60), error)) << Str(error);
    EXPECT_EQ(c.Code32(60), Address(c.Data() + 43));
    EXPECT_EQ(c.Data32(47), Address(c.Data() + 63));
    EXPECT_TRUE(c.GuardsIntact());
    // A chain whose last site ends at the end of the code.
    Blocks d(64, 64);
    d.Chain({8, 60});
    ASSERT_TRUE(Link(d, ImportBlock().EntryPoint(0, 8, "lineTrace"), error)) << Str(error);
    EXPECT_EQ(d.Code32(60), Address(ExportFindForLink("lineTrace")));
    EXPECT_TRUE(d.GuardsIntact());
}

TEST_F(LoaderTest, LongestChainsAndOverlappingSitesLink) {
    // Every 4 bytes a site: codeSize / 4 - 1 sites from offset 4 on.
    const uint32_t size = 256;
    Blocks b(size, 4);
    for (uint32_t s = 4; s < size; s += 4) b.SetCode32(s, s + 4 < size ? s + 4 : 0);
    StringHandle error;
    ASSERT_TRUE(Link(b, ImportBlock().EntryPoint(0, 4, "lineTrace"), error)) << Str(error);
    for (uint32_t s = 4; s < size; s += 4) ASSERT_EQ(b.Code32(s), Address(ExportFindForLink("lineTrace")));

    // Overlapping sites one byte apart still end; the limit is a step count.
    Blocks c(16, 4);
    c.SetCode32(1, 2);  // bytes 1..4 = 02 00 00 00, so site 2 holds 0 at first
    StringHandle error2;
    EXPECT_TRUE(Link(c, ImportBlock().EntryPoint(0, 1, "lineTrace"), error2)) << Str(error2);
    EXPECT_TRUE(c.GuardsIntact());
}

// A block holding every kind of record, cut at every length: a cut inside a
// record fails with that record's offset, a cut between records links.
TEST_F(LoaderTest, ImportBlockCutAtEveryLengthFailsCleanlyOrLinks) {
    ImportBlock imports;
    imports.EntryPoint(1, 4, "lineTrace")
        .DataRelocation(12)
        .CodeRelocation(16)
        .Literal(20)
        .Library(24, "GetTickCount", "kernel32.dll")
        .Byte(9)
        .EntryPoint(0, 28, "RuntimeInit");
    const std::vector<uint8_t>& bytes = imports.Bytes();
    const std::vector<uint32_t>& starts = imports.Starts();
    for (uint32_t length = 0; length <= bytes.size(); ++length) {
        Blocks b;
        b.Chain({4, 8});
        PutLiteral(b, 0, "abc", kEncodingUTF8);
        std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + length);
        StringHandle error;
        const bool linked = Link(b, prefix, error);
        bool boundary = length == bytes.size();
        uint32_t cut = 0;
        for (uint32_t s : starts) {
            if (s == length) boundary = true;
            if (s < length) cut = s;
        }
        EXPECT_EQ(linked, boundary) << "length " << length;
        if (!boundary) {
            EXPECT_EQ(Str(error), CutOff(cut)) << "length " << length;
        }
        EXPECT_TRUE(b.GuardsIntact()) << "length " << length;
    }
}

// Random blocks: whatever the bytes, the loader stays inside its blocks and
// ends. Half the cases are mutations of a valid block, half are noise shaped
// like records.
TEST_F(LoaderTest, RandomImportBlocksNeverWriteOutsideTheBlocks) {
    std::mt19937 random(20240611u);
    auto below = [&](uint32_t n) { return uint32_t(random() % n); };
    ImportBlock valid;
    valid.EntryPoint(1, 4, "lineTrace").DataRelocation(12).CodeRelocation(16).Literal(20).Byte(9);
    AssertionCapture capture;  // random names are reported missing
    int linked = 0;
    for (int round = 0; round < 3000; ++round) {
        const uint32_t codeSize = below(72);
        const uint32_t dataSize = below(72);
        Blocks b(codeSize, dataSize);
        for (uint32_t i = 0; i < codeSize; ++i) b.Code()[i] = uint8_t(below(4) == 0 ? below(256) : below(codeSize + 8));
        for (uint32_t i = 0; i < dataSize; ++i) b.Data()[i] = uint8_t(below(256));
        std::vector<uint8_t> bytes;
        if (round % 2 == 0) {
            bytes = valid.Bytes();
            for (uint32_t n = below(4) + 1; n > 0; --n) bytes[below(uint32_t(bytes.size()))] ^= uint8_t(1u << below(8));
            bytes.resize(below(uint32_t(bytes.size()) + 1));
        } else {
            for (uint32_t n = below(48); n > 0; --n) {
                switch (below(3)) {
                    case 0: bytes.push_back(uint8_t(below(7))); break;
                    case 1: Append32(bytes, below(4) == 0 ? uint32_t(random()) : below(codeSize + 8)); break;
                    default: bytes.push_back(uint8_t(below(6))); break;
                }
            }
        }
        StringHandle error;
        const bool ok = Link(b, bytes, error);
        if (ok) {
            ++linked;
        } else {
            ASSERT_FALSE(error.IsEmpty()) << "round " << round;
        }
        ASSERT_TRUE(b.GuardsIntact()) << "round " << round;
    }
    EXPECT_GT(linked, 0);  // the noise is not rejected wholesale
}

// ---- Options ---------------------------------------------------------------------------------

std::vector<uint8_t> TitleOption(const std::string& title, uint32_t encoding) {
    std::vector<uint8_t> out{0};
    Append32(out, uint32_t(title.size()));
    if (!title.empty()) {
        AppendBytes(out, title);
        Append32(out, encoding);
    }
    return out;
}

TEST_F(LoaderTest, OptionKindZeroSelectsMDIModeAndSetsTheTitle) {
    std::vector<uint8_t> block = TitleOption("Routes", kEncodingUTF8);
    ParseOptions(block.data(), uint32_t(block.size()));
    EXPECT_TRUE(gMDIMode);
    ASSERT_NE(gFrameTitle, nullptr);
    EXPECT_STREQ(StringText(gFrameTitle), "Routes");
    EXPECT_EQ(gFrameTitle->encoding, kEncodingUTF8);
    EXPECT_EQ(gFrameTitle->refCount, 1);

    // A later record with a title replaces it; one without keeps it.
    std::vector<uint8_t> more = TitleOption("Karten", 0x600);
    std::vector<uint8_t> none = TitleOption("", 0);
    more.insert(more.end(), none.begin(), none.end());
    ParseOptions(more.data(), uint32_t(more.size()));
    ASSERT_NE(gFrameTitle, nullptr);
    EXPECT_STREQ(StringText(gFrameTitle), "Karten");
    EXPECT_EQ(gFrameTitle->encoding, 0x600u);
}

TEST_F(LoaderTest, OptionKindZeroWithoutTitleOnlySelectsMDIMode) {
    std::vector<uint8_t> block = TitleOption("", 0);
    ParseOptions(block.data(), uint32_t(block.size()));
    EXPECT_TRUE(gMDIMode);
    EXPECT_EQ(gFrameTitle, nullptr);
}

TEST_F(LoaderTest, OtherOptionKindsAreReportedAndParsingGoesOn) {
    std::vector<uint8_t> block{7, 0x80};
    std::vector<uint8_t> title = TitleOption("T", kEncodingUTF8);
    block.insert(block.end(), title.begin(), title.end());
    AssertionCapture capture;
    ParseOptions(block.data(), uint32_t(block.size()));
    ASSERT_EQ(capture.Reports().size(), 2u);
    for (const CapturedReport& r : capture.Reports()) {
        EXPECT_EQ(r.unit, "loaderX86");
        EXPECT_EQ(r.line, 379);
        EXPECT_EQ(r.condition, "0");
        EXPECT_EQ(r.message, "");
    }
    EXPECT_TRUE(gMDIMode);
    EXPECT_STREQ(StringText(gFrameTitle), "T");
}

TEST_F(LoaderTest, OptionRecordCutOffStopsParsing) {
    const std::vector<uint8_t> block = TitleOption("Frame", kEncodingUTF8);
    for (uint32_t length = 1; length < block.size(); ++length) {
        ResetOptions();
        ParseOptions(block.data(), length);
        EXPECT_FALSE(gMDIMode) << length;
        EXPECT_EQ(gFrameTitle, nullptr) << length;
    }
    // A title length larger than the block reads nothing.
    std::vector<uint8_t> huge{0};
    Append32(huge, 0xFFFFFFF0u);
    AppendBytes(huge, "abcd");
    ParseOptions(huge.data(), uint32_t(huge.size()));
    EXPECT_FALSE(gMDIMode);
}

TEST_F(LoaderTest, EmptyOptionAndResourceBlocksLeaveNoTrace) {
    AssertionCapture capture;
    ParseOptions(nullptr, 0);
    ParseResources(nullptr, 0, 0);
    uint8_t byte = 0;
    ParseOptions(&byte, 0);
    ParseResources(&byte, 0, 1234);
    EXPECT_FALSE(gMDIMode);
    EXPECT_EQ(gFrameTitle, nullptr);
    EXPECT_EQ(WindowsResourceManager::Instance().Count(), 0);
    EXPECT_TRUE(capture.Reports().empty());
}

// ---- Resources -------------------------------------------------------------------------------

std::vector<uint8_t> ResourceRecord(uint32_t type, uint16_t id, const std::string& data) {
    std::vector<uint8_t> out;
    Append32(out, type);
    Append16(out, id);
    Append32(out, 0xDEADBEEF);  // ignored
    Append32(out, uint32_t(data.size()));
    AppendBytes(out, data);
    return out;
}

TEST_F(LoaderTest, ResourceRecordsAreRegisteredWithTheirFileOffsets) {
    std::vector<uint8_t> block = ResourceRecord(FourCharCode("TWPl"), 128, "plug");
    std::vector<uint8_t> second = ResourceRecord(FourCharCode("PICT"), 7, "");
    std::vector<uint8_t> third = ResourceRecord(FourCharCode("snd "), 65535, "xyz");
    block.insert(block.end(), second.begin(), second.end());
    block.insert(block.end(), third.begin(), third.end());
    struct Case {
        uint32_t blockOffset;
        uint32_t offsets[3];
    } cases[] = {{5000, {5014, 5032, 5046}}, {0, {0, 0, 0}}};
    for (const Case& c : cases) {
        WindowsResourceManager& manager = WindowsResourceManager::Instance();
        manager.Reset();
        ParseResources(block.data(), uint32_t(block.size()), c.blockOffset);
        ASSERT_EQ(manager.Count(), 3);
        const uint32_t types[3] = {FourCharCode("TWPl"), FourCharCode("PICT"), FourCharCode("snd ")};
        const uint16_t ids[3] = {128, 7, 65535};
        const uint32_t dataAt[3] = {14, 32, 46};
        const uint32_t lengths[3] = {4, 0, 3};
        for (int i = 0; i < 3; ++i) {
            const ModuleResource& r = manager.At(i);
            EXPECT_EQ(r.type, types[i]);
            EXPECT_EQ(r.id, ids[i]);
            EXPECT_EQ(r.data, block.data() + dataAt[i]);
            EXPECT_EQ(r.length, lengths[i]);
            EXPECT_EQ(r.fileOffset, c.offsets[i]);
        }
        EXPECT_EQ(std::memcmp(manager.At(0).data, "plug", 4), 0);
    }
}

TEST_F(LoaderTest, ResourceRecordCutOffStopsParsing) {
    std::vector<uint8_t> block = ResourceRecord(FourCharCode("TWPl"), 1, "first");
    const uint32_t firstEnd = uint32_t(block.size());
    std::vector<uint8_t> second = ResourceRecord(FourCharCode("TWPl"), 2, "second");
    block.insert(block.end(), second.begin(), second.end());
    for (uint32_t length = 0; length <= block.size(); ++length) {
        WindowsResourceManager& manager = WindowsResourceManager::Instance();
        manager.Reset();
        ParseResources(block.data(), length, 100);
        const int32_t expected = length == block.size() ? 2 : (length >= firstEnd ? 1 : 0);
        ASSERT_EQ(manager.Count(), expected) << length;
        for (int32_t i = 0; i < manager.Count(); ++i)
            EXPECT_LE(manager.At(i).data + manager.At(i).length, block.data() + length);
    }
    // A data length beyond the block registers nothing.
    std::vector<uint8_t> huge = ResourceRecord(FourCharCode("TWPl"), 3, "abc");
    Write32(huge.data() + 10, 0xFFFFFFFFu);
    WindowsResourceManager::Instance().Reset();
    ParseResources(huge.data(), uint32_t(huge.size()), 0);
    EXPECT_EQ(WindowsResourceManager::Instance().Count(), 0);
}

// ---- The locator -----------------------------------------------------------------------------

TEST_F(LoaderTest, LocatorSelectsDevelopmentModeOrGivesTheOffsets) {
    struct Case {
        std::vector<uint8_t> data;
        bool image;
        uint32_t imageOffset, mediaOffset;
    } cases[] = {
        {{'P', 'I', 'C', 'K', 'P', 'O', 'K', 'E'}, false, 0, 0},
        {{'P', 'I', 'C', 'K', 1, 2, 3, 4}, false, 0, 0},
        {{0x00, 0x7E, 0x16, 0x00, 'P', 'O', 'K', 'E'}, true, 0x167E00, 0x454B4F50},
        {{0x10, 0x20, 0x30, 0x40, 0x01, 0x00, 0x00, 0x00}, true, 0x40302010, 1},
        {{0x10, 0x20, 0x30, 0x40}, true, 0x40302010, 0},
        {{0x10, 0x20, 0x30}, false, 0, 0},
        {{}, false, 0, 0},
        {{0, 0, 0, 0, 'P', 'O', 'K', 'E'}, false, 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t imageOffset = 99, mediaOffset = 99;
        EXPECT_EQ(ParseLocator(c.data.data(), uint32_t(c.data.size()), imageOffset, mediaOffset),
                  c.image);
        EXPECT_EQ(imageOffset, c.imageOffset);
        EXPECT_EQ(mediaOffset, c.mediaOffset);
    }
}

// ---- Reading images and development files ----------------------------------------------------

std::wstring FreshFolder() { return FreshTempFolder(L"loader"); }

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
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

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// An image: five u32-length-prefixed blocks.
std::vector<uint8_t> Image(const std::vector<std::vector<uint8_t>>& blocks) {
    std::vector<uint8_t> out;
    for (const std::vector<uint8_t>& b : blocks) {
        Append32(out, uint32_t(b.size()));
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

struct OpenFile {
    explicit OpenFile(const std::wstring& path)
        : handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~OpenFile() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    HANDLE handle;
};

const char kDamagedImage[] =
    "The application could not be loaded because its module image is incomplete or damaged.";

class ImageFileTest : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        folder_ = FreshFolder();
    }
    void TearDown() override {
        RemoveFolder(folder_);
        LoaderTest::TearDown();
    }
    // Writes prefix + image and reads the image back.
    bool Read(const std::vector<uint8_t>& fileBytes, uint32_t imageOffset, ModuleBlocks& blocks,
              StringHandle& error) {
        const std::wstring path = folder_ + L"\\app.exe";
        if (!WriteFileBytes(path, fileBytes)) {
            ADD_FAILURE() << "cannot write the image";
            return false;
        }
        OpenFile file(path);
        return ReadImageBlocks(file.handle, imageOffset, blocks, error);
    }
    // The same through the check that the image lies behind the executable.
    bool ReadAppended(const std::vector<uint8_t>& fileBytes, uint32_t imageOffset,
                      ModuleBlocks& blocks, StringHandle& error) {
        const std::wstring path = folder_ + L"\\app.exe";
        if (!WriteFileBytes(path, fileBytes)) {
            ADD_FAILURE() << "cannot write the executable";
            return false;
        }
        OpenFile file(path);
        return ReadAppendedImage(file.handle, imageOffset, blocks, error);
    }
    bool OwnBytesEnd(const std::vector<uint8_t>& fileBytes, uint64_t& end) {
        const std::wstring path = folder_ + L"\\app.exe";
        if (!WriteFileBytes(path, fileBytes)) {
            ADD_FAILURE() << "cannot write the executable";
            return false;
        }
        OpenFile file(path);
        return ExecutableOwnBytesEnd(file.handle, end);
    }

    std::wstring folder_;
};

TEST_F(ImageFileTest, ImageBlocksAreReadBehindThePrefix) {
    const std::vector<uint8_t> code = Bytes("\xC3\x90\x90"), data = Bytes("datadata"),
                               imports = Bytes("\x09\x09\x09\x09\x09"),
                               resources = ResourceRecord(FourCharCode("TWPl"), 1, "abc"),
                               options = TitleOption("", 0);
    std::vector<uint8_t> file(100, 'x');
    const std::vector<uint8_t> image = Image({code, data, imports, resources, options});
    file.insert(file.end(), image.begin(), image.end());
    ModuleBlocks blocks;
    StringHandle error;
    ASSERT_TRUE(Read(file, 100, blocks, error)) << Str(error);
    EXPECT_EQ(std::vector<uint8_t>(blocks.code, blocks.code + blocks.codeSize), code);
    EXPECT_EQ(std::vector<uint8_t>(blocks.data, blocks.data + blocks.dataSize), data);
    EXPECT_EQ(std::vector<uint8_t>(blocks.imports, blocks.imports + blocks.importSize), imports);
    EXPECT_EQ(std::vector<uint8_t>(blocks.resources, blocks.resources + blocks.resourceSize),
              resources);
    EXPECT_EQ(std::vector<uint8_t>(blocks.options, blocks.options + blocks.optionSize), options);
    EXPECT_EQ(blocks.resourceFileOffset, 100u + 4 + 3 + 4 + 8 + 4 + 5 + 4);
    MEMORY_BASIC_INFORMATION info = {};
    ASSERT_NE(VirtualQuery(blocks.code, &info, sizeof info), 0u);
    EXPECT_EQ(info.Protect, DWORD(PAGE_EXECUTE_READWRITE));
    FreeModuleBlocks(blocks);

    // Empty resource and option blocks are not read and have no offset.
    const std::vector<uint8_t> bare = Image({code, data, imports, {}, {}});
    ASSERT_TRUE(Read(bare, 0, blocks, error)) << Str(error);
    EXPECT_EQ(blocks.resourceSize, 0u);
    EXPECT_EQ(blocks.resourceFileOffset, 0u);
    EXPECT_EQ(blocks.optionSize, 0u);
    FreeModuleBlocks(blocks);
}

TEST_F(ImageFileTest, TruncatedOrDamagedImagesFailCleanly) {
    std::vector<uint8_t> file(16, 'x');
    const std::vector<uint8_t> image =
        Image({Bytes("\xC3"), Bytes("dd"), Bytes("\x09"), ResourceRecord(1, 1, "r"), Bytes("\x07")});
    file.insert(file.end(), image.begin(), image.end());
    for (uint32_t length = 16; length < file.size(); ++length) {
        ModuleBlocks blocks;
        StringHandle error;
        EXPECT_FALSE(Read({file.begin(), file.begin() + length}, 16, blocks, error)) << length;
        EXPECT_EQ(Str(error), kDamagedImage) << length;
        EXPECT_EQ(blocks.code, nullptr) << length;
    }
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t offset;
    } cases[] = {
        {"huge code count", {0xFF, 0xFF, 0xFF, 0xFF, 0xC3}, 0},
        {"huge data count", {1, 0, 0, 0, 0xC3, 0xF0, 0xFF, 0xFF, 0xFF}, 0},
        {"count one past the end", {2, 0, 0, 0, 0xC3}, 0},
        {"offset beyond the file", {1, 0, 0, 0, 0xC3}, 6},
        {"offset far beyond the file", {1, 0, 0, 0, 0xC3}, 0xFFFFFFF0u},
        {"empty file", {}, 0},
    };
    for (const Case& c : cases) {
        ModuleBlocks blocks;
        StringHandle error;
        EXPECT_FALSE(Read(c.bytes, c.offset, blocks, error)) << c.what;
        EXPECT_EQ(Str(error), kDamagedImage) << c.what;
    }
}

// The test program is a PE file made by the same linker as the runtime.
std::vector<uint8_t> TestProgramBytes() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::vector<uint8_t> bytes;
    if (n == 0 || n >= MAX_PATH) return bytes;
    OpenFile file(path);
    LARGE_INTEGER size;
    if (file.handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.handle, &size)) return bytes;
    bytes.resize(size_t(size.QuadPart));
    DWORD got = 0;
    if (!ReadFile(file.handle, bytes.data(), DWORD(bytes.size()), &got, nullptr) || got != bytes.size())
        bytes.clear();
    return bytes;
}

// The file offset of the first section's raw data, from the headers.
uint32_t FirstSectionData(const std::vector<uint8_t>& exe) {
    const uint32_t pe = Read32(&exe[0x3C]);
    const uint32_t optionalSize = uint32_t(exe[pe + 20] | exe[pe + 21] << 8);
    return Read32(&exe[pe + 24 + optionalSize + 20]);
}

TEST_F(ImageFileTest, OwnBytesOfTheExecutableEndWhereTheLinkerStopped) {
    const std::vector<uint8_t> exe = TestProgramBytes();
    ASSERT_GT(exe.size(), 4096u);
    uint64_t end = 0;
    ASSERT_TRUE(OwnBytesEnd(exe, end));
    EXPECT_EQ(end, exe.size());  // headers, sections, symbols and their names fill the file
    // Whatever follows the executable is not its own.
    std::vector<uint8_t> longer = exe;
    longer.resize(exe.size() + 100, 0x55);
    ASSERT_TRUE(OwnBytesEnd(longer, end));
    EXPECT_EQ(end, exe.size());

    // Files that do not start with PE headers.
    std::vector<uint8_t> noSignature = exe;
    noSignature[Read32(&exe[0x3C])] = 'X';
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"text", std::vector<uint8_t>(100, 'x')},
        {"DOS header only", {exe.begin(), exe.begin() + 64}},
        {"cut in the file header", {exe.begin(), exe.begin() + Read32(&exe[0x3C]) + 10}},
        {"cut in the section table", {exe.begin(), exe.begin() + Read32(&exe[0x3C]) + 24 + 224 + 20}},
        {"no PE signature", noSignature},
    };
    for (const auto& c : cases) EXPECT_FALSE(OwnBytesEnd(c.bytes, end)) << c.what;
}

// An image is read only from behind the executable's own bytes, where the
// stamp step appends it. A well-formed image placed inside the headers or
// sections is refused like any other damage.
TEST_F(ImageFileTest, AppendedImageMustLieBehindTheExecutable) {
    const std::vector<uint8_t> exe = TestProgramBytes();
    ASSERT_GT(exe.size(), 4096u);
    const std::vector<uint8_t> code = Bytes("\xC3\x90\x90"), data = Bytes("datadata");
    const std::vector<uint8_t> image = Image({code, data, Bytes("\x09"), {}, {}});
    const uint32_t size = uint32_t(exe.size());
    const uint32_t padded = (size + 3) / 4 * 4;
    enum class Place { kOver, kBehind };
    struct Case {
        const char* what;
        Place place;
        uint32_t imageAt;   // where the image bytes are
        uint32_t offset;    // what the locator says
        uint32_t cutTail;   // bytes taken off the end of the file
        bool reads;
    } cases[] = {
        {"behind the executable", Place::kBehind, size, size, 0, true},
        {"padded as the stamp step does", Place::kBehind, padded, padded, 0, true},
        {"inside the headers", Place::kOver, 8, 8, 0, false},
        {"at the first section", Place::kOver, FirstSectionData(exe), FirstSectionData(exe), 0, false},
        {"ending at the executable's end", Place::kOver, size - uint32_t(image.size()),
         size - uint32_t(image.size()), 0, false},
        {"one byte before the image", Place::kBehind, size, size - 1, 0, false},
        {"one byte into the image", Place::kBehind, size, size + 1, 0, false},
        {"running past the end of the file", Place::kBehind, size, size, 1, false},
        {"beyond the end of the file", Place::kBehind, size, size + uint32_t(image.size()) + 4, 0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = exe;
        if (c.place == Place::kBehind) file.resize(c.imageAt, 0);
        if (file.size() < c.imageAt + image.size()) file.resize(c.imageAt + image.size());
        std::copy(image.begin(), image.end(), file.begin() + c.imageAt);
        file.resize(file.size() - c.cutTail);
        ModuleBlocks blocks;
        StringHandle error;
        ASSERT_EQ(ReadAppended(file, c.offset, blocks, error), c.reads) << Str(error);
        if (c.reads) {
            EXPECT_EQ(std::vector<uint8_t>(blocks.code, blocks.code + blocks.codeSize), code);
            EXPECT_EQ(std::vector<uint8_t>(blocks.data, blocks.data + blocks.dataSize), data);
            FreeModuleBlocks(blocks);
        } else {
            EXPECT_EQ(Str(error), kDamagedImage);
            EXPECT_EQ(blocks.code, nullptr);
        }
    }
    // A file without PE headers has no place for an image.
    std::vector<uint8_t> plain(100, 'x');
    plain.insert(plain.end(), image.begin(), image.end());
    ModuleBlocks blocks;
    StringHandle error;
    EXPECT_FALSE(ReadAppended(plain, 100, blocks, error));
    EXPECT_EQ(Str(error), kDamagedImage);
}

// Development mode runs in a folder of its own.
class DevelopmentTest : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        folder_ = FreshFolder();
        wchar_t here[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, here);
        previous_ = here;
        ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
    }
    void TearDown() override {
        SetCurrentDirectoryW(previous_.c_str());
        RemoveFolder(folder_);
        LoaderTest::TearDown();
    }
    void WriteModule(const std::vector<uint8_t>& code, const std::vector<uint8_t>& data,
                     const std::vector<uint8_t>& imports, const char* skip = nullptr) {
        const std::pair<const wchar_t*, std::vector<uint8_t>> files[] = {
            {L"import.dat", imports}, {L"code.dat", code}, {L"data.dat", data},
            {L"rsrc.dat", {}},        {L"options.dat", {}}};
        for (const auto& f : files) {
            if (skip && std::wstring(f.first) == std::wstring(skip, skip + std::strlen(skip)))
                continue;
            ASSERT_TRUE(WriteFileBytes(folder_ + L"\\" + f.first, f.second));
        }
    }

    std::wstring folder_, previous_;
};

// mov dword [data + 0], 42; call RuntimeExit; ret
struct StoreModule {
    std::vector<uint8_t> code{0xC7, 0x05, 0, 0, 0, 0, 42, 0, 0, 0, 0xE8, 0, 0, 0, 0, 0xC3};
    std::vector<uint8_t> data = std::vector<uint8_t>(8, 0);
    std::vector<uint8_t> imports = ImportBlock().DataRelocation(2).EntryPoint(1, 11, "runtimeexit").Bytes();
};

class CountedService final : public RuntimeService {
public:
    explicit CountedService(int& destroyed) : destroyed_(destroyed) {}
    ~CountedService() override { ++destroyed_; }

private:
    int& destroyed_;
};

TEST_F(DevelopmentTest, ModuleIsReadLinkedAndRun) {
    StoreModule module;
    WriteModule(module.code, module.data, module.imports);
    int destroyed = 0;
    ShutdownListAdd(new CountedService(destroyed));
    ASSERT_TRUE(LoadAndRunModule());
    EXPECT_TRUE(gMessages.empty());
    ASSERT_NE(CodeBase(), nullptr);
    ASSERT_NE(DataBase(), nullptr);
    EXPECT_EQ(Read32(DataBase()), 42u);  // the module ran
    EXPECT_EQ(Read32(CodeBase() + 2), Address(DataBase()));
    EXPECT_EQ(Read32(CodeBase() + 11), Displacement(ExportFindForLink("RuntimeExit"), CodeBase(), 11));
    EXPECT_EQ(destroyed, 1);  // the shutdown list was emptied
    EXPECT_EQ(ShutdownListCount(), 0);
    EXPECT_EQ(MediaAreaOffset(), 0u);
}

TEST_F(DevelopmentTest, MissingDevelopmentFileFailsWithItsName) {
    for (const char* missing : {"import.dat", "code.dat", "data.dat", "rsrc.dat", "options.dat"}) {
        StoreModule module;
        WriteModule(module.code, module.data, module.imports, missing);
        gMessages.clear();
        EXPECT_FALSE(LoadAndRunModule()) << missing;
        ASSERT_EQ(gMessages.size(), 1u) << missing;
        EXPECT_EQ(gMessages[0], "The application could not be loaded because the file " +
                                    std::string(missing) + " could not be read.");
        for (const wchar_t* f : {L"import.dat", L"code.dat", L"data.dat", L"rsrc.dat", L"options.dat"})
            DeleteFileW((folder_ + L"\\" + f).c_str());
    }
}

TEST_F(DevelopmentTest, ModuleWithoutCodeOrWithDamagedLinksIsNotRun) {
    struct Case {
        const char* what;
        std::vector<uint8_t> code;
        std::vector<uint8_t> imports;
        std::string message;
    } cases[] = {
        {"no code", {}, {}, "The application could not be loaded because it contains no code."},
        {"site outside the code", StoreModule().code, ImportBlock().DataRelocation(13).Bytes(),
         OutsideCode(13)},
        {"cut-off record", StoreModule().code, {2, 0, 0}, CutOff(0)},
        {"missing library", StoreModule().code,
         ImportBlock().Library(11, "f", "NoSuchLibrary_q7.dll").Bytes(),
         "The application could not be loaded because a necessary shared library "
         "NoSuchLibrary_q7.dll could not be found."},
        // The report is answered OK (the capture's answer).
        {"name not exported", StoreModule().code,
         ImportBlock().DataRelocation(2).EntryPoint(1, 11, "noSuchEntryPoint").Bytes(),
         NotExported("noSuchEntryPoint")},
        {"data operand past the data", {0xC7, 0x05, 9, 0, 0, 0, 42, 0, 0, 0, 0xC3},
         ImportBlock().DataRelocation(2).Bytes(), OperandOutside("data", 9, 2)},
    };
    AssertionCapture capture;
    for (const Case& c : cases) {
        std::vector<uint8_t> data(8, 0);
        WriteModule(c.code, data, c.imports);
        gMessages.clear();
        EXPECT_FALSE(LoadAndRunModule()) << c.what;
        ASSERT_EQ(gMessages.size(), 1u) << c.what;
        EXPECT_EQ(gMessages[0], c.message) << c.what;
        if (DataBase()) {
            EXPECT_EQ(Read32(DataBase()), 0u) << c.what;  // not run
        }
    }
    EXPECT_EQ(capture.Reports().size(), 1u);  // the name not exported
}

// ---- The message box text ----------------------------------------------------------------------

TEST(RuntimeMessage, BlankLineSeparatesMessageAndExplanation) {
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"One.\r\n\r\nTwo.", "One.\r\n\r\nTwo."},
        {"One.\r\n\r\n", "One."},
        {"\r\n\r\nOne.", "\r\n\r\nOne."},
        {"One.\r\nTwo.", "One.\r\nTwo."},
        {"A\r\n\r\n\r\n\r\n", "A\r\n\r\n\r\n\r\n"},
        {"Plain", "Plain"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Str(RuntimeMessageText(StringHandle(c.text))), c.shown) << c.text;
}

}  // namespace
