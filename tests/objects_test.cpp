// Objects, class records and virtual tables; exceptions, the landing block
// search (driven by hand-assembled machine code), the protected call and the
// stack limit.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "objects/ExceptionClasses.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/RuntimeObjectFoundation.h"
#include "orvane/exports.h"
#include "startup/RuntimeMain.h"
#include "strings/string.h"
#include "strings/utility.h"
#include "tests/TestSupport.h"

namespace {

// ---- Helpers -----------------------------------------------------------------------

void* Fake(uintptr_t n) { return reinterpret_cast<void*>(0x10000 + n * 16); }

struct Counts {
    int32_t methods, interfaces, events, statics, properties;
};

ClassRecord* NewClass(ClassRecord* base, Counts c, int32_t instanceSize = 28, const char* name = nullptr) {
    ClassRecord* cls = RuntimeNewClass(base, c.methods, c.interfaces, c.events, c.statics, c.properties);
    if (!cls) return nullptr;
    cls->instanceSize = instanceSize;
    if (name) cls->name = StringMakeC(name);
    return cls;
}

ClassRecord* NewInterface(int32_t methods) {
    ClassRecord* cls = NewClass(nullptr, {methods, 0, 0, 0, 0});
    cls->isAnInterface = 1;
    return cls;
}

// Fills every table entry of cls with distinct values starting at seed.
void FillTables(ClassRecord* cls, uintptr_t seed) {
    for (int32_t i = 0; i < cls->methodCount; ++i)
        cls->methods[i] = {Fake(seed + i), static_cast<StringValue*>(Fake(seed + 100 + i))};
    for (int32_t i = 0; i < cls->eventCount; ++i)
        cls->events[i] = {Fake(seed + 200 + i), static_cast<StringValue*>(Fake(seed + 300 + i))};
    for (int32_t i = 0; i < cls->staticMethodCount; ++i)
        cls->staticMethods[i] = {Fake(seed + 400 + i), static_cast<StringValue*>(Fake(seed + 500 + i))};
    for (int32_t i = 0; i < cls->propertyCount; ++i)
        cls->properties[i] = {static_cast<StringValue*>(Fake(seed + 600 + i)), int32_t(seed + i),
                              Fake(seed + 700 + i), Fake(seed + 800 + i)};
    InterfaceEntry* ifaces = ClassInterfaces(cls);
    for (int32_t i = 0; i < cls->interfaceCount; ++i)
        ifaces[i] = {static_cast<ClassRecord*>(Fake(seed + 900 + i)), int32_t(i + 1),
                     static_cast<MethodEntry*>(Fake(seed + 1000 + i))};
}

bool SameBytes(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }


int32_t ErrorNumberOf(ObjectHeader* e) {
    int32_t v;
    std::memcpy(&v, reinterpret_cast<uint8_t*>(e) + kExceptionErrorNumberAt, 4);
    return v;
}

StringValue* MessageOf(ObjectHeader* e) {
    StringValue* v;
    std::memcpy(&v, reinterpret_cast<uint8_t*>(e) + kExceptionMessageAt, 4);
    return v;
}

// What the unhandled hook saw.
struct Unhandled {
    ObjectHeader* object;
    ClassRecord* cls;
    int32_t refCount;
    int32_t errorNumber;
    std::string message;
};
std::vector<Unhandled> gUnhandled;

void RecordUnhandled(ObjectHeader* e) {
    Unhandled u{e, e ? e->classPtr : nullptr, e ? e->refCount : 0, 0, ""};
    if (e && e->classPtr && e->classPtr->instanceSize >= kExceptionInstanceSize) {
        u.errorNumber = ErrorNumberOf(e);
        u.message = StringText(MessageOf(e));
    }
    gUnhandled.push_back(u);
}

// Every test starts with the exception classes installed and a recording
// unhandled hook, and must give back every object it made.
class ObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallRuntimeExceptionClasses();
        gUnhandled.clear();
        previousHook_ = SetUnhandledExceptionHook(RecordUnhandled);
        liveAtStart_ = RuntimeLiveObjectCount();
    }
    void TearDown() override {
        SetUnhandledExceptionHook(previousHook_);
        EXPECT_EQ(RuntimeLiveObjectCount(), liveAtStart_) << "objects leaked or freed twice";
    }

    ObjectHeader* NewException(const char* className = "RuntimeException") {
        return RuntimeNewObject(ClassNamed(className));
    }

    ExceptionHook previousHook_ = nullptr;
    int32_t liveAtStart_ = 0;
};

// ---- Layout --------------------------------------------------------------------------

TEST(ObjectLayout, ClassRecordTablesFollowTheHeadInOrder) {
    const Counts cases[] = {{0, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, {0, 2, 0, 0, 1},
                            {9, 1, 15, 12, 37}, {1, 3, 2, 4, 5}};
    for (const Counts& c : cases) {
        ClassRecord* cls = NewClass(nullptr, c, 0);
        ASSERT_NE(cls, nullptr);
        const uint8_t* at = reinterpret_cast<const uint8_t*>(cls);
        const uint8_t* methods = at + 64 + 12 * c.interfaces;
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(ClassInterfaces(cls)), at + 64);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(cls->methods), methods);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(cls->events), methods + 8 * c.methods);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(cls->staticMethods), methods + 8 * (c.methods + c.events));
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(cls->properties),
                  methods + 8 * (c.methods + c.events + c.statics));
        EXPECT_EQ(cls->methodCount, c.methods);
        EXPECT_EQ(cls->interfaceCount, c.interfaces);
        EXPECT_EQ(cls->eventCount, c.events);
        EXPECT_EQ(cls->staticMethodCount, c.statics);
        EXPECT_EQ(cls->propertyCount, c.properties);
        // Everything but the table pointers and counts is zero.
        EXPECT_EQ(cls->base, nullptr);
        EXPECT_EQ(cls->name, nullptr);
        EXPECT_EQ(cls->runtimeWord, 0u);
        EXPECT_EQ(cls->isAnInterface, 0u);
        EXPECT_EQ(cls->initializer, nullptr);
        EXPECT_EQ(cls->finalizer, nullptr);
        size_t tableBytes = 12 * c.interfaces + 8 * (c.methods + c.events + c.statics) + 16 * c.properties;
        std::vector<uint8_t> zero(tableBytes, 0);
        EXPECT_TRUE(SameBytes(at + 64, zero.data(), tableBytes));
    }
}

// ---- RuntimeNewClass -------------------------------------------------------------------

TEST_F(ObjectsTest, SubclassWithTheSameCountsIsAnExactCopyOfTheBaseTables) {
    const Counts counts = {3, 2, 4, 5, 6};
    ClassRecord* base = NewClass(nullptr, counts);
    FillTables(base, 1);
    ClassRecord* sub = RuntimeNewClass(base, 3, 2, 4, 5, 6);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->base, base);
    EXPECT_EQ(sub->runtimeWord, 0u);
    EXPECT_TRUE(SameBytes(ClassInterfaces(sub), ClassInterfaces(base), 12 * 2));
    EXPECT_TRUE(SameBytes(sub->methods, base->methods, 8 * 3));
    EXPECT_TRUE(SameBytes(sub->events, base->events, 8 * 4));
    EXPECT_TRUE(SameBytes(sub->staticMethods, base->staticMethods, 8 * 5));
    EXPECT_TRUE(SameBytes(sub->properties, base->properties, 16 * 6));
    // The subclass's head is its own: only the base and the tables were taken.
    EXPECT_EQ(sub->name, nullptr);
    EXPECT_EQ(sub->instanceSize, 0);
}

