#include <algorithm>
#include <vector>

#include "ui/ViewWindow.h"

namespace {
// Newest first.
std::vector<ViewWindow*>& List() {
    static auto* list = new std::vector<ViewWindow*>;
    return *list;
}
}  // namespace

void ViewWindowListAdd(ViewWindow* view) {
    if (view) List().insert(List().begin(), view);
}

void ViewWindowListRemove(ViewWindow* view) {
    std::vector<ViewWindow*>& list = List();
    list.erase(std::remove(list.begin(), list.end(), view), list.end());
}

int ViewWindowListCount() { return int(List().size()); }

ViewWindow* ViewWindowListAt(int index) {
    return index >= 0 && index < ViewWindowListCount() ? List()[size_t(index)] : nullptr;
}

ViewWindow* FindViewWindow(HWND handle) {
    if (!handle) return nullptr;
    for (ViewWindow* view : List())
        if (view->handle.Get() == handle) return view;
    return nullptr;
}
