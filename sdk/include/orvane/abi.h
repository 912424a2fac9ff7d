// Byte layouts shared by the runtime and compiled module code.
// Module code reads and writes these fields at fixed offsets, so every layout
// here is a contract: the static_asserts pin it for the i686 target.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "orvane/encoding.h"

#ifdef __cplusplus
extern "C" {
#endif

// One string value. The empty string is the nil pointer: no record has length 0.
// text[0] is the length byte (length, or 255 for 255 and longer), text[1..length]
// the bytes, then one NUL (two for UTF-16).
typedef struct StringValue {
    int32_t refCount;   // references; 1 when made
    uint8_t* text;      // the buffer; operations hand out text + 1
    int32_t capacity;   // allocated bytes of the buffer (length + 2 for byte text)
    int32_t length;     // bytes of text (UTF-16: twice the code units)
    uint32_t encoding;  // encoding identifier
} StringValue;

typedef struct ObjectHeader ObjectHeader;
typedef struct ClassRecord ClassRecord;

// Initializers and finalizers take the object; compiled code calls them too.
typedef void(__cdecl* ObjectProc)(ObjectHeader* self);

// One slot of a method, event, static-method or virtual table. In a method or
// interface table name is the signature (Name%Result%Parameters), in an event
// table the event's name with function the handler (nil when not handled).
typedef struct MethodEntry {
    void* function;
    StringValue* name;
} MethodEntry;

// An interface a class implements, inline behind the class record's head.
typedef struct InterfaceEntry {
    ClassRecord* interfaceClass;
    int32_t methodCount;  // entries of vtable
    MethodEntry* vtable;  // made by RuntimeNewVtable
} InterfaceEntry;

// Getter and setter value 1 stands for the generic accessor of the type.
static const uintptr_t kGenericAccessor = 1u;

typedef struct PropertyEntry {
    StringValue* declaration;  // Name%type or Name%type%
    int32_t parameter;         // field offset or index passed to the accessors
    void* getter;
    void* setter;
} PropertyEntry;

// At offset 0 of every object; the instance fields of the class chain follow.
struct ObjectHeader {
    uint32_t reserved;         // 0; the object machinery does not use it
    MethodEntry* methodTable;  // virtual method k is methodTable[k].function(self, ...)
    ClassRecord* classPtr;
    MethodEntry* eventTable;
    int32_t refCount;          // 1 when made; 0 while the finalizers run
    ObjectHeader* prevLive;    // towards the newest object
    ObjectHeader* nextLive;
};

// A 64-byte head, then interfaceCount InterfaceEntry records, then the method,
// event, static-method and property tables, one block, zero-filled when made.
struct ClassRecord {
    ClassRecord* base;  // nil for a root class
    StringValue* name;  // stored and locked by the creator
    uint32_t runtimeWord;  // 0
    int32_t instanceSize;  // header included
    uint32_t isAnInterface;
    ObjectProc initializer;
    ObjectProc finalizer;
    int32_t methodCount;
    MethodEntry* methods;
    int32_t eventCount;
    MethodEntry* events;
    int32_t staticMethodCount;
    MethodEntry* staticMethods;
    int32_t propertyCount;
    PropertyEntry* properties;
    int32_t interfaceCount;
};

static inline InterfaceEntry* ClassInterfaces(ClassRecord* c) { return (InterfaceEntry*)(c + 1); }

// The bytes compiled code places behind a call that may raise (or behind the
// 81 C4 imm32 / 80 C4 imm8 stack adjustment that follows such a call). The
// normal return jumps over it; the exception search sends the callee's return
// to argumentAdjust, which drops the call's arguments and jumps to clean-up.
static const uint8_t kLandingJumpOpcode = 0xEB;
static const uint8_t kLandingJumpDistance = 0x17;  // over the other 23 bytes
static const uint32_t kLandingActive = 0x00000411u;  // bytes 11 04 00 00
static const uint32_t kLandingInactive = 0u;
static const int32_t kLandingBlockSize = 25;
static const int32_t kLandingMarkerAt = 2;
static const int32_t kLandingVariableAt = 6;
static const int32_t kLandingZeroAt = 8;
static const int32_t kLandingAdjustAt = 14;  // where a redirected return arrives
static const int32_t kLandingCleanupJumpAt = 20;

#pragma pack(push, 1)
typedef struct ExceptionLandingBlock {
    uint8_t shortJump[2];        // EB 17
    uint32_t marker;             // kLandingActive or kLandingInactive
    int16_t variableOffset;      // of the exception variable from the owner's frame pointer; 0 = none
    uint8_t zero[6];
    uint8_t addEsp[2];           // 81 C4
    uint32_t argumentBytes;      // imm32 added to the stack pointer
    uint8_t jumpNear;            // E9
    int32_t cleanupDisplacement; // rel32 to the clean-up code
} ExceptionLandingBlock;
#pragma pack(pop)

#ifdef __cplusplus
}
#endif

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(void*) == 4, "the module ABI is 32-bit");
static_assert(offsetof(StringValue, refCount) == 0, "StringValue.refCount");
static_assert(offsetof(StringValue, text) == 4, "StringValue.text");
static_assert(offsetof(StringValue, capacity) == 8, "StringValue.capacity");
static_assert(offsetof(StringValue, length) == 12, "StringValue.length");
static_assert(offsetof(StringValue, encoding) == 16, "StringValue.encoding");
static_assert(sizeof(StringValue) == 20, "StringValue size");