TEST_F(ObjectsTest, LargerSubclassStartsWithTheBaseEntriesAndZeroAfterThem) {
    ClassRecord* base = NewClass(nullptr, {2, 1, 2, 2, 2});
    FillTables(base, 50);
    ClassRecord* sub = RuntimeNewClass(base, 4, 2, 3, 3, 4);
    ASSERT_NE(sub, nullptr);
    const MethodEntry noEntry = {nullptr, nullptr};
    EXPECT_TRUE(SameBytes(sub->methods, base->methods, 16));
    EXPECT_TRUE(SameBytes(&sub->methods[2], &noEntry, 8));
    EXPECT_TRUE(SameBytes(&sub->methods[3], &noEntry, 8));
    EXPECT_TRUE(SameBytes(ClassInterfaces(sub), ClassInterfaces(base), 12));
    EXPECT_EQ(ClassInterfaces(sub)[1].interfaceClass, nullptr);
    EXPECT_TRUE(SameBytes(sub->events, base->events, 16));
    EXPECT_EQ(sub->events[2].function, nullptr);
    EXPECT_TRUE(SameBytes(sub->staticMethods, base->staticMethods, 16));
    EXPECT_TRUE(SameBytes(sub->properties, base->properties, 32));
    EXPECT_EQ(sub->properties[3].declaration, nullptr);
}

TEST_F(ObjectsTest, SmallerCountThanTheBaseIsReportedAndOnlyWhatFitsIsCopied) {
    struct Case {
        Counts counts;
        int line;
        const char* condition;
    } cases[] = {
        {{1, 2, 2, 2, 2}, 109, "out->methodCount >= base->methodCount"},
        {{2, 1, 2, 2, 2}, 111, "out->interfaceCount >= base->interfaceCount"},
        {{2, 2, 1, 2, 2}, 113, "out->eventCount >= base->eventCount"},
        {{2, 2, 2, 1, 2}, 115, "out->staticMethodCount >= base->staticMethodCount"},
        {{2, 2, 2, 2, 1}, 117, "out->propertyCount >= base->propertyCount"},
    };
    ClassRecord* base = NewClass(nullptr, {2, 2, 2, 2, 2});
    FillTables(base, 7);
    for (const Case& c : cases) {
        AssertionCapture capture;
        ClassRecord* sub = NewClass(base, c.counts);
        ASSERT_NE(sub, nullptr);
        ASSERT_EQ(capture.Reports().size(), 1u) << c.condition;
        EXPECT_EQ(capture.Reports()[0].unit, "RuntimeObjectFoundation");
        EXPECT_EQ(capture.Reports()[0].line, c.line);
        EXPECT_EQ(capture.Reports()[0].condition, c.condition);
        // The short table holds the first base entries; the tables after it
        // were not overwritten.
        EXPECT_TRUE(SameBytes(ClassInterfaces(sub), ClassInterfaces(base), 12 * c.counts.interfaces));
        EXPECT_TRUE(SameBytes(sub->methods, base->methods, 8 * c.counts.methods));
        EXPECT_TRUE(SameBytes(sub->events, base->events, 8 * c.counts.events));
        EXPECT_TRUE(SameBytes(sub->staticMethods, base->staticMethods, 8 * c.counts.statics));
        EXPECT_TRUE(SameBytes(sub->properties, base->properties, 16 * c.counts.properties));
    }
}

TEST_F(ObjectsTest, AllocationFailureRaisesNilObjectException) {
    ClassRecord* big = NewClass(nullptr, {0, 0, 0, 0, 0}, 400);  // beyond the pooled sizes
    struct Case {
        const char* what;
        void* (*make)(ClassRecord* big);
    } cases[] = {
        {"class", [](ClassRecord*) -> void* { return RuntimeNewClass(nullptr, 100, 0, 0, 0, 0); }},
        {"vtable", [](ClassRecord*) -> void* { return RuntimeNewVtable(100); }},
        {"object", [](ClassRecord* c) -> void* { return RuntimeNewObject(c); }},
    };
    for (const Case& c : cases) {
        gUnhandled.clear();
        PoolFailNextHeapRequests(1);
        EXPECT_EQ(c.make(big), nullptr) << c.what;
        PoolFailNextHeapRequests(0);
        ASSERT_EQ(gUnhandled.size(), 1u) << c.what;
        EXPECT_EQ(gUnhandled[0].cls, NilObjectExceptionClass()) << c.what;
    }
}

TEST_F(ObjectsTest, NewVtableGivesRoomForCountEntries) {
    MethodEntry* table = RuntimeNewVtable(5);
    ASSERT_NE(table, nullptr);
    for (int i = 0; i < 5; ++i) table[i] = {Fake(i), nullptr};
    EXPECT_EQ(table[4].function, Fake(4));
    EXPECT_EQ(RuntimeNewVtable(0), nullptr);
    EXPECT_TRUE(gUnhandled.empty()) << "an empty table is no failure";
}

// ---- Objects -----------------------------------------------------------------------------

TEST_F(ObjectsTest, NewObjectFillsTheHeaderAndHeadsTheLiveList) {
    ClassRecord* cls = NewClass(nullptr, {2, 0, 3, 0, 0}, 40);
    int32_t before = RuntimeLiveObjectCount();
    ObjectHeader* first = RuntimeNewObject(cls);
    ObjectHeader* second = RuntimeNewObject(cls);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(RuntimeLiveObjectCount(), before + 2);
    EXPECT_EQ(second->reserved, 0u);
    EXPECT_EQ(second->methodTable, cls->methods);
    EXPECT_EQ(second->classPtr, cls);
    EXPECT_EQ(second->eventTable, cls->events);
    EXPECT_EQ(second->refCount, 1);
    const uint8_t* fields = reinterpret_cast<const uint8_t*>(second) + 28;
    EXPECT_TRUE(SameBytes(fields, std::vector<uint8_t>(12, 0).data(), 12));
    EXPECT_EQ(RuntimeLiveObjectList(), second);
    EXPECT_EQ(second->prevLive, nullptr);
    EXPECT_EQ(second->nextLive, first);
    EXPECT_EQ(first->prevLive, second);

    // Freeing the older one joins its neighbours.
    ObjectHeader* after = first->nextLive;
    RuntimeUnlockObject(first);
    EXPECT_EQ(second->nextLive, after);
    if (after) {
        EXPECT_EQ(after->prevLive, second);
    }
    EXPECT_EQ(RuntimeLiveObjectCount(), before + 1);
    RuntimeUnlockObject(second);
    EXPECT_EQ(RuntimeLiveObjectList(), after);
    EXPECT_EQ(RuntimeLiveObjectCount(), before);
}

TEST_F(ObjectsTest, NewObjectOfNilRaisesAndOfAnInterfaceIsReported) {
    EXPECT_EQ(RuntimeNewObject(nullptr), nullptr);
    ASSERT_EQ(gUnhandled.size(), 1u);
    EXPECT_EQ(gUnhandled[0].cls, NilObjectExceptionClass());

    ClassRecord* iface = NewInterface(2);
    iface->instanceSize = 32;
    AssertionCapture capture;
    ObjectHeader* object = RuntimeNewObject(iface);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].unit, "RuntimeObjectFoundation");
    EXPECT_EQ(capture.Reports()[0].line, 193);
    EXPECT_EQ(capture.Reports()[0].condition, "!parent->isAnInterface");
    ASSERT_NE(object, nullptr) << "after OK the instance is made all the same";
    EXPECT_EQ(object->classPtr, iface);
    RuntimeUnlockObject(object);
}

// A -> B -> C: initializers root first, finalizers leaf first, then the hook.
std::string gTrace;
ObjectHeader* gFreedByHook = nullptr;
int32_t gCountInFinalizer = -1;

void __cdecl InitA(ObjectHeader*) { gTrace += "iA "; }
void __cdecl InitB(ObjectHeader*) { gTrace += "iB "; }
void __cdecl InitC(ObjectHeader*) { gTrace += "iC "; }
void __cdecl FinalA(ObjectHeader*) { gTrace += "fA "; }
void __cdecl FinalB(ObjectHeader* self) {
    gTrace += "fB ";
    // A dying object can be neither revived nor destroyed again.
    RuntimeLockObject(self);
    RuntimeUnlockObject(self);
    TARNUnlockObject(self);
    gCountInFinalizer = self->refCount;
}
void __cdecl FinalC(ObjectHeader*) { gTrace += "fC "; }
void FreedHook(ObjectHeader* object) {
    gTrace += "hook ";
    gFreedByHook = object;
}

