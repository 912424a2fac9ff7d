// The string map and the export table: fixed rows, registered rows, the name
// map over both, the link-time scan and the plug-in entry point table.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "loader/relocentry.h"
#include "objects/StringMap.h"
#include "orvane/exports.h"
#include "strings/dump.h"
#include "strings/string.h"
#include "strings/utility.h"
#include "tests/TestSupport.h"

namespace {

void* Tag(int i) { return reinterpret_cast<void*>(intptr_t(i)); }

std::vector<std::string> KeysInOrder(const StringMap& map) {
    std::vector<std::string> keys;
    for (const StringMap::Entry* e = map.First(); e; e = StringMap::Next(e))
        keys.push_back(StringText(StringMap::KeyOf(e)));
    return keys;
}

void* FoundValue(const StringMap& map, const char* text) {
    void* value = nullptr;
    return map.FindText(text, &value) ? value : Tag(-1);
}

// ---- String map ----------------------------------------------------------------

TEST(StringMap, HashFoldsAToZAndAddsBytesAsSigned) {
    struct Case {
        const char* key;
        uint32_t hash;
    } cases[] = {
        {"", 0},
        {"A", 65},
        {"Ab", 65 * 31 + 66},  // 2081
        {"aB", 65 * 31 + 66},
        {"\xE9", 0xFFFFFFE9u},                  // -23
        {"A\x80", 65 * 31 - 128},               // 1887
        {"\xFF\xFF", uint32_t(-1 * 31 - 1)},    // -32
        {"[", 0x5B},                            // only a-z fold; '{' stays 0x7B
        {"{", 0x7B},
        {"RuntimeLockString", 0x379E5AB4u},     // wraps around 32 bits
        {"runtimelockstring", 0x379E5AB4u},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StringMap::Hash(c.key, int32_t(std::strlen(c.key))), c.hash) << c.key;
}

TEST(StringMap, IsEmptyWithoutBucketsUntilTheFirstInsertion) {
    StringMap map;
    StringHandle key("Window1");
    EXPECT_EQ(map.BucketCount(), 0);
    EXPECT_EQ(map.Count(), 0);
    EXPECT_EQ(map.First(), nullptr);
    EXPECT_FALSE(map.Find(key.Get()));
    EXPECT_FALSE(map.Remove(key.Get()));
    map.Insert(key.Get(), Tag(1));
    EXPECT_EQ(map.BucketCount(), 256);
    EXPECT_EQ(map.Count(), 1);
}

TEST(StringMap, KeysMatchWithoutRegardToCase) {
    StringMap map;
    const char* stored[] = {"Window1", "FileOpen", "caf\x8E", "x_y"};
    for (int i = 0; i < 4; ++i) map.Insert(StringHandle(stored[i]).Get(), Tag(i + 1));
    struct Case {
        const char* probe;
        int value;  // -1: absent
    } cases[] = {
        {"Window1", 1}, {"WINDOW1", 1}, {"window1", 1}, {"fileopen", 2}, {"FILEOPEN", 2},
        {"CAF\x8E", 3}, {"X_Y", 4},     {"Window", -1}, {"Window12", -1}, {"FileOpen ", -1},
        {"x-y", -1},    {"", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FoundValue(map, c.probe), Tag(c.value)) << c.probe;
        StringHandle probe(c.probe);
        void* value = Tag(-1);
        EXPECT_EQ(map.Find(probe.Get(), &value), c.value != -1) << c.probe;
        EXPECT_EQ(value, Tag(c.value)) << c.probe;
        EXPECT_EQ(map.FindBytes(c.probe, int32_t(std::strlen(c.probe))), c.value != -1);
    }
    // Bytes need no terminator: a prefix of a longer buffer.
    EXPECT_TRUE(map.FindBytes("FILEOPENxyz", 8));
}

TEST(StringMap, DoublesPastThreeQuartersAndKeepsInsertionOrder) {
    StringMap map;
    std::vector<std::string> names;
    struct Step {
        int entries;
        int buckets;
    } steps[] = {{1, 256}, {192, 256}, {193, 512}, {384, 512}, {385, 1024}, {3000, 4096}};
    for (const Step& step : steps) {
        while (int(names.size()) < step.entries) {
            names.push_back("Key" + std::to_string(names.size()));
            map.Insert(StringHandle(names.back().c_str()).Get(), Tag(int(names.size())));
        }
        EXPECT_EQ(map.Count(), step.entries);
        EXPECT_EQ(map.BucketCount(), step.buckets) << step.entries << " entries";
    }
    for (size_t i = 0; i < names.size(); ++i) {
        std::string lower = "key" + std::to_string(i);
        ASSERT_EQ(FoundValue(map, lower.c_str()), Tag(int(i + 1))) << lower;
    }
    EXPECT_EQ(KeysInOrder(map), names);
}

TEST(StringMap, InsertingAnExistingKeyReplacesTheValueInPlace) {
    StringMap map;
    StringHandle a("Alpha"), b("Beta"), c("Gamma"), again("BETA");
    map.Insert(a.Get(), Tag(1));
    map.Insert(b.Get(), Tag(2));
    map.Insert(c.Get(), Tag(3));
    map.Insert(again.Get(), Tag(20));
    EXPECT_EQ(map.Count(), 3);
    EXPECT_EQ(KeysInOrder(map), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(FoundValue(map, "beta"), Tag(20));
    // The first key record stays; the replacing one is not kept.
    EXPECT_EQ(StringMap::KeyOf(StringMap::Next(map.First())), b.Get());
    EXPECT_EQ(b.Get()->refCount, 2);
    EXPECT_EQ(again.Get()->refCount, 1);
}

TEST(StringMap, HoldsOneReferencePerKeyAndGivesEverythingBack) {
    int64_t before = PoolPooledBytes();
    StringHandle kept("Kept");
    {
        StringMap map;
        map.Insert(kept.Get(), Tag(1));
        EXPECT_EQ(kept.Get()->refCount, 2);
        for (int i = 0; i < 500; ++i)
            map.Insert(StringHandle(("Entry" + std::to_string(i)).c_str()).Get(), Tag(i));
        map.Remove(StringHandle("entry7").Get());
        map.Clear();
        EXPECT_EQ(kept.Get()->refCount, 1);
        EXPECT_EQ(map.Count(), 0);
        EXPECT_EQ(map.BucketCount(), 0);
        map.Insert(kept.Get(), Tag(2));  // usable again after Clear
        EXPECT_EQ(FoundValue(map, "KEPT"), Tag(2));
    }
    EXPECT_EQ(kept.Get()->refCount, 1);
    StringValue* record = kept.Release();
    StringRelease(record);
    EXPECT_EQ(PoolPooledBytes(), before);
}

TEST(StringMap, RemoveUnlinksFromBucketAndOrder) {
    struct Case {
        const char* removed;
        std::vector<std::string> left;
    } cases[] = {
        {"b", {"a", "c", "d"}},  // middle
        {"A", {"b", "c", "d"}},  // first
        {"D", {"a", "b", "c"}},  // last
    };
    for (const Case& c : cases) {
        StringMap map;
        for (const char* k : {"a", "b", "c", "d"}) map.Insert(StringHandle(k).Get(), Tag(k[0]));
        StringHandle removed(c.removed);
        EXPECT_TRUE(map.Remove(removed.Get())) << c.removed;
        EXPECT_FALSE(map.Remove(removed.Get())) << c.removed;
        EXPECT_FALSE(map.Find(removed.Get()));
        EXPECT_EQ(map.Count(), 3);
        EXPECT_EQ(KeysInOrder(map), c.left);
        for (const std::string& k : c.left) EXPECT_EQ(FoundValue(map, k.c_str()), Tag(k[0]));
        // Inserted again it goes to the end.
        map.Insert(removed.Get(), Tag(9));
        EXPECT_EQ(KeysInOrder(map).back(), c.removed);
    }
}

TEST(StringMap, KeysInTheSameBucketStayApart) {
    // "Ab" hashes 65 * 31 + 66 = 2081, "IJ" 73 * 31 + 74 = 2337: both bucket 33 of 256.
    ASSERT_EQ(StringMap::Hash("IJ", 2), 2337u);
    StringMap map;
    for (const char* k : {"Ab", "IJ", "Ij"}) map.Insert(StringHandle(k).Get(), Tag(k[1]));
    EXPECT_EQ(map.Count(), 2);
    EXPECT_EQ(FoundValue(map, "ab"), Tag('b'));
    EXPECT_EQ(FoundValue(map, "ij"), Tag('j'));
    EXPECT_TRUE(map.Remove(StringHandle("AB").Get()));
    EXPECT_EQ(FoundValue(map, "IJ"), Tag('j'));
    EXPECT_FALSE(map.FindText("Ab"));
    map.Insert(StringHandle("aB").Get(), Tag(7));
    EXPECT_TRUE(map.Remove(StringHandle("iJ").Get()));
    EXPECT_EQ(FoundValue(map, "AB"), Tag(7));
    EXPECT_EQ(KeysInOrder(map), std::vector<std::string>{"aB"});
}

TEST(StringMap, HighBytesInKeys) {
    StringMap map;
    const char* keys[] = {"\xE9t\xE9", "\x80", "\xFF\xFF", "na\xEFve"};
    for (int i = 0; i < 4; ++i) map.Insert(StringHandle(keys[i]).Get(), Tag(i + 1));
    EXPECT_EQ(map.Count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(FoundValue(map, keys[i]), Tag(i + 1)) << i;
    EXPECT_EQ(FoundValue(map, "NA\xEFVE"), Tag(4));
    EXPECT_FALSE(map.FindText("\x81"));
}

TEST(StringMap, TheNilKeyIsTheEmptyString) {
    StringMap map;
    map.Insert(nullptr, Tag(1));
    map.Insert(StringHandle("").Get(), Tag(2));  // "" is nil as well
    EXPECT_EQ(map.Count(), 1);
    void* value = nullptr;
    EXPECT_TRUE(map.Find(nullptr, &value));
    EXPECT_EQ(value, Tag(2));
    EXPECT_TRUE(map.FindText(""));
    EXPECT_TRUE(map.FindText(nullptr));
    EXPECT_TRUE(map.FindBytes(nullptr, 0));
    EXPECT_EQ(StringMap::KeyOf(map.First()), nullptr);
    // Malformed byte ranges find nothing.
    EXPECT_FALSE(map.FindBytes(nullptr, 4));
    EXPECT_FALSE(map.FindBytes("abc", -1));
    EXPECT_TRUE(map.Remove(nullptr));
    EXPECT_EQ(map.Count(), 0);
    EXPECT_EQ(StringMap::Next(nullptr), nullptr);
    EXPECT_EQ(StringMap::ValueOf(nullptr), nullptr);
}

TEST(StringMap, ForEachFollowsInsertionOrderAndMayRemoveTheCurrentEntry) {
    StringMap map;
    for (const char* k : {"one", "two", "three", "four"})
        map.Insert(StringHandle(k).Get(), Tag(k[1]));
    std::vector<std::string> seen;
    map.ForEach([&](StringValue* key, void* value) {
        seen.push_back(StringText(key));
        EXPECT_EQ(value, Tag(StringText(key)[1]));
        if (seen.size() % 2 == 1) map.Remove(key);
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "three", "four"}));
    EXPECT_EQ(KeysInOrder(map), (std::vector<std::string>{"two", "four"}));
}

// ---- Export table ----------------------------------------------------------------

extern "C" void TestEntryA() {}
extern "C" void TestEntryB() {}
void* const kEntryA = reinterpret_cast<void*>(&TestEntryA);
void* const kEntryB = reinterpret_cast<void*>(&TestEntryB);

const ExportRow* Lookup(const char* name) { return ExportLookup(StringHandle(name).Get()); }

TEST(ExportTable, FixedRowsComeFromTheExportList) {
    ASSERT_GT(ExportFixedRowCount(), 0);
    EXPECT_GE(ExportRowCount(), ExportFixedRowCount());
    for (int32_t i = 0; i < ExportFixedRowCount(); ++i) {
        const ExportRow* row = ExportRowAt(i);
        ASSERT_NE(row->name, nullptr);
        EXPECT_NE(row->entry, nullptr) << row->name;
        EXPECT_EQ(row->reserved[0], 0u);
        EXPECT_EQ(row->reserved[1], 0u);
    }
    EXPECT_EQ(ExportFindForLink("RuntimeLockString"), reinterpret_cast<void*>(&RuntimeLockString));
    EXPECT_EQ(ExportFindForLink("RuntimeAllocatePluginEntrypointsTable"),
              reinterpret_cast<void*>(&RuntimeAllocatePluginEntrypointsTable));
    EXPECT_EQ(ExportRowAt(-1), nullptr);
    EXPECT_EQ(ExportRowAt(ExportRowCount()), nullptr);
}

TEST(ExportTable, EveryNameLooksUpToItsFirstRowInAnyLetterCase) {
    for (int32_t i = 0; i < ExportRowCount(); ++i) {
        const char* name = ExportRowAt(i)->name;
        int32_t first = 0;
        while (lstrcmpiA(ExportRowAt(first)->name, name) != 0) ++first;
        std::string lower(name), upper(name);
        CharLowerA(&lower[0]);
        CharUpperA(&upper[0]);
        for (const std::string& spelling : {std::string(name), lower, upper})
            EXPECT_EQ(Lookup(spelling.c_str()), ExportRowAt(first)) << spelling;
    }
}

TEST(ExportTable, LookupFindsFixedAndRegisteredNamesInOtherLetterCases) {
    static const char kName[] = "exportsTestMenuBarGetter";
    ExportRegister(kName, kEntryA);
    const ExportRow* fixedRow = Lookup("RuntimeLockString");
    ASSERT_NE(fixedRow, nullptr);
    const ExportRow* dynamicRow = Lookup(kName);
    ASSERT_NE(dynamicRow, nullptr);
    EXPECT_EQ(dynamicRow->name, kName);  // the text is not copied
    EXPECT_EQ(dynamicRow->entry, kEntryA);
    struct Case {
        const char* spelling;
        const ExportRow* row;
    } cases[] = {
        {"runtimelockstring", fixedRow},         {"RUNTIMELOCKSTRING", fixedRow},
        {"rUNTIMElOCKsTRING", fixedRow},         {"exportstestmenubargetter", dynamicRow},
        {"EXPORTSTESTMENUBARGETTER", dynamicRow}, {"RuntimeLockStrin", nullptr},
        {"exportsTestMenuBarGetterX", nullptr},  {"", nullptr},
    };
    for (const Case& c : cases) EXPECT_EQ(Lookup(c.spelling), c.row) << c.spelling;
    EXPECT_EQ(ExportLookup(nullptr), nullptr);
}

TEST(ExportTable, RegisteringTheSameNameAndEntryAgainAddsNothing) {
    ExportRegister("exportsTestStringGetter", kEntryA);
    int32_t count = ExportRowCount();
    ExportRegister("exportsTestStringGetter", kEntryA);
    ExportRegister("EXPORTSTESTSTRINGGETTER", kEntryA);
    EXPECT_EQ(ExportRowCount(), count);
    EXPECT_EQ(Lookup("exportsTestStringGetter")->entry, kEntryA);
}

TEST(ExportTable, ANameAlreadyPresentWithAnotherEntryIsReported) {
    ExportRegister("exportsTestClashGetter", kEntryA);
    const ExportRow* fixedRow = Lookup("RuntimeUnlockString");
    ASSERT_NE(fixedRow, nullptr);
    int32_t count = ExportRowCount();
    {
        AssertionCapture capture;
        ExportRegister("RuntimeUnlockString", fixedRow->entry);  // same entry: silent
        EXPECT_TRUE(capture.Reports().empty());
    }
    struct Case {
        const char* name;
        void* entry;
    } cases[] = {
        {"RuntimeUnlockString", kEntryA},  // fixed row
        {"runtimeunlockstring", kEntryA},
        {"exportsTestClashGetter", kEntryB},  // registered row
    };
    for (const Case& c : cases) {
        AssertionCapture capture;
        ExportRegister(c.name, c.entry);
        ASSERT_EQ(capture.Reports().size(), 1u) << c.name;
        EXPECT_EQ(capture.Reports()[0].unit, "relocentry");
        EXPECT_EQ(capture.Reports()[0].line, 2240);
        EXPECT_EQ(capture.Reports()[0].condition, "functionPtr == oldEntry->code");
    }
    EXPECT_EQ(ExportRowCount(), count);
    EXPECT_EQ(Lookup("RuntimeUnlockString"), fixedRow);
    EXPECT_EQ(Lookup("exportsTestClashGetter")->entry, kEntryA);
}

TEST(ExportTable, ANilEntryOrNameIsIgnored) {
    int32_t count = ExportRowCount();
    ExportRegister("exportsTestNilEntry", nullptr);
    ExportRegister(nullptr, kEntryA);
    ExportRegister("", kEntryA);
    EXPECT_EQ(ExportRowCount(), count);
    EXPECT_EQ(Lookup("exportsTestNilEntry"), nullptr);
    EXPECT_EQ(ExportFindForLink("exportsTestNilEntry"), nullptr);
    EXPECT_EQ(ExportFindForLink(nullptr), nullptr);
}

TEST(ExportTable, RegisteredRowsFollowTheFixedOnesInIndexOrder) {
    static const char* const kNames[] = {"exportsTestOrderA", "exportsTestOrderB",
                                         "exportsTestOrderC"};
    int32_t first = ExportRowCount();
    ASSERT_GE(first, ExportFixedRowCount());
    for (const char* name : kNames) ExportRegister(name, kEntryB);
    ASSERT_EQ(ExportRowCount(), first + 3);
    for (int32_t i = 0; i < 3; ++i) {
        const ExportRow* row = ExportRowAt(first + i);
        EXPECT_EQ(row->name, kNames[i]);
        EXPECT_EQ(row->entry, kEntryB);
        EXPECT_EQ(row->reserved[0], 0u);
        EXPECT_EQ(row->reserved[1], 0u);
        EXPECT_EQ(Lookup(kNames[i]), row);
    }
    EXPECT_EQ(ExportFindForLink("EXPORTSTESTORDERB"), kEntryB);
    EXPECT_EQ(ExportFindForLink("exportsTestOrderD"), nullptr);
}

TEST(ExportTable, RegisteredRowArrayGrowsByItsCapacityButAtLeastSixteen) {
    static char names[200][32];
    for (int i = 0; i < 200; ++i) {
        std::snprintf(names[i], sizeof names[i], "exportsTestGrowth%d", i);
        int32_t used = ExportRowCount() - ExportFixedRowCount();
        int32_t capacity = ExportDynamicRowCapacity();
        ExportRegister(names[i], kEntryA);
        int32_t expected = used < capacity ? capacity : capacity + (capacity > 16 ? capacity : 16);
        ASSERT_EQ(ExportDynamicRowCapacity(), expected) << "registration " << i;
        ASSERT_EQ(ExportRowCount() - ExportFixedRowCount(), used + 1);
    }
    EXPECT_GE(ExportDynamicRowCapacity(), 256);
    for (int i = 0; i < 200; ++i) ASSERT_NE(Lookup(names[i]), nullptr) << names[i];
}

TEST(ExportTable, ARowThatCannotBeAllocatedIsReported) {
    ASSERT_EQ(Lookup("exportsTestNoRoom"), nullptr);  // the name map exists from here
    // Drain the 16-byte blocks while the heap refuses new chunks.
    PoolFailNextHeapRequests(INT_MAX);
    std::vector<void*> held;
    for (int i = 0; i < 1000000; ++i) {
        void* block = PoolAlloc(16, true);
        if (!block) break;
        held.push_back(block);
    }
    int32_t count = ExportRowCount();
    std::vector<CapturedReport> reports;
    {
        AssertionCapture capture;
        ExportRegister("exportsTestNoRoom", kEntryA);
        reports = capture.Reports();
    }
    PoolFailNextHeapRequests(0);
    for (void* block : held) PoolFree(block, 16);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].unit, "relocentry");
    EXPECT_EQ(reports[0].condition, "newEntry");
    EXPECT_EQ(ExportRowCount(), count);
    EXPECT_EQ(Lookup("exportsTestNoRoom"), nullptr);
    ExportRegister("exportsTestNoRoom", kEntryA);  // with room again it goes in
    EXPECT_EQ(ExportRowCount(), count + 1);
}

// ---- Plug-in entry point table -------------------------------------------------

TEST(PluginEntrypoints, NilForNoEntriesElseAZeroedArray) {
    for (int32_t n : {0, -1, INT_MIN, INT_MAX})
        EXPECT_EQ(RuntimeAllocatePluginEntrypointsTable(n), nullptr) << n;
    for (int32_t n : {1, 5, 100}) {
        void** table = RuntimeAllocatePluginEntrypointsTable(n);
        ASSERT_NE(table, nullptr) << n;
        for (int32_t i = 0; i < n; ++i) EXPECT_EQ(table[i], nullptr) << n << " " << i;
        table[n - 1] = kEntryA;  // writable to its last slot
        RuntimeMemFree(table);   // a guarded block of the general allocator
    }
}

}  // namespace
