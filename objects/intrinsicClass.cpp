#include "objects/intrinsicClass.h"

// The intrinsic classes are described by the object model; start-up calls
// this at the point where their definitions must exist.
void BuildIntrinsicDefinitions() {}
