#include "objects/intrinsicClass.h"

#include "objects/RuntimeExceptionFoundation.h"

// Start-up calls this where the definitions of the intrinsic classes must
// exist. Until the descriptor tables describe them, the exception classes are
// built directly and the runtime's three exception slots filled from them.
void BuildIntrinsicDefinitions() { InstallRuntimeExceptionClasses(); }
