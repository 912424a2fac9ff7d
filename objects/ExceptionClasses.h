// The exception classes: RuntimeException with its ErrorNumber and Message,
// and its subclasses, as definitions; and filling the runtime's slots from them.
#pragma once

#include <cstdint>

#include "objects/RuntimeExceptionFoundation.h"

struct ObjectDefinition;
// RuntimeException and its 16 subclasses, in order of definition.
ObjectDefinition* RuntimeExceptionDefinition();
ObjectDefinition* NilObjectExceptionDefinition();
ObjectDefinition* ServiceNotAvailableExceptionDefinition();
ObjectDefinition* NoOpenTransportExceptionDefinition();
ObjectDefinition* RegistryAccessErrorExceptionDefinition();
ObjectDefinition* IllegalCastExceptionDefinition();
ObjectDefinition* InvalidParentExceptionDefinition();
ObjectDefinition* stackOverflowExceptionDefinition();
ObjectDefinition* typeMismatchExceptionDefinition();
ObjectDefinition* OutOfBoundsExceptionDefinition();
ObjectDefinition* OutOfMemoryExceptionDefinition();
ObjectDefinition* KeyNotFoundExceptionDefinition();
ObjectDefinition* EndExceptionDefinition();
ObjectDefinition* ThreadAlreadyRunningExceptionDefinition();
ObjectDefinition* UnsupportedFormatExceptionDefinition();
ObjectDefinition* KeyChainExceptionDefinition();
ObjectDefinition* OLEExceptionDefinition();

// Builds the classes of the three slots (registering their definitions when
// needed) and fills the slots. Start-up calls it after the registration.
void InstallRuntimeExceptionClasses();
constexpr int32_t kRuntimeExceptionClassCount = 17;
extern const char* const kRuntimeExceptionClassNames[kRuntimeExceptionClassCount];
