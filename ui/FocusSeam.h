// What the menu layer asks of the control layer: the control whose pane has
// the keyboard focus and the menu handlers bound to it. The control layer
// fills this in when it is installed; until then there is no focus control.
#pragma once

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
};

FocusSeam SetFocusSeam(const FocusSeam& seam);  // returns the previous one
const FocusSeam& CurrentFocusSeam();
