#include "ui/ModalStack.h"

#include <algorithm>
#include <vector>

namespace {
// Newest last, so that pushing and popping the newest is cheap.
std::vector<HWND>& Stack() {
    static auto* stack = new std::vector<HWND>;
    return *stack;
}
}  // namespace

void ModalStackPush(HWND window) {
    if (window) Stack().push_back(window);
}

void ModalStackRemove(HWND window) {
    std::vector<HWND>& stack = Stack();
    stack.erase(std::remove(stack.begin(), stack.end(), window), stack.end());
}

bool ModalStackIsEmpty() { return Stack().empty(); }

HWND ModalStackNewestVisible() {
    const std::vector<HWND>& stack = Stack();
    for (size_t i = stack.size(); i-- > 0;)
        if (IsWindowVisible(stack[i])) return stack[i];
    return nullptr;
}
