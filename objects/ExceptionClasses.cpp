#include "objects/ExceptionClasses.h"

#include <cstring>

#include "objects/ObjectDefinition.h"
#include "strings/string.h"

const char* const kRuntimeExceptionClassNames[kRuntimeExceptionClassCount] = {
    "RuntimeException",
    "NilObjectException",
    "ServiceNotAvailableException",
    "NoOpenTransportException",
    "RegistryAccessErrorException",
    "IllegalCastException",
    "InvalidParentException",
    "stackOverflowException",
    "typeMismatchException",
    "OutOfBoundsException",
    "OutOfMemoryException",
    "KeyNotFoundException",
    "EndException",
    "ThreadAlreadyRunningException",
    "UnsupportedFormatException",
    "KeyChainException",
    "OLEException",
};

namespace {

void __cdecl FinalizeRuntimeException(ObjectHeader* self) {
    StringValue* message;
    std::memcpy(&message, reinterpret_cast<uint8_t*>(self) + kExceptionMessageAt, 4);
    std::memset(reinterpret_cast<uint8_t*>(self) + kExceptionMessageAt, 0, 4);
    StringRelease(message);
}

PropertyRow kRuntimeExceptionProperties[] = {
    {0, "ErrorNumber", &kIntegerType, nullptr, "intGetter", nullptr, "intSetter", kExceptionErrorNumberAt},
    {0, "Message", &kStringType, nullptr, "stringGetter", nullptr, "stringSetter", kExceptionMessageAt},
};

// Every subclass adds nothing but its name.
template <int Index>
ObjectDefinition* ExceptionSubclassDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        kRuntimeExceptionClassNames[Index], RuntimeExceptionDefinition, kExceptionInstanceSize, nullptr,
        nullptr, ORVANE_NO_ROWS, ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

ClassRecord* SlotClass(ObjectDefinition* d) { return ClassOfDefinition(d); }

}  // namespace

ObjectDefinition* RuntimeExceptionDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        kRuntimeExceptionClassNames[0], nullptr, kExceptionInstanceSize, nullptr, FinalizeRuntimeException,
        ORVANE_ROWS(kRuntimeExceptionProperties), ORVANE_NO_ROWS, ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* NilObjectExceptionDefinition() { return ExceptionSubclassDefinition<1>(); }
ObjectDefinition* ServiceNotAvailableExceptionDefinition() { return ExceptionSubclassDefinition<2>(); }
ObjectDefinition* NoOpenTransportExceptionDefinition() { return ExceptionSubclassDefinition<3>(); }
ObjectDefinition* RegistryAccessErrorExceptionDefinition() { return ExceptionSubclassDefinition<4>(); }
ObjectDefinition* IllegalCastExceptionDefinition() { return ExceptionSubclassDefinition<5>(); }
ObjectDefinition* InvalidParentExceptionDefinition() { return ExceptionSubclassDefinition<6>(); }
ObjectDefinition* stackOverflowExceptionDefinition() { return ExceptionSubclassDefinition<7>(); }
ObjectDefinition* typeMismatchExceptionDefinition() { return ExceptionSubclassDefinition<8>(); }
ObjectDefinition* OutOfBoundsExceptionDefinition() { return ExceptionSubclassDefinition<9>(); }
ObjectDefinition* OutOfMemoryExceptionDefinition() { return ExceptionSubclassDefinition<10>(); }
ObjectDefinition* KeyNotFoundExceptionDefinition() { return ExceptionSubclassDefinition<11>(); }
ObjectDefinition* EndExceptionDefinition() { return ExceptionSubclassDefinition<12>(); }
ObjectDefinition* ThreadAlreadyRunningExceptionDefinition() { return ExceptionSubclassDefinition<13>(); }
ObjectDefinition* UnsupportedFormatExceptionDefinition() { return ExceptionSubclassDefinition<14>(); }
ObjectDefinition* KeyChainExceptionDefinition() { return ExceptionSubclassDefinition<15>(); }
ObjectDefinition* OLEExceptionDefinition() { return ExceptionSubclassDefinition<16>(); }

void InstallRuntimeExceptionClasses() {
    SetNilObjectExceptionClass(SlotClass(NilObjectExceptionDefinition()));
    SetIllegalCastExceptionClass(SlotClass(IllegalCastExceptionDefinition()));
    SetOutOfBoundsExceptionClass(SlotClass(OutOfBoundsExceptionDefinition()));
}
