#include "startup/intrinsicClass.h"

#include "objects/ExceptionClasses.h"
#include "objects/ObjectDefinition.h"
#include "objects/RuntimeExceptionFoundation.h"
#include "objects/globalFunctions.h"

#define INTRINSIC_CLASS(getter) ObjectDefinition* getter();
#include "startup/intrinsicClasses.inc"
#undef INTRINSIC_CLASS

namespace {
const DefinitionGetter kIntrinsicClasses[] = {
#define INTRINSIC_CLASS(getter) getter,
#include "startup/intrinsicClasses.inc"
#undef INTRINSIC_CLASS
};
}  // namespace

void BuildIntrinsicDefinitions() {
    for (DefinitionGetter getter : kIntrinsicClasses) RegisterDefinition(getter());
    RegisterGlobalFunctionTable();
    InstallRuntimeExceptionClasses();
}