TEST_F(ObjectsTest, InitializersRunRootFirstAndFinalizersLeafFirst) {
    ClassRecord* a = NewClass(nullptr, {1, 0, 0, 0, 0}, 28);
    ClassRecord* b = NewClass(a, {1, 0, 0, 0, 0}, 32);
    ClassRecord* c = NewClass(b, {1, 0, 0, 0, 0}, 36);
    a->initializer = InitA;
    b->initializer = InitB;
    c->initializer = InitC;
    a->finalizer = FinalA;
    b->finalizer = FinalB;
    c->finalizer = FinalC;
    ObjectFreedHook previous = SetObjectFreedHook(FreedHook);
    gTrace.clear();
    ObjectHeader* object = RuntimeNewObject(c);
    EXPECT_EQ(gTrace, "iA iB iC ");
    gTrace.clear();
    RuntimeLockObject(object);
    RuntimeUnlockObject(object);
    EXPECT_EQ(gTrace, "") << "count 2 -> 1 destroys nothing";
    RuntimeUnlockObject(object);
    EXPECT_EQ(gTrace, "fC fB fA hook ");
    EXPECT_EQ(gFreedByHook, object);
    EXPECT_EQ(gCountInFinalizer, 0);
    SetObjectFreedHook(previous);

    // A class without initializers or finalizers on the way is skipped.
    b->initializer = nullptr;
    b->finalizer = nullptr;
    gTrace.clear();
    RuntimeUnlockObject(RuntimeNewObject(c));
    EXPECT_EQ(gTrace, "iA iC fC fA ");
}

TEST_F(ObjectsTest, LockAndUnlockChangeTheCountOnlyOfLiveCountedObjects) {
    RuntimeLockObject(nullptr);
    RuntimeUnlockObject(nullptr);
    TARNLockObject(nullptr);
    TARNUnlockObject(nullptr);
    // An object with count 0 is left alone by both.
    ObjectHeader dying = {};
    RuntimeLockObject(&dying);
    EXPECT_EQ(dying.refCount, 0);
    RuntimeUnlockObject(&dying);
    EXPECT_EQ(dying.refCount, 0);

    ClassRecord* cls = NewClass(nullptr, {0, 0, 0, 0, 0});
    ObjectHeader* object = RuntimeNewObject(cls);
    RuntimeLockObject(object);
    TARNLockObject(object);
    EXPECT_EQ(object->refCount, 3);
    TARNUnlockObject(object);
    RuntimeUnlockObject(object);
    EXPECT_EQ(object->refCount, 1);
    RuntimeUnlockObject(object);
}

TEST_F(ObjectsTest, LockUnlockObjectsIsTheAssignmentOfAReference) {
    ClassRecord* cls = NewClass(nullptr, {0, 0, 0, 0, 0});
    ObjectHeader* x = RuntimeNewObject(cls);
    ObjectHeader* y = RuntimeNewObject(cls);
    RuntimeLockObject(x);  // x: 2, y: 1
    struct Case {
        ObjectHeader* newValue;
        ObjectHeader* oldValue;
        int32_t x, y;  // counts after
    } cases[] = {
        {x, x, 2, 1},
        {y, x, 1, 2},
        {x, y, 2, 1},
        {nullptr, x, 1, 1},
        {x, nullptr, 2, 1},
        {nullptr, nullptr, 2, 1},
    };
    for (const Case& c : cases) {
        RuntimeLockUnlockObjects(c.newValue, c.oldValue);
        EXPECT_EQ(x->refCount, c.x);
        EXPECT_EQ(y->refCount, c.y);
    }
    RuntimeUnlockObject(x);
    RuntimeUnlockObject(x);
    RuntimeUnlockObject(y);
}

// ---- Type tests, casts, interfaces ---------------------------------------------------------

struct Hierarchy {
    ClassRecord* root;
    ClassRecord* middle;
    ClassRecord* leaf;
    ClassRecord* other;
    ClassRecord* first;   // interface of middle, inherited by leaf
    ClassRecord* second;  // interface of leaf only
    ClassRecord* unused;  // interface of nobody
    MethodEntry* firstTable;
    MethodEntry* secondTable;
};

Hierarchy MakeHierarchy() {
    Hierarchy h{};
    h.root = NewClass(nullptr, {1, 0, 0, 0, 0});
    h.first = NewInterface(1);
    h.second = NewInterface(2);
    h.unused = NewInterface(1);
    h.middle = NewClass(h.root, {1, 1, 0, 0, 0});
    h.firstTable = RuntimeNewVtable(1);
    h.firstTable[0] = {Fake(1), nullptr};
    ClassInterfaces(h.middle)[0] = {h.first, 1, h.firstTable};
    h.leaf = NewClass(h.middle, {1, 2, 0, 0, 0});
    h.secondTable = RuntimeNewVtable(2);
    h.secondTable[0] = {Fake(2), nullptr};
    h.secondTable[1] = {Fake(3), nullptr};
    ClassInterfaces(h.leaf)[1] = {h.second, 2, h.secondTable};
    h.other = NewClass(nullptr, {0, 0, 0, 0, 0});
    return h;
}

