// The Canvas class: a control the application draws on freely, its pane on
// TW_CanvasPane, painting with the backdrop and Paint, the cached Graphics
// of its property, scrolling, keys and focus.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

struct ObjectDefinition;

ObjectDefinition* CanvasDefinition();

// Events of Canvas in table order after those of RectControl.
enum CanvasEvent : int32_t {
    kCanvasPaint, kCanvasGotFocus, kCanvasLostFocus, kCanvasKeyDown, kCanvasMouseDown, kCanvasMouseDrag,
    kCanvasMouseUp, kCanvasEnableMenuItems, kCanvasEventCount
};
