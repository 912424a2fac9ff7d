// The EndOfLine class: three line-end texts and the operators through which
// module code joins and compares it with strings. The instance has no state.
#include "objects/ObjectDefinition.h"
#include "orvane/exports.h"
#include "strings/TextEncodingUtil.h"

namespace {

constexpr int32_t kEndOfLineSize = 28;

PropertyRow kEndOfLineProperties[] = {
    {0, "Macintosh", &kStringType, Fn(getMacEndOfLine), "getMacEndOfLine", nullptr, nullptr, 0},
    {0, "Windows", &kStringType, Fn(getWin32EndOfLine), "getWin32EndOfLine", nullptr, nullptr, 0},
    {0, "UNIX", &kStringType, Fn(getUNIXEndOfLine), "getUNIXEndOfLine", nullptr, nullptr, 0},
};

ParameterRecord kStringParameter[] = {{"s", &kStringType, 0, {}, {}}};

MethodRow kEndOfLineMethods[] = {
    {"Operator_Convert", &kStringType, nullptr, 0, Fn(RuntimeEndOfLine), "RuntimeEndOfLine", {}, nullptr,
     nullptr, {}, 0},
    {"Operator_Add", &kStringType, kStringParameter, 1, Fn(RuntimeEndOfLineAdd), "RuntimeEndOfLineAdd", {},
     nullptr, nullptr, {}, 0},
    {"Operator_AddRight", &kStringType, kStringParameter, 1, Fn(RuntimeEndOfLineAddRight),
     "RuntimeEndOfLineAddRight", {}, nullptr, nullptr, {}, 0},
    {"Operator_Compare", &kIntegerType, kStringParameter, 1, Fn(RuntimeEndOfLineCompare),
     "RuntimeEndOfLineCompare", {}, nullptr, nullptr, {}, 0},
};

}  // namespace

ObjectDefinition* EndOfLineDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "EndOfLine", nullptr, kEndOfLineSize, nullptr, nullptr, ORVANE_ROWS(kEndOfLineProperties),
        ORVANE_ROWS(kEndOfLineMethods), ORVANE_NO_ROWS});
    return d;
}

extern "C" ObjectHeader* RuntimeGetEndOfLineObject(void) { return CreateInstance(EndOfLineDefinition()); }
