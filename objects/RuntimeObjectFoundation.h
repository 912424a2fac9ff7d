// Objects, class records and virtual tables: creation and destruction,
// reference counts, type tests and casts, the class cache, event handlers.
// The entry points themselves are declared in orvane/exports.h.
// Unit group "object core" (RuntimeObjectFoundation, RuntimeExceptionFoundation):
// the two use each other on purpose, since a failed cast or a nil object
// raises, and raising makes an exception object.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

// ---- Live objects --------------------------------------------------------------

// Objects made by RuntimeNewObject and not yet freed.
int32_t RuntimeLiveObjectCount();
// The newest live object; the list continues through nextLive.
ObjectHeader* RuntimeLiveObjectList();

// Called with every object about to be freed, after its finalizers.
using ObjectFreedHook = void (*)(ObjectHeader* object);
ObjectFreedHook SetObjectFreedHook(ObjectFreedHook hook);  // returns the previous hook

// ---- Events ----------------------------------------------------------------------

// The handler of event index in the event table of the object's class, or nil
// (nil object, no event table, index outside it, or the class does not handle
// the event). The caller calls it with (object, event arguments...).
void* FindEventHandler(ObjectHeader* object, int32_t index);

// ---- Class lookup by name ----------------------------------------------------------

// Where RuntimeLookupClass turns to when the class cache does not know a name:
// find the object definition of that name (intrinsic classes first, then
// those registered by plug-ins), build its class record and return it, or
// return nil. The record goes into the cache; the finder is not asked for
// that name again. It may call RuntimeLookupClass itself (for a superclass).
using ClassDefinitionFinder = ClassRecord* (*)(StringValue* name);
ClassDefinitionFinder SetClassDefinitionFinder(ClassDefinitionFinder finder);  // returns the previous one

// Entries of the class cache.
int32_t ClassCacheCount();
