// Intrinsic class descriptors: definitions from rows, the class records built
// from them (event, static-method and property numbering, interfaces,
// handlers), entry-name registration, the generic accessors and the packed
// property assignment.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "loader/relocentry.h"
#include "objects/ExceptionClasses.h"
#include "objects/ObjectDefinition.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/RuntimeObjectFoundation.h"
#include "objects/globalFunctions.h"
#include "objects/globalFunctionsDecl.h"
#include "orvane/exports.h"
#include "strings/string.h"
#include "tests/TestStrings.h"
#include "tests/TestSupport.h"

static_assert(sizeof(TypeDescriptor) == 24, "type descriptor");
static_assert(sizeof(PropertyRow) == 32, "property row");
static_assert(offsetof(PropertyRow, parameter) == 28, "property row parameter");
static_assert(sizeof(MethodRow) == 76, "method row");
static_assert(offsetof(MethodRow, secondFunction) == 44, "method row second function");
static_assert(offsetof(MethodRow, flags) == 72, "method row flags");
static_assert(sizeof(ParameterRecord) == 28 && offsetof(ParameterRecord, byReference) == 8, "parameter record");
static_assert(sizeof(EventRow) == 20, "event row");
static_assert(offsetof(ObjectDefinition, type) == 0, "a class is its own type descriptor");

namespace {

std::string Text(StringValue* s) { return std::string(StringText(s), size_t(StringLength(s))); }

class DescriptorsTest : public ::testing::Test {
protected:
    void SetUp() override { liveAtStart_ = RuntimeLiveObjectCount(); }
    void TearDown() override { EXPECT_EQ(RuntimeLiveObjectCount(), liveAtStart_) << "objects leaked"; }
    int32_t liveAtStart_ = 0;
};

// ---- A chain with the arithmetic of a control, a rectangle control and a canvas ----------

void* Fake(uintptr_t n) { return reinterpret_cast<void*>(0x20000 + n * 16); }

EventRow kChainAEvents[] = {{0, "CreatePane", nullptr, nullptr, nullptr},
                            {0, "Open", nullptr, nullptr, nullptr},
                            {0, "Close", nullptr, nullptr, nullptr}};
EventRow kChainBEvents[] = {{0, "MouseMove", "X As Integer, Y As Integer", nullptr, nullptr},
                            {0, "MouseEnter", nullptr, nullptr, nullptr},
                            {0, "MouseExit", nullptr, nullptr, nullptr},
                            {0, "DropObject", nullptr, nullptr, nullptr}};
EventRow kChainCEvents[] = {{0, "Paint", "g As Graphics", nullptr, nullptr},
                            {0, "GotFocus", nullptr, nullptr, nullptr},
                            {0, "LostFocus", nullptr, nullptr, nullptr},
                            {0, "KeyDown", "Key As String", "Boolean", nullptr},
                            {0, "MouseDown", nullptr, "Boolean", nullptr},
                            {0, "MouseDrag", nullptr, nullptr, nullptr},
                            {0, "MouseUp", nullptr, nullptr, nullptr},
                            {0, "EnableMenuItems", nullptr, nullptr, nullptr}};

PropertyRow RowsOf(const char* name, const TypeDescriptor* type, uint32_t parameter) {
    return PropertyRow{0, name, type, nullptr, "intGetter", nullptr, "intSetter", parameter};
}

std::vector<PropertyRow> PropertyRows(const char* prefix, int n) {
    static std::vector<std::string> names;  // the rows keep pointers into it
    names.reserve(100);
    std::vector<PropertyRow> rows;
    for (int i = 0; i < n; ++i) {
        names.push_back(std::string(prefix) + std::to_string(i));
        rows.push_back(RowsOf(names.back().c_str(), &kIntegerType, 28 + 4 * i));
    }
    return rows;
}

std::vector<MethodRow> MethodRows(const char* prefix, int n, uintptr_t fakeBase) {
    static std::vector<std::string> names;
    names.reserve(100);
    std::vector<MethodRow> rows;
    for (int i = 0; i < n; ++i) {
        names.push_back(std::string(prefix) + std::to_string(i));
        MethodRow row = {};
        row.name = names.back().c_str();
        row.function = Fake(fakeBase + i);
        rows.push_back(row);
    }
    return rows;
}

std::vector<PropertyRow> gAProps = PropertyRows("AProp", 7);
std::vector<PropertyRow> gBProps = PropertyRows("BProp", 18);
std::vector<PropertyRow> gCProps = PropertyRows("CProp", 5);
std::vector<MethodRow> gAMethods = MethodRows("AMethod", 1, 100);
std::vector<MethodRow> gBMethods = MethodRows("BMethod", 10, 200);
std::vector<MethodRow> gCMethods = MethodRows("CMethod", 1, 300);

const EventHandlerRow kChainCHandlers[] = {{"open", Fake(400)}};

ObjectDefinition* ChainA() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "TestChainA", nullptr, 104, nullptr, nullptr, gAProps.data(), int32_t(gAProps.size()), gAMethods.data(),
        int32_t(gAMethods.size()), ORVANE_ROWS(kChainAEvents)});
    return d;
}
ObjectDefinition* ChainB() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "TestChainB", ChainA, 104, nullptr, nullptr, gBProps.data(), int32_t(gBProps.size()), gBMethods.data(),
        int32_t(gBMethods.size()), ORVANE_ROWS(kChainBEvents)});
    return d;
}
ObjectDefinition* ChainC() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "TestChainC", ChainB, 120, nullptr, nullptr, gCProps.data(), int32_t(gCProps.size()), gCMethods.data(),
        int32_t(gCMethods.size()), ORVANE_ROWS(kChainCEvents), ORVANE_ROWS(kChainCHandlers)});
    return d;
}

