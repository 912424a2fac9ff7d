// Frames and placements of top-level windows: the public Frame value, the
// internal frame code it maps to, the Win32 styles of that code, where a
// placement moves the requested rectangle, and the clamping of a drag by
// the window's size limits. Pure rules over numbers.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/WindowObject.h"

// A Frame outside 0-10: treated as a document window.
constexpr int32_t kFrameCodeUnknown = 0xCC;

struct FrameMapping {
    int32_t code;              // internal frame code
    int32_t defaultPlacement;  // used when Placement is 0
};
FrameMapping MapFrame(int32_t frame);

// 12 becomes 1; in MDI mode 6 becomes 0, outside it 11 becomes 8.
int32_t NormaliseFrameCode(int32_t code, bool mdiMode);

struct FrameStyle {
    DWORD style;
    DWORD exStyle;
    bool resizable;  // false for the fixed frames, whatever GrowIcon says
    bool owned;      // gets the owner of CreateWindowEx
    bool modal;      // pushed on the modal stack
    bool mdiChild;   // a document window in MDI mode
};
// The styles of a normalised code with the box properties added.
FrameStyle StyleForFrameCode(int32_t code, bool closeBox, bool growIcon, bool zoomIcon, bool mdiMode);

// What a placement needs to know of the screen.
struct ScreenArea {
    int32_t width, height;              // the main screen
    int32_t availableLeft, availableTop;  // its work area
};
ScreenArea MainScreenArea();

// The offset by which Placement (or, for 0, the frame's default placement)
// moves the requested rectangle; both edges move.
POINT PlacementOffset(int32_t placement, int32_t defaultPlacement, const Rect16& bounds, const ScreenArea& screen);
Rect16 OffsetRect16(const Rect16& r, int32_t dx, int32_t dy);

// Size limits of the client area during a drag.
struct SizeLimits {
    int32_t minWidth, minHeight, maxWidth, maxHeight;
};
// Clamps the window rectangle being dragged at edge (WMSZ_*) so that its
// client area, the window less frameWidth x frameHeight of frame, caption
// and menu, stays within the limits; all four 0 clamps nothing. The minimum
// wins over a smaller maximum.
void ClampSizingRect(RECT* window, WPARAM edge, const SizeLimits& limits, int32_t frameWidth, int32_t frameHeight);
