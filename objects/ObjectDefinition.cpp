#include "objects/ObjectDefinition.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "loader/relocentry.h"
#include "objects/ObjectFields.h"
#include "objects/RuntimeObjectFoundation.h"
#include "objects/StringMap.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"
#include "strings/utility.h"

namespace {

// The generation of prepared interface tables; definitions start at stamp 0.
constexpr uint32_t kGeneration = 1;

// ---- Scalar types ---------------------------------------------------------------------

int32_t ClampToInt32(double x) {
    if (!(x == x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return int32_t(x);
}

StringValue* __cdecl StringToText(const void* value) {
    return StringRetain(*static_cast<StringValue* const*>(value));
}
int32_t __cdecl StringFromText(StringValue* text, void* value) {
    *static_cast<StringValue**>(value) = StringRetain(text);
    return 1;
}
void __cdecl StringValueRelease(void* value) {
    StringValue** s = static_cast<StringValue**>(value);
    StringRelease(*s);
    *s = nullptr;
}
void __cdecl StringRetainValue(void* value) { StringRetain(*static_cast<StringValue**>(value)); }

StringValue* __cdecl IntegerToText(const void* value) {
    return StringHandle::Number(*static_cast<const int32_t*>(value)).Release();
}
int32_t __cdecl IntegerFromText(StringValue* text, void* value) {
    *static_cast<int32_t*>(value) = ClampToInt32(StringVal(text));
    return 1;
}

StringValue* __cdecl BooleanToText(const void* value) {
    return StringMakeC(*static_cast<const uint8_t*>(value) ? "True" : "False");
}
int32_t __cdecl BooleanFromText(StringValue* text, void* value) {
    static const uint8_t kTrue[] = {'T', 'r', 'u', 'e'};
    *static_cast<uint8_t*>(value) =
        CompareBytesText(reinterpret_cast<const uint8_t*>(StringText(text)), StringLength(text), kTrue, 4) == 0;
    return 1;
}

StringValue* __cdecl SingleToText(const void* value) { return StringStr(*static_cast<const float*>(value)); }
int32_t __cdecl SingleFromText(StringValue* text, void* value) {
    *static_cast<float*>(value) = float(StringVal(text));
    return 1;
}

StringValue* __cdecl ColorToText(const void* value) {
    return StringHandle::Number(*static_cast<const int32_t*>(value)).Release();
}

// ---- Lists and texts ----------------------------------------------------------------------

template <typename T>
T* NewArray(int32_t n) {
    if (n <= 0) return nullptr;
    T* items = static_cast<T*>(PoolAlloc(int32_t(sizeof(T)) * n, false));
    for (int32_t i = 0; i < n; ++i) new (&items[i]) T{};
    return items;
}

StringValue* TextValue(const char* text) { return text && *text ? StringMakeC(text) : nullptr; }

bool SameName(StringValue* a, StringValue* b) {
    return CompareBytesText(reinterpret_cast<const uint8_t*>(StringText(a)), StringLength(a),
                            reinterpret_cast<const uint8_t*>(StringText(b)), StringLength(b)) == 0;
}

// A byte text assembled piece by piece, made into one string value at the end.
class TextBuilder {
public:
    TextBuilder() = default;
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;
    ~TextBuilder() { std::free(bytes_); }

    void Add(const char* text, int32_t n) {
        if (n <= 0) return;
        if (length_ + n > capacity_) {
            int32_t capacity = capacity_ ? capacity_ : 64;
            while (capacity < length_ + n) capacity *= 2;
            char* grown = static_cast<char*>(std::realloc(bytes_, size_t(capacity)));
            if (!grown) return;
            bytes_ = grown;
            capacity_ = capacity;
        }
        std::memcpy(bytes_ + length_, text, size_t(n));
        length_ += n;
    }
    void Add(const char* text) { Add(text, int32_t(std::strlen(text))); }
    void Add(StringValue* s) { Add(StringText(s), StringLength(s)); }
    StringValue* Make() const {
        StringValue* s = StringMake(bytes_, length_);
        if (s) s->encoding = kEncodingASCII;
        return s;
    }

private:
    char* bytes_ = nullptr;
    int32_t length_ = 0;
    int32_t capacity_ = 0;
};

void AddTypeCode(TextBuilder& out, const TypeDescriptor* type) {
    if (!type) return;
    switch (type->kind) {
        case kTypeScalar:
            out.Add(static_cast<const char*>(type->name));
            break;
        case kTypeArray:
            out.Add("a");
            AddTypeCode(out, static_cast<const TypeDescriptor*>(type->name));
            break;
        default:
            out.Add("o<");
            out.Add(type->name ? static_cast<const char*>(type->name) : "");
            out.Add(">");
            break;
    }
}

// name%result%o<Owner>params, by-reference parameters marked with &.
StringValue* MethodSignature(const MethodDefinition& m, const ObjectDefinition* owner) {
    TextBuilder out;
    out.Add(m.name);
    out.Add("%");
    AddTypeCode(out, m.result);
    out.Add("%o<");
    out.Add(owner->name);
    out.Add(">");
    for (int32_t i = 0; i < m.parameterCount; ++i) {
        if (m.parameters[i].byReference) out.Add("&");
        AddTypeCode(out, m.parameters[i].type);
    }
    return out.Make();
}

// ---- The registry ------------------------------------------------------------------------------

alignas(StringMap) unsigned char gRegistryStorage[sizeof(StringMap)];
StringMap* gRegistry = nullptr;

StringMap& Registry() {
    if (!gRegistry) gRegistry = new (gRegistryStorage) StringMap;
    return *gRegistry;
}

void RegisterEntryNames(const ObjectDefinition* d) {
    for (int32_t i = 0; i < d->methodCount; ++i) {
        const MethodDefinition& m = d->methods[i];
        if (m.function && m.functionName) ExportRegister(m.functionName, m.function);
        if (m.secondFunction && m.secondFunctionName) ExportRegister(m.secondFunctionName, m.secondFunction);
    }
    for (int32_t i = 0; i < d->propertyCount; ++i) {
        const PropertyDefinition& p = d->properties[i];
        if (p.getter && p.getterName && p.getter != reinterpret_cast<void*>(kGenericAccessor))
            ExportRegister(p.getterName, p.getter);
        if (p.setter && p.setterName && p.setter != reinterpret_cast<void*>(kGenericAccessor))
            ExportRegister(p.setterName, p.setter);
    }
}

// ---- Building the class record ---------------------------------------------------------------

const MethodDefinition* FindMethod(ObjectDefinition* d, StringValue* name, ObjectDefinition** owner) {
    for (ObjectDefinition* c = d; c; c = c->superclass) {
        for (int32_t i = 0; i < c->methodCount; ++i) {
            if (SameName(c->methods[i].name, name)) {
                *owner = c;
                return &c->methods[i];
            }
        }
    }
    return nullptr;
}

void PrepareInterfaces(ObjectDefinition* d) {
    if (d->isAnInterface || d->stamp == kGeneration) return;
    d->stamp = kGeneration;
    for (int32_t i = 0; i < d->interfaceCount; ++i) {
        InterfaceDefinition& it = d->interfaces[i];
        ObjectDefinition* iface = it.definition ? it.definition() : nullptr;
        if (!iface) continue;
        int32_t n = 1 + iface->methodCount;
        it.functions = NewArray<void*>(n);
        it.implementations = NewArray<const MethodDefinition*>(n);
        it.owners = NewArray<ObjectDefinition*>(n);
        it.functionCount = n;
        for (int32_t k = 0; k < iface->methodCount; ++k) {
            ObjectDefinition* owner = nullptr;
            const MethodDefinition* m = FindMethod(d, iface->methods[k].name, &owner);
            if (!m) {
                TextBuilder message;
                message.Add("Interface method not implemented: ");
                message.Add(iface->methods[k].name);
                StringHandle text = StringHandle::Adopt(message.Make());
                RuntimeAssertionReport(0, 2, __FILE__, 3027, "method", text.Text());
                return;
            }
            it.functions[k + 1] = m->function;
            it.implementations[k + 1] = m;
            it.owners[k + 1] = owner;
        }
    }
    if (!d->flags[0] && d->superclass && d->superclass->stamp != kGeneration) PrepareInterfaces(d->superclass);
}

int32_t EventIndexAmongAncestors(const ObjectDefinition* d, const char* name) {
    StringHandle key(name);
    for (const ObjectDefinition* c = d->superclass; c; c = c->superclass)
        for (int32_t i = 0; i < c->eventCount; ++i)
            if (SameName(c->events[i]->name, key.Get())) return c->events[i]->index;
    return -1;
}

ClassRecord* BuildClassRecord(ObjectDefinition* d) {
    ClassRecord* base = nullptr;
    if (d->superclass) {
        base = ClassOfDefinition(d->superclass);
        if (!base) RUNTIME_FIXED_REPORT(kReportMissingSuperclass);
    }
    PrepareInterfaces(d);

    int32_t firstProperty = d->superclass ? d->superclass->propertyTableSize : 0;
    for (int32_t i = 0; i < d->propertyCount; ++i) d->properties[i].tableIndex = firstProperty + i;
    d->propertyTableSize = firstProperty + d->propertyCount;

    int32_t baseInterfaces = base ? base->interfaceCount : 0;
    int32_t baseEvents = base ? base->eventCount : 0;
    int32_t baseStatics = base ? base->staticMethodCount : 0;
    int32_t baseProperties = base ? base->propertyCount : 0;
    int32_t interfaceCount = baseInterfaces + d->interfaceCount;
    int32_t eventCount = baseEvents + d->eventCount;
    for (int32_t i = 0; i < d->eventCount; ++i) d->events[i]->index = baseEvents + i;
    int32_t staticCount = baseStatics;
    for (int32_t i = 0; i < d->methodCount; ++i) {
        const MethodDefinition& m = d->methods[i];
        if (m.flags & kMethodSystemPropertyVirtual) RUNTIME_FIXED_REPORT(kReportSystemPropertyVirtual);
        staticCount += 1 + (m.secondFunction ? 1 : 0);
    }
    int32_t propertyCount = baseProperties + d->propertyCount;
    if (propertyCount != d->propertyTableSize)
        RUNTIME_FIXED_REPORT(kReportPropertyTableSize);

    ClassRecord* out = RuntimeNewClass(base, d->virtualCount, interfaceCount, eventCount, staticCount, propertyCount);
    if (!out) return nullptr;
    out->name = StringRetain(d->name);
    out->initializer = d->initializer;
    out->finalizer = d->finalizer;
    out->instanceSize = d->instanceSize;
    if (d->isAnInterface) out->isAnInterface = 1;
    if (d->virtuals)
        for (int32_t i = 0; i < d->virtualCount && i < out->methodCount; ++i) out->methods[i].function = d->virtuals[i];

    for (int32_t i = 0; i < d->handlerCount; ++i) {
        const EventHandlerRow& h = d->handlers[i];
        int32_t index = EventIndexAmongAncestors(d, h.eventName);
        if (index < 0 || index >= out->eventCount) {
            RUNTIME_FIXED_REPORT_WITH(kReportUnknownEventHandler, h.eventName);
            continue;
        }
        StringValue* old = out->events[index].name;
        out->events[index] = MethodEntry{h.function, StringMakeC(h.eventName)};
        StringRelease(old);
    }

    int32_t itableCtr = baseInterfaces;
    for (int32_t i = 0; i < d->interfaceCount; ++i, ++itableCtr) {
        if (itableCtr >= out->interfaceCount) {
            RUNTIME_FIXED_REPORT(kReportInterfaceTableFull);
            break;
        }
        const InterfaceDefinition& it = d->interfaces[i];
        ObjectDefinition* iface = it.definition ? it.definition() : nullptr;
        InterfaceEntry& entry = ClassInterfaces(out)[itableCtr];
        entry.interfaceClass = iface ? ClassOfDefinition(iface) : nullptr;
        int32_t n = entry.interfaceClass ? entry.interfaceClass->methodCount : 0;
        entry.methodCount = n;
        entry.vtable = n > 0 ? RuntimeNewVtable(n) : nullptr;
        for (int32_t k = 0; k < n && entry.vtable; ++k) {
            entry.vtable[k] = MethodEntry{nullptr, nullptr};
            if (k < it.functionCount && it.implementations && it.implementations[k]) {
                entry.vtable[k].function = it.functions[k];
                entry.vtable[k].name = MethodSignature(*it.implementations[k], it.owners[k]);
            }
        }
    }

    int32_t staticCtr = baseStatics;
    for (int32_t i = 0; i < d->methodCount && staticCtr < out->staticMethodCount; ++i) {
        const MethodDefinition& m = d->methods[i];
        out->staticMethods[staticCtr++] = MethodEntry{m.function, MethodSignature(m, d)};
        if (m.secondFunction && staticCtr < out->staticMethodCount)
            out->staticMethods[staticCtr++] = MethodEntry{m.secondFunction, nullptr};
    }

    int32_t propertyCtr = baseProperties;
    for (int32_t i = 0; i < d->propertyCount; ++i, ++propertyCtr) {
        const PropertyDefinition& p = d->properties[i];
        if (propertyCtr >= out->propertyCount) {
            RUNTIME_FIXED_REPORT(kReportPropertyTableFull);
            break;
        }
        if (propertyCtr != p.tableIndex) RUNTIME_FIXED_REPORT(kReportPropertyTableIndex);
        TextBuilder declaration;
        declaration.Add(p.name);
        declaration.Add("%");
        AddTypeCode(declaration, p.type);
        out->properties[propertyCtr] = PropertyEntry{declaration.Make(), int32_t(p.parameter), p.getter, p.setter};
    }
    return out;
}

ClassRecord* FindRegisteredClass(StringValue* name) {
    ObjectDefinition* d = FindDefinition(name);
    return d ? BuildClassRecord(d) : nullptr;
}

// ---- Generic accessors by name ---------------------------------------------------------------

struct GenericName {
    const char* name;
    void* entry;
};
const GenericName kGenericAccessors[] = {
    {"intGetter", Fn(&intGetter)},       {"intSetter", Fn(&intSetter)},
    {"shortGetter", Fn(&shortGetter)},   {"shortSetter", Fn(&shortSetter)},
    {"boolGetter", Fn(&boolGetter)},     {"boolSetter", Fn(&boolSetter)},
    {"singleGetter", Fn(&singleGetter)}, {"singleSetter", Fn(&singleSetter)},
    {"doubleGetter", Fn(&doubleGetter)}, {"doubleSetter", Fn(&doubleSetter)},
    {"stringGetter", Fn(&stringGetter)}, {"stringSetter", Fn(&stringSetter)},
    {"objGetter", Fn(&objGetter)},       {"objSetter", Fn(&objSetter)},
};

}  // namespace

// ---- Types ------------------------------------------------------------------------------------

const TypeDescriptor kStringType = {kTypeScalar, "s", StringToText, StringFromText, StringValueRelease, StringRetainValue};
const TypeDescriptor kIntegerType = {kTypeScalar, "i", IntegerToText, IntegerFromText, nullptr, nullptr};
const TypeDescriptor kBooleanType = {kTypeScalar, "b", BooleanToText, BooleanFromText, nullptr, nullptr};
const TypeDescriptor kSingleType = {kTypeScalar, "f", SingleToText, SingleFromText, nullptr, nullptr};
const TypeDescriptor kDoubleType = {kTypeScalar, "d", nullptr, nullptr, nullptr, nullptr};
const TypeDescriptor kColorType = {kTypeScalar, "c", ColorToText, IntegerFromText, nullptr, nullptr};

StringValue* TypeCode(const TypeDescriptor* type) {
    TextBuilder out;
    AddTypeCode(out, type);
    return out.Make();
}

// ---- Definitions -----------------------------------------------------------------------------

ObjectDefinition* DefineClass(const ClassDescription& c) {
    ObjectDefinition* d = new (PoolAlloc(int32_t(sizeof(ObjectDefinition)), false)) ObjectDefinition{};
    d->type = TypeDescriptor{kTypeClass, c.name, nullptr, nullptr, nullptr, nullptr};
    d->superclass = c.superclass ? c.superclass() : nullptr;
    d->name = StringMakeC(c.name);
    d->flags[0] = c.flags0;
    d->flags[1] = 1;
    d->instanceSize = c.instanceSize;
    d->isAnInterface = c.isAnInterface ? 1 : 0;
    d->initializer = c.initializer;
    d->finalizer = c.finalizer;

    d->propertyCount = c.propertyCount > 0 ? c.propertyCount : 0;
    d->properties = NewArray<PropertyDefinition>(d->propertyCount);
    for (int32_t i = 0; i < d->propertyCount; ++i) {
        const PropertyRow& row = c.properties[i];
        PropertyDefinition& p = d->properties[i];
        p.name = TextValue(row.name);
        p.type = row.type;
        p.getter = row.getter ? row.getter : (row.getterName ? GenericAccessorNamed(row.getterName) : nullptr);
        p.getterName = row.getterName;
        p.setter = row.setter ? row.setter : (row.setterName ? GenericAccessorNamed(row.setterName) : nullptr);
        p.setterName = row.setterName;
        p.parameter = row.parameter;
        p.flags = row.flags;
        p.tableIndex = -1;
    }

    d->methodCount = c.methodCount > 0 ? c.methodCount : 0;
    d->methods = NewArray<MethodDefinition>(d->methodCount);
    for (int32_t i = 0; i < d->methodCount; ++i) {
        const MethodRow& row = c.methods[i];
        d->methods[i] = MethodDefinition{TextValue(row.name), row.result, row.parameters,
                                         int32_t(row.parameterCount), row.function, row.functionName,
                                         row.secondFunction, row.secondFunctionName, row.flags};
    }

    d->eventCount = c.eventCount > 0 ? c.eventCount : 0;
    d->events = NewArray<EventDescriptor*>(d->eventCount);
    for (int32_t i = 0; i < d->eventCount; ++i) {
        EventRow& row = c.events[i];
        EventDescriptor* e = NewArray<EventDescriptor>(1);
        *e = EventDescriptor{TextValue(row.name), TextValue(row.parameters), TextValue(row.result), -1};
        row.descriptor = e;
        d->events[i] = e;
    }

    d->handlers = c.handlers;
    d->handlerCount = c.handlers && c.handlerCount > 0 ? c.handlerCount : 0;
    d->interfaceCount = c.interfaces && c.interfaceCount > 0 ? c.interfaceCount : 0;
    d->interfaces = NewArray<InterfaceDefinition>(d->interfaceCount);
    for (int32_t i = 0; i < d->interfaceCount; ++i) d->interfaces[i].definition = c.interfaces[i];

    if (c.virtualCount >= 0) {
        d->virtuals = c.virtuals;
        d->virtualCount = c.virtualCount;
    } else if (c.isAnInterface) {
        d->virtualCount = 1 + d->methodCount;
    } else if (d->superclass) {
        d->virtuals = d->superclass->virtuals;
        d->virtualCount = d->superclass->virtualCount;
    }
    return d;
}

void RegisterDefinition(ObjectDefinition* d) {
    if (!d) return;
    void* found = nullptr;
    if (Registry().Find(d->name, &found)) return;
    Registry().Insert(d->name, d);
    RegisterEntryNames(d);
    // Lookups by name reach the registry from the first registration on.
    static bool finderInstalled = false;
    if (!finderInstalled) {
        finderInstalled = true;
        SetClassDefinitionFinder(FindRegisteredClass);
    }
}

ObjectDefinition* FindDefinition(StringValue* name) {
    void* found = nullptr;
    return gRegistry && gRegistry->Find(name, &found) ? static_cast<ObjectDefinition*>(found) : nullptr;
}

ObjectDefinition* FindDefinitionText(const char* name) {
    void* found = nullptr;
    return gRegistry && gRegistry->FindText(name, &found) ? static_cast<ObjectDefinition*>(found) : nullptr;
}

int32_t DefinitionCount() { return gRegistry ? gRegistry->Count() : 0; }

ClassRecord* ClassOfDefinition(ObjectDefinition* d) {
    if (!d) return nullptr;
    if (!FindDefinition(d->name)) RegisterDefinition(d);
    return RuntimeLookupClass(d->name);
}

ObjectHeader* CreateInstance(ObjectDefinition* d) { return RuntimeNewObject(ClassOfDefinition(d)); }

void* EventHandlerFor(ObjectHeader* object, const EventRow& row) {
    return row.descriptor ? FindEventHandler(object, row.descriptor->index) : nullptr;
}

void RegisterGlobalFunctions(const MethodRow* rows, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        if (rows[i].function && rows[i].functionName) ExportRegister(rows[i].functionName, rows[i].function);
        if (rows[i].secondFunction && rows[i].secondFunctionName)
            ExportRegister(rows[i].secondFunctionName, rows[i].secondFunction);
    }
}

void* GenericAccessorNamed(const char* name) {
    for (const GenericName& g : kGenericAccessors)
        if (lstrcmpiA(g.name, name) == 0) return g.entry;
    return nullptr;
}

void* GenericSetterFor(char code) {
    switch (code) {
        case 'b': return Fn(&boolSetter);
        case 'c':
        case 'i': return Fn(&intSetter);
        case 'f': return Fn(&singleSetter);
        case 'd': return Fn(&doubleSetter);
        case 's': return Fn(&stringSetter);
        case 'o': return Fn(&objSetter);
        default: return nullptr;
    }
}

void* GenericGetterFor(char code) {
    switch (code) {
        case 'b': return Fn(&boolGetter);
        case 'c':
        case 'i': return Fn(&intGetter);
        case 'f': return Fn(&singleGetter);
        case 'd': return Fn(&doubleGetter);
        case 's': return Fn(&stringGetter);
        case 'o': return Fn(&objGetter);
        default: return nullptr;
    }
}

// ---- The generic accessors ---------------------------------------------------------------------
// Compiled code tests for nil before it calls; a nil object reads as 0 here
// and is not written.

extern "C" int32_t intGetter(ObjectHeader* o, int32_t offset) { return o ? FieldAt<int32_t>(o, offset) : 0; }
extern "C" void intSetter(ObjectHeader* o, int32_t offset, int32_t value) {
    if (o) SetFieldAt<int32_t>(o, offset, value);
}
extern "C" int32_t shortGetter(ObjectHeader* o, int32_t offset) { return o ? FieldAt<int16_t>(o, offset) : 0; }
extern "C" void shortSetter(ObjectHeader* o, int32_t offset, int32_t value) {
    if (o) SetFieldAt<int16_t>(o, offset, int16_t(value));
}
extern "C" int32_t boolGetter(ObjectHeader* o, int32_t offset) { return o ? FieldAt<int8_t>(o, offset) : 0; }
extern "C" void boolSetter(ObjectHeader* o, int32_t offset, int32_t value) {
    if (o) SetFieldAt<uint8_t>(o, offset, uint8_t(value));
}
extern "C" float singleGetter(ObjectHeader* o, int32_t offset) { return o ? FieldAt<float>(o, offset) : 0.0f; }
extern "C" void singleSetter(ObjectHeader* o, int32_t offset, float value) {
    if (o) SetFieldAt<float>(o, offset, value);
}
extern "C" double doubleGetter(ObjectHeader* o, int32_t offset) { return o ? FieldAt<double>(o, offset) : 0.0; }
extern "C" void doubleSetter(ObjectHeader* o, int32_t offset, double value) {
    if (o) SetFieldAt<double>(o, offset, value);
}
extern "C" StringValue* stringGetter(ObjectHeader* o, int32_t offset) {
    return o ? StringRetain(FieldAt<StringValue*>(o, offset)) : nullptr;
}
extern "C" void stringSetter(ObjectHeader* o, int32_t offset, StringValue* value) {
    if (!o) return;
    StringRelease(FieldAt<StringValue*>(o, offset));
    SetFieldAt<StringValue*>(o, offset, StringRetain(value));
}
extern "C" ObjectHeader* objGetter(ObjectHeader* o, int32_t offset) {
    if (!o) return nullptr;
    ObjectHeader* value = FieldAt<ObjectHeader*>(o, offset);
    RuntimeLockObject(value);
    return value;
}
extern "C" void objSetter(ObjectHeader* o, int32_t offset, ObjectHeader* value) {
    if (!o) return;
    RuntimeUnlockObject(FieldAt<ObjectHeader*>(o, offset));
    RuntimeLockObject(value);
    SetFieldAt<ObjectHeader*>(o, offset, value);
}
