#include "ui/MenuImplementation.h"

#include <algorithm>
#include <deque>
#include <new>

#include "orvane/exports.h"
#include "strings/string.h"
#include "strings/utility.h"
#include "ui/AcceleratorList.h"
#include "ui/CommandKeys.h"

namespace {

bool gSlotTaken[kCommandIdSlots] = {};

std::wstring FromBytes(UINT codePage, const char* bytes, int32_t n) {
    int units = MultiByteToWideChar(codePage, 0, bytes, n, nullptr, 0);
    std::wstring out(size_t(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(codePage, 0, bytes, n, &out[0], units);
    return out;
}

// Menu texts go to the wide menu functions whatever encoding they carry.
std::wstring Wide(StringValue* text) {
    if (StringLength(text) == 0) return std::wstring();
    uint32_t encoding = StringEncoding(text);
    if (encoding == kEncodingUTF8 || encoding == kEncodingASCII)
        return FromBytes(CP_UTF8, StringText(text), StringLength(text));
    StringHandle wide = StringHandle::Borrow(text).ToUtf16();
    if (wide.IsEmpty()) return FromBytes(CP_ACP, StringText(text), StringLength(text));
    const uint16_t* units = wide.Utf16();
    return std::wstring(units, units + wide.Length() / 2);
}

void Assign(StringValue*& field, StringValue* value) {
    RuntimeLockUnlockStrings(value, field);
    field = value;
}

int32_t PositionInParent(const MenuImp* imp) {
    return imp->parent ? ChildPosition(imp->parent, imp->item) : -1;
}

void RedrawMenuBar() { DrawMenuBar(GetForegroundWindow()); }

// The entry's type and text: a separator, or the display text. A command
// keeps its id, so a separator turned back into a command is chosen again.
void ApplyEntryType(MenuImp* imp) {
    int32_t position = PositionInParent(imp);
    if (position < 0) return;
    std::wstring display = DisplayTextOf(imp);
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_TYPE | (imp->popup ? 0 : MIIM_ID);
    info.fType = IsSeparatorText(imp->text) ? MFT_SEPARATOR : MFT_STRING;
    info.dwTypeData = info.fType == MFT_STRING ? &display[0] : nullptr;
    info.cch = UINT(display.size());
    info.wID = UINT(imp->commandId);
    SetMenuItemInfoW(imp->parent->menu, UINT(position), TRUE, &info);
    RedrawMenuBar();
}

void RegisterEntryAccelerator(MenuImp* imp) {
    std::string text = AcceleratorTextOf(imp);
    if (text.empty())
        RemoveAccelerator(AcceleratorTarget(imp), kMenuAccelerator);
    else
        RegisterAccelerator(AcceleratorTarget(imp), kMenuAccelerator, ShortcutKeyText(text));
}

void AddEntry(MenuImp* parent, MenuImp* child, int32_t position);

// The item's children move into a new popup menu of its own. The old
// menu's entries are only detached: a child's submenu lives on in the new one.
void BecomePopup(MenuImp* imp) {
    for (ObjectHeader* c : imp->children) RemoveAccelerator(AcceleratorTarget(ImpOf(c)), kMenuAccelerator);
    HMENU old = imp->menu;
    while (GetMenuItemCount(old) > 0) RemoveMenu(old, 0, MF_BYPOSITION);
    DestroyMenu(old);
    imp->menu = CreatePopupMenu();
    imp->popup = true;
    for (size_t j = 0; j < imp->children.size(); ++j) AddEntry(imp, ImpOf(imp->children[j]), int32_t(j));
}

// An item already shown in a menu becomes a submenu where it stands.
void BecomePopupInPlace(MenuImp* imp) {
    int32_t position = PositionInParent(imp);
    RemoveAccelerator(AcceleratorTarget(imp), kMenuAccelerator);
    RemoveMenu(imp->parent->menu, UINT(position), MF_BYPOSITION);
    BecomePopup(imp);
    AddEntry(imp->parent, imp, position);
}

// Puts the child's entry into the parent's menu at position.
void AddEntry(MenuImp* parent, MenuImp* child, int32_t position) {
    // Children gathered before the item was inserted anywhere need a submenu now.
    if (!child->popup && !child->children.empty()) BecomePopup(child);
    UINT flags = MF_BYPOSITION;
    if (IsSeparatorText(child->text)) flags |= MF_SEPARATOR;
    if (child->popup) flags |= MF_POPUP;
    UINT_PTR id = child->popup ? reinterpret_cast<UINT_PTR>(child->menu) : UINT_PTR(child->commandId);
    if (!AcceleratorTextOf(child).empty()) RegisterEntryAccelerator(child);
    std::wstring display = DisplayTextOf(child);
    InsertMenuW(parent->menu, UINT(position), flags, id, display.c_str());
    if (!child->enabled && !IsMenuTitle(child))
        EnableMenuItem(parent->menu, UINT(position), MF_BYPOSITION | MF_GRAYED);
    if (child->checked) CheckMenuItem(parent->menu, UINT(position), MF_BYPOSITION | MF_CHECKED);
}

// Takes the child's entry out of the parent's menu (its submenu stays its own).
void DetachEntry(MenuImp* parent, MenuImp* child, int32_t position) {
    RemoveAccelerator(AcceleratorTarget(child), kMenuAccelerator);
    RemoveMenu(parent->menu, UINT(position), MF_BYPOSITION);
    FreeCommandId(child->commandId);
    child->commandId = 0;
    child->parent = nullptr;
}

bool IsAncestorOrSelf(const MenuImp* candidate, const MenuImp* imp) {
    for (const MenuImp* p = imp; p; p = p->parent)
        if (p == candidate) return true;
    return false;
}

}  // namespace

// ---- Command ids -------------------------------------------------------------------------------

int32_t TakeCommandId() {
    for (int32_t s = 0; s < kCommandIdSlots; ++s) {
        if (gSlotTaken[s]) continue;
        gSlotTaken[s] = true;
        return kFirstCommandId + s;
    }
    return 0;
}

void FreeCommandId(int32_t id) {
    int32_t s = id - kFirstCommandId;
    if (s >= 0 && s < kCommandIdSlots) gSlotTaken[s] = false;
}

int32_t FreeCommandIdCount() {
    return int32_t(std::count(gSlotTaken, gSlotTaken + kCommandIdSlots, false));
}

// ---- Life ------------------------------------------------------------------------------------------

MenuImp* NewMenuImp(ObjectHeader* item, bool menuBarRoot) {
    void* block = PoolAlloc(sizeof(MenuImp), true);
    if (!block) return nullptr;
    MenuImp* imp = new (block) MenuImp;
    imp->item = item;
    imp->commandId = TakeCommandId();
    imp->menu = CreateMenu();
    imp->menuBarRoot = menuBarRoot;
    imp->popup = menuBarRoot;
    return imp;
}

void DeleteMenuImp(MenuImp* imp) {
    if (!imp) return;
    while (!imp->children.empty()) RemoveMenuChild(imp, int32_t(imp->children.size()) - 1);
    if (imp->menu) DestroyMenu(imp->menu);
    imp->menu = nullptr;
    FreeCommandId(imp->commandId);
    RuntimeUnlockObject(imp->tag);
    for (StringValue* s : {imp->text, imp->name, imp->commandKey, imp->balloonHelp, imp->disabledBalloonHelp})
        StringRelease(s);
    imp->~MenuImp();
    PoolFree(imp, sizeof(MenuImp));
}

// ---- Tree -------------------------------------------------------------------------------------------

int32_t ChildPosition(const MenuImp* parent, const ObjectHeader* child) {
    for (size_t i = 0; i < parent->children.size(); ++i)
        if (parent->children[i] == child) return int32_t(i);
    return -1;
}

void InsertMenuChild(MenuImp* parent, ObjectHeader* child, int32_t i) {
    MenuImp* c = ImpOf(child);
    // An item holding itself would never end; one already elsewhere moves here.
    if (!c || IsAncestorOrSelf(c, parent)) return;
    RuntimeLockObject(child);
    if (c->parent) {
        MenuImp* old = c->parent;
        int32_t at = ChildPosition(old, child);
        RemoveMenuChild(old, at);
        if (old == parent && at < i) --i;
    }
    if (!parent->popup && parent->parent) BecomePopupInPlace(parent);
    if (i < 0) i = 0;
    if (i > int32_t(parent->children.size())) i = int32_t(parent->children.size());
    parent->children.insert(parent->children.begin() + i, child);
    c->parent = parent;
    if (c->commandId == 0) c->commandId = TakeCommandId();
    AddEntry(parent, c, i);
}

void RemoveMenuChild(MenuImp* parent, int32_t i) {
    if (i < 0 || i >= int32_t(parent->children.size())) return;
    ObjectHeader* child = parent->children[size_t(i)];
    DetachEntry(parent, ImpOf(child), i);
    parent->children.erase(parent->children.begin() + i);
    RedrawMenuBar();
    RuntimeUnlockObject(child);
}

// ---- Texts --------------------------------------------------------------------------------------------

bool IsSeparatorText(StringValue* text) { return StringLength(text) == 1 && StringText(text)[0] == '-'; }

bool IsMenuTitle(const MenuImp* imp) { return imp->parent && imp->parent->menuBarRoot; }

std::string AcceleratorTextOf(const MenuImp* imp) {
    return AcceleratorTextFor(std::string(StringText(imp->commandKey), size_t(StringLength(imp->commandKey))));
}

std::wstring DisplayTextOf(const MenuImp* imp) {
    std::wstring display = Wide(imp->text);
    std::string accelerator = AcceleratorTextOf(imp);
    if (!accelerator.empty()) {
        display += L'\t';
        display += Wide(StringHandle(accelerator.c_str()).Get());
    }
    return display;
}

uint32_t AcceleratorTarget(const MenuImp* imp) {
    uint32_t menu = imp->parent ? uint32_t(reinterpret_cast<uintptr_t>(imp->parent->menu)) : 0;
    return ((menu & 0xFFFF) << 16) | (uint32_t(imp->commandId) & 0xFFFF);
}

// ---- Properties ------------------------------------------------------------------------------------------

void SetMenuText(MenuImp* imp, StringValue* text) {
    Assign(imp->text, text);
    ApplyEntryType(imp);
}

void SetMenuCommandKey(MenuImp* imp, StringValue* key) {
    Assign(imp->commandKey, key);
    if (!imp->parent) return;
    RegisterEntryAccelerator(imp);
    ApplyEntryType(imp);
}

void SetMenuEnabled(MenuImp* imp, bool enabled) {
    imp->enabled = enabled;
    int32_t position = PositionInParent(imp);
    if (position >= 0 && (enabled || !IsMenuTitle(imp)))
        EnableMenuItem(imp->parent->menu, UINT(position), MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    for (ObjectHeader* c : imp->children) SetMenuEnabled(ImpOf(c), enabled);
}

void SetMenuChecked(MenuImp* imp, bool checked) {
    imp->checked = checked;
    int32_t position = PositionInParent(imp);
    if (position >= 0)
        CheckMenuItem(imp->parent->menu, UINT(position), MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// ---- Searches ---------------------------------------------------------------------------------------------

MenuImp* FindByCommandId(MenuImp* root, int32_t id) {
    if (!root || id == 0) return nullptr;
    for (MenuImp* imp : ItemsDepthFirst(root))
        if (imp->commandId == id) return imp;
    return nullptr;
}

MenuImp* FindByNameAndIndex(MenuImp* root, StringValue* name, int32_t index) {
    if (!root) return nullptr;
    if (root->index == index && RuntimeStringCompare(root->name, name) == 0) return root;
    for (MenuImp* imp : ItemsDepthFirst(root))
        if (imp->index == index && RuntimeStringCompare(imp->name, name) == 0) return imp;
    return nullptr;
}

std::vector<MenuImp*> ItemsBreadthFirst(MenuImp* root) {
    std::vector<MenuImp*> out;
    std::deque<MenuImp*> queue{root};
    while (!queue.empty()) {
        MenuImp* imp = queue.front();
        queue.pop_front();
        for (ObjectHeader* c : imp->children) {
            out.push_back(ImpOf(c));
            queue.push_back(ImpOf(c));
        }
    }
    return out;
}

namespace {
void CollectDepthFirst(MenuImp* imp, std::vector<MenuImp*>& out) {
    for (ObjectHeader* c : imp->children) {
        out.push_back(ImpOf(c));
        CollectDepthFirst(ImpOf(c), out);
    }
}
}  // namespace

std::vector<MenuImp*> ItemsDepthFirst(MenuImp* root) {
    std::vector<MenuImp*> out;
    if (root) CollectDepthFirst(root, out);
    return out;
}
