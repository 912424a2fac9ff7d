// The string entry points called by module code.
#include "orvane/exports.h"
#include "strings/string.h"

extern "C" void RuntimeLockString(StringValue* s) { StringRetain(s); }
extern "C" void RuntimeUnlockString(StringValue* s) { StringRelease(s); }
extern "C" void RuntimeLockUnlockStrings(StringValue* newValue, StringValue* oldValue) {}
extern "C" StringValue* RuntimeAddString(StringValue* a, StringValue* b) { return nullptr; }
extern "C" int32_t RuntimeStringCompare(StringValue* a, StringValue* b) { return 0; }