TEST_F(DescriptorsTest, ChainNumbersEventsStaticMethodsAndPropertiesAfterTheAncestors) {
    ClassRecord* c = ClassOfDefinition(ChainC());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->eventCount, 15);
    EXPECT_EQ(c->staticMethodCount, 12);
    EXPECT_EQ(c->propertyCount, 30);
    EXPECT_EQ(c->instanceSize, 120);
    EXPECT_EQ(Text(c->name), "TestChainC");
    ClassRecord* b = ClassOfDefinition(ChainB());
    EXPECT_EQ(c->base, b);
    EXPECT_EQ(b->eventCount, 7);

    // A subclass's first own event follows its base's events.
    EXPECT_EQ(kChainBEvents[0].descriptor->index, 3);
    EXPECT_EQ(kChainCEvents[0].descriptor->index, 7);   // Paint
    EXPECT_EQ(kChainCEvents[6].descriptor->index, 13);  // MouseUp
    EXPECT_EQ(Text(kChainCEvents[3].descriptor->result), "Boolean");

    // Properties: the root's first is 0, each class's own follow.
    EXPECT_EQ(ChainA()->properties[0].tableIndex, 0);
    EXPECT_EQ(ChainB()->properties[0].tableIndex, 7);
    EXPECT_EQ(ChainC()->properties[0].tableIndex, 25);
    EXPECT_EQ(ChainC()->propertyTableSize, 30);
    EXPECT_EQ(Text(c->properties[25].declaration), "CProp0%i");
    EXPECT_EQ(c->properties[25].parameter, 28);
    EXPECT_EQ(c->properties[25].getter, Fn(&intGetter));
    EXPECT_EQ(Text(c->properties[0].declaration), "AProp0%i");

    // Static methods: the base's entries first, then one per own method.
    EXPECT_EQ(c->staticMethods[0].function, Fake(100));
    EXPECT_EQ(c->staticMethods[1].function, Fake(200));
    EXPECT_EQ(c->staticMethods[11].function, Fake(300));
    EXPECT_EQ(Text(c->staticMethods[11].name), "CMethod0%%o<TestChainC>");

    // The handler of an ancestor's event, found by name without regard to case.
    EXPECT_EQ(c->events[1].function, Fake(400));
    EXPECT_EQ(Text(c->events[1].name), "open");
    EXPECT_EQ(b->events[1].function, nullptr);

    // Built once: the lookup by name gives the same record.
    StringHandle name("testchainc");
    EXPECT_EQ(RuntimeLookupClass(name.Get()), c);
}

