// Runtime services destroyed after the module's entry code returns, and the
// routines run when RuntimeRun ends. A leaf: it uses nothing of the runtime,
// so any unit may put a service on the list.
#pragma once

// A service object on the shutdown list. Destroying it, by the list or
// earlier, takes it off the list.
class RuntimeService {
public:
    RuntimeService() = default;
    virtual ~RuntimeService();
    RuntimeService(const RuntimeService&) = delete;
    RuntimeService& operator=(const RuntimeService&) = delete;

private:
    friend // Adding a service that is on the list already does nothing.
void ShutdownListAdd(RuntimeService* service);
    friend void ShutdownListRemove(RuntimeService* service);
    friend void ShutdownListDestroyAll();
    // The list links its services through themselves: it never allocates.
    RuntimeService* older_ = nullptr;
    RuntimeService* newer_ = nullptr;
    bool listed_ = false;
};

// Adding a service that is on the list already does nothing.
void ShutdownListAdd(RuntimeService* service);
void ShutdownListRemove(RuntimeService* service);
int ShutdownListCount();
// Deletes every service still on the list, newest first.
void ShutdownListDestroyAll();

// Routines run at the end of RuntimeRun, in order of registration.
using RuntimeExitRoutine = void (*)();
void AddRuntimeExitRoutine(RuntimeExitRoutine routine);
void RunRuntimeExitRoutines();
