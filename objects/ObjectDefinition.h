// Intrinsic class descriptors: the static rows that describe the runtime's
// own classes, the definitions assembled from them at start-up, the registry
// of definitions, and the class records built from them on first lookup.
//
// A class of the runtime is written as one DefineClass call over its rows:
//
//     PropertyRow kFooProperties[] = {
//         {0, "Left", &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", 28},
//         {0, "Name", &kStringType, Fn(fooNameGetter), "fooNameGetter", nullptr, nullptr, 0},
//     };
//     ObjectDefinition* FooDefinition() {
//         static ObjectDefinition* d = DefineClass(ClassDescription{
//             "Foo", BarDefinition, 40, FooInit, FooFini,
//             ORVANE_ROWS(kFooProperties), ORVANE_NO_ROWS, ORVANE_NO_ROWS});
//         return d;
//     }
//
// and listed once in startup/intrinsicClasses.inc. Generic accessors may be
// named without a function: the registry fills in the runtime's own.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

struct ObjectDefinition;

// ---- Type descriptors -------------------------------------------------------------

enum : uint32_t { kTypeScalar = 0, kTypeArray = 1, kTypeClass = 3 };

// The conversions of a value held at *value (a string value pointer, an i32,
// a u8, a float or a double, by type).
using TypeToText = StringValue*(__cdecl*)(const void* value);        // one reference, or nil
using TypeFromText = int32_t(__cdecl*)(StringValue* text, void* value);  // non-zero on success
using TypeValueOp = void(__cdecl*)(void* value);                    // release / retain

struct TypeDescriptor {
    uint32_t kind;      // kTypeScalar, kTypeArray or kTypeClass
    const void* name;   // scalar: its code as text ("s", "i", ...); array: element descriptor;
                        // class: unused (the definition's name holds it)
    TypeToText toText;
    TypeFromText fromText;
    TypeValueOp release;
    TypeValueOp retain;
};

extern const TypeDescriptor kStringType;
extern const TypeDescriptor kIntegerType;
extern const TypeDescriptor kBooleanType;
extern const TypeDescriptor kSingleType;
extern const TypeDescriptor kDoubleType;
extern const TypeDescriptor kColorType;

// The type code of signatures and property declarations: s, i, b, f, d, c,
// a + element code, o<Name>; nil for no type.
StringValue* TypeCode(const TypeDescriptor* type);

// A class used as a property or parameter type, before its definition exists:
// resolved by name when the code is first asked for.
struct ClassTypeRef {
    TypeDescriptor header;  // kind kTypeClass, name = the class name as text
};
#define ORVANE_CLASS_TYPE(className) \
    { {kTypeClass, className, nullptr, nullptr, nullptr, nullptr} }

// ---- Rows ----------------------------------------------------------------------------

// A getter is called as (object, parameter), a setter as (object, parameter,
// value): parameter is a field offset for the generic accessors, or an index.
struct PropertyRow {
    uint32_t flags;              // kept in the definition only
    const char* name;
    const TypeDescriptor* type;
    void* getter;                // or nil: found by getterName among the generic accessors
    const char* getterName;      // entry name, or nil
    void* setter;
    const char* setterName;
    uint32_t parameter;
};

struct ParameterRecord {
    const char* name;
    const TypeDescriptor* type;
    uint8_t byReference;
    uint8_t pad[3];
    uint32_t unused[4];
};

// Methods take (object, arguments...); global functions take their arguments.
struct MethodRow {
    const char* name;
    const TypeDescriptor* result;  // nil for none
    const ParameterRecord* parameters;
    uint32_t parameterCount;
    void* function;
    const char* functionName;
    uint32_t words[5];
    void* secondFunction;
    const char* secondFunctionName;
    uint32_t secondWords[5];
    uint32_t flags;  // user flag 8 (a system property's virtual) is refused
};
constexpr uint32_t kMethodSystemPropertyVirtual = 8;

struct EventDescriptor;

// The runtime raises an event through its row: descriptor->index names the
// entry of the object's event table (EventHandlerFor below).
struct EventRow {
    uint32_t flags;               // 0x40 on a window's Layout, CreateControls, SetupBindings
    const char* name;
    const char* parameters;       // "X As Integer, Y As Integer", or nil
    const char* result;           // "Boolean", or nil
    EventDescriptor* descriptor;  // filled when the definition is built
};
constexpr uint32_t kEventWindowSetup = 0x40;

// A handler, in this class, of an event an ancestor declares.
struct EventHandlerRow {
    const char* eventName;
    void* function;
};

using DefinitionGetter = ObjectDefinition* (*)();

// ---- The definition -------------------------------------------------------------------

