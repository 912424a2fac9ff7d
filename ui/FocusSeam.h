// What the menu layer and the keyboard dispatcher ask of the control layer:
// the control whose pane has the keyboard focus, the menu handlers bound to
// it, its own key handling and moving the focus. The control layer fills
// this in when it is installed; until then there is no focus control.
#pragma once

#include <windows.h>

#include <cstdint>

#include "orvane/abi.h"

struct FocusSeam {
    // The focused control object (borrowed), or nil; also nil when the
    // focus pane is a window itself.
    ObjectHeader* (*focusControl)();
    // The handler the control registered under that name (_AddMenuHandler), borrowed, or nil.
    ObjectHeader* (*menuHandler)(ObjectHeader* control, StringValue* name);
    // The focus pane's own handling of a menu command (edit commands); true when handled.
    bool (*defaultCommand)(ObjectHeader* control, StringValue* itemName);
    // Raises the control's EnableMenuItems, if its class has one.
    void (*enableMenuItems)(ObjectHeader* control);
    // Offers the one-character key to the focus control (its pane's key
    // processing: KeyDown, Tab refused without AcceptTabs); true when consumed.
    bool (*keyDown)(ObjectHeader* control, uint8_t key);
    // Tab and Shift+Tab: moves the focus within the top-level window of the
    // handle to the next or previous focusable control; true when consumed.
    bool (*moveFocus)(HWND window, bool backwards);
};

FocusSeam SetFocusSeam(const FocusSeam& seam);  // returns the previous one
const FocusSeam& CurrentFocusSeam();
