// Runtime services destroyed after the module's entry code returns.
#pragma once

// A service object on the shutdown list. Destroying it, by the list or
// earlier, takes it off the list.
class RuntimeService {
public:
    RuntimeService() = default;
    virtual ~RuntimeService();
    RuntimeService(const RuntimeService&) = delete;
    RuntimeService& operator=(const RuntimeService&) = delete;
};

void ShutdownListAdd(RuntimeService* service);
void ShutdownListRemove(RuntimeService* service);
int ShutdownListCount();
// Deletes every service still on the list, newest first.
void ShutdownListDestroyAll();

// Routines run at the end of RuntimeRun, in order of registration.
using RuntimeExitRoutine = void (*)();
void AddRuntimeExitRoutine(RuntimeExitRoutine routine);
void RunRuntimeExitRoutines();