TEST_F(ObjectsTest, IsaFollowsTheBaseChainAndTheInterfaceEntries) {
    Hierarchy h = MakeHierarchy();
    ObjectHeader* leaf = RuntimeNewObject(h.leaf);
    ObjectHeader* middle = RuntimeNewObject(h.middle);
    struct Case {
        ObjectHeader* object;
        ClassRecord* cls;
        int32_t expected;
    } cases[] = {
        {leaf, nullptr, 1},      {nullptr, h.leaf, 0},   {nullptr, nullptr, 0},
        {leaf, h.leaf, 1},       {leaf, h.middle, 1},    {leaf, h.root, 1},
        {middle, h.leaf, 0},     {leaf, h.other, 0},     {leaf, h.first, 1},
        {leaf, h.second, 1},     {middle, h.first, 1},   {middle, h.second, 0},
        {leaf, h.unused, 0},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(RuntimeObjectIsa(cases[i].object, cases[i].cls), cases[i].expected) << "case " << i;
    EXPECT_EQ(leaf->refCount, 1);
    RuntimeUnlockObject(leaf);
    RuntimeUnlockObject(middle);
}

TEST_F(ObjectsTest, CheckCastLocksOnSuccessAndRaisesIllegalCastOnFailure) {
    Hierarchy h = MakeHierarchy();
    ObjectHeader* leaf = RuntimeNewObject(h.leaf);
    // nil casts to anything, a nil class lets everything through; no count changes.
    EXPECT_EQ(RuntimeCheckCast(nullptr, h.leaf), nullptr);
    EXPECT_EQ(RuntimeCheckCast(leaf, nullptr), leaf);
    EXPECT_EQ(leaf->refCount, 1);
    EXPECT_TRUE(gUnhandled.empty());

    for (ClassRecord* target : {h.root, h.middle, h.leaf, h.first, h.second}) {
        EXPECT_EQ(RuntimeCheckCast(leaf, target), leaf);
        EXPECT_EQ(leaf->refCount, 2);
        RuntimeUnlockObject(leaf);
    }
    EXPECT_TRUE(gUnhandled.empty());

    for (ClassRecord* target : {h.other, h.unused}) {
        gUnhandled.clear();
        EXPECT_EQ(RuntimeCheckCast(leaf, target), nullptr);
        EXPECT_EQ(leaf->refCount, 1);
        ASSERT_EQ(gUnhandled.size(), 1u);
        EXPECT_EQ(gUnhandled[0].cls, IllegalCastExceptionClass());
    }
    RuntimeUnlockObject(leaf);
}

TEST_F(ObjectsTest, InterfaceVtableIsFoundThroughOwnAndInheritedEntries) {
    Hierarchy h = MakeHierarchy();
    ObjectHeader* leaf = RuntimeNewObject(h.leaf);
    ObjectHeader* middle = RuntimeNewObject(h.middle);
    EXPECT_EQ(RuntimeLookupInterfaceVtable(leaf, h.first), h.firstTable);
    EXPECT_EQ(RuntimeLookupInterfaceVtable(leaf, h.second), h.secondTable);
    EXPECT_EQ(RuntimeLookupInterfaceVtable(middle, h.first), h.firstTable);
    EXPECT_TRUE(gUnhandled.empty());

    struct Case {
        ObjectHeader* object;
        ClassRecord* interfaceClass;
        ClassRecord* raised;
    } cases[] = {
        {nullptr, h.first, NilObjectExceptionClass()},
        {leaf, nullptr, NilObjectExceptionClass()},
        {middle, h.second, IllegalCastExceptionClass()},
        {leaf, h.unused, IllegalCastExceptionClass()},
        {leaf, h.middle, IllegalCastExceptionClass()},  // a class, not an interface
    };
    for (const Case& c : cases) {
        gUnhandled.clear();
        EXPECT_EQ(RuntimeLookupInterfaceVtable(c.object, c.interfaceClass), nullptr);
        ASSERT_EQ(gUnhandled.size(), 1u);
        EXPECT_EQ(gUnhandled[0].cls, c.raised);
    }
    RuntimeUnlockObject(leaf);
    RuntimeUnlockObject(middle);
}

// ---- Events --------------------------------------------------------------------------------

TEST_F(ObjectsTest, EventHandlerIsTheEntryOfTheClassEventTable) {
    ClassRecord* withEvents = NewClass(nullptr, {0, 0, 3, 0, 0});
    withEvents->events[0] = {Fake(10), nullptr};
    withEvents->events[2] = {Fake(12), nullptr};
    ClassRecord* without = NewClass(nullptr, {0, 0, 0, 0, 0});
    ClassRecord* cleared = NewClass(nullptr, {0, 0, 2, 0, 0});
    cleared->events = nullptr;
    ObjectHeader* a = RuntimeNewObject(withEvents);
    ObjectHeader* b = RuntimeNewObject(without);
    ObjectHeader* c = RuntimeNewObject(cleared);
    struct Case {
        ObjectHeader* object;
        int32_t index;
        void* expected;
    } cases[] = {
        {a, 0, Fake(10)}, {a, 1, nullptr}, {a, 2, Fake(12)}, {a, 3, nullptr}, {a, -1, nullptr},
        {b, 0, nullptr},  {c, 0, nullptr}, {nullptr, 0, nullptr},
    };
    for (const Case& t : cases) EXPECT_EQ(FindEventHandler(t.object, t.index), t.expected) << t.index;
    for (ObjectHeader* o : {a, b, c}) RuntimeUnlockObject(o);
}

// ---- Class lookup -----------------------------------------------------------------------------

int gFinderCalls = 0;
ClassDefinitionFinder gPreviousFinder = nullptr;
ClassRecord* gWidget = nullptr;

ClassRecord* CountingFinder(StringValue* name) {
    ++gFinderCalls;
    if (StringCompareText(StringHandle::Borrow(name), StringHandle("ObjectsTestWidget")) == 0) {
        gWidget = NewClass(nullptr, {0, 0, 0, 0, 0}, 28, "ObjectsTestWidget");
        return gWidget;
    }
    return gPreviousFinder ? gPreviousFinder(name) : nullptr;
}

TEST_F(ObjectsTest, LookupClassAsksTheFinderOnceAndIgnoresLetterCase) {
    gPreviousFinder = SetClassDefinitionFinder(CountingFinder);
    gFinderCalls = 0;
    int32_t cached = ClassCacheCount();
    ClassRecord* first = ClassNamed("ObjectsTestWidget");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, gWidget);
    EXPECT_EQ(ClassNamed("OBJECTSTESTWIDGET"), first);
    EXPECT_EQ(ClassNamed("objectstestwidget"), first);
    EXPECT_EQ(gFinderCalls, 1);
    EXPECT_EQ(ClassCacheCount(), cached + 1);

    // Unknown names are asked again each time and not cached.
    EXPECT_EQ(ClassNamed("ObjectsTestNoSuchClass"), nullptr);
    EXPECT_EQ(ClassNamed("ObjectsTestNoSuchClass"), nullptr);
    EXPECT_EQ(gFinderCalls, 3);
    EXPECT_EQ(RuntimeLookupClass(nullptr), nullptr);
    EXPECT_EQ(gFinderCalls, 3) << "no class has the empty name";
    EXPECT_EQ(ClassCacheCount(), cached + 1);
    SetClassDefinitionFinder(gPreviousFinder);
}

// ---- Exception classes and slots -----------------------------------------------------------------

TEST_F(ObjectsTest, ExceptionClassesDescendFromRuntimeException) {
    const char* const expected[] = {
        "RuntimeException", "NilObjectException", "ServiceNotAvailableException",
        "NoOpenTransportException", "RegistryAccessErrorException", "IllegalCastException",
        "InvalidParentException", "stackOverflowException", "typeMismatchException",
        "OutOfBoundsException", "OutOfMemoryException", "KeyNotFoundException", "EndException",
        "ThreadAlreadyRunningException", "UnsupportedFormatException", "KeyChainException", "OLEException",
    };
    ClassRecord* root = ClassNamed("RuntimeException");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->base, nullptr);
    ASSERT_EQ(root->propertyCount, 2);
    EXPECT_STREQ(StringText(root->properties[0].declaration), "ErrorNumber%i");
    EXPECT_EQ(root->properties[0].parameter, 28);
    EXPECT_STREQ(StringText(root->properties[1].declaration), "Message%s");
    EXPECT_EQ(root->properties[1].parameter, 32);
    for (int32_t i = 0; i < kRuntimeExceptionClassCount; ++i) {
        EXPECT_STREQ(kRuntimeExceptionClassNames[i], expected[i]);
        ClassRecord* cls = ClassNamed(expected[i]);
        ASSERT_NE(cls, nullptr) << expected[i];
        EXPECT_STREQ(StringText(cls->name), expected[i]);
        EXPECT_EQ(StringEncoding(cls->name), kEncodingASCII);
        EXPECT_EQ(cls->instanceSize, 36);
        EXPECT_EQ(cls->isAnInterface, 0u);
        if (i > 0) {
            EXPECT_EQ(cls->base, root) << expected[i];
            EXPECT_TRUE(SameBytes(cls->properties, root->properties, 32)) << expected[i];
        }
    }
    EXPECT_EQ(NilObjectExceptionClass(), ClassNamed("NilObjectException"));
    EXPECT_EQ(IllegalCastExceptionClass(), ClassNamed("IllegalCastException"));
    EXPECT_EQ(OutOfBoundsExceptionClass(), ClassNamed("OutOfBoundsException"));
}

TEST_F(ObjectsTest, NilSlotClassIsReported) {
    struct Case {
        void (*set)(ClassRecord*);
        ClassRecord* (*get)();
        int line;
    } cases[] = {
        {SetNilObjectExceptionClass, NilObjectExceptionClass, 87},
        {SetIllegalCastExceptionClass, IllegalCastExceptionClass, 102},
        {SetOutOfBoundsExceptionClass, OutOfBoundsExceptionClass, 117},
    };
    for (const Case& c : cases) {
        ClassRecord* kept = c.get();
        AssertionCapture capture;
        c.set(nullptr);
        ASSERT_EQ(capture.Reports().size(), 1u);
        EXPECT_EQ(capture.Reports()[0].unit, "RuntimeExceptionFoundation");
        EXPECT_EQ(capture.Reports()[0].line, c.line);
        EXPECT_EQ(capture.Reports()[0].condition, "exc");
        c.set(kept);
        EXPECT_EQ(capture.Reports().size(), 1u);
        EXPECT_EQ(c.get(), kept);
    }
}

