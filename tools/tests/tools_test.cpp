// Host tests of the module builder and the stamp step. Module snippets are
// compiled with the cross compiler at test time, with the module flags.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteIo.h"
#include "CoffReader.h"
#include "ExportList.h"
#include "ModuleBuilder.h"
#include "ModuleImage.h"
#include "PeResource.h"
#include "Stamp.h"

namespace fs = std::filesystem;
using namespace orvtools;

namespace {

const char* const kModuleFlags =
    "-O2 -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables "
    "-fno-omit-frame-pointer -fno-jump-tables -fno-tree-switch-conversion";

const char* const kTestExports = R"(// entry points the test modules may call
ORVANE_EXPORT(RuntimeInit, void, (void))
ORVANE_EXPORT(RuntimeExit, void, (void))
ORVANE_EXPORT(RuntimeRun, void, (void))
ORVANE_EXPORT(RuntimeLockString, void, (StringValue* s))
ORVANE_EXPORT(RuntimeUnlockString, void, (StringValue* s))
ORVANE_EXPORT(RuntimeAddString, StringValue*, (StringValue* a, StringValue* b))
)";

// Declarations matching kTestExports, on top of every C++ snippet.
const char* const kPrelude = R"(#include "orvane/literal.h"
extern "C" {
void RuntimeInit(void);
void RuntimeExit(void);
void RuntimeRun(void);
void RuntimeLockString(StringValue*);
void RuntimeUnlockString(StringValue*);
StringValue* RuntimeAddString(StringValue*, StringValue*);
}
)";

const char* const kEntry = "extern \"C\" int OrvaneModuleEntry() { RuntimeInit(); RuntimeExit(); return 0; }\n";

std::string Quote(const std::string& s) { return "'" + s + "'"; }

int Shell(const std::string& command) { return std::system(command.c_str()); }

std::string ReadText(const fs::path& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFile(path.string(), bytes, error)) return std::string();
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const fs::path& path, const std::string& text) {
    std::string error;
    if (!WriteFile(path.string(), std::vector<uint8_t>(text.begin(), text.end()), error))
        throw std::runtime_error(error);
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "orvtools-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct Compiled {
    bool ok = false;
    std::vector<uint8_t> object;
    std::string log;
};

// Compiles one snippet to an object in dir; C++ gets the prelude.
Compiled CompileSnippet(const fs::path& dir, const std::string& name, const std::string& source, bool cxx = true,
                        const std::string& extraFlags = "") {
    const fs::path src = dir / (name + (cxx ? ".cpp" : ".c"));
    const fs::path obj = dir / (name + ".o");
    const fs::path log = dir / (name + ".log");
    WriteText(src, cxx ? std::string(kPrelude) + source : source);
    const std::string command = std::string(cxx ? ORVANE_CROSS_CXX " -std=c++17" : ORVANE_CROSS_CC " -std=c11") +
                                " " + kModuleFlags + " " + extraFlags + " -I" + Quote(ORVANE_SDK_INCLUDE) + " -I" +
                                Quote(dir.string()) + " -c " + Quote(src.string()) + " -o " + Quote(obj.string()) +
                                " > " + Quote(log.string()) + " 2>&1";
    Compiled c;
    c.ok = Shell(command) == 0;
    c.log = ReadText(log);
    if (c.ok) {
        std::string error;
        c.ok = ReadFile(obj.string(), c.object, error);
    }
    return c;
}

std::set<std::string> TestExports() { return ParseExportList(kTestExports); }

// What a build made, with helpers to look into it.
struct Built {
    bool ok = false;
    std::string error;
    BuildResult result;
    std::vector<ImportRecord> records;

    const std::vector<uint8_t>& code() const { return result.blocks.code; }
    const std::vector<uint8_t>& data() const { return result.blocks.data; }

    uint32_t Offset(const std::string& symbol) const {
        for (const MapEntry& e : result.map)
            if (e.symbol == symbol) return e.offset;
        throw std::runtime_error("no symbol " + symbol + " in the map");
    }
    size_t MapCount(const std::string& symbol) const {
        return size_t(std::count_if(result.map.begin(), result.map.end(),
                                    [&](const MapEntry& e) { return e.symbol == symbol; }));
    }
    uint32_t SiteValue(uint32_t site) const { return Read32(&code().at(site)); }
    std::vector<ImportRecord> OfType(uint8_t type) const {
        std::vector<ImportRecord> out;
        for (const ImportRecord& r : records)
            if (r.type == type) out.push_back(r);
        return out;
    }
    // Records of the given type whose site holds value.
    size_t CountSites(uint8_t type, uint32_t value) const {
        size_t n = 0;
        for (const ImportRecord& r : OfType(type))
            if (SiteValue(r.site) == value) ++n;
        return n;
    }
    const ImportRecord* Chain(const std::string& name, uint8_t mode) const {
        for (const ImportRecord& r : records)
            if (r.type == kImportEntryPoint && r.name == name && r.mode == mode) return &r;
        return nullptr;
    }
};

class ToolsTest : public ::testing::Test {
protected:
    std::vector<uint8_t> Object(const std::string& name, const std::string& source, bool cxx = true,
                                const std::string& extraFlags = "") {
        Compiled c = CompileSnippet(dir_.path(), name, source, cxx, extraFlags);
        if (!c.ok) throw std::runtime_error("snippet " + name + " does not compile:\n" + c.log);
        return c.object;
    }

    Built Build(const std::vector<std::pair<std::string, std::string>>& sources) {
        std::vector<ObjectInput> inputs;
        for (const auto& [name, source] : sources) inputs.push_back({name + ".o", Object(name, source)});
        return BuildObjects(inputs);
    }

    static Built BuildObjects(const std::vector<ObjectInput>& inputs, std::set<std::string> exports = TestExports()) {
        Built b;
        BuildOptions options;
        options.exports = std::move(exports);
        b.ok = BuildModule(inputs, options, b.result, b.error);
        if (b.ok) {
            std::string error;
            if (!DecodeImports(b.result.blocks.imports, b.records, error))
                throw std::runtime_error("import block does not decode: " + error);
        }
        return b;
    }

    TempDir dir_;
};

size_t CountOccurrences(const std::vector<uint8_t>& hay, const std::string& needle) {
    size_t n = 0;
    for (auto it = hay.begin();; ++it) {
        it = std::search(it, hay.end(), needle.begin(), needle.end());
        if (it == hay.end()) return n;
        ++n;
    }
}

