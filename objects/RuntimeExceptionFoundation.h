// Raising exceptions: the runtime's exception slots and hooks, raising, the
// landing block search, the protected call. The classes themselves are
// defined in objects/ExceptionClasses.h, above this unit: raising needs no
// more than class records.
// The entry points themselves are declared in orvane/exports.h.
// Unit group "object core" (RuntimeObjectFoundation, RuntimeExceptionFoundation):
// the two use each other on purpose, since a failed cast or a nil object
// raises, and raising makes an exception object.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

// Fields of RuntimeException instances (all its subclasses share them).
constexpr int32_t kExceptionErrorNumberAt = 28;  // i32
constexpr int32_t kExceptionMessageAt = 32;      // string value, one reference
constexpr int32_t kExceptionInstanceSize = 36;

// ---- Hooks -----------------------------------------------------------------------

using ExceptionHook = void (*)(ObjectHeader* exception);
// Called by RuntimeRaiseException before the search (the debugger connection).
ExceptionHook SetRaiseHook(ExceptionHook hook);  // each returns the previous hook
// Called by RuntimeUnhandledException (installed at start-up).
ExceptionHook SetUnhandledExceptionHook(ExceptionHook hook);

// ---- Slots: the classes the runtime itself raises -----------------------------------

// Set once at start-up; a nil class is an assertion report.
void SetNilObjectExceptionClass(ClassRecord* cls);
void SetIllegalCastExceptionClass(ClassRecord* cls);
void SetOutOfBoundsExceptionClass(ClassRecord* cls);
ClassRecord* NilObjectExceptionClass();
ClassRecord* IllegalCastExceptionClass();
ClassRecord* OutOfBoundsExceptionClass();

// ---- Raising from runtime code ----------------------------------------------------

// Each of these returns normally, also when the exception was received by a
// landing block further up: the caller then returns whatever it likes
// (typically nil or 0) and its caller's clean-up code runs.

// A new instance of cls, raised; the creator's reference is given back after
// the raise. Nothing is raised for a nil class.
void RaiseNewException(ClassRecord* cls);
// The same with Message (locked by the instance) and ErrorNumber set.
void RaiseExceptionWithMessage(ClassRecord* cls, StringValue* message, int32_t errorNumber);
// The classes of the slots.
void RaiseNilObjectException();
void RaiseIllegalCastException();
void RaiseOutOfBoundsException();

// ---- The protected call -------------------------------------------------------------

// Calls fn(context) behind an active landing block (exception variable at
// frame offset -4, no argument bytes to remove). Returns nil when fn returned
// normally, else the exception that landed, with one reference for the caller.
using ProtectedFunction = void(__cdecl*)(void* context);
extern "C" ObjectHeader* __cdecl ProtectedCall(ProtectedFunction fn, void* context = nullptr);
