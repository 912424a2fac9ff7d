#include "objects/globalFunctions.h"

#include "objects/ObjectDefinition.h"
#include "objects/globalFunctionsDecl.h"
#include "orvane/exports.h"

namespace {

// name, result, parameters, count, function, its entry name, ...: add a row
// per global function; the entry name is what compiled code imports.
#define GLOBAL_FUNCTION(rowName, function) \
    {rowName, nullptr, nullptr, 0, Fn(&function), #function, {}, nullptr, nullptr, {}, 0},

const MethodRow kGlobalFunctions[] = {
#include "objects/globalFunctions.inc"
};
#undef GLOBAL_FUNCTION

}  // namespace

const MethodRow* GlobalFunctionRows() { return kGlobalFunctions; }
int32_t GlobalFunctionRowCount() { return int32_t(sizeof kGlobalFunctions / sizeof kGlobalFunctions[0]); }
void RegisterGlobalFunctionTable() { RegisterGlobalFunctions(kGlobalFunctions, GlobalFunctionRowCount()); }
