#include "startup/ShutdownList.h"

namespace {
RuntimeService* gNewest = nullptr;
int gCount = 0;
}  // namespace

RuntimeService::~RuntimeService() { ShutdownListRemove(this); }

void ShutdownListAdd(RuntimeService* service) {
    if (!service || service->listed_) return;
    service->older_ = gNewest;
    service->newer_ = nullptr;
    if (gNewest) gNewest->newer_ = service;
    gNewest = service;
    service->listed_ = true;
    ++gCount;
}

void ShutdownListRemove(RuntimeService* service) {
    if (!service || !service->listed_) return;
    if (service->older_) service->older_->newer_ = service->newer_;
    if (service->newer_)
        service->newer_->older_ = service->older_;
    else
        gNewest = service->older_;
    service->older_ = service->newer_ = nullptr;
    service->listed_ = false;
    --gCount;
}

int ShutdownListCount() { return gCount; }

void ShutdownListDestroyAll() {
    while (gNewest) delete gNewest;
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
