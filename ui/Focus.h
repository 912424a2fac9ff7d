// The keyboard focus: the one focus pane of the process, giving and
// clearing it with the controls' GotFocus and LostFocus, the focus a window
// remembers while inactive, Tab order, and the seam through which the menus
// and the keyboard dispatcher reach the focus control.
#pragma once

#include <windows.h>

struct Pane;
struct ViewWindow;

Pane* FocusPane();
bool PaneAcceptsFocus(Pane* pane);
// Gives the pane the focus if it accepts it: remembered as its window's, and
// when the window is active, lost-focus of the old pane and got-focus of the new.
void GiveFocus(Pane* pane);
// Lost-focus processing of the focus pane, which is then nil.
void ClearFocus();
// The focus pane is going: dropped without events if it is this pane.
void DropFocusFrom(Pane* pane);
// Activation of a window: restores the focus it had; deactivation remembers and clears it.
void WindowFocusActivated(ViewWindow* view, bool active);
// Fills in the focus seam for the menus and the keyboard dispatcher.
void InstallFocusSeam();
