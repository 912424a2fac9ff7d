// RAII for GDI: one small owner per kind of handle, none copyable.
#pragma once

#include <windows.h>

// Owns a pen, brush, font, bitmap or region; DeleteObject when done.
template <typename Handle>
class GdiHandle {
public:
    GdiHandle() = default;
    explicit GdiHandle(Handle h) : h_(h) {}
    ~GdiHandle() { Reset(); }
    GdiHandle(const GdiHandle&) = delete;
    GdiHandle& operator=(const GdiHandle&) = delete;
    Handle Get() const { return h_; }
    void Reset(Handle h = nullptr) {
        if (h_) DeleteObject(h_);
        h_ = h;
    }
    Handle Release() {
        Handle h = h_;
        h_ = nullptr;
        return h;
    }

private:
    Handle h_ = nullptr;
};

// A memory device context, deleted when done.
class MemoryDC {
public:
    MemoryDC() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDC() {
        if (dc_) DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// An object selected into a device context; the previous one is selected back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (previous_) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