struct PropertyDefinition {
    StringValue* name;
    const TypeDescriptor* type;
    void* getter;
    const char* getterName;
    void* setter;
    const char* setterName;
    uint32_t parameter;
    uint32_t flags;
    int32_t tableIndex;  // mPropertyTableIndex: the slot in the class's property table
};

struct MethodDefinition {
    StringValue* name;
    const TypeDescriptor* result;
    const ParameterRecord* parameters;
    int32_t parameterCount;
    void* function;
    const char* functionName;
    void* secondFunction;
    const char* secondFunctionName;
    uint32_t flags;
};

struct EventDescriptor {
    StringValue* name;
    StringValue* parameters;
    StringValue* result;
    int32_t index;  // -1 until the declaring class record is built
};

struct ObjectDefinition;

// Prepared once per definition: for each method the interface declares, the
// implementing method and the definition it was found in.
struct InterfaceDefinition {
    DefinitionGetter definition;
    void** functions;  // 1 + the interface's methods; slot 0 stays empty
    const MethodDefinition** implementations;  // parallel to functions
    ObjectDefinition** owners;                 // parallel to functions
    int32_t functionCount;
};

struct ObjectDefinition {
    TypeDescriptor type;  // kind kTypeClass: a class is its own type descriptor
    ObjectDefinition* superclass;
    void* const* virtuals;
    int32_t virtualCount;  // the methodCount of the class
    uint32_t stamp;        // generation of the prepared interface tables; 0 until prepared
    StringValue* name;
    uint8_t flags[2];      // flags[0] set: preparing the interfaces leaves the superclass alone
    int32_t propertyTableSize;
    int32_t instanceSize;
    PropertyDefinition* properties;
    int32_t propertyCount;
    MethodDefinition* methods;
    int32_t methodCount;
    EventDescriptor** events;  // each also reachable from its row
    int32_t eventCount;
    const EventHandlerRow* handlers;
    int32_t handlerCount;
    InterfaceDefinition* interfaces;
    int32_t interfaceCount;
    uint8_t isAnInterface;
    ObjectProc initializer;
    ObjectProc finalizer;
};

// ---- Describing a class ----------------------------------------------------------------

struct ClassDescription {
    const char* name;
    DefinitionGetter superclass;  // nil for a root class
    int32_t instanceSize;         // header included
    ObjectProc initializer;
    ObjectProc finalizer;
    PropertyRow* properties;
    int32_t propertyCount;
    MethodRow* methods;
    int32_t methodCount;
    EventRow* events;
    int32_t eventCount;
    const EventHandlerRow* handlers = nullptr;
    int32_t handlerCount = 0;
    const DefinitionGetter* interfaces = nullptr;
    int32_t interfaceCount = 0;
    // The method table. Left empty, a class takes its superclass's table and
    // an interface gets one empty slot plus one per declared method.
    void* const* virtuals = nullptr;
    int32_t virtualCount = -1;
    bool isAnInterface = false;
    uint8_t flags0 = 1;
};

#define ORVANE_ROWS(rows) (rows), int32_t(sizeof(rows) / sizeof((rows)[0]))
#define ORVANE_NO_ROWS nullptr, 0

template <typename F>
inline void* Fn(F f) { return reinterpret_cast<void*>(f); }

// Builds the definition's lists from the rows (texts copied into string
// values; each event row receives its descriptor). Definitions live for the
// whole process. The superclass's definition is made first.
ObjectDefinition* DefineClass(const ClassDescription& description);

// ---- Registry and class records ------------------------------------------------------------

// Enters the definition under its name and registers its entry names (once).
void RegisterDefinition(ObjectDefinition* definition);
// The registered definition of that name, or nil.
ObjectDefinition* FindDefinition(StringValue* name);
ObjectDefinition* FindDefinitionText(const char* name);
// Registers when needed, then RuntimeLookupClass of its name.
ClassRecord* ClassOfDefinition(ObjectDefinition* definition);
// RuntimeNewObject of the class of the definition; nil (and the exception
// raised) when that fails.
ObjectHeader* CreateInstance(ObjectDefinition* definition);
// The handler the object's class has for the event of this row, or nil.
void* EventHandlerFor(ObjectHeader* object, const EventRow& row);
// Registers (name, function) of each row that has both, as for methods.
void RegisterGlobalFunctions(const MethodRow* rows, int32_t count);
// Number of registered definitions.
int32_t DefinitionCount();

// The generic accessor of that entry name ("intGetter", ...), or nil.
void* GenericAccessorNamed(const char* name);
// The generic setter for a type code letter (b, c, i, f, d, s), or nil.
void* GenericSetterFor(char typeCode);
// The generic getter for a type code letter (b, c, i, f, d, s, o), or nil.
void* GenericGetterFor(char typeCode);
