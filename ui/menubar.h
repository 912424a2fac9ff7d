// Menus as the rest of the runtime uses them: the MenuItem classes, the
// menu handle a window or the MDI frame attaches, choosing an item by its
// command id and the enabling pass that runs before a menu opens.
#pragma once

#include <windows.h>

#include <cstdint>

#include "orvane/abi.h"

struct ObjectDefinition;

ObjectDefinition* MenuItemDefinition();
ObjectDefinition* MenuBarDefinition();
ObjectDefinition* QuitMenuItemDefinition();
ObjectDefinition* PrefsMenuItemDefinition();
ObjectDefinition* AppleMenuItemDefinition();

// Makes menu shortcuts of the accelerator list act.
void InstallMenuLayer();

// The Win32 menu of a menu bar (for SetMenu), or nil.
HMENU MenuBarHandle(ObjectHeader* menuBar);

// The menu bar in effect: the front runtime window's, or the application's
// when no runtime window is in front.
ObjectHeader* CurrentMenuBar();

// Dispatches the item of that command id in the current menu bar to its
// handlers; true when one handled it.
bool ChooseMenuItem(int32_t commandId);

// Brings the current menu bar's Enabled states up to date (every item
// disabled, then enabled for its handlers, then the EnableMenu and
// EnableMenuItems events). frontIsModal: the front window is a modal kind.
void EnableMenuItems(bool frontIsModal);
// The same, working out whether the front window is modal.
void UpdateMenusForFrontWindow();

// MenuBar's _InstallClone.
extern "C" void __cdecl MenuBarInstallClone(ObjectHeader* menuBar, ObjectHeader* installThis);
