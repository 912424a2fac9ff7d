#include "ui/WindowFrames.h"

namespace {

// Frame value 0-10 -> internal code and default placement.
const FrameMapping kFrames[] = {
    {8, 4}, {3, 2}, {2, 2}, {1, 0}, {4, 2}, {5, 2}, {6, 4}, {9, 0}, {10, 0}, {11, 4}, {12, 0},
};

int16_t Clamp16(int32_t v) { return int16_t(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

}  // namespace

FrameMapping MapFrame(int32_t frame) {
    if (frame < 0 || frame > 10) return FrameMapping{kFrameCodeUnknown, 4};
    return kFrames[frame];
}

int32_t NormaliseFrameCode(int32_t code, bool mdiMode) {
    if (code == 12) return 1;
    if (mdiMode && code == 6) return 0;
    if (!mdiMode && code == 11) return 8;
    return code;
}

FrameStyle StyleForFrameCode(int32_t code, bool closeBox, bool growIcon, bool zoomIcon, bool mdiMode) {
    FrameStyle f = {WS_CAPTION, 0, true, false, false, false};
    switch (code) {
        case 1:  // floating window with a small caption
            f.style = WS_POPUP | WS_CAPTION;
            f.exStyle = WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;
            break;
        case 2:  // plain dialog box
            f.style = WS_POPUP | WS_DLGFRAME;
            f = FrameStyle{f.style, 0, false, true, true, false};
            break;
        case 3:  // movable modal dialog
        case 10:
            f = FrameStyle{WS_POPUP | WS_CAPTION, WS_EX_DLGMODALFRAME, false, true, true, false};
            break;
        case 4:  // bordered modal, no owner
            f = FrameStyle{WS_POPUP | WS_BORDER, 0, false, false, true, false};
            break;
        case 5:
            f = FrameStyle{WS_POPUP | WS_BORDER, WS_EX_CLIENTEDGE, false, false, true, false};
            break;
        case 6:  // document window that cannot be resized
            f.resizable = false;
            f.mdiChild = mdiMode;
            break;
        case 9:  // floating window above all others
            f.style = WS_POPUP | WS_CAPTION;
            f.exStyle = WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE | WS_EX_TOPMOST;
            break;
        default:  // 0, 8, 11 and unknown codes: document window
            f.mdiChild = mdiMode;
            break;
    }
    if (growIcon) f.style |= WS_THICKFRAME;
    if (closeBox) f.style |= WS_SYSMENU;
    if (zoomIcon) f.style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU;
    // A fixed frame keeps no sizing border, or the system would let it be dragged.
    if (!f.resizable) f.style &= ~DWORD(WS_THICKFRAME);
    return f;
}

ScreenArea MainScreenArea() {
    RECT work = {0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return ScreenArea{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), work.left, work.top};
}

POINT PlacementOffset(int32_t placement, int32_t defaultPlacement, const Rect16& bounds, const ScreenArea& screen) {
    switch (placement != 0 ? placement : defaultPlacement) {
        case 0: return POINT{4, 100};
        case 1:
        case 2:
        case 3: return POINT{(screen.width - bounds.right) / 2, (screen.height - bounds.bottom) / 4};
        case 4: return POINT{screen.availableLeft + 10, screen.availableTop + 50};
        default: return POINT{0, 0};
    }
}

Rect16 OffsetRect16(const Rect16& r, int32_t dx, int32_t dy) {
    return Rect16{Clamp16(r.top + dy), Clamp16(r.left + dx), Clamp16(r.bottom + dy), Clamp16(r.right + dx)};
}

void ClampSizingRect(RECT* window, WPARAM edge, const SizeLimits& limits, int32_t frameWidth, int32_t frameHeight) {
    if (!window) return;
    if (!limits.minWidth && !limits.minHeight && !limits.maxWidth && !limits.maxHeight) return;
    const bool movesLeft = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
    const bool movesTop = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
    int32_t width = window->right - window->left - frameWidth;
    int32_t height = window->bottom - window->top - frameHeight;
    if (width > limits.maxWidth) width = limits.maxWidth;
    if (width < limits.minWidth) width = limits.minWidth;
    if (height > limits.maxHeight) height = limits.maxHeight;
    if (height < limits.minHeight) height = limits.minHeight;
    if (movesLeft) window->left = window->right - width - frameWidth;
    else window->right = window->left + width + frameWidth;
    if (movesTop) window->top = window->bottom - height - frameHeight;
    else window->bottom = window->top + height + frameHeight;
}