TEST_F(ObjectsTest, SlotRaisesUseTheSlotClasses) {
    struct Case {
        void (*raise)();
        ClassRecord* (*cls)();
    } cases[] = {
        {RaiseNilObjectException, NilObjectExceptionClass},
        {RaiseIllegalCastException, IllegalCastExceptionClass},
        {RaiseOutOfBoundsException, OutOfBoundsExceptionClass},
        {RuntimeNilObject, NilObjectExceptionClass},
    };
    for (const Case& c : cases) {
        gUnhandled.clear();
        c.raise();
        ASSERT_EQ(gUnhandled.size(), 1u);
        ASSERT_NE(c.cls(), nullptr);
        EXPECT_EQ(gUnhandled[0].cls, c.cls());
        EXPECT_EQ(gUnhandled[0].refCount, 1) << "the creator's reference only";
    }
    gUnhandled.clear();
    RaiseNewException(nullptr);
    EXPECT_TRUE(gUnhandled.empty());
}

TEST_F(ObjectsTest, RaiseWithMessageSetsMessageAndErrorNumber) {
    StringHandle message("Index out of range");
    RaiseExceptionWithMessage(ClassNamed("OutOfBoundsException"), message.Get(), 42);
    ASSERT_EQ(gUnhandled.size(), 1u);
    EXPECT_EQ(gUnhandled[0].cls, OutOfBoundsExceptionClass());
    EXPECT_EQ(gUnhandled[0].errorNumber, 42);
    EXPECT_EQ(gUnhandled[0].message, "Index out of range");
    EXPECT_EQ(message.Get()->refCount, 1) << "the finalizer gave the message back";
}

std::vector<std::string> gHookOrder;
void OrderRaiseHook(ObjectHeader*) { gHookOrder.push_back("raise"); }
void OrderUnhandledHook(ObjectHeader*) { gHookOrder.push_back("unhandled"); }

TEST_F(ObjectsTest, RaiseHookSeesRaisesButNotReraises) {
    ObjectHeader* e = NewException();
    ExceptionHook previousRaise = SetRaiseHook(OrderRaiseHook);
    SetUnhandledExceptionHook(OrderUnhandledHook);
    gHookOrder.clear();
    RuntimeRaiseException(e);
    EXPECT_EQ(gHookOrder, (std::vector<std::string>{"raise", "unhandled"}));
    gHookOrder.clear();
    RuntimeReraiseException(e);
    EXPECT_EQ(gHookOrder, (std::vector<std::string>{"unhandled"}));
    SetRaiseHook(previousRaise);
    EXPECT_EQ(e->refCount, 1) << "an unhandled exception gains no reference";
    RuntimeUnlockObject(e);
}

TEST_F(ObjectsTest, UnhandledWithoutHookIsReported) {
    ObjectHeader* e = NewException();
    SetUnhandledExceptionHook(nullptr);
    {
        AssertionCapture capture;
        RuntimeRaiseException(e);
        ASSERT_EQ(capture.Reports().size(), 1u);
        EXPECT_EQ(capture.Reports()[0].unit, "RuntimeExceptionFoundation");
        EXPECT_EQ(capture.Reports()[0].line, 520);
        EXPECT_EQ(capture.Reports()[0].condition, "0");
    }
    EXPECT_EQ(e->refCount, 1);
    RuntimeUnlockObject(e);
}

// ---- Machine code for the landing block search ------------------------------------------------------

// A page-aligned executable buffer with a small x86 encoder. Addresses are
// absolute: the buffer does not move.
class Assembler {
public:
    Assembler() {
        base_ = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    }
    ~Assembler() { VirtualFree(base_, 0, MEM_RELEASE); }
    Assembler(const Assembler&) = delete;
    Assembler& operator=(const Assembler&) = delete;

    bool Ok() const { return base_ != nullptr; }

    // Starts a function on a 16-byte boundary and returns its address.
    void* Function() {
        while (at_ % 16) B({0xCC});
        return base_ + at_;
    }

    void B(std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) base_[at_++] = b;
    }
    void D(uint32_t v) {
        std::memcpy(base_ + at_, &v, 4);
        at_ += 4;
    }
    void W(uint16_t v) {
        std::memcpy(base_ + at_, &v, 2);
        at_ += 2;
    }
    uint32_t Here() const { return uint32_t(reinterpret_cast<uintptr_t>(base_ + at_)); }
    static uint32_t Addr(const void* p) { return uint32_t(reinterpret_cast<uintptr_t>(p)); }

    void Prologue(uint32_t locals) {
        B({0x55, 0x89, 0xE5});  // push ebp; mov ebp, esp
        if (locals) {
            B({0x81, 0xEC});  // sub esp, imm32
            D(locals);
        }
    }
    void LeaveRet() { B({0xC9, 0xC3}); }
    void PopEbpRet() { B({0x5D, 0xC3}); }
    void StoreLocal(int8_t offset, uint32_t v) {
        B({0xC7, 0x45, uint8_t(offset)});  // mov dword [ebp+offset], imm32
        D(v);
    }
    void PushImm(uint32_t v) {
        B({0x68});
        D(v);
    }
    void PushLocal(int8_t offset) { B({0xFF, 0x75, uint8_t(offset)}); }
    void LoadLocal(int8_t offset) { B({0x8B, 0x45, uint8_t(offset)}); }  // mov eax, [ebp+offset]
    void PushEax() { B({0x50}); }
    void EspMinusEbpToEax() { B({0x89, 0xE0, 0x29, 0xE8}); }  // mov eax, esp; sub eax, ebp
    void Increment(const int32_t* counter) {
        B({0xFF, 0x05});  // inc dword [abs]
        D(Addr(counter));
    }
    void Call(const void* target) {
        B({0xE8});
        D(Addr(target) - (Here() + 4));
    }
    void AddEsp(uint32_t n) {
        B({0x81, 0xC4});
        D(n);
    }
    void AddAh(uint8_t n) { B({0x80, 0xC4, n}); }
    size_t JzShort() {
        B({0x85, 0xC0, 0x74, 0x00});  // test eax, eax; jz
        return at_ - 1;
    }
    void BindShort(size_t at) { base_[at] = uint8_t(at_ - (at + 1)); }

    // The 25-byte block; returns the place of its clean-up displacement.
    size_t Landing(uint32_t marker, int16_t variableOffset, uint32_t argumentBytes) {
        B({kLandingJumpOpcode, kLandingJumpDistance});
        D(marker);
        W(uint16_t(variableOffset));
        B({0, 0, 0, 0, 0, 0});
        AddEsp(argumentBytes);
        B({0xE9});
        size_t rel = at_;
        D(0);
        return rel;
    }
    // Points a block's clean-up jump here.
    void BindNear(size_t at) {
        uint32_t rel = uint32_t(at_ - (at + 4));
        std::memcpy(base_ + at, &rel, 4);
    }
    // A block behind a call in clean-up code or in a function without clean-up work.
    void InactiveLanding(uint32_t argumentBytes) { BindNear(Landing(kLandingInactive, 0, argumentBytes)); }

private:
    static constexpr size_t kSize = 65536;
    uint8_t* base_ = nullptr;
    size_t at_ = 0;
};

using MachineFunction = void(__cdecl*)();
void CallCode(void* code) { reinterpret_cast<MachineFunction>(code)(); }

// What a handler's clean-up code saw.
struct Probe {
    int32_t normal = 0;    // the call returned normally
    int32_t cleanups = 0;  // the clean-up code ran
    int32_t after = 0;     // an unmarked function went on after its raising call
    ObjectHeader* caught = nullptr;
    int32_t caughtRefs = -1;
    int32_t espMinusEbp = 0;
};

void __cdecl RecordCleanup(Probe* probe, ObjectHeader* caught, int32_t espMinusEbp) {
    probe->caught = caught;
    probe->caughtRefs = caught ? caught->refCount : -1;
    probe->espMinusEbp = espMinusEbp;
}