::testing::AssertionResult HasSubstrings(const std::string& text, const std::vector<std::string>& parts) {
    for (const std::string& p : parts)
        if (text.find(p) == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << text << "\" lacks \"" << p << "\"";
    return ::testing::AssertionSuccess();
}

// The string value record at data offset v.
void ExpectLiteral(const std::vector<uint8_t>& data, uint32_t v, const std::string& text, uint32_t encoding) {
    ASSERT_EQ(v % 4, 0u);
    ASSERT_LE(uint64_t(v) + 22 + text.size(), data.size());
    const uint8_t* p = &data[v];
    EXPECT_EQ(Read32(p), 1u) << "refCount";
    EXPECT_EQ(Read32(p + 4), 0u) << "text";
    EXPECT_EQ(Read32(p + 8), text.size() + 2) << "capacity";
    EXPECT_EQ(Read32(p + 12), text.size()) << "length";
    EXPECT_EQ(Read32(p + 16), encoding) << "encoding";
    EXPECT_EQ(p[20], text.size() < 256 ? text.size() : 255u) << "length byte";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 21), text.size()), text);
    EXPECT_EQ(p[21 + text.size()], 0) << "NUL";
}

}  // namespace

// ---------------------------------------------------------------- exports

TEST(ExportList, ParsesExportLines) {
    struct Row {
        const char* text;
        std::set<std::string> names;
    } rows[] = {
        {"ORVANE_EXPORT(RuntimeInit, void, (void))\n", {"RuntimeInit"}},
        {"  ORVANE_EXPORT( lineTrace , void, (StringValue* text))", {"lineTrace"}},
        {"// ORVANE_EXPORT(name, result type, (parameters))\n", {}},
        {"#define ORVANE_EXPORT(name, result, params) result name params;\n", {}},
        {"ORVANE_EXPORT(A, void, (void))\r\nORVANE_EXPORT(B_2, int32_t, (int32_t x))\r\n", {"A", "B_2"}},
        {"ORVANE_EXPORTX(C, void, (void))\nORVANE_EXPORT(, void, (void))\n", {}},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseExportList(row.text), row.names) << row.text;
}

TEST(ExportList, ReadsTheSdkList) {
    std::set<std::string> names;
    std::string error;
    ASSERT_TRUE(ReadExportList(ORVANE_EXPORTS_INC, names, error)) << error;
    for (const char* name : {"RuntimeInit", "RuntimeExit", "RuntimeLockString", "RuntimeAddString", "lineTrace"})
        EXPECT_TRUE(names.count(name)) << name;
    EXPECT_FALSE(names.count("name"));  // the comment's example line
    EXPECT_FALSE(names.count("memset"));
}

// ---------------------------------------------------------------- entry points

