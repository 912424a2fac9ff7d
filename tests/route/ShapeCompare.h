// Two shape groups compared shape by shape: class, and every property
// (every byte of the instance, texts by their bytes, the members of groups
// and figures in order); the growth bookkeeping of the member lists is not
// a property.
#pragma once

#include "routeviewer/RouteHandles.h"

namespace check {

// -1 when equal, else the index of the first member of a that differs
// (the count when only the counts differ).
int32_t FirstDifference(ObjectHeader* a, ObjectHeader* b);

}  // namespace check
