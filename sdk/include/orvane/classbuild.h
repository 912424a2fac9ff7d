// Building a module class record, the way compiled module code does it.
//
// Each class has a global record pointer (zero until first use) and a getter
// that builds the record once:
//
//   ClassRecord* gCurveRail;
//   ClassRecord* CurveRailClass() {
//       if (gCurveRail) return gCurveRail;
//       ClassRecord* c = orvane::NewClass(gCurveRail, RuntimeLookupClass(ORVANE_STR(kArcShape)),
//                                         {3, 0, 0, 0, 4}, ORVANE_STR(kCurveRailName), 96,
//                                         CurveRailInit, CurveRailFinal);
//       orvane::SetMethod(c, 2, (void*)CurveRailLength, ORVANE_STR(kLengthSignature));
//       orvane::SetProperty(c, 3, ORVANE_STR(kStartXDeclaration), 80,
//                           orvane::Generic(), orvane::Generic());
//       return c;
//   }
//
// The record is stored into its global before anything else happens, so a
// getter reached again while its class is being built returns the same record.
// Every literal stored into a record is locked, as the record keeps it.
#pragma once

#include "orvane/exports.h"

namespace orvane {

// The final table sizes of a class: at least those of its base.
struct ClassCounts {
    int32_t methods;
    int32_t interfaces;
    int32_t events;
    int32_t staticMethods;
    int32_t properties;
};

// A getter or setter of 1: the generic accessor of the property's type,
// applied to the field at the property's parameter offset.
inline void* Generic() { return reinterpret_cast<void*>(kGenericAccessor); }

inline ClassRecord* NewClass(ClassRecord*& global, ClassRecord* base, const ClassCounts& counts,
                             StringValue* name, int32_t instanceSize, ObjectProc initializer,
                             ObjectProc finalizer) {
    ClassRecord* c = RuntimeNewClass(base, counts.methods, counts.interfaces, counts.events,
                                     counts.staticMethods, counts.properties);
    global = c;
    RuntimeLockString(name);
    c->name = name;
    c->isAnInterface = 0;
    c->instanceSize = instanceSize;
    c->initializer = initializer;
    c->finalizer = finalizer;
    return c;
}

inline void SetEntry(MethodEntry& entry, void* function, StringValue* text) {
    RuntimeLockString(text);
    entry.function = function;
    entry.name = text;
}

// A new or overriding method in slot k; signature is Name%Result%Parameters.
inline void SetMethod(ClassRecord* c, int32_t k, void* function, StringValue* signature) {
    SetEntry(c->methods[k], function, signature);
}

// The handler of the event at index k of the intrinsic ancestor.
inline void SetEvent(ClassRecord* c, int32_t k, void* handler, StringValue* eventName) {
    SetEntry(c->events[k], handler, eventName);
}

inline void SetStaticMethod(ClassRecord* c, int32_t k, void* function, StringValue* signature) {
    SetEntry(c->staticMethods[k], function, signature);
}

// declaration is Name%type% for a module field; parameter its field offset.
inline void SetProperty(ClassRecord* c, int32_t k, StringValue* declaration, int32_t parameter,
                        void* getter, void* setter) {
    RuntimeLockString(declaration);
    PropertyEntry& p = c->properties[k];
    p.declaration = declaration;
    p.parameter = parameter;
    p.getter = getter;
    p.setter = setter;
}

// Interface entry k: the interface class found by name and a new virtual
// table of n entries, which the caller fills with SetVtableEntry.
inline MethodEntry* SetInterface(ClassRecord* c, int32_t k, StringValue* interfaceName,
                                 int32_t n) {
    InterfaceEntry& entry = ClassInterfaces(c)[k];
    entry.interfaceClass = RuntimeLookupClass(interfaceName);
    entry.methodCount = n;
    entry.vtable = RuntimeNewVtable(n);
    return entry.vtable;
}

inline void SetVtableEntry(MethodEntry* vtable, int32_t k, void* function, StringValue* signature) {
    SetEntry(vtable[k], function, signature);
}

}  // namespace orvane