TEST_F(ToolsTest, CallsOfEntryPointsBecomeChains) {
    const Built b = Build({{"calls", R"(
extern "C" int OrvaneModuleEntry() {
    RuntimeInit();
    RuntimeLockString(0);
    RuntimeLockString(0);
    RuntimeUnlockString(0);
    RuntimeLockString(0);
    RuntimeExit();
    return 0;
}
extern "C" void Tail(StringValue* s) { RuntimeUnlockString(s); }  // a jmp at -O2
)"}});
    ASSERT_TRUE(b.ok) << b.error;
    const struct {
        const char* name;
        size_t sites;
    } rows[] = {{"RuntimeInit", 1}, {"RuntimeLockString", 3}, {"RuntimeUnlockString", 2}, {"RuntimeExit", 1}};
    size_t jumps = 0;
    for (const auto& row : rows) {
        const ImportRecord* r = b.Chain(row.name, kImportModeCall);
        ASSERT_NE(r, nullptr) << row.name;
        std::vector<uint32_t> sites;
        std::string error;
        ASSERT_TRUE(WalkChain(b.code(), r->site, sites, error)) << error;
        EXPECT_EQ(sites.size(), row.sites) << row.name;
        for (uint32_t s : sites) {
            ASSERT_GE(s, 1u);
            const uint8_t opcode = b.code()[s - 1];
            EXPECT_TRUE(opcode == 0xE8 || opcode == 0xE9) << row.name << " site " << s;
            jumps += opcode == 0xE9;
        }
        EXPECT_TRUE(std::is_sorted(sites.begin(), sites.end()));
        EXPECT_EQ(b.SiteValue(sites.back()), 0u);
        EXPECT_EQ(b.Chain(row.name, kImportModeAbsolute), nullptr);
    }
    EXPECT_GE(jumps, 1u);  // the tail call links like a call
    EXPECT_EQ(b.records.size(), 4u);  // one record per name, nothing else
}

TEST_F(ToolsTest, AddressOfAnEntryPointIsAModeZeroChain) {
    const Built b = Build({{"address", R"(
typedef void (*Fn)(StringValue*);
extern "C" __attribute__((noipa)) Fn Pick(int i) { return i ? RuntimeLockString : RuntimeUnlockString; }
extern "C" int OrvaneModuleEntry() { Fn f = Pick(1); f(0); RuntimeLockString(0); return 0; }
)"}});
    ASSERT_TRUE(b.ok) << b.error;
    for (const char* name : {"RuntimeLockString", "RuntimeUnlockString"}) {
        const ImportRecord* r = b.Chain(name, kImportModeAbsolute);
        ASSERT_NE(r, nullptr) << name;
        EXPECT_EQ(b.SiteValue(r->site), 0u) << "one site: the chain ends there";
    }
    ASSERT_NE(b.Chain("RuntimeLockString", kImportModeCall), nullptr);  // the direct call, apart
    EXPECT_EQ(b.Chain("RuntimeUnlockString", kImportModeCall), nullptr);
}

// ---------------------------------------------------------------- code, data, literals

TEST_F(ToolsTest, EachReferenceLandsInItsRecord) {
    const Built b = Build({{"refs", R"(
ORVANE_LITERAL(kGreeting, "Hello, module");
ORVANE_ASCII_LITERAL(kClassName, "Window");
int table[4] = {11, 22, 33, 44};
int counter;
extern "C" __attribute__((noipa)) int Helper(int x) { return x * 3 + counter; }
extern "C" void* AddressOfHelper() { return (void*)&Helper; }
extern "C" int ReadTable() { counter++; return table[2]; }
extern "C" double Scale(double x) { return x * 2.718281828; }
// One use of the literal in each of three routines: three sites.
extern "C" __attribute__((noipa)) void LockGreeting() { RuntimeLockString(ORVANE_STR(kGreeting)); }
extern "C" __attribute__((noipa)) void UnlockGreeting() { RuntimeUnlockString(ORVANE_STR(kGreeting)); }
extern "C" int OrvaneModuleEntry() {
    LockGreeting();
    UnlockGreeting();
    RuntimeAddString(ORVANE_STR(kGreeting), ORVANE_STR(kClassName));
    return Helper(1);
}
)"}});
    ASSERT_TRUE(b.ok) << b.error;
    const struct {
        const char* what;
        uint8_t type;
        const char* symbol;
        uint32_t addend;
        size_t minimum, maximum;
    } rows[] = {
        {"literal at three call sites", kImportLiteral, "__ZL9kGreeting", 0, 3, 3},
        {"ASCII literal", kImportLiteral, "__ZL10kClassName", 0, 1, 1},
        {"address of a module routine", kImportCode, "_Helper", 0, 1, 1},
        {"element of an initialised array", kImportData, "_table", 8, 1, 1},
        {"zero-filled global", kImportData, "_counter", 0, 2, 2},
    };
    for (const auto& row : rows) {
        const size_t n = b.CountSites(row.type, b.Offset(row.symbol) + row.addend);
        EXPECT_GE(n, row.minimum) << row.what;
        EXPECT_LE(n, row.maximum) << row.what;
    }
    EXPECT_EQ(CountOccurrences(b.data(), "Hello, module"), 1u);
    ExpectLiteral(b.data(), b.Offset("__ZL9kGreeting"), "Hello, module", 0x08000100u);
    ExpectLiteral(b.data(), b.Offset("__ZL10kClassName"), "Window", 0x600u);
    const uint32_t table = b.Offset("_table");
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(Read32(&b.data().at(table + 4 * i)), 11 * (i + 1));
    EXPECT_EQ(Read32(&b.data().at(b.Offset("_counter"))), 0u);

    // The double constant of .rdata: a type-2 site holding where its 8 bytes went.
    const double e = 2.718281828;
    size_t doubles = 0;
    for (const ImportRecord& r : b.OfType(kImportData)) {
        const uint32_t v = b.SiteValue(r.site);
        if (uint64_t(v) + 8 <= b.data().size() && std::memcmp(&b.data()[v], &e, 8) == 0) ++doubles;
    }
    EXPECT_EQ(doubles, 1u);

    // Every site lies in the code block and points into its block.
    for (const ImportRecord& r : b.records) {
        ASSERT_LE(uint64_t(r.site) + 4, b.code().size());
        if (r.type == kImportCode) {
            EXPECT_LT(b.SiteValue(r.site), b.code().size());
        }
        if (r.type == kImportData || r.type == kImportLiteral) {
            EXPECT_LT(b.SiteValue(r.site), b.data().size());
        }
    }
}

TEST_F(ToolsTest, LiteralRecordsAreComplete) {
    const struct {
        const char* what;
        std::string text;
        bool ascii;
    } rows[] = {
        {"one byte", "A", false},
        {"ASCII name", "Window", true},
        {"UTF-8", "Fahrt \xE2\x86\x92 Ziel", false},
        {"254 bytes", std::string(254, 'x'), false},
        {"255 bytes", std::string(255, 'y'), false},
        {"300 bytes: length byte 255", std::string(300, 'z'), true},
    };
    int i = 0;
    for (const auto& row : rows) {
        const std::string source = std::string(row.ascii ? "ORVANE_ASCII_LITERAL" : "ORVANE_LITERAL") +
                                   "(kText, \"" + row.text + "\");\n" +
                                   "extern \"C\" int OrvaneModuleEntry() { RuntimeLockString(ORVANE_STR(kText)); "
                                   "return 0; }\n";
        const Built b = Build({{"lit" + std::to_string(i++), source}});
        ASSERT_TRUE(b.ok) << row.what << ": " << b.error;
        const std::vector<ImportRecord> literals = b.OfType(kImportLiteral);
        ASSERT_EQ(literals.size(), 1u) << row.what;
        const uint32_t v = b.SiteValue(literals[0].site);
        EXPECT_EQ(v, b.Offset("__ZL5kText")) << row.what;
        ExpectLiteral(b.data(), v, row.text, row.ascii ? 0x600u : 0x08000100u);
    }
}

TEST_F(ToolsTest, TheLiteralMacroRejectsBadLiterals) {
    const struct {
        const char* what;
        const char* source;
    } rows[] = {
        {"empty literal", "ORVANE_LITERAL(kEmpty, \"\");\n"},
        {"non-ASCII byte in an ASCII literal", "ORVANE_ASCII_LITERAL(kName, \"caf\\xC3\\xA9\");\n"},
    };
    int i = 0;
    for (const auto& row : rows) {
        const Compiled c = CompileSnippet(dir_.path(), "badlit" + std::to_string(i++), row.source);
        EXPECT_FALSE(c.ok) << row.what;
    }
    // The same text in a UTF-8 literal is fine.
    EXPECT_TRUE(CompileSnippet(dir_.path(), "goodlit", "ORVANE_LITERAL(kName, \"caf\\xC3\\xA9\");\n").ok);
}

TEST_F(ToolsTest, CallsBetweenModuleRoutinesAreResolved) {
    WriteText(dir_.path() / "shared.h", "inline __attribute__((noipa)) int Shared(int x) { return x + 7; }\n");
    const std::string callerSource = "#include \"shared.h\"\nextern \"C\" int Twice(int);\n"
                                     "extern \"C\" int OrvaneModuleEntry() { return Twice(Shared(2)); }\n";
    const Built b = Build({
        {"caller", callerSource},
        {"callee", "#include \"shared.h\"\nextern \"C\" int Twice(int x) { return Shared(x) * 2; }\n"},
    });
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_TRUE(b.records.empty()) << "nothing to link at run time";
    EXPECT_EQ(b.MapCount("__Z6Sharedi"), 1u) << "the inline routine is kept once";

    // Every REL32 of the caller's .text holds target - (site + 4).
    CoffObject caller;
    std::string error;
    const std::vector<uint8_t> bytes = Object("caller", callerSource);
    ASSERT_TRUE(ReadCoffObject(bytes.data(), bytes.size(), "caller.o", caller, error)) << error;
    uint32_t entryValue = 0;
    for (const CoffSymbol& s : caller.symbols)
        if (!s.isAux && s.name == "_OrvaneModuleEntry") entryValue = s.value;
    const uint32_t textBase = b.Offset("_OrvaneModuleEntry") - entryValue;
    size_t checked = 0;
    for (const CoffSection& s : caller.sections) {
        if (s.name != ".text") continue;
        for (const CoffRelocation& r : s.relocations) {
            ASSERT_EQ(r.type, coff::kRelRel32);
            const uint32_t site = textBase + r.offset;
            const uint32_t target = b.Offset(caller.symbols[r.symbol].name);
            EXPECT_EQ(b.SiteValue(site), target - (site + 4)) << caller.symbols[r.symbol].name;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 2u);
}

TEST_F(ToolsTest, AWeakRoutineYieldsToAStrongOne) {
    const std::string weak = "extern \"C\" __attribute__((weak)) int Hook(int x) { return x; }\n"
                             "extern \"C\" int OrvaneModuleEntry() { return Hook(3); }\n";
    const std::string strong = "extern \"C\" int Hook(int x) { return x * 100; }\n";
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> sources;
        const char* target;
    } rows[] = {
        {"weak alone", {{"weak1", weak}}, ".weak._Hook._OrvaneModuleEntry"},
        {"with a strong definition", {{"weak2", weak}, {"strong", strong}}, "_Hook"},
    };
    for (const auto& row : rows) {
        const Built b = Build(row.sources);
        ASSERT_TRUE(b.ok) << row.what << ": " << b.error;
        EXPECT_TRUE(b.records.empty()) << row.what;
        const uint32_t entry = b.Offset("_OrvaneModuleEntry");
        const uint32_t target = b.Offset(row.target);
        size_t calls = 0;
        for (uint32_t at = entry; at + 5 <= b.code().size() && at < entry + 32; ++at)
            if ((b.code()[at] == 0xE8 || b.code()[at] == 0xE9) && at + 5 + Read32(&b.code()[at + 1]) == target)
                ++calls;
        EXPECT_EQ(calls, 1u) << row.what;
    }
}

TEST_F(ToolsTest, ByteZeroIsTheEntry) {
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> sources;
        bool stub;
    } rows[] = {
        {"entry first in its section",
         {{"first", "extern \"C\" int OrvaneModuleEntry() { RuntimeInit(); return 0; }\n"
                    "extern \"C\" int Other(int x) { return x * 7 + 1; }\n"}},
         false},
        {"entry after another routine",
         {{"second", "extern \"C\" __attribute__((noipa)) int Helper(int x) { return x * 5; }\n"
                     "extern \"C\" int OrvaneModuleEntry() { RuntimeInit(); return Helper(2); }\n"}},
         true},
        {"entry in the last object",
         {{"lib", "extern \"C\" int Other(int x) { return x * 7 + 1; }\n"},
          {"main", "extern \"C\" int OrvaneModuleEntry() { RuntimeInit(); return 0; }\n"}},
         false},
    };
    for (const auto& row : rows) {
        const Built b = Build(row.sources);
        ASSERT_TRUE(b.ok) << row.what << ": " << b.error;
        ASSERT_GE(b.code().size(), 5u);
        const uint32_t entry = b.Offset("_OrvaneModuleEntry");
        if (row.stub) {
            ASSERT_EQ(b.code()[0], 0xE9) << row.what;
            EXPECT_EQ(5 + Read32(&b.code()[1]), entry) << row.what;
        } else {
            EXPECT_EQ(entry, 0u) << row.what;
        }
        // Every routine is intact behind the jump: each starts by saving the frame pointer.
        for (const MapEntry& e : b.result.map) {
            if (e.block != 'c') continue;
            EXPECT_GE(e.offset, row.stub ? 5u : 0u) << row.what << ": " << e.symbol;
            EXPECT_EQ(b.code().at(e.offset), 0x55) << row.what << ": " << e.symbol;
        }
    }
}

TEST_F(ToolsTest, BssAndCommonsAreZeroFilled) {
    const Built b = Build({{"bss", R"(
char buffer[4096];
int filled[2] = {0x11111111, 0x22222222};
extern "C" int OrvaneModuleEntry() { buffer[10] = 1; return filled[1]; }
)"}});
    ASSERT_TRUE(b.ok) << b.error;
    const uint32_t at = b.Offset("_buffer");
    ASSERT_LE(uint64_t(at) + 4096, b.data().size());
    EXPECT_TRUE(std::all_of(b.data().begin() + at, b.data().begin() + at + 4096, [](uint8_t c) { return c == 0; }));
    EXPECT_EQ(Read32(&b.data()[b.Offset("_filled") + 4]), 0x22222222u);
    EXPECT_EQ(b.CountSites(kImportData, at + 10), 1u);

    // C tentative definitions as common symbols, one in each object.
    const std::string shared = "int shared[3];\n__attribute__((noipa)) int Get%d(void) { return shared[2]; }\n";
    char a[128], c[128];
    std::snprintf(a, sizeof a, shared.c_str(), 1);
    std::snprintf(c, sizeof c, shared.c_str(), 2);
    const std::vector<ObjectInput> inputs = {
        {"c1.o", Object("c1", std::string(a) + "int OrvaneModuleEntry(void) { return Get1(); }\n", false, "-fcommon")},
        {"c2.o", Object("c2", c, false, "-fcommon")},
    };
    const Built common = BuildObjects(inputs);
    ASSERT_TRUE(common.ok) << common.error;
    ASSERT_EQ(common.MapCount("_shared"), 1u);
    const uint32_t s = common.Offset("_shared");
    ASSERT_LE(uint64_t(s) + 12, common.data().size());
    EXPECT_EQ(Read32(&common.data()[s + 8]), 0u);
    EXPECT_EQ(common.CountSites(kImportData, s + 8), 2u) << "both objects refer to one allocation";
}

// An address just past the data block (an end pointer) and one a little
// before an array that does not start the block both stay inside what the
// loader accepts.
TEST_F(ToolsTest, AddressesUpToTheEndOfTheDataBlockBuild) {
    const Built b = Build({{"ends", R"(
struct Globals { int head[2]; int tail[4]; };
Globals globals = {{5, 6}, {1, 2, 3, 4}};
extern "C" __attribute__((noipa)) int* End() { return globals.tail + 4; }
extern "C" __attribute__((noipa)) int Before(int i) { return globals.tail[i - 1]; }
extern "C" int OrvaneModuleEntry() { return *(End() - 1) + Before(1); }
)"}});
    ASSERT_TRUE(b.ok) << b.error;
    const uint32_t at = b.Offset("_globals");
    ASSERT_EQ(uint64_t(at) + 24, b.data().size()) << "the globals end the data block";
    EXPECT_EQ(b.CountSites(kImportData, at + 24), 1u) << "the end pointer";
    EXPECT_EQ(b.CountSites(kImportData, at + 4), 1u) << "tail[i - 1]";
    for (const ImportRecord& r : b.OfType(kImportData)) EXPECT_LE(b.SiteValue(r.site), b.data().size());
}

TEST_F(ToolsTest, SeveralObjectsCombine) {
    WriteText(dir_.path() / "texts.h", "ORVANE_LITERAL(kShared, \"Shared text\");\n");
    const Built b = Build({
        {"one", "#include \"texts.h\"\nint aGlobal = 5;\nextern \"C\" int FromTwo(void);\n"
                "extern \"C\" int OrvaneModuleEntry() { RuntimeLockString(ORVANE_STR(kShared)); return FromTwo(); }\n"},
        {"two", "#include \"texts.h\"\nextern int aGlobal;\n"
                "extern \"C\" int FromTwo(void) { RuntimeLockString(ORVANE_STR(kShared)); return aGlobal; }\n"},
    });
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(CountOccurrences(b.data(), "Shared text"), 1u) << "the two copies are folded";
    const std::vector<ImportRecord> literals = b.OfType(kImportLiteral);
    ASSERT_EQ(literals.size(), 2u);
    EXPECT_EQ(b.SiteValue(literals[0].site), b.SiteValue(literals[1].site));
    ExpectLiteral(b.data(), b.SiteValue(literals[0].site), "Shared text", 0x08000100u);
    EXPECT_EQ(b.CountSites(kImportData, b.Offset("_aGlobal")), 1u);
    const ImportRecord* lock = b.Chain("RuntimeLockString", kImportModeCall);
    ASSERT_NE(lock, nullptr);
    std::vector<uint32_t> sites;
    std::string error;
    ASSERT_TRUE(WalkChain(b.code(), lock->site, sites, error)) << error;
    EXPECT_EQ(sites.size(), 2u) << "one chain through both objects";
}

TEST_F(ToolsTest, TheSdkHeadersBuildAgainstTheSdkList) {
    const fs::path src = dir_.path() / "sdk.cpp";
    WriteText(src, "#include \"orvane/exports.h\"\n#include \"orvane/literal.h\"\n"
                   "ORVANE_LITERAL(kHello, \"hello\");\n"
                   "extern \"C\" int OrvaneModuleEntry() { RuntimeInit(); lineTrace(ORVANE_STR(kHello)); "
                   "RuntimeExit(); return 0; }\n");
    const fs::path obj = dir_.path() / "sdk.o";
    ASSERT_EQ(Shell(std::string(ORVANE_CROSS_CXX) + " -std=c++17 " + kModuleFlags + " -I" + Quote(ORVANE_SDK_INCLUDE) +
                  " -c " + Quote(src.string()) + " -o " + Quote(obj.string())),
              0);
    std::set<std::string> exports;
    std::string error;
    ASSERT_TRUE(ReadExportList(ORVANE_EXPORTS_INC, exports, error)) << error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFile(obj.string(), bytes, error)) << error;
    const Built b = BuildObjects({{"sdk.o", bytes}}, exports);
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_NE(b.Chain("lineTrace", kImportModeCall), nullptr);
    EXPECT_EQ(b.OfType(kImportLiteral).size(), 1u);
}

// ---------------------------------------------------------------- errors

std::string AsmLiteral(const std::string& fields, const std::string& tail = "") {
    return "asm(\".section .orvlit,\\\"w\\\"\\n.align 4\\n.globl _bad\\n_bad:\\n" + fields + tail +
           "\\n.text\\n\");\n";
}

TEST_F(ToolsTest, UnsupportedConstructsNameSymbolAndSection) {
    const struct {
        const char* what;
        std::vector<std::string> sources;
        std::vector<std::string> expected;
        bool entry;
    } rows[] = {
        {"memset",
         {"extern \"C\" void Clear(char* p, int n) { __builtin_memset(p, 0, n); }\n"},
         {"memset", "_memset", ".text", "not an entry point"}, true},
        {"memcpy",
         {"extern \"C\" void Copy(char* a, const char* b, int n) { __builtin_memcpy(a, b, n); }\n"},
         {"memcpy", "_memcpy", ".text"}, true},
        {"stack probe",
         {"extern \"C\" int Deep(int i) { volatile char buf[20000]; buf[i] = 1; return buf[0]; }\n"},
         {"__chkstk_ms", "___chkstk_ms", ".text"}, true},
        {"64-bit division helper",
         {"extern \"C\" unsigned long long Div(unsigned long long a, unsigned long long b) { return a / b; }\n"},
         {"__udivdi3", ".text"}, true},
        {"unknown name",
         {"extern \"C\" void Frobnicate(void);\nextern \"C\" void F() { Frobnicate(); }\n"},
         {"Frobnicate", "_Frobnicate", ".text", "not an entry point"}, true},
        {"address of an import plus an addend",
         {"extern \"C\" char* P() { return (char*)&RuntimeInit + 4; }\n"},
         {"RuntimeInit", "_RuntimeInit", "addend 4", ".text"}, true},
        {"call of an import plus an addend",
         {"extern \"C\" void Q() { asm volatile(\"call _RuntimeInit+4\"); }\n"},
         {"call of RuntimeInit", "addend 4", ".text"}, true},
        {"pointer table in .data",
         {"extern \"C\" { typedef void (*Fn)(void); Fn table[] = {RuntimeInit, RuntimeExit}; }\n"
          "extern \"C\" void T(int i) { table[i](); }\n"},
         {"_RuntimeInit", ".data", "data section"}, true},
        {"virtual table in .rdata",
         {"struct V { virtual int f(); };\nint V::f() { return 1; }\n"},
         {"__ZN1V1fEv", ".rdata$_ZTV1V", "data section"}, true},
        {"unknown relocation type",
         {"extern \"C\" void R() { asm volatile(\".secrel32 _RuntimeInit\"); }\n"},
         {"relocation type 0xb", "_RuntimeInit", ".text"}, true},
        // arr[i - 1] addresses arr - 4, before the data block when arr starts it.
        {"address before the data block",
         {"int arr[4] = {1};\nextern \"C\" int Last(int i) { return arr[i - 1]; }\n"},
         {".data", "outside the data block", ".text"}, true},
        {"relative reference to data",
         {"int counter2;\nextern \"C\" void J() { asm volatile(\"call _counter2\"); }\n"},
         {"relative reference", "_counter2", ".text"}, true},
        {"refCount not 1", {AsmLiteral(".long 2,0,4,2,0x08000100\\n.byte 2\\n.ascii \\\"ab\\\"\\n.byte 0")},
         {"_bad", ".orvlit", "refCount 2"}, true},
        {"text not 0", {AsmLiteral(".long 1,8,4,2,0x08000100\\n.byte 2\\n.ascii \\\"ab\\\"\\n.byte 0")},
         {"_bad", ".orvlit", "text pointer"}, true},
        {"capacity", {AsmLiteral(".long 1,0,3,2,0x08000100\\n.byte 2\\n.ascii \\\"ab\\\"\\n.byte 0")},
         {"_bad", ".orvlit", "capacity 3"}, true},
        {"length byte", {AsmLiteral(".long 1,0,4,2,0x08000100\\n.byte 3\\n.ascii \\\"ab\\\"\\n.byte 0")},
         {"_bad", ".orvlit", "length byte 3"}, true},
        {"no NUL", {AsmLiteral(".long 1,0,4,2,0x08000100\\n.byte 2\\n.ascii \\\"abc\\\"")},
         {"_bad", ".orvlit", "NUL"}, true},
        {"encoding", {AsmLiteral(".long 1,0,4,2,0xFFFF\\n.byte 2\\n.ascii \\\"ab\\\"\\n.byte 0")},
         {"_bad", ".orvlit", "encoding 0xffff"}, true},
        {"length past the section",
         {AsmLiteral(".long 1,0,402,400,0x08000100\\n.byte 255\\n.ascii \\\"ab\\\"\\n.byte 0")},
         {"_bad", ".orvlit", "length"}, true},
        {"misaligned literal",
         {AsmLiteral(".long 1,0,4,2,0x08000100\\n.byte 2\\n.ascii \\\"ab\\\"\\n.byte 0",
                     "\\n.globl _odd\\n.set _odd, _bad + 2")},
         {"_odd", ".orvlit", "misaligned"}, true},
        {"no entry routine", {"extern \"C\" void Lonely() { RuntimeInit(); }\n"}, {"OrvaneModuleEntry"}, false},
        {"defined twice",
         {"extern \"C\" int Twice(int x) { return 2 * x; }\n", "extern \"C\" int Twice(int x) { return x + x; }\n"},
         {"_Twice", "more than once", ".text"}, true},
    };
    int n = 0;
    for (const auto& row : rows) {
        std::vector<std::pair<std::string, std::string>> sources;
        for (size_t i = 0; i < row.sources.size(); ++i)
            sources.emplace_back("err" + std::to_string(n) + "_" + std::to_string(i), row.sources[i]);
        if (row.entry) sources.emplace_back("err" + std::to_string(n) + "_entry", kEntry);
        ++n;
        const Built b = Build(sources);
        EXPECT_FALSE(b.ok) << row.what;
        EXPECT_TRUE(HasSubstrings(b.error, row.expected)) << row.what;
    }
}

// ---------------------------------------------------------------- damaged objects

class DamagedObjectTest : public ToolsTest {
protected:
    void SetUp() override {
        object_ = Object("sample", R"(
ORVANE_LITERAL(kText, "sample text");
int values[3] = {1, 2, 3};
extern "C" int OrvaneModuleEntry() { RuntimeLockString(ORVANE_STR(kText)); return values[1]; }
)");
        std::string error;
        ASSERT_TRUE(ReadCoffObject(object_.data(), object_.size(), "sample.o", parsed_, error)) << error;
    }

    Built BuildBytes(const std::vector<uint8_t>& bytes) { return BuildObjects({{"sample.o", bytes}}); }

    size_t SectionHeader(const char* name) const {
        for (size_t i = 0; i < parsed_.sections.size(); ++i)
            if (parsed_.sections[i].name == name) return 20 + Read16(&object_[16]) + 40 * i;
        throw std::runtime_error(std::string("no section ") + name);
    }

    std::vector<uint8_t> object_;
    CoffObject parsed_;
};

TEST_F(DamagedObjectTest, TheIntactObjectBuilds) { EXPECT_TRUE(BuildBytes(object_).ok); }

TEST_F(DamagedObjectTest, EveryTruncationIsAnError) {
    for (size_t cut = 0; cut < object_.size(); ++cut) {
        const std::vector<uint8_t> part(object_.begin(), object_.begin() + long(cut));
        const Built b = BuildBytes(part);
        ASSERT_FALSE(b.ok) << "cut at " << cut;
        ASSERT_FALSE(b.error.empty()) << "cut at " << cut;
    }
}

TEST_F(DamagedObjectTest, BadOffsetsAndCountsAreErrors) {
    const size_t text = SectionHeader(".text");
    const size_t symbols = Read32(&object_[8]);
    const size_t symbolCount = Read32(&object_[12]);
    const size_t strings = symbols + 18 * symbolCount;
    const size_t firstRelocation = Read32(&object_[text + 24]);
    const struct {
        const char* what;
        size_t at;
        int width;
        uint32_t value;
        const char* expected;
    } rows[] = {
        {"machine", 0, 2, 0x8664, "not an i386 object"},
        {"section count", 2, 2, 0x7FFF, "section table outside the file"},
        {"optional header size", 16, 2, 0xFFF0, "section table outside the file"},
        {"symbol table offset", 8, 4, 0xFFFFFF00u, "symbol table outside the file"},
        {"symbol count", 12, 4, 0x0FFFFFFFu, "symbol table outside the file"},
        {"string table size", strings, 4, 0x7FFFFFFFu, "string table size"},
        {"raw data offset", text + 20, 4, 0xFFFFFFF0u, "raw data outside the file"},
        {"raw data size", text + 16, 4, 0x00F00000u, "raw data outside the file"},
        {"raw data size, huge", text + 16, 4, 0xFFFFFFFFu, "too large"},
        {"relocation offset", text + 24, 4, 0xFFFFFFF0u, "relocations outside the file"},
        {"relocation count", text + 32, 2, 0xFFFF, "relocations outside the file"},
        {"long section name", text, 4, 0x39392F, "string table offset"},  // "/99"
        {"relocation symbol index", firstRelocation + 4, 4, 0x00FFFFFFu, "bad symbol index"},
        {"relocation site", firstRelocation, 4, 0xFFFFFFF0u, "outside the section"},
        {"symbol section number", symbols + 12, 2, 0x7FFF, "bad section number"},
        {"aux count of the last symbol", symbols + 18 * (symbolCount - 1) + 17, 1, 9, "aux records"},
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes = object_;
        ASSERT_LE(row.at + size_t(row.width), bytes.size()) << row.what;
        for (int i = 0; i < row.width; ++i) bytes[row.at + size_t(i)] = uint8_t(row.value >> (8 * i));
        const Built b = BuildBytes(bytes);
        EXPECT_FALSE(b.ok) << row.what;
        EXPECT_TRUE(HasSubstrings(b.error, {"sample.o", row.expected})) << row.what;
    }
}

TEST_F(DamagedObjectTest, RandomDamageNeverCrashes) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    size_t failures = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = object_;
        const int edits = 1 + int(next() % 4);
        for (int e = 0; e < edits; ++e) bytes[next() % bytes.size()] = uint8_t(next());
        const Built b = BuildBytes(bytes);
        if (!b.ok) {
            ++failures;
            EXPECT_FALSE(b.error.empty());
        }
    }
    EXPECT_GT(failures, 0u);
}

// ---------------------------------------------------------------- image files

TEST(ModuleImage, RoundTrips) {
    const std::vector<ModuleBlocks> rows = {
        {},
        {{0xC3}, {}, {}, {}, {}},
        {{1, 2, 3, 4, 5}, {6, 7}, {1, 0, 0, 0, 0, 0, 0}, {9}, {0, 0, 0, 0, 0}},
        {std::vector<uint8_t>(70000, 0x90), std::vector<uint8_t>(3, 1), {}, {}, {}},
    };
    for (const ModuleBlocks& row : rows) {
        const std::vector<uint8_t> image = EncodeImage(row);
        EXPECT_EQ(image.size(), 20 + row.code.size() + row.data.size() + row.imports.size() + row.resources.size() +
                                    row.options.size());
        EXPECT_EQ(Read32(image.data()), row.code.size());
        ModuleBlocks back;
        size_t consumed = 0;
        std::string error;
        ASSERT_TRUE(DecodeImage(image.data(), image.size(), back, consumed, error)) << error;
        EXPECT_EQ(consumed, image.size());
        EXPECT_EQ(back.code, row.code);
        EXPECT_EQ(back.data, row.data);
        EXPECT_EQ(back.imports, row.imports);
        EXPECT_EQ(back.resources, row.resources);
        EXPECT_EQ(back.options, row.options);
        for (size_t cut = 0; cut < std::min<size_t>(image.size(), 64); ++cut) {
            ModuleBlocks part;
            EXPECT_FALSE(DecodeImage(image.data(), cut, part, consumed, error)) << "cut at " << cut;
        }
    }
}

TEST_F(ToolsTest, DevelopmentFilesHoldOneBlockEach) {
    const ModuleBlocks blocks{{0xC3, 0x90}, {1, 2, 3}, {3, 0, 0, 0, 0}, {}, {}};
    std::string error;
    ASSERT_TRUE(WriteDevelopmentFiles(dir_.path().string(), blocks, error)) << error;
    const struct {
        const char* file;
        const std::vector<uint8_t>* block;
    } rows[] = {{"code.dat", &blocks.code},   {"data.dat", &blocks.data},     {"import.dat", &blocks.imports},
                {"rsrc.dat", &blocks.resources}, {"options.dat", &blocks.options}};
    for (const auto& row : rows) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFile((dir_.path() / row.file).string(), bytes, error)) << error;
        EXPECT_EQ(bytes, *row.block) << row.file;
    }
}

TEST(ImportBlock, DecodesWhatItEncodes) {
    std::vector<uint8_t> block;
    std::vector<ImportRecord> rows(5);
    rows[0].type = kImportEntryPoint, rows[0].mode = kImportModeCall, rows[0].site = 0x123, rows[0].name = "RuntimeInit";
    rows[1].type = kImportEntryPoint, rows[1].mode = kImportModeAbsolute, rows[1].site = 7, rows[1].name = "lineTrace";
    rows[2].type = kImportData, rows[2].site = 0x10;
    rows[3].type = kImportCode, rows[3].site = 0x20;
    rows[4].type = kImportLiteral, rows[4].site = 0x30;
    for (const ImportRecord& r : rows) AppendImportRecord(block, r);
    // type 1: type, mode, u32 site, length byte, name, NUL
    EXPECT_EQ(block.size(), (1 + 1 + 4 + 1 + 11 + 1) + (1 + 1 + 4 + 1 + 9 + 1) + 3 * 5u);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 8),
              (std::vector<uint8_t>{1, 1, 0x23, 0x01, 0, 0, 11, 'R'}));
    std::vector<ImportRecord> back;
    std::string error;
    ASSERT_TRUE(DecodeImports(block, back, error)) << error;
    ASSERT_EQ(back.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(back[i].type, rows[i].type);
        EXPECT_EQ(back[i].site, rows[i].site);
        EXPECT_EQ(back[i].name, rows[i].name);
    }
    for (size_t cut = 1; cut < 19; ++cut)
        EXPECT_FALSE(DecodeImports(std::vector<uint8_t>(block.begin(), block.begin() + long(cut)), back, error));
}

// ---------------------------------------------------------------- stamp

class StampTest : public ::testing::Test {
protected:
    // A tiny PE with the runtime's locator resource, and one without resources.
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        const fs::path d = dir_->path();
        WriteText(d / "pickle.dat", "PICKPOKE");
        WriteText(d / "tiny.rc", "101 PICKLE \"pickle.dat\"\n");
        WriteText(d / "tiny.c", "int main(void) { return 0; }\n");
        const std::string cc = ORVANE_CROSS_CC;
        const std::string quiet = " > " + Quote((d / "pe.log").string()) + " 2>&1";
        const std::string cd = "cd " + Quote(d.string()) + " && ";
        built_ = Shell(cd + ORVANE_WINDRES + " tiny.rc -O coff -o tiny_res.o" + quiet) == 0 &&
                 Shell(cd + cc + " -O2 tiny.c tiny_res.o -o tiny.exe" + quiet) == 0 &&
                 Shell(cd + cc + " -O2 tiny.c -o bare.exe" + quiet) == 0;
        std::string error;
        built_ = built_ && ReadFile((d / "tiny.exe").string(), *(tiny_ = new std::vector<uint8_t>), error) &&
                 ReadFile((d / "bare.exe").string(), *(bare_ = new std::vector<uint8_t>), error);
    }
    static void TearDownTestSuite() {
        delete dir_;
        delete tiny_;
        delete bare_;
        dir_ = nullptr;
        tiny_ = bare_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(built_) << ReadText(dir_->path() / "pe.log"); }

    static std::vector<uint8_t> SampleImage() {
        ModuleBlocks blocks{{0x55, 0x89, 0xE5, 0x5D, 0xC3}, {1, 0, 0, 0}, {3, 1, 0, 0, 0}, {}, {}};
        return EncodeImage(blocks);
    }

    // Stamps runtime and checks the result against the bytes it came from.
    static void ExpectStamped(const std::vector<uint8_t>& runtime) {
        const std::vector<uint8_t> image = SampleImage();
        std::vector<uint8_t> out;
        uint32_t offset = 0;
        std::string error;
        ASSERT_TRUE(StampRuntime(runtime, image, out, offset, error)) << error;
        EXPECT_EQ(offset % 4, 0u);
        EXPECT_GE(offset, runtime.size());
        EXPECT_LT(offset, runtime.size() + 4);
        ASSERT_EQ(out.size(), offset + image.size());
        EXPECT_TRUE(std::all_of(out.begin() + long(runtime.size()), out.begin() + offset,
                                [](uint8_t c) { return c == 0; }));
        EXPECT_TRUE(std::equal(image.begin(), image.end(), out.begin() + offset));

        // The locator is where the PE parser finds it: the one "PICKPOKE" of the bare runtime.
        pe::ResourceData locator;
        ASSERT_TRUE(pe::FindModuleLocator(out.data(), out.size(), locator));
        const std::string marker = "PICKPOKE";
        const auto found = std::search(runtime.begin(), runtime.end(), marker.begin(), marker.end());
        ASSERT_NE(found, runtime.end());
        EXPECT_EQ(std::search(found + 1, runtime.end(), marker.begin(), marker.end()), runtime.end());
        EXPECT_EQ(size_t(found - runtime.begin()), locator.fileOffset);
        EXPECT_EQ(Read32(&out[locator.fileOffset]), offset);
        EXPECT_EQ(std::memcmp(&out[locator.fileOffset + 4], "POKE", 4), 0);
        // Nothing else of the runtime changed.
        for (size_t i = 0; i < runtime.size(); ++i)
            if (i < locator.fileOffset || i >= locator.fileOffset + 4) {
                ASSERT_EQ(out[i], runtime[i]) << "byte " << i;
            }

        ModuleBlocks back;
        uint32_t readOffset = 0;
        ASSERT_TRUE(ReadStampedImage(out, back, readOffset, error)) << error;
        EXPECT_EQ(readOffset, offset);
        EXPECT_EQ(EncodeImage(back), image);
    }

    static TempDir* dir_;
    static std::vector<uint8_t>* tiny_;
    static std::vector<uint8_t>* bare_;
    static bool built_;
};

TempDir* StampTest::dir_ = nullptr;
std::vector<uint8_t>* StampTest::tiny_ = nullptr;
std::vector<uint8_t>* StampTest::bare_ = nullptr;
bool StampTest::built_ = false;

TEST_F(StampTest, WritesTheOffsetIntoTheLocator) {
    for (size_t extra = 0; extra < 4; ++extra) {  // every padding length
        std::vector<uint8_t> runtime = *tiny_;
        runtime.insert(runtime.end(), extra, 0xAB);
        SCOPED_TRACE("runtime size " + std::to_string(runtime.size()));
        ExpectStamped(runtime);
    }
}

TEST_F(StampTest, StampsTheCrossBuiltRuntime) {
    std::vector<uint8_t> runtime;
    std::string error;
    // ctest names the runtime of its own build; run by hand, the default build's.
    const char* path = std::getenv("ORVANE_RUNTIME_EXE");
    if (!path || !*path) path = ORVANE_RUNTIME_EXE;
    if (!ReadFile(path, runtime, error)) GTEST_SKIP() << "no cross-built runtime: " << error;
    ExpectStamped(runtime);
}

TEST_F(StampTest, RefusesWhatItCannotStamp) {
    std::vector<uint8_t> stamped;
    uint32_t offset = 0;
    std::string error;
    ASSERT_TRUE(StampRuntime(*tiny_, SampleImage(), stamped, offset, error)) << error;
    std::vector<uint8_t> badImage = SampleImage();
    badImage.pop_back();
    std::vector<uint8_t> longImage = SampleImage();
    longImage.push_back(0);
    const struct {
        const char* what;
        const std::vector<uint8_t>* runtime;
        std::vector<uint8_t> image;
        const char* expected;
    } rows[] = {
        {"no PICKLE resource", bare_, SampleImage(), "PICKLE"},
        {"not a PE file", &badImage, SampleImage(), "PICKLE"},
        {"already stamped", &stamped, SampleImage(), "already"},
        {"image cut short", tiny_, badImage, "image"},
        {"bytes after the image", tiny_, longImage, "after the options block"},
    };
    for (const auto& row : rows) {
        std::vector<uint8_t> out;
        EXPECT_FALSE(StampRuntime(*row.runtime, row.image, out, offset, error)) << row.what;
        EXPECT_TRUE(HasSubstrings(error, {row.expected})) << row.what;
    }
}

TEST_F(StampTest, DamagedExecutablesNeverCrash) {
    const std::vector<uint8_t> image = SampleImage();
    for (size_t cut = 0; cut < tiny_->size(); cut += 37) {
        const std::vector<uint8_t> part(tiny_->begin(), tiny_->begin() + long(cut));
        std::vector<uint8_t> out;
        uint32_t offset = 0;
        std::string error;
        if (StampRuntime(part, image, out, offset, error)) {
            EXPECT_EQ(out.size(), offset + image.size()) << "cut at " << cut;
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

// ---------------------------------------------------------------- command lines

TEST_F(ToolsTest, CommandLinesBuildAndStamp) {
    const fs::path d = dir_.path();
    Object("cli", "ORVANE_LITERAL(kHi, \"hi\");\n"
                  "extern \"C\" int OrvaneModuleEntry() { RuntimeLockString(ORVANE_STR(kHi)); return 0; }\n");
    Object("bad", "extern \"C\" void Clear(char* p, int n) { __builtin_memset(p, 0, n); }\n");
    WriteText(d / "exports.inc", kTestExports);
    WriteText(d / "pickle.dat", "PICKPOKE");
    WriteText(d / "tiny.rc", "101 PICKLE \"pickle.dat\"\n");
    WriteText(d / "tiny.c", "int main(void) { return 0; }\n");
    const std::string cd = "cd " + Quote(d.string()) + " && ";
    const std::string quiet = " > out.log 2>&1";
    ASSERT_EQ(Shell(cd + ORVANE_WINDRES + " tiny.rc -O coff -o tiny_res.o" + quiet), 0);
    ASSERT_EQ(Shell(cd + ORVANE_CROSS_CC + " tiny.c tiny_res.o -o runtime.exe" + quiet), 0);
    const std::string build = cd + Quote(ORVANE_MODBUILD_EXE) + " --exports exports.inc ";

    const struct {
        const char* what;
        std::string command;
        bool succeeds;
        const char* output;
    } rows[] = {
        {"build", build + "--image image.bin --dev-dir . --map module.map cli.o", true, ""},
        {"stamp", cd + Quote(ORVANE_STAMP_EXE) + " runtime.exe image.bin app.exe", true, ""},
        {"check", cd + Quote(ORVANE_STAMP_EXE) + " --check app.exe", true, "code "},
        {"unsupported call", build + "--image bad.bin cli.o bad.o", false, "memset"},
        {"no output named", build + "cli.o", false, "usage"},
        {"missing object", build + "--image x.bin nothere.o", false, "nothere.o"},
        {"check of a bare runtime", cd + Quote(ORVANE_STAMP_EXE) + " --check runtime.exe", false, "development"},
    };
    for (const auto& row : rows) {
        const int rc = Shell(row.command + quiet);
        EXPECT_EQ(rc == 0, row.succeeds) << row.what;
        EXPECT_TRUE(HasSubstrings(ReadText(d / "out.log"), {row.output})) << row.what;
    }
    std::vector<uint8_t> image, app, code;
    std::string error;
    ASSERT_TRUE(ReadFile((d / "image.bin").string(), image, error)) << error;
    ASSERT_TRUE(ReadFile((d / "app.exe").string(), app, error)) << error;
    ASSERT_TRUE(ReadFile((d / "code.dat").string(), code, error)) << error;
    ModuleBlocks blocks;
    size_t consumed = 0;
    ASSERT_TRUE(DecodeImage(image.data(), image.size(), blocks, consumed, error)) << error;
    EXPECT_EQ(blocks.code, code);
    ModuleBlocks fromApp;
    uint32_t offset = 0;
    ASSERT_TRUE(ReadStampedImage(app, fromApp, offset, error)) << error;
    EXPECT_EQ(EncodeImage(fromApp), image);
    EXPECT_NE(ReadText(d / "module.map").find("_OrvaneModuleEntry"), std::string::npos);
    EXPECT_FALSE(fs::exists(d / "bad.bin"));
}