static_assert(offsetof(ObjectHeader, reserved) == 0, "ObjectHeader.reserved");
static_assert(offsetof(ObjectHeader, methodTable) == 4, "ObjectHeader.methodTable");
static_assert(offsetof(ObjectHeader, classPtr) == 8, "ObjectHeader.classPtr");
static_assert(offsetof(ObjectHeader, eventTable) == 12, "ObjectHeader.eventTable");
static_assert(offsetof(ObjectHeader, refCount) == 16, "ObjectHeader.refCount");
static_assert(offsetof(ObjectHeader, prevLive) == 20, "ObjectHeader.prevLive");
static_assert(offsetof(ObjectHeader, nextLive) == 24, "ObjectHeader.nextLive");
static_assert(sizeof(ObjectHeader) == 28, "ObjectHeader size");

static_assert(offsetof(ClassRecord, base) == 0, "ClassRecord.base");
static_assert(offsetof(ClassRecord, name) == 4, "ClassRecord.name");
static_assert(offsetof(ClassRecord, runtimeWord) == 8, "ClassRecord.runtimeWord");
static_assert(offsetof(ClassRecord, instanceSize) == 12, "ClassRecord.instanceSize");
static_assert(offsetof(ClassRecord, isAnInterface) == 16, "ClassRecord.isAnInterface");
static_assert(offsetof(ClassRecord, initializer) == 20, "ClassRecord.initializer");
static_assert(offsetof(ClassRecord, finalizer) == 24, "ClassRecord.finalizer");
static_assert(offsetof(ClassRecord, methodCount) == 28, "ClassRecord.methodCount");
static_assert(offsetof(ClassRecord, methods) == 32, "ClassRecord.methods");
static_assert(offsetof(ClassRecord, eventCount) == 36, "ClassRecord.eventCount");
static_assert(offsetof(ClassRecord, events) == 40, "ClassRecord.events");
static_assert(offsetof(ClassRecord, staticMethodCount) == 44, "ClassRecord.staticMethodCount");
static_assert(offsetof(ClassRecord, staticMethods) == 48, "ClassRecord.staticMethods");
static_assert(offsetof(ClassRecord, propertyCount) == 52, "ClassRecord.propertyCount");
static_assert(offsetof(ClassRecord, properties) == 56, "ClassRecord.properties");
static_assert(offsetof(ClassRecord, interfaceCount) == 60, "ClassRecord.interfaceCount");
static_assert(sizeof(ClassRecord) == 64, "ClassRecord head size: the interfaces start at 64");

static_assert(offsetof(MethodEntry, function) == 0, "MethodEntry.function");
static_assert(offsetof(MethodEntry, name) == 4, "MethodEntry.name");
static_assert(sizeof(MethodEntry) == 8, "MethodEntry size");

static_assert(offsetof(InterfaceEntry, interfaceClass) == 0, "InterfaceEntry.interfaceClass");
static_assert(offsetof(InterfaceEntry, methodCount) == 4, "InterfaceEntry.methodCount");
static_assert(offsetof(InterfaceEntry, vtable) == 8, "InterfaceEntry.vtable");
static_assert(sizeof(InterfaceEntry) == 12, "InterfaceEntry size");

static_assert(offsetof(PropertyEntry, declaration) == 0, "PropertyEntry.declaration");
static_assert(offsetof(PropertyEntry, parameter) == 4, "PropertyEntry.parameter");
static_assert(offsetof(PropertyEntry, getter) == 8, "PropertyEntry.getter");
static_assert(offsetof(PropertyEntry, setter) == 12, "PropertyEntry.setter");
static_assert(sizeof(PropertyEntry) == 16, "PropertyEntry size");

static_assert(offsetof(ExceptionLandingBlock, shortJump) == 0, "landing block: jump over");
static_assert(kLandingJumpDistance == kLandingBlockSize - 2, "landing block: the jump skips the rest");
static_assert(offsetof(ExceptionLandingBlock, marker) == kLandingMarkerAt, "landing block: marker");
static_assert(offsetof(ExceptionLandingBlock, variableOffset) == kLandingVariableAt, "landing block: variable offset");
static_assert(offsetof(ExceptionLandingBlock, zero) == kLandingZeroAt, "landing block: zero bytes");
static_assert(offsetof(ExceptionLandingBlock, addEsp) == kLandingAdjustAt, "landing block: add esp");
static_assert(offsetof(ExceptionLandingBlock, argumentBytes) == 16, "landing block: argument bytes");
static_assert(offsetof(ExceptionLandingBlock, jumpNear) == kLandingCleanupJumpAt, "landing block: jump to clean-up");
static_assert(offsetof(ExceptionLandingBlock, cleanupDisplacement) == 21, "landing block: clean-up displacement");
static_assert(sizeof(ExceptionLandingBlock) == kLandingBlockSize && kLandingBlockSize == 25, "landing block size");
#endif