enum class Adjust { kNone, kImm32, kImm8, kBoth };
enum class Cleanup { kRelease, kReraise, kRaiseOther };

// A function with clean-up work: 12 bytes of locals (exception variable at
// -4 unless told otherwise), one call of target with args, the block behind
// it, and clean-up code that records what it finds, optionally passes an
// exception on, unlocks the variable and returns.
struct HandlerPlan {
    const void* target;
    std::vector<uint32_t> args;
    uint32_t marker = kLandingActive;
    int16_t variableOffset = -4;
    Adjust adjust = Adjust::kNone;
    Cleanup cleanup = Cleanup::kRelease;
    ObjectHeader* other = nullptr;  // raised by kRaiseOther
    ObjectHeader* initialVariable = nullptr;
};
constexpr int32_t kHandlerLocals = 12;

void* EmitHandler(Assembler& a, const HandlerPlan& plan, Probe* probe) {
    void* entry = a.Function();
    int8_t variable = int8_t(plan.variableOffset ? plan.variableOffset : -4);
    uint32_t argumentBytes = uint32_t(4 * plan.args.size());
    a.Prologue(kHandlerLocals);
    a.StoreLocal(-4, 0);
    a.StoreLocal(-8, 0);
    a.StoreLocal(-12, 0);
    a.StoreLocal(variable, Assembler::Addr(plan.initialVariable));
    for (size_t i = plan.args.size(); i-- > 0;) a.PushImm(plan.args[i]);
    a.Call(plan.target);
    if (plan.adjust == Adjust::kImm32 || plan.adjust == Adjust::kBoth) a.AddEsp(argumentBytes);
    if (plan.adjust == Adjust::kImm8 || plan.adjust == Adjust::kBoth) a.AddAh(0);
    size_t landing = a.Landing(plan.marker, plan.variableOffset, argumentBytes);
    if (plan.adjust == Adjust::kNone || plan.adjust == Adjust::kImm8) a.AddEsp(argumentBytes);
    a.Increment(&probe->normal);
    a.BindNear(landing);
    // Clean-up: every call here carries an inactive block.
    a.Increment(&probe->cleanups);
    a.EspMinusEbpToEax();
    a.PushEax();
    a.PushLocal(variable);
    a.PushImm(Assembler::Addr(probe));
    a.Call(reinterpret_cast<const void*>(&RecordCleanup));
    a.InactiveLanding(12);
    a.AddEsp(12);
    if (plan.cleanup == Cleanup::kReraise) {
        a.LoadLocal(variable);
        size_t none = a.JzShort();
        a.PushEax();
        a.Call(reinterpret_cast<const void*>(&RuntimeReraiseException));
        a.InactiveLanding(4);
        a.AddEsp(4);
        a.BindShort(none);
    } else if (plan.cleanup == Cleanup::kRaiseOther) {
        a.PushImm(Assembler::Addr(plan.other));
        a.Call(reinterpret_cast<const void*>(&RuntimeRaiseException));
        a.InactiveLanding(4);
        a.AddEsp(4);
    }
    a.PushLocal(variable);
    a.Call(reinterpret_cast<const void*>(&RuntimeUnlockObject));
    a.InactiveLanding(4);
    a.AddEsp(4);
    a.StoreLocal(variable, 0);
    a.LeaveRet();
    return entry;
}

// A function without clean-up work: calls target(arg) behind an inactive
// block, then counts that it went on, and returns.
void* EmitUnmarked(Assembler& a, const void* target, uint32_t arg, Probe* probe) {
    void* entry = a.Function();
    a.Prologue(0);
    a.PushImm(arg);
    a.Call(target);
    a.InactiveLanding(4);
    a.AddEsp(4);
    a.Increment(&probe->after);
    a.PopEbpRet();
    return entry;
}

// A frame of locals bytes that calls inner.
void* EmitBigFrame(Assembler& a, uint32_t locals, const void* inner) {
    void* entry = a.Function();
    a.Prologue(locals);
    a.Call(inner);
    a.LeaveRet();
    return entry;
}

// Makes sure the stack pages the big frames reach are committed.
__attribute__((noinline)) void CommitStack() {
    volatile uint8_t pad[65536];
    for (size_t i = 0; i < sizeof pad; i += 512) pad[i] = 0;
}

class LandingTest : public ObjectsTest {
protected:
    void SetUp() override {
        ObjectsTest::SetUp();
        ASSERT_TRUE(a_.Ok());
        CommitStack();
    }
    Assembler a_;
};

TEST_F(LandingTest, RaiseFromAMarkedCallLandsInTheCallersCleanup) {
    ObjectHeader* e = NewException();
    Hierarchy h = MakeHierarchy();
    ObjectHeader* leaf = RuntimeNewObject(h.leaf);
    struct Case {
        const char* what;
        const void* target;
        std::vector<uint32_t> args;
        ObjectHeader* expected;    // the object raised, when it is known
        ClassRecord* expectedClass;
        int32_t refsInCleanup;
    } cases[] = {
        {"RuntimeRaiseException", reinterpret_cast<const void*>(&RuntimeRaiseException),
         {Assembler::Addr(e)}, e, e->classPtr, 2},
        {"RuntimeCheckCast", reinterpret_cast<const void*>(&RuntimeCheckCast),
         {Assembler::Addr(leaf), Assembler::Addr(h.other)}, nullptr, IllegalCastExceptionClass(), 1},
        {"RuntimeNilObject", reinterpret_cast<const void*>(&RuntimeNilObject), {}, nullptr,
         NilObjectExceptionClass(), 1},
        {"RuntimeLookupInterfaceVtable", reinterpret_cast<const void*>(&RuntimeLookupInterfaceVtable),
         {0, 0}, nullptr, NilObjectExceptionClass(), 1},
        {"RuntimeNewObject", reinterpret_cast<const void*>(&RuntimeNewObject), {0}, nullptr,
         NilObjectExceptionClass(), 1},
    };
    for (const Case& c : cases) {
        Probe probe;
        HandlerPlan plan;
        plan.target = c.target;
        plan.args = c.args;
        CallCode(EmitHandler(a_, plan, &probe));
        EXPECT_EQ(probe.normal, 0) << c.what;
        EXPECT_EQ(probe.cleanups, 1) << c.what;
        ASSERT_NE(probe.caught, nullptr) << c.what;
        if (c.expected) {
            EXPECT_EQ(probe.caught, c.expected) << c.what;
        }
        EXPECT_EQ(probe.caught->classPtr, c.expectedClass) << c.what;
        EXPECT_EQ(probe.caughtRefs, c.refsInCleanup) << c.what << ": the variable's reference";
        EXPECT_EQ(probe.espMinusEbp, -kHandlerLocals) << c.what << ": the call's arguments are removed";
        EXPECT_TRUE(gUnhandled.empty()) << c.what;
    }
    EXPECT_EQ(e->refCount, 1);
    EXPECT_EQ(leaf->refCount, 1);
    RuntimeUnlockObject(leaf);
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, StackAdjustmentsBeforeTheBlockAreSteppedOver) {
    ObjectHeader* e = NewException();
    const Adjust adjusts[] = {Adjust::kNone, Adjust::kImm32, Adjust::kImm8, Adjust::kBoth};
    for (Adjust adjust : adjusts) {
        // With a raise: the block is found behind the adjustment.
        Probe raised;
        HandlerPlan plan;
        plan.target = reinterpret_cast<const void*>(&RuntimeRaiseException);
        plan.args = {Assembler::Addr(e), 0x11111111, 0x22222222};
        plan.adjust = adjust;
        CallCode(EmitHandler(a_, plan, &raised));
        EXPECT_EQ(raised.normal, 0) << int(adjust);
        EXPECT_EQ(raised.caught, e) << int(adjust);
        EXPECT_EQ(raised.espMinusEbp, -kHandlerLocals) << int(adjust);
        // Without one: the block is jumped over and the stack is the same.
        Probe normal;
        plan.target = reinterpret_cast<const void*>(&RuntimeLockObject);
        plan.args = {0, 0x11111111, 0x22222222};
        CallCode(EmitHandler(a_, plan, &normal));
        EXPECT_EQ(normal.normal, 1) << int(adjust);
        EXPECT_EQ(normal.cleanups, 1) << int(adjust);
        EXPECT_EQ(normal.caught, nullptr) << int(adjust);
        EXPECT_EQ(normal.espMinusEbp, -kHandlerLocals) << int(adjust);
    }
    EXPECT_TRUE(gUnhandled.empty());
    EXPECT_EQ(e->refCount, 1);
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, UnmarkedFunctionFinishesBeforeTheMarkedCallerCleansUp) {
    ObjectHeader* e = NewException();
    Probe probe;
    void* unmarked = EmitUnmarked(a_, reinterpret_cast<const void*>(&RuntimeRaiseException),
                                  Assembler::Addr(e), &probe);
    HandlerPlan plan;
    plan.target = unmarked;
    plan.args = {0x33333333};
    CallCode(EmitHandler(a_, plan, &probe));
    EXPECT_EQ(probe.after, 1) << "the unmarked function went on after the raise";
    EXPECT_EQ(probe.normal, 0);
    EXPECT_EQ(probe.cleanups, 1);
    EXPECT_EQ(probe.caught, e);
    EXPECT_EQ(probe.caughtRefs, 2);
    EXPECT_EQ(probe.espMinusEbp, -kHandlerLocals);
    EXPECT_TRUE(gUnhandled.empty());
    EXPECT_EQ(e->refCount, 1);
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, InactiveBlockIsIgnored) {
    ObjectHeader* e = NewException();
    // The only block on the way is inactive: nothing receives the exception,
    // and the function carries on as if the call had returned.
    Probe probe;
    HandlerPlan plan;
    plan.target = reinterpret_cast<const void*>(&RuntimeRaiseException);
    plan.args = {Assembler::Addr(e)};
    plan.marker = kLandingInactive;
    CallCode(EmitHandler(a_, plan, &probe));
    EXPECT_EQ(probe.normal, 1);
    EXPECT_EQ(probe.caught, nullptr);
    ASSERT_EQ(gUnhandled.size(), 1u);
    EXPECT_EQ(gUnhandled[0].object, e);

    // Behind an inactive caller the next active one is found.
    gUnhandled.clear();
    Probe inner, outer;
    void* innerCode = EmitHandler(a_, plan, &inner);
    HandlerPlan outerPlan;
    outerPlan.target = innerCode;
    CallCode(EmitHandler(a_, outerPlan, &outer));
    EXPECT_EQ(inner.normal, 1);
    EXPECT_EQ(inner.caught, nullptr);
    EXPECT_EQ(outer.normal, 0);
    EXPECT_EQ(outer.caught, e);
    EXPECT_TRUE(gUnhandled.empty());
    EXPECT_EQ(e->refCount, 1);
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, RaiseDuringCleanupIsReceivedByTheCaller) {
    ObjectHeader* e = NewException();
    ObjectHeader* second = NewException("EndException");
    struct Case {
        const char* what;
        Cleanup cleanup;
        ObjectHeader* expected;
        int32_t innerRefs;  // of e in the inner clean-up
        int32_t outerRefs;  // of what the outer clean-up caught
    } cases[] = {
        // e: the test's reference, the inner variable's, then the outer
        // variable's before the inner one lets go.
        {"re-raise", Cleanup::kReraise, e, 2, 2},
        {"new raise", Cleanup::kRaiseOther, second, 2, 2},
    };
    for (const Case& c : cases) {
        Probe inner, outer;
        HandlerPlan innerPlan;
        innerPlan.target = reinterpret_cast<const void*>(&RuntimeRaiseException);
        innerPlan.args = {Assembler::Addr(e)};
        innerPlan.cleanup = c.cleanup;
        innerPlan.other = second;
        void* innerCode = EmitHandler(a_, innerPlan, &inner);
        HandlerPlan outerPlan;
        outerPlan.target = innerCode;
        outerPlan.args = {0x44444444, 0x55555555};
        CallCode(EmitHandler(a_, outerPlan, &outer));
        EXPECT_EQ(inner.cleanups, 1) << c.what << ": the cleaning function is not entered again";
        EXPECT_EQ(inner.caught, e) << c.what;
        EXPECT_EQ(inner.caughtRefs, c.innerRefs) << c.what;
        EXPECT_EQ(outer.normal, 0) << c.what;
        EXPECT_EQ(outer.cleanups, 1) << c.what;
        EXPECT_EQ(outer.caught, c.expected) << c.what;
        EXPECT_EQ(outer.caughtRefs, c.outerRefs) << c.what;
        EXPECT_EQ(outer.espMinusEbp, -kHandlerLocals) << c.what;
        EXPECT_TRUE(gUnhandled.empty()) << c.what;
        EXPECT_EQ(e->refCount, 1) << c.what;
        EXPECT_EQ(second->refCount, 1) << c.what;
    }
    RuntimeUnlockObject(e);
    RuntimeUnlockObject(second);
}

TEST_F(LandingTest, VariableOffsetSelectsTheSlotAndZeroStoresNothing) {
    ObjectHeader* e = NewException();
    struct Case {
        int16_t offset;
        bool stored;
    } cases[] = {{-4, true}, {-8, true}, {-12, true}, {0, false}};
    for (const Case& c : cases) {
        Probe probe;
        HandlerPlan plan;
        plan.target = reinterpret_cast<const void*>(&RuntimeRaiseException);
        plan.args = {Assembler::Addr(e)};
        plan.variableOffset = c.offset;
        CallCode(EmitHandler(a_, plan, &probe));
        EXPECT_EQ(probe.normal, 0) << c.offset << ": redirected all the same";
        EXPECT_EQ(probe.cleanups, 1) << c.offset;
        EXPECT_EQ(probe.caught, c.stored ? e : nullptr) << c.offset;
        EXPECT_EQ(probe.caughtRefs, c.stored ? 2 : -1) << c.offset;
        EXPECT_EQ(probe.espMinusEbp, -kHandlerLocals) << c.offset;
        EXPECT_EQ(e->refCount, 1) << c.offset;
    }
    EXPECT_TRUE(gUnhandled.empty());
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, ValueAlreadyInTheVariableIsUnlocked) {
    ObjectHeader* e = NewException();
    ObjectHeader* held = NewException("EndException");
    RuntimeLockObject(held);  // the variable's reference
    Probe probe;
    HandlerPlan plan;
    plan.target = reinterpret_cast<const void*>(&RuntimeRaiseException);
    plan.args = {Assembler::Addr(e)};
    plan.initialVariable = held;
    CallCode(EmitHandler(a_, plan, &probe));
    EXPECT_EQ(probe.caught, e);
    EXPECT_EQ(held->refCount, 1);
    EXPECT_EQ(e->refCount, 1);
    RuntimeUnlockObject(held);
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, FrameStepsBeyond4096BytesMakeTheExceptionUnhandled) {
    ObjectHeader* e = NewException();
    // handler -> big frame (locals bytes) -> unmarked -> RuntimeRaiseException.
    // From the unmarked function's frame to the big one is locals + 8 bytes.
    struct Case {
        uint32_t locals;
        bool handled;
    } cases[] = {{16, true}, {4000, true}, {4088, true}, {4092, false}, {5000, false}};
    for (const Case& c : cases) {
        gUnhandled.clear();
        Probe probe;
        void* unmarked = EmitUnmarked(a_, reinterpret_cast<const void*>(&RuntimeRaiseException),
                                      Assembler::Addr(e), &probe);
        void* big = EmitBigFrame(a_, c.locals, unmarked);
        HandlerPlan plan;
        plan.target = big;
        CallCode(EmitHandler(a_, plan, &probe));
        EXPECT_EQ(probe.after, 1) << c.locals;
        EXPECT_EQ(probe.cleanups, 1) << c.locals;
        if (c.handled) {
            EXPECT_EQ(probe.normal, 0) << c.locals;
            EXPECT_EQ(probe.caught, e) << c.locals;
            EXPECT_TRUE(gUnhandled.empty()) << c.locals;
        } else {
            EXPECT_EQ(probe.normal, 1) << c.locals;
            EXPECT_EQ(probe.caught, nullptr) << c.locals;
            ASSERT_EQ(gUnhandled.size(), 1u) << c.locals;
            EXPECT_EQ(gUnhandled[0].object, e) << c.locals;
        }
        EXPECT_EQ(e->refCount, 1) << c.locals;
    }
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, NothingFoundGoesToTheUnhandledHook) {
    ObjectHeader* e = NewException();
    // Straight from here: no frame above this test has a block.
    RuntimeRaiseException(e);
    ASSERT_EQ(gUnhandled.size(), 1u);
    EXPECT_EQ(gUnhandled[0].object, e);
    EXPECT_EQ(gUnhandled[0].refCount, 1);

    // An unmarked function goes on after the unhandled raise.
    gUnhandled.clear();
    Probe probe;
    CallCode(EmitUnmarked(a_, reinterpret_cast<const void*>(&RuntimeRaiseException), Assembler::Addr(e),
                          &probe));
    EXPECT_EQ(probe.after, 1);
    ASSERT_EQ(gUnhandled.size(), 1u);
    EXPECT_EQ(gUnhandled[0].object, e);
    EXPECT_EQ(e->refCount, 1);
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, FrameThatNamesItselfEndsTheSearch) {
    ObjectHeader* e = NewException();
    // push ebp; mov ebp, esp; push [ebp]; mov [ebp], ebp; raise; restore.
    void* code = a_.Function();
    a_.Prologue(0);
    a_.B({0xFF, 0x75, 0x00});  // push dword [ebp]
    a_.B({0x89, 0x6D, 0x00});  // mov [ebp], ebp
    a_.PushImm(Assembler::Addr(e));
    a_.Call(reinterpret_cast<const void*>(&RuntimeRaiseException));
    a_.AddEsp(4);
    a_.B({0x58});              // pop eax
    a_.B({0x89, 0x45, 0x00});  // mov [ebp], eax
    a_.PopEbpRet();
    CallCode(code);
    ASSERT_EQ(gUnhandled.size(), 1u);
    EXPECT_EQ(gUnhandled[0].object, e);
    RuntimeUnlockObject(e);
}

TEST_F(LandingTest, UnreadableReturnAddressIsPassedOver) {
    ObjectHeader* e = NewException();
    // The saved frame pointer is bent to a record in the function's own
    // argument slots: {next 0, return address 0x10}.
    void* code = a_.Function();
    a_.Prologue(0);
    a_.B({0xFF, 0x75, 0x00});  // push dword [ebp]
    a_.StoreLocal(8, 0);
    a_.StoreLocal(12, 0x10);
    a_.B({0x8D, 0x45, 0x08});  // lea eax, [ebp+8]
    a_.B({0x89, 0x45, 0x00});  // mov [ebp], eax
    a_.PushImm(Assembler::Addr(e));
    a_.Call(reinterpret_cast<const void*>(&RuntimeRaiseException));
    a_.AddEsp(4);
    a_.B({0x58});              // pop eax
    a_.B({0x89, 0x45, 0x00});  // mov [ebp], eax
    a_.PopEbpRet();
    reinterpret_cast<void(__cdecl*)(int32_t, int32_t)>(code)(1, 2);
    ASSERT_EQ(gUnhandled.size(), 1u);
    EXPECT_EQ(gUnhandled[0].object, e);
    RuntimeUnlockObject(e);
}

// ---- The protected call ---------------------------------------------------------------------------

struct ProtectedContext {
    int32_t calls = 0;
    int32_t after = 0;
    ClassRecord* raise = nullptr;
    StringValue* message = nullptr;
    void* machineCode = nullptr;
};

void __cdecl Quiet(void* context) { ++static_cast<ProtectedContext*>(context)->calls; }

void __cdecl Raising(void* context) {
    auto* c = static_cast<ProtectedContext*>(context);
    ++c->calls;
    RaiseExceptionWithMessage(c->raise, c->message, 9);
    ++c->after;
}

void __cdecl Nested(void* context) {
    auto* c = static_cast<ProtectedContext*>(context);
    ObjectHeader* inner = ProtectedCall(Raising, context);
    // Caught here, so the outer call sees a normal return.
    if (inner && inner->classPtr == c->raise) ++c->after;
    RuntimeUnlockObject(inner);
}

TEST_F(ObjectsTest, ProtectedCallReturnsTheCaughtExceptionOrNil) {
    ProtectedContext quiet;
    EXPECT_EQ(ProtectedCall(Quiet, &quiet), nullptr);
    EXPECT_EQ(quiet.calls, 1);

    StringHandle message("caught");
    ProtectedContext raising;
    raising.raise = ClassNamed("KeyNotFoundException");
    raising.message = message.Get();
    ObjectHeader* caught = ProtectedCall(Raising, &raising);
    ASSERT_NE(caught, nullptr);
    EXPECT_EQ(raising.after, 1) << "runtime code between raise and block returns normally";
    EXPECT_EQ(caught->classPtr, raising.raise);
    EXPECT_EQ(caught->refCount, 1) << "the caller's reference only";
    EXPECT_EQ(ErrorNumberOf(caught), 9);
    EXPECT_EQ(MessageOf(caught), message.Get());
    RuntimeUnlockObject(caught);
    EXPECT_EQ(message.Get()->refCount, 1);

    ProtectedContext nested;
    nested.raise = ClassNamed("EndException");
    EXPECT_EQ(ProtectedCall(Nested, &nested), nullptr);
    EXPECT_EQ(nested.calls, 1);
    EXPECT_EQ(nested.after, 2);
    EXPECT_TRUE(gUnhandled.empty());
}

TEST_F(LandingTest, ProtectedCallCatchesFromMachineCode) {
    ObjectHeader* e = NewException();
    Probe probe;
    void* unmarked = EmitUnmarked(a_, reinterpret_cast<const void*>(&RuntimeRaiseException),
                                  Assembler::Addr(e), &probe);
    // The function gets the context as its one argument and leaves it alone.
    ObjectHeader* caught = ProtectedCall(reinterpret_cast<ProtectedFunction>(unmarked), nullptr);
    EXPECT_EQ(caught, e);
    EXPECT_EQ(probe.after, 1);
    EXPECT_EQ(e->refCount, 2);
    RuntimeUnlockObject(caught);
    RuntimeUnlockObject(e);
    EXPECT_TRUE(gUnhandled.empty());
}

// ---- Stack limit ------------------------------------------------------------------------------------

DWORD WINAPI InitOnOtherThread(void* result) {
    TARNInitStackChecker(1000);
    *static_cast<void**>(result) = TARNGetStackLimit();
    return 0;
}

TEST(StackLimit, InitSetAndGetWorkOnTheCurrentThreadsRecord) {
    volatile char here = 0;
    uintptr_t sp = reinterpret_cast<uintptr_t>(&here);
    TARNInitStackChecker(262144);
    uintptr_t limit = reinterpret_cast<uintptr_t>(TARNGetStackLimit());
    EXPECT_LT(limit, sp - 262144 + 4096);
    EXPECT_GT(limit, sp - 262144 - 4096);

    void* other = nullptr;
    HANDLE thread = CreateThread(nullptr, 0, InitOnOtherThread, &other, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_NE(other, nullptr);
    EXPECT_NE(other, reinterpret_cast<void*>(limit));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(TARNGetStackLimit()), limit) << "another thread keeps its own";

    TARNSetStackLimit(reinterpret_cast<void*>(0x12345678));
    EXPECT_EQ(TARNGetStackLimit(), reinterpret_cast<void*>(0x12345678));
    TARNInitStackChecker(262144);
    RuntimeStackCheck();  // checks nothing, whatever the limit
}

}  // namespace
