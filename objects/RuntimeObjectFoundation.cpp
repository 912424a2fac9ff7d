#include "objects/RuntimeObjectFoundation.h"

#include <cstring>
#include <new>

#include "objects/RuntimeExceptionFoundation.h"
#include "objects/StringMap.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"
#include "strings/utility.h"

namespace {

constexpr int32_t kHeaderSize = int32_t(sizeof(ObjectHeader));
constexpr int32_t kClassHeadSize = int32_t(sizeof(ClassRecord));

// Objects are used from the GUI thread only: neither the counts nor the list
// are locked.
ObjectHeader* gLiveHead = nullptr;
int32_t gLiveCount = 0;
ObjectFreedHook gObjectFreedHook = nullptr;
ClassDefinitionFinder gClassFinder = nullptr;

// The cache lives for the whole process and is never torn down, so it sits in
// static storage that no destructor touches.
alignas(StringMap) unsigned char gClassCacheStorage[sizeof(StringMap)];
StringMap* gClassCache = nullptr;

StringMap& ClassCache() {
    if (!gClassCache) gClassCache = new (gClassCacheStorage) StringMap;
    return *gClassCache;
}

// Blocks come from the pool and may be refused, which raises NilObjectException.
// An object's block is given back with the size it was made with: the
// instance size is set before the first instance exists and never changes.
int32_t ObjectBlockSize(const ClassRecord* cls) {
    return cls->instanceSize > kHeaderSize ? cls->instanceSize : kHeaderSize;
}

void Link(ObjectHeader* object) {
    object->prevLive = nullptr;
    object->nextLive = gLiveHead;
    if (gLiveHead) gLiveHead->prevLive = object;
    gLiveHead = object;
    ++gLiveCount;
}

void Unlink(ObjectHeader* object) {
    if (object->prevLive)
        object->prevLive->nextLive = object->nextLive;
    else if (gLiveHead == object)
        gLiveHead = object->nextLive;
    if (object->nextLive) object->nextLive->prevLive = object->prevLive;
    --gLiveCount;
}

void RunInitializers(ClassRecord* cls, ObjectHeader* object) {
    if (cls->base) RunInitializers(cls->base, object);
    if (cls->initializer) cls->initializer(object);
}

void Destroy(ObjectHeader* object) {
    for (ClassRecord* cls = object->classPtr; cls; cls = cls->base)
        if (cls->finalizer) cls->finalizer(object);
    if (gObjectFreedHook) gObjectFreedHook(object);
    Unlink(object);
    PoolFree(object, ObjectBlockSize(object->classPtr));
}

// The table of the subclass starts with a copy of the base's; when the new
// table is too small, only what fits is copied.
int32_t CheckedCount(FixedReport report, int32_t own, int32_t base) {
    if (own >= base) return base;
    RuntimeFixedReport(report);
    return own;
}

void CopyEntries(void* to, const void* from, int32_t count, int32_t entrySize) {
    if (count > 0 && from) std::memcpy(to, from, size_t(count) * size_t(entrySize));
}

bool ImplementsInterface(ClassRecord* cls, ClassRecord* interfaceClass, InterfaceEntry** found) {
    InterfaceEntry* entries = ClassInterfaces(cls);
    for (int32_t i = 0; i < cls->interfaceCount; ++i) {
        if (entries[i].interfaceClass == interfaceClass) {
            if (found) *found = &entries[i];
            return true;
        }
    }
    return false;
}

bool IsInstanceOf(ObjectHeader* object, ClassRecord* cls) {
    if (cls->isAnInterface) return ImplementsInterface(object->classPtr, cls, nullptr);
    for (ClassRecord* c = object->classPtr; c; c = c->base)
        if (c == cls) return true;
    return false;
}

}  // namespace

int32_t RuntimeLiveObjectCount() { return gLiveCount; }
ObjectHeader* RuntimeLiveObjectList() { return gLiveHead; }

ObjectFreedHook SetObjectFreedHook(ObjectFreedHook hook) {
    ObjectFreedHook previous = gObjectFreedHook;
    gObjectFreedHook = hook;
    return previous;
}

ClassDefinitionFinder SetClassDefinitionFinder(ClassDefinitionFinder finder) {
    ClassDefinitionFinder previous = gClassFinder;
    gClassFinder = finder;
    return previous;
}

int32_t ClassCacheCount() { return gClassCache ? gClassCache->Count() : 0; }

void* FindEventHandler(ObjectHeader* object, int32_t index) {
    if (!object || !object->classPtr) return nullptr;
    const ClassRecord* cls = object->classPtr;
    if (cls->eventCount <= 0 || !cls->events || index < 0 || index >= cls->eventCount) return nullptr;
    return cls->events[index].function;
}