TEST_F(DescriptorsTest, InstancesRaiseEventsThroughTheirRows) {
    ObjectHeader* o = CreateInstance(ChainC());
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(EventHandlerFor(o, kChainAEvents[1]), Fake(400));
    EXPECT_EQ(EventHandlerFor(o, kChainCEvents[0]), nullptr);
    RuntimeUnlockObject(o);
}

// ---- Interfaces ---------------------------------------------------------------------------------

ParameterRecord kTwoParameters[] = {{"x", &kIntegerType, 0, {}, {}}, {"s", &kStringType, 1, {}, {}}};
MethodRow kProbeMethods[] = {
    {"Ping", &kBooleanType, ORVANE_ROWS(kTwoParameters), nullptr, nullptr, {}, nullptr, nullptr, {}, 0},
    {"Pong", nullptr, nullptr, 0, nullptr, nullptr, {}, nullptr, nullptr, {}, 0},
};
ObjectDefinition* ProbeInterface() {
    ClassDescription c{"TestProbeInterface", nullptr, 28, nullptr, nullptr, ORVANE_NO_ROWS,
                       ORVANE_ROWS(kProbeMethods), ORVANE_NO_ROWS};
    c.isAnInterface = true;
    static ObjectDefinition* d = DefineClass(c);
    return d;
}

MethodRow kProbeBaseMethods[] = {
    {"pong", nullptr, nullptr, 0, Fake(501), "TestProbePong", {}, nullptr, nullptr, {}, 0},
};
ObjectDefinition* ProbeBase() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "TestProbeBase", nullptr, 32, nullptr, nullptr, ORVANE_NO_ROWS, ORVANE_ROWS(kProbeBaseMethods),
        ORVANE_NO_ROWS});
    return d;
}
MethodRow kProbeImplMethods[] = {
    {"Ping", &kBooleanType, ORVANE_ROWS(kTwoParameters), Fake(502), "TestProbePing", {}, Fake(503),
     "TestProbePingTwo", {}, 0},
};
const DefinitionGetter kProbeInterfaces[] = {ProbeInterface};
ObjectDefinition* ProbeImpl() {
    ClassDescription c{"TestProbeImpl", ProbeBase, 32, nullptr, nullptr, ORVANE_NO_ROWS,
                       ORVANE_ROWS(kProbeImplMethods), ORVANE_NO_ROWS};
    c.interfaces = kProbeInterfaces;
    c.interfaceCount = 1;
    static ObjectDefinition* d = DefineClass(c);
    return d;
}

TEST_F(DescriptorsTest, InterfaceTablesTakeImplementationsFromTheClassAndItsAncestors) {
    ClassRecord* impl = ClassOfDefinition(ProbeImpl());
    ASSERT_NE(impl, nullptr);
    ClassRecord* iface = ClassOfDefinition(ProbeInterface());
    EXPECT_EQ(iface->isAnInterface, 1u);
    EXPECT_EQ(iface->methodCount, 3);  // one empty slot, then the declared methods
    ASSERT_EQ(impl->interfaceCount, 1);
    InterfaceEntry& entry = ClassInterfaces(impl)[0];
    EXPECT_EQ(entry.interfaceClass, iface);
    ASSERT_EQ(entry.methodCount, 3);
    EXPECT_EQ(entry.vtable[0].function, nullptr);
    EXPECT_EQ(entry.vtable[0].name, nullptr);
    EXPECT_EQ(entry.vtable[1].function, Fake(502));
    EXPECT_EQ(Text(entry.vtable[1].name), "Ping%b%o<TestProbeImpl>i&s");
    EXPECT_EQ(entry.vtable[2].function, Fake(501));
    EXPECT_EQ(Text(entry.vtable[2].name), "pong%%o<TestProbeBase>");
    EXPECT_EQ(ProbeImpl()->stamp, 1u);

    // The second function follows its method with no signature.
    EXPECT_EQ(impl->staticMethodCount, 3);
    EXPECT_EQ(impl->staticMethods[1].function, Fake(502));
    EXPECT_EQ(impl->staticMethods[2].function, Fake(503));
    EXPECT_EQ(impl->staticMethods[2].name, nullptr);

    ObjectHeader* o = CreateInstance(ProbeImpl());
    EXPECT_EQ(RuntimeObjectIsa(o, iface), 1);
    EXPECT_EQ(RuntimeLookupInterfaceVtable(o, iface), entry.vtable);
    RuntimeUnlockObject(o);

    // Method and second-function names reached the export table.
    EXPECT_EQ(ExportFindForLink("TestProbePingTwo"), Fake(503));
    EXPECT_EQ(ExportFindForLink("testprobepong"), Fake(501));
}

