// The menu implementation behind every MenuItem object: its children, its
// properties, its command id and its Win32 menu. Children sit in the
// item's menu at the same positions as in the children array, so an entry
// is always addressed by its position in the parent's menu.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "orvane/abi.h"

struct MenuImp {
    ObjectHeader* item = nullptr;          // the MenuItem object this serves (its owner)
    std::vector<ObjectHeader*> children;   // each child locked while it is here
    int32_t index = -1;                    // position in a control array; -1 = none
    StringValue* text = nullptr;           // "-" makes a separator
    StringValue* name = nullptr;
    StringValue* commandKey = nullptr;
    int32_t commandId = 0;                 // 1000 + slot; 0 when none was free
    ObjectHeader* tag = nullptr;           // locked
    StringValue* balloonHelp = nullptr;
    StringValue* disabledBalloonHelp = nullptr;
    bool enabled = true;
    bool checked = false;
    bool visible = true;                   // stored only
    bool bold = false, italic = false, underline = false;  // stored only
    bool autoEnable = true;
    MenuImp* parent = nullptr;             // set while the item is a child
    bool popup = false;                    // holds its children in a menu of its own
    bool menuBarRoot = false;              // a MenuBar: its menu is the bar itself
    HMENU menu = nullptr;                  // owned; a popup's menu is lent to the parent's entry
};

// The MenuItem object: the header and the implementation, as module code sees it.
struct MenuItemObject {
    ObjectHeader header;
    MenuImp* mImp;
};
static_assert(sizeof(MenuItemObject) == 32, "MenuItem instance size");
static_assert(offsetof(MenuItemObject, mImp) == 28, "MenuItem.mImp");

inline MenuImp* ImpOf(ObjectHeader* item) {
    return item ? reinterpret_cast<MenuItemObject*>(item)->mImp : nullptr;
}

// ---- Command ids -----------------------------------------------------------------------

constexpr int32_t kCommandIdSlots = 1024;
constexpr int32_t kFirstCommandId = 1000;
// The id of the first free slot (1000 + slot), now taken; 0 when all are taken.
int32_t TakeCommandId();
void FreeCommandId(int32_t id);
int32_t FreeCommandIdCount();

// ---- Life --------------------------------------------------------------------------------

MenuImp* NewMenuImp(ObjectHeader* item, bool menuBarRoot);
// Releases the children and the tag and destroys the menu.
void DeleteMenuImp(MenuImp* imp);

// ---- Tree and Win32 menu -----------------------------------------------------------------

// Inserts child before position i (0 <= i <= count), turning the parent into
// a submenu in place when it already lies in a menu.
void InsertMenuChild(MenuImp* parent, ObjectHeader* child, int32_t i);
// Removes the child at i from the array and the menu, frees its command id
// and its accelerator entry, and releases the parent's reference.
void RemoveMenuChild(MenuImp* parent, int32_t i);
int32_t ChildPosition(const MenuImp* parent, const ObjectHeader* child);  // -1 when absent

// "Text", then a tab and the accelerator text when the command key gives one.
std::string AcceleratorTextOf(const MenuImp* imp);
std::wstring DisplayTextOf(const MenuImp* imp);
bool IsSeparatorText(StringValue* text);
// A direct child of a menu bar: shown in the bar, never greyed.
bool IsMenuTitle(const MenuImp* imp);
// The accelerator entry's target: parent menu handle's low 16 bits, then the id.
uint32_t AcceleratorTarget(const MenuImp* imp);

// Property changes, carried to the Win32 menu when the item lies in one.
void SetMenuText(MenuImp* imp, StringValue* text);
void SetMenuCommandKey(MenuImp* imp, StringValue* key);
void SetMenuEnabled(MenuImp* imp, bool enabled);  // the children follow
void SetMenuChecked(MenuImp* imp, bool checked);

// Depth-first, pre-order search below (not including) root.
MenuImp* FindByCommandId(MenuImp* root, int32_t id);
// Depth-first, pre-order search of the subtree for Name (any case) and Index.
MenuImp* FindByNameAndIndex(MenuImp* root, StringValue* name, int32_t index);

// Every item below root, breadth-first or depth-first pre-order.
std::vector<MenuImp*> ItemsBreadthFirst(MenuImp* root);
std::vector<MenuImp*> ItemsDepthFirst(MenuImp* root);
