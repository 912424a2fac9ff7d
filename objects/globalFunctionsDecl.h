// Entry points that only the global function table names.
#pragma once

#include "orvane/abi.h"

extern "C" {
void __cdecl RuntimeMassPropertySetter(ObjectHeader* object, StringValue* data);
void __cdecl ApplicationQuit(void);
ObjectHeader* __cdecl getKeyboardObject(void);
}