const DefinitionGetter kBrokenInterfaces[] = {ProbeInterface};
ObjectDefinition* BrokenImpl() {
    ClassDescription c{"TestBrokenImpl", nullptr, 28, nullptr, nullptr, ORVANE_NO_ROWS, ORVANE_NO_ROWS,
                       ORVANE_NO_ROWS};
    c.interfaces = kBrokenInterfaces;
    c.interfaceCount = 1;
    static ObjectDefinition* d = DefineClass(c);
    return d;
}

TEST_F(DescriptorsTest, AMissingInterfaceMethodIsALevelTwoReport) {
    AssertionCapture capture;
    ClassRecord* cls = ClassOfDefinition(BrokenImpl());
    ASSERT_NE(cls, nullptr);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].level, 2);
    EXPECT_EQ(capture.Reports()[0].unit, "ObjectDefinition");
    EXPECT_EQ(capture.Reports()[0].line, 3027);
    EXPECT_NE(capture.Reports()[0].message.find("Ping"), std::string::npos);
}

ObjectDefinition* Orphan() {
    static ObjectDefinition* d = [] {
        ObjectDefinition* def = DefineClass(ClassDescription{"TestOrphan", nullptr, 28, nullptr, nullptr,
                                                             ORVANE_NO_ROWS, ORVANE_NO_ROWS, ORVANE_NO_ROWS});
        return def;
    }();
    return d;
}

TEST_F(DescriptorsTest, ASystemPropertyVirtualMethodIsReported) {
    static MethodRow rows[] = {{"Odd", nullptr, nullptr, 0, Fake(600), nullptr, {}, nullptr, nullptr, {}, 8}};
    ObjectDefinition* d = DefineClass(ClassDescription{"TestSystemVirtual", nullptr, 28, nullptr, nullptr,
                                                       ORVANE_NO_ROWS, ORVANE_ROWS(rows), ORVANE_NO_ROWS});
    AssertionCapture capture;
    ASSERT_NE(ClassOfDefinition(d), nullptr);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].condition, "systemPropertyVirtual");
}

// ---- Registration --------------------------------------------------------------------------------

void __cdecl OneAccessor(ObjectHeader*, int32_t) {}
void __cdecl OtherAccessor(ObjectHeader*, int32_t) {}

TEST_F(DescriptorsTest, EntryNamesAreRegisteredOnceAndAConflictIsReported) {
    static PropertyRow first[] = {{0, "Value", &kIntegerType, Fn(&OneAccessor), "testOneAccessorGetter", nullptr,
                                   "stringSetter", 28}};
    static PropertyRow again[] = {{0, "Value", &kIntegerType, Fn(&OneAccessor), "testOneAccessorGetter", nullptr,
                                   "stringSetter", 28}};
    static PropertyRow clash[] = {{0, "Value", &kIntegerType, Fn(&OtherAccessor), "testOneAccessorGetter",
                                   nullptr, nullptr, 28}};
    RegisterDefinition(DefineClass(ClassDescription{"TestRegisterFirst", nullptr, 32, nullptr, nullptr,
                                                    ORVANE_ROWS(first), ORVANE_NO_ROWS, ORVANE_NO_ROWS}));
    int32_t rows = ExportRowCount();
    EXPECT_EQ(ExportFindForLink("testOneAccessorGetter"), Fn(&OneAccessor));
    // The same accessor names with the same functions from a second class add nothing.
    RegisterDefinition(DefineClass(ClassDescription{"TestRegisterAgain", nullptr, 32, nullptr, nullptr,
                                                    ORVANE_ROWS(again), ORVANE_NO_ROWS, ORVANE_NO_ROWS}));
    EXPECT_EQ(ExportRowCount(), rows);
    AssertionCapture capture;
    RegisterDefinition(DefineClass(ClassDescription{"TestRegisterClash", nullptr, 32, nullptr, nullptr,
                                                    ORVANE_ROWS(clash), ORVANE_NO_ROWS, ORVANE_NO_ROWS}));
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].unit, "relocentry");
    EXPECT_EQ(capture.Reports()[0].line, 2240);
    EXPECT_EQ(ExportRowCount(), rows);
    EXPECT_EQ(ExportFindForLink("testOneAccessorGetter"), Fn(&OneAccessor));
}

