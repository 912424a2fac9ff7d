#include "startup/ShutdownList.h"

#include "strings/utility.h"

namespace {
PointerArray& List() {
    static PointerArray list;
    return list;
}
}  // namespace

RuntimeService::~RuntimeService() { ShutdownListRemove(this); }

void ShutdownListAdd(RuntimeService* service) {
    if (service) List().Append(service);
}

void ShutdownListRemove(RuntimeService* service) {
    PointerArray& list = List();
    for (int32_t i = list.Count() - 1; i >= 0; --i)
        if (list.At(i) == service) {
            list.RemoveAt(i);
            return;
        }
}

int ShutdownListCount() { return List().Count(); }

void ShutdownListDestroyAll() {
    PointerArray& list = List();
    while (list.Count() > 0) delete static_cast<RuntimeService*>(list.At(list.Count() - 1));
}

namespace {
constexpr int kMaxExitRoutines = 32;
RuntimeExitRoutine gExitRoutines[kMaxExitRoutines];
int gExitRoutineCount = 0;
}  // namespace

void AddRuntimeExitRoutine(RuntimeExitRoutine routine) {
    if (routine && gExitRoutineCount < kMaxExitRoutines) gExitRoutines[gExitRoutineCount++] = routine;
}

void RunRuntimeExitRoutines() {
    // Each runs once, even when RuntimeRun is entered again.
    int n = gExitRoutineCount;
    gExitRoutineCount = 0;
    for (int i = 0; i < n; ++i) gExitRoutines[i]();
}
