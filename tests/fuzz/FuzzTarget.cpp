#include "tests/fuzz/FuzzTarget.h"

std::vector<FuzzTarget*>& FuzzTargets() {
    static std::vector<FuzzTarget*> targets;
    return targets;
}

FuzzTarget* FindFuzzTarget(const std::string& name) {
    for (FuzzTarget* t : FuzzTargets())
        if (name == t->Name()) return t;
    return nullptr;
}