TEST_F(DescriptorsTest, GenericAccessorNamesResolveToTheRuntimesOwn) {
    EXPECT_EQ(GenericAccessorNamed("DOUBLEGETTER"), Fn(&doubleGetter));
    EXPECT_EQ(GenericAccessorNamed("windowPosGetter"), nullptr);
    EXPECT_EQ(ExportFindForLink("doubleGetter"), Fn(&doubleGetter));
    EXPECT_EQ(ExportFindForLink("RuntimeMassPropertySetter"), Fn(&RuntimeMassPropertySetter));
    EXPECT_GE(GlobalFunctionRowCount(), 1);
}

TEST_F(DescriptorsTest, ClassOfDefinitionRegistersOnDemand) {
    ObjectDefinition* d = DefineClass(ClassDescription{"TestOnDemand", nullptr, 28, nullptr, nullptr,
                                                       ORVANE_NO_ROWS, ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    EXPECT_EQ(FindDefinitionText("TestOnDemand"), nullptr);
    ClassRecord* cls = ClassOfDefinition(d);
    EXPECT_EQ(FindDefinitionText("testondemand"), d);
    EXPECT_EQ(ClassOfDefinition(d), cls);
    EXPECT_EQ(ClassOfDefinition(Orphan())->base, nullptr);
}

TEST_F(DescriptorsTest, TypeCodesAndConversions) {
    static const TypeDescriptor arrayOfDouble = {kTypeArray, &kDoubleType, nullptr, nullptr, nullptr, nullptr};
    static const ClassTypeRef folder = ORVANE_CLASS_TYPE("FolderItem");
    static const TypeDescriptor arrayOfFolder = {kTypeArray, &folder.header, nullptr, nullptr, nullptr, nullptr};
    struct Case {
        const TypeDescriptor* type;
        const char* code;
    } cases[] = {{&kStringType, "s"}, {&kIntegerType, "i"}, {&kBooleanType, "b"}, {&kSingleType, "f"},
                 {&kDoubleType, "d"}, {&kColorType, "c"},   {&arrayOfDouble, "ad"}, {&folder.header, "o<FolderItem>"},
                 {&arrayOfFolder, "ao<FolderItem>"}, {&ChainA()->type, "o<TestChainA>"}};
    for (const Case& c : cases) {
        StringHandle code = StringHandle::Adopt(TypeCode(c.type));
        EXPECT_EQ(Bytes(code), c.code);
    }

    uint8_t flag = 7;
    EXPECT_TRUE(kBooleanType.fromText(Ascii("tRUE").Get(), &flag));
    EXPECT_EQ(flag, 1);
    kBooleanType.fromText(Ascii("True ").Get(), &flag);
    EXPECT_EQ(flag, 0);
    StringHandle text = StringHandle::Adopt(kBooleanType.toText(&flag));
    EXPECT_EQ(Bytes(text), "False");
    int32_t n = 0;
    kIntegerType.fromText(Ascii("-42").Get(), &n);
    EXPECT_EQ(n, -42);
    kIntegerType.fromText(Ascii("1e300").Get(), &n);
    EXPECT_EQ(n, INT32_MAX);
    StringHandle number = StringHandle::Adopt(kColorType.toText(&n));
    EXPECT_EQ(Bytes(number), "2147483647");
    EXPECT_EQ(kDoubleType.toText, nullptr);
}

// ---- Exception classes -------------------------------------------------------------------------------

TEST_F(DescriptorsTest, ExceptionClassesAreDefinitionsWithTheirProperties) {
    ClassRecord* root = ClassOfDefinition(RuntimeExceptionDefinition());
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->propertyCount, 2);
    EXPECT_EQ(Text(root->properties[0].declaration), "ErrorNumber%i");
    EXPECT_EQ(root->properties[0].parameter, 28);
    EXPECT_EQ(root->properties[0].getter, Fn(&intGetter));
    EXPECT_EQ(Text(root->properties[1].declaration), "Message%s");
    EXPECT_EQ(root->properties[1].setter, Fn(&stringSetter));
    for (int i = 1; i < kRuntimeExceptionClassCount; ++i) {
        StringHandle name(kRuntimeExceptionClassNames[i]);
        ClassRecord* cls = RuntimeLookupClass(name.Get());
        ASSERT_NE(cls, nullptr) << kRuntimeExceptionClassNames[i];
        EXPECT_EQ(cls->base, root);
        EXPECT_EQ(cls->instanceSize, 36);
        EXPECT_EQ(cls->propertyCount, 2);
    }
    EXPECT_EQ(NilObjectExceptionClass(), ClassOfDefinition(NilObjectExceptionDefinition()));
    EXPECT_EQ(OutOfBoundsExceptionClass(), ClassOfDefinition(OutOfBoundsExceptionDefinition()));
}

// ---- Generic accessors ---------------------------------------------------------------------------------

struct Fields {
    ObjectHeader header;
    int32_t i;
    int16_t s;
    uint8_t b;
    uint8_t pad;
    float f;
    double d;
    StringValue* str;
    ObjectHeader* obj;
};

void __cdecl FinalizeFields(ObjectHeader* self) {
    Fields* f = reinterpret_cast<Fields*>(self);
    StringRelease(f->str);
    RuntimeUnlockObject(f->obj);
}

const ClassTypeRef kChainAType = ORVANE_CLASS_TYPE("TestChainA");

PropertyRow kFieldsProperties[] = {
    {0, "I", &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", offsetof(Fields, i)},
    {0, "S", &kIntegerType, nullptr, "shortGetter", nullptr, "shortSetter", offsetof(Fields, s)},
    {0, "B", &kBooleanType, nullptr, "boolGetter", nullptr, "boolSetter", offsetof(Fields, b)},
    {0, "F", &kSingleType, nullptr, "singleGetter", nullptr, "singleSetter", offsetof(Fields, f)},
    {0, "D", &kDoubleType, nullptr, "doubleGetter", nullptr, "doubleSetter", offsetof(Fields, d)},
    {0, "Str", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", offsetof(Fields, str)},
    {0, "C", &kColorType, nullptr, "intGetter", nullptr, "intSetter", offsetof(Fields, i)},
    {0, "ReadOnly", &kIntegerType, nullptr, "intGetter", nullptr, nullptr, offsetof(Fields, i)},
    {0, "Obj", &kChainAType.header, nullptr, "objGetter", nullptr, "objSetter", offsetof(Fields, obj)},
};
enum { kI, kS, kB, kF, kD, kStr, kC, kReadOnly, kObj };

ObjectDefinition* FieldsDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "TestFields", nullptr, int32_t(sizeof(Fields)), nullptr, FinalizeFields, ORVANE_ROWS(kFieldsProperties),
        ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

TEST_F(DescriptorsTest, GenericAccessorsReadAndWriteTheirFields) {
    ObjectHeader* o = CreateInstance(FieldsDefinition());
    ASSERT_NE(o, nullptr);
    Fields* f = reinterpret_cast<Fields*>(o);
    intSetter(o, offsetof(Fields, i), -5);
    EXPECT_EQ(intGetter(o, offsetof(Fields, i)), -5);
    shortSetter(o, offsetof(Fields, s), 0x18000);
    EXPECT_EQ(f->s, int16_t(0x8000));
    EXPECT_EQ(shortGetter(o, offsetof(Fields, s)), -32768);
    boolSetter(o, offsetof(Fields, b), 0xFF);
    EXPECT_EQ(boolGetter(o, offsetof(Fields, b)), -1);  // sign-extended
    singleSetter(o, offsetof(Fields, f), 1.5f);
    EXPECT_EQ(singleGetter(o, offsetof(Fields, f)), 1.5f);
    doubleSetter(o, offsetof(Fields, d), -0.25);
    EXPECT_EQ(doubleGetter(o, offsetof(Fields, d)), -0.25);

    StringHandle s = Ascii("text");
    stringSetter(o, offsetof(Fields, str), s.Get());
    EXPECT_EQ(s.Get()->refCount, 2);
    stringSetter(o, offsetof(Fields, str), s.Get());  // the value the field holds
    EXPECT_EQ(s.Get()->refCount, 2);
    StringHandle read = StringHandle::Adopt(stringGetter(o, offsetof(Fields, str)));
    EXPECT_EQ(read.Get(), s.Get());
    EXPECT_EQ(s.Get()->refCount, 3);

    ObjectHeader* other = CreateInstance(ChainA());
    objSetter(o, offsetof(Fields, obj), other);
    EXPECT_EQ(other->refCount, 2);
    ObjectHeader* got = objGetter(o, offsetof(Fields, obj));
    EXPECT_EQ(got, other);
    EXPECT_EQ(other->refCount, 3);
    RuntimeUnlockObject(got);
    objSetter(o, offsetof(Fields, obj), nullptr);
    EXPECT_EQ(other->refCount, 1);
    RuntimeUnlockObject(other);

    // Nil objects read 0 and are not written.
    EXPECT_EQ(intGetter(nullptr, 28), 0);
    stringSetter(nullptr, 28, s.Get());
    EXPECT_EQ(s.Get()->refCount, 3);
    RuntimeUnlockObject(o);
}

// ---- Packed property assignment ------------------------------------------------------------------------

std::string Be16(uint16_t v) { return std::string{char(v >> 8), char(v)}; }
std::string Be32(uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
std::string Be64(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, 8);
    return Be32(uint32_t(bits >> 32)) + Be32(uint32_t(bits));
}
std::string BeSingle(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    return Be32(bits);
}

TEST_F(DescriptorsTest, MassPropertySetterAssignsEachRecordByItsType) {
    ObjectHeader* o = CreateInstance(FieldsDefinition());
    Fields* f = reinterpret_cast<Fields*>(o);
    std::string data = Be16(kStr) + Be32(7) + "Canvas1" + Be16(kB) + std::string(1, '\x02') + Be16(kS) +
                       Be32(0xFFFF8001u) + Be16(kF) + BeSingle(2.75f) + Be16(kD) + Be64(-1.0e10) + Be16(kI) +
                       Be32(uint32_t(-2));
    StringHandle packed = Ascii(data);
    RuntimeMassPropertySetter(o, packed.Get());
    EXPECT_EQ(std::string(StringText(f->str)), "Canvas1");
    EXPECT_EQ(StringEncoding(f->str), kEncodingUTF8);
    EXPECT_EQ(f->b, 1);
    EXPECT_EQ(f->s, int16_t(0x8001));
    EXPECT_EQ(f->f, 2.75f);
    EXPECT_EQ(f->d, -1.0e10);
    EXPECT_EQ(f->i, -2);

    // A colour takes exactly three bytes; the next record follows at once.
    StringHandle color = Ascii(Be16(kC) + std::string("\x12\x34\x56", 3) + Be16(kB) + std::string(1, '\0'));
    RuntimeMassPropertySetter(o, color.Get());
    EXPECT_EQ(f->i, 0x123456);
    EXPECT_EQ(f->b, 0);

    // A string of length 0 assigns the empty string.
    StringHandle empty = Ascii(Be16(kStr) + Be32(0));
    RuntimeMassPropertySetter(o, empty.Get());
    EXPECT_EQ(f->str, nullptr);

    // Nil object or data: nothing happens.
    RuntimeMassPropertySetter(nullptr, packed.Get());
    RuntimeMassPropertySetter(o, nullptr);
    RuntimeUnlockObject(o);
}

TEST_F(DescriptorsTest, MassPropertySetterUsesTheGenericSetterForRowsMarkedOne) {
    // A module-style class: plain field properties with getter and setter 1.
    ClassRecord* base = ClassOfDefinition(FieldsDefinition());
    ClassRecord* cls = RuntimeNewClass(base, 0, 0, 0, 0, base->propertyCount + 2);
    cls->instanceSize = int32_t(sizeof(Fields)) + 12;
    cls->name = StringMakeC("TestModuleFields");
    void* one = reinterpret_cast<void*>(kGenericAccessor);
    cls->properties[base->propertyCount] = {StringMakeC("StartX%d%"), int32_t(sizeof(Fields)), one, one};
    cls->properties[base->propertyCount + 1] = {StringMakeC("Count%i%"), int32_t(sizeof(Fields)) + 8, one, one};
    ObjectHeader* o = RuntimeNewObject(cls);
    uint16_t x = uint16_t(base->propertyCount);
    StringHandle data = Ascii(Be16(x) + Be64(12.5) + Be16(uint16_t(x + 1)) + Be32(99));
    RuntimeMassPropertySetter(o, data.Get());
    uint8_t* bytes = reinterpret_cast<uint8_t*>(o);
    double startX;
    int32_t count;
    std::memcpy(&startX, bytes + sizeof(Fields), 8);
    std::memcpy(&count, bytes + sizeof(Fields) + 8, 4);
    EXPECT_EQ(startX, 12.5);
    EXPECT_EQ(count, 99);
    RuntimeUnlockObject(o);
}

TEST_F(DescriptorsTest, MassPropertySetterReportsBadRecords) {
    struct Case {
        const char* what;
        std::string data;
        int line;
        const char* message;
    } cases[] = {
        {"index past the table", Be16(200) + Be32(1), 3900, ""},
        {"read-only property", Be16(kReadOnly) + Be32(1), 3902, "Assignment to a read-only property."},
        {"object property", Be16(kObj) + Be32(0), 4030, "Illegal type in mass property input."},
        {"cut inside the index", std::string(1, '\0'), 3990, "Mass property input ends inside a record."},
        {"cut inside a double", Be16(kD) + "\x01\x02", 3990, "Mass property input ends inside a record."},
        {"string length past the end", Be16(kStr) + Be32(0x7FFFFFF0u) + "abc", 3990,
         "Mass property input ends inside a record."},
    };
    ObjectHeader* o = CreateInstance(FieldsDefinition());
    Fields* f = reinterpret_cast<Fields*>(o);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AssertionCapture capture;
        f->i = 5;
        StringHandle data = Ascii(c.data);
        RuntimeMassPropertySetter(o, data.Get());
        ASSERT_EQ(capture.Reports().size(), 1u);
        EXPECT_EQ(capture.Reports()[0].unit, "runctl");
        EXPECT_EQ(capture.Reports()[0].line, c.line);
        EXPECT_EQ(capture.Reports()[0].message, c.message);
        EXPECT_EQ(f->i, 5);
    }
    RuntimeUnlockObject(o);
}

// The data sits at the very end of a readable page: a read past it faults.
TEST_F(DescriptorsTest, MassPropertySetterNeverReadsPastTheData) {
    const std::string whole = Be16(kStr) + Be32(5) + "hello" + Be16(kD) + Be64(3.0) + Be16(kC) + "\x01\x02\x03";
    uint8_t* pages = static_cast<uint8_t*>(VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
    ObjectHeader* o = CreateInstance(FieldsDefinition());
    for (size_t cut = 1; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        uint8_t* text = pages + 4096 - cut - 1;  // the length byte, then the bytes up to the page end
        text[0] = uint8_t(cut);
        std::memcpy(text + 1, whole.data(), cut);
        StringValue value = {1, text, int32_t(cut + 1), int32_t(cut), kEncodingASCII};
        AssertionCapture capture;
        RuntimeMassPropertySetter(o, &value);
        bool complete = cut == whole.size() || cut == 11 || cut == 21;
        EXPECT_EQ(capture.Reports().size(), complete ? 0u : 1u);
    }
    EXPECT_EQ(reinterpret_cast<Fields*>(o)->i, 0x010203);
    RuntimeUnlockObject(o);
    VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace
