// Reading back the shapes of a route group in the checks.
#pragma once

#include "orvane/shapes.h"
#include "routeviewer/RouteHandles.h"

namespace check {

inline int32_t MemberCount(ObjectHeader* group) { return group ? intGetter(group, orvane::shape::kGroupCountAt) : 0; }
inline ObjectHeader* Member(ObjectHeader* group, int32_t i) {
    if (i < 0 || i >= MemberCount(group)) return nullptr;
    ObjectHeader** members = reinterpret_cast<ObjectHeader**>(intGetter(group, orvane::shape::kGroupMembersAt));
    return members[i];
}
inline double D(ObjectHeader* o, int32_t offset) { return doubleGetter(o, offset); }
inline int32_t I(ObjectHeader* o, int32_t offset) { return intGetter(o, offset); }

}  // namespace check
