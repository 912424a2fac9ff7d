#include "ui/AcceleratorList.h"

#include <vector>

namespace {

struct Entry {
    uint32_t target;
    AcceleratorKind kind;
    std::string keyText;
};

// Newest last, so that registering is a push; searched from the back.
std::vector<Entry> gEntries;
AcceleratorAction gActions[kAcceleratorKindCount] = {};

}  // namespace

void RemoveAccelerator(uint32_t target, AcceleratorKind kind) {
    for (size_t i = gEntries.size(); i-- > 0;) {
        if (gEntries[i].target == target && gEntries[i].kind == kind) {
            gEntries.erase(gEntries.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void RegisterAccelerator(uint32_t target, AcceleratorKind kind, const std::string& keyText) {
    RemoveAccelerator(target, kind);
    gEntries.push_back(Entry{target, kind, keyText});
}

void ClearAccelerators() { gEntries.clear(); }

int AcceleratorCount() { return static_cast<int>(gEntries.size()); }

void SetAcceleratorAction(AcceleratorKind kind, AcceleratorAction action) {
    if (kind >= 0 && kind < kAcceleratorKindCount) gActions[kind] = action;
}

bool RunAccelerator(const std::string& keyName) {
    // Copy the matches first: an action may change the list under us.
    std::vector<Entry> matches;
    for (size_t i = gEntries.size(); i-- > 0;)
        if (gEntries[i].keyText == keyName) matches.push_back(gEntries[i]);
    for (const Entry& e : matches) {
        AcceleratorAction action = gActions[e.kind];
        if (action && action(e.target)) return true;
    }
    return false;
}