extern "C" ClassRecord* RuntimeNewClass(ClassRecord* base, int32_t methodCount, int32_t interfaceCount,
                                        int32_t eventCount, int32_t staticMethodCount,
                                        int32_t propertyCount) {
    // A negative count is taken as none.
    if (methodCount < 0) methodCount = 0;
    if (interfaceCount < 0) interfaceCount = 0;
    if (eventCount < 0) eventCount = 0;
    if (staticMethodCount < 0) staticMethodCount = 0;
    if (propertyCount < 0) propertyCount = 0;
    int64_t size = int64_t(kClassHeadSize) + 12 * int64_t(interfaceCount) + 8 * int64_t(methodCount) +
                   8 * int64_t(eventCount) + 8 * int64_t(staticMethodCount) + 16 * int64_t(propertyCount);
    void* block = size <= INT32_MAX ? PoolAlloc(int32_t(size), true) : nullptr;
    if (!block) {
        RaiseNilObjectException();
        return nullptr;
    }
    std::memset(block, 0, size_t(size));

    ClassRecord* out = static_cast<ClassRecord*>(block);
    InterfaceEntry* interfaces = ClassInterfaces(out);
    out->methods = reinterpret_cast<MethodEntry*>(interfaces + interfaceCount);
    out->events = out->methods + methodCount;
    out->staticMethods = out->events + eventCount;
    out->properties = reinterpret_cast<PropertyEntry*>(out->staticMethods + staticMethodCount);
    out->methodCount = methodCount;
    out->interfaceCount = interfaceCount;
    out->eventCount = eventCount;
    out->staticMethodCount = staticMethodCount;
    out->propertyCount = propertyCount;

    if (base) {
        int32_t methods = CheckedCount(kReportMethodTableTooSmall, methodCount, base->methodCount);
        int32_t ifaces = CheckedCount(kReportInterfaceTableTooSmall, interfaceCount, base->interfaceCount);
        int32_t events = CheckedCount(kReportEventTableTooSmall, eventCount, base->eventCount);
        int32_t statics = CheckedCount(kReportStaticMethodTableTooSmall, staticMethodCount, base->staticMethodCount);
        int32_t properties = CheckedCount(kReportPropertyTableTooSmall, propertyCount, base->propertyCount);
        CopyEntries(out->methods, base->methods, methods, int32_t(sizeof(MethodEntry)));
        CopyEntries(interfaces, ClassInterfaces(base), ifaces, int32_t(sizeof(InterfaceEntry)));
        CopyEntries(out->events, base->events, events, int32_t(sizeof(MethodEntry)));
        CopyEntries(out->staticMethods, base->staticMethods, statics, int32_t(sizeof(MethodEntry)));
        CopyEntries(out->properties, base->properties, properties, int32_t(sizeof(PropertyEntry)));
    }
    out->base = base;
    out->runtimeWord = 0;
    return out;
}

extern "C" MethodEntry* RuntimeNewVtable(int32_t count) {
    if (count <= 0) return nullptr;
    int64_t size = int64_t(count) * int64_t(sizeof(MethodEntry));
    void* table = size <= INT32_MAX ? PoolAlloc(int32_t(size), true) : nullptr;
    if (!table) RaiseNilObjectException();
    return static_cast<MethodEntry*>(table);
}

extern "C" ObjectHeader* RuntimeNewObject(ClassRecord* cls) {
    if (!cls) {
        RaiseNilObjectException();
        return nullptr;
    }
    if (cls->isAnInterface) RUNTIME_FIXED_REPORT(kReportInterfaceAsParent);
    int32_t size = ObjectBlockSize(cls);
    ObjectHeader* object = static_cast<ObjectHeader*>(PoolAlloc(size, true));
    if (!object) {
        RaiseNilObjectException();
        return nullptr;
    }
    std::memset(object, 0, size_t(size));
    Link(object);
    object->classPtr = cls;
    object->methodTable = cls->methods;
    object->eventTable = cls->events;
    object->refCount = 1;
    RunInitializers(cls, object);
    return object;
}

extern "C" void RuntimeLockObject(ObjectHeader* object) {
    // A count of 0 belongs to an object whose finalizers are running.
    if (object && object->refCount != 0) ++object->refCount;
}

extern "C" void RuntimeUnlockObject(ObjectHeader* object) {
    if (!object || object->refCount <= 0) return;
    if (--object->refCount == 0) Destroy(object);
}

extern "C" void RuntimeLockUnlockObjects(ObjectHeader* newValue, ObjectHeader* oldValue) {
    if (newValue == oldValue) return;
    RuntimeLockObject(newValue);
    RuntimeUnlockObject(oldValue);
}

extern "C" void TARNLockObject(ObjectHeader* object) { RuntimeLockObject(object); }
extern "C" void TARNUnlockObject(ObjectHeader* object) { RuntimeUnlockObject(object); }

extern "C" int32_t RuntimeObjectIsa(ObjectHeader* object, ClassRecord* cls) {
    if (!object) return 0;
    if (!cls) return 1;
    return IsInstanceOf(object, cls) ? 1 : 0;
}

extern "C" ObjectHeader* RuntimeCheckCast(ObjectHeader* object, ClassRecord* cls) {
    if (!object || !cls) return object;
    if (IsInstanceOf(object, cls)) {
        RuntimeLockObject(object);
        return object;
    }
    RaiseIllegalCastException();
    return nullptr;
}

extern "C" MethodEntry* RuntimeLookupInterfaceVtable(ObjectHeader* object, ClassRecord* interfaceClass) {
    if (!object || !interfaceClass) {
        RaiseNilObjectException();
        return nullptr;
    }
    InterfaceEntry* entry = nullptr;
    if (interfaceClass->isAnInterface && ImplementsInterface(object->classPtr, interfaceClass, &entry))
        return entry->vtable;
    RaiseIllegalCastException();
    return nullptr;
}

extern "C" ClassRecord* RuntimeLookupClass(StringValue* name) {
    StringMap& cache = ClassCache();
    void* found = nullptr;
    if (cache.Find(name, &found)) return static_cast<ClassRecord*>(found);
    // No class is called by the empty name.
    if (!name || !gClassFinder) return nullptr;
    ClassRecord* cls = gClassFinder(name);
    if (cls) cache.Insert(name, cls);
    return cls;
}
