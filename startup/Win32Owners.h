// Owners of everything the runtime must give back to the system: GDI objects,
// device contexts and objects selected into them, kernel handles (files,
// mutexes), find handles, modules, COM initialisation and COM pointers, shell
// item lists. Each owner is movable and never copyable; a moved-from owner is
// empty. Header only, and a leaf: it uses nothing of the runtime.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

// ---- One owner, many kinds of handle -------------------------------------------------

// Traits say what is empty and how a handle is given back.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const { return h_; }
    bool IsValid() const { return Traits::IsValid(h_); }
    explicit operator bool() const { return IsValid(); }
    // Gives back the handle held (if any) and holds h.
    void Reset(Handle h = Traits::Empty()) {
        Handle old = h_;
        h_ = h;
        if (Traits::IsValid(old)) Traits::Free(old);
    }
    // Hands the handle to the caller, who frees it.
    Handle Release() {
        Handle h = h_;
        h_ = Traits::Empty();
        return h;
    }

private:
    Handle h_ = Traits::Empty();
};

template <typename H>
struct GdiObjectTraits {
    using Handle = H;
    static H Empty() { return nullptr; }
    static bool IsValid(H h) { return h != nullptr; }
    static void Free(H h) { DeleteObject(h); }
};

struct CreatedDCTraits {
    using Handle = HDC;
    static HDC Empty() { return nullptr; }
    static bool IsValid(HDC h) { return h != nullptr; }
    static void Free(HDC h) { DeleteDC(h); }
};

// CreateFile fails with INVALID_HANDLE_VALUE, CreateMutex with nil: neither is closed.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { FindClose(h); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static HMODULE Empty() { return nullptr; }
    static bool IsValid(HMODULE h) { return h != nullptr; }
    static void Free(HMODULE h) { FreeLibrary(h); }
};

struct WindowTraits {
    using Handle = HWND;
    static HWND Empty() { return nullptr; }
    static bool IsValid(HWND h) { return h != nullptr; }
    static void Free(HWND h) { DestroyWindow(h); }
};

// A pen, brush, font, bitmap or region; DeleteObject.
template <typename H>
using GdiHandle = UniqueHandle<GdiObjectTraits<H>>;
// A device context the runtime created; DeleteDC.
using CreatedDC = UniqueHandle<CreatedDCTraits>;
// A file, mutex, thread or process handle; CloseHandle.
using KernelHandle = UniqueHandle<KernelHandleTraits>;
// A search of FindFirstFile; FindClose.
using FindHandle = UniqueHandle<FindHandleTraits>;
// A library of LoadLibrary; FreeLibrary.
using ModuleHandle = UniqueHandle<ModuleTraits>;
// A window the runtime created; DestroyWindow.
using WindowHandle = UniqueHandle<WindowTraits>;

// ---- Device contexts ------------------------------------------------------------------

// A memory device context compatible with the screen.
class MemoryDC : public CreatedDC {
public:
    MemoryDC() : CreatedDC(CreateCompatibleDC(nullptr)) {}
};

// The device context of a window (GetDC), released to it when done.
class WindowDC {
public:
    WindowDC() = default;
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { Reset(); }
    WindowDC(WindowDC&& other) noexcept : window_(other.window_), dc_(other.dc_) { other.dc_ = nullptr; }
    WindowDC& operator=(WindowDC&& other) noexcept {
        if (this != &other) {
            Reset();
            window_ = other.window_;
            dc_ = other.dc_;
            other.dc_ = nullptr;
        }
        return *this;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }
    void Reset() {
        if (dc_) ReleaseDC(window_, dc_);
        dc_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// An object selected into a device context; the previous one is selected
// back when done. Nothing is selected for a nil context or object.
class SelectedObject {
public:
    SelectedObject() = default;
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() { Reset(); }
    SelectedObject(SelectedObject&& other) noexcept : dc_(other.dc_), previous_(other.previous_) {
        other.previous_ = nullptr;
    }
    SelectedObject& operator=(SelectedObject&& other) noexcept {
        if (this != &other) {
            Reset();
            dc_ = other.dc_;
            previous_ = other.previous_;
            other.previous_ = nullptr;
        }
        return *this;
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    // Selects the previous object back now.
    void Reset() {
        if (previous_) SelectObject(dc_, previous_);
        previous_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// The mouse capture taken by a window, given back when done (if the window
// still holds it).
class MouseCapture {
public:
    MouseCapture() = default;
    explicit MouseCapture(HWND window) : window_(window) {
        if (window_) SetCapture(window_);
    }
    ~MouseCapture() { Reset(); }
    MouseCapture(MouseCapture&& other) noexcept : window_(other.window_) { other.window_ = nullptr; }
    MouseCapture& operator=(MouseCapture&& other) noexcept {
        if (this != &other) {
            Reset();
            window_ = other.window_;
            other.window_ = nullptr;
        }
        return *this;
    }
    MouseCapture(const MouseCapture&) = delete;
    MouseCapture& operator=(const MouseCapture&) = delete;
    HWND Get() const { return window_; }
    void Reset() {
        if (window_ && GetCapture() == window_) ReleaseCapture();
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
};

// The painting of one WM_PAINT: BeginPaint, and EndPaint when done.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintDC() {
        if (dc_) EndPaint(window_, &paint_);
    }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC Get() const { return dc_; }
    const RECT& Area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// ---- COM --------------------------------------------------------------------------------

// COM initialised on this thread for the life of the owner (CoInitialize);
// uninitialised only when the initialisation succeeded.
class ComInitialization {
public:
    ComInitialization() : result_(CoInitialize(nullptr)) {}
    ~ComInitialization() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComInitialization(ComInitialization&& other) noexcept : result_(other.result_) { other.result_ = E_FAIL; }
    ComInitialization& operator=(ComInitialization&& other) noexcept {
        if (this != &other) {
            if (SUCCEEDED(result_)) CoUninitialize();
            result_ = other.result_;
            other.result_ = E_FAIL;
        }
        return *this;
    }
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// One reference to a COM interface.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    // For calls that hand out a reference: the one held is released first.
    void** Out() {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// An item list of the shell, freed with the shell's allocator.
class ShellItemList {
public:
    ShellItemList() = default;
    ~ShellItemList() { Reset(); }
    ShellItemList(ShellItemList&& other) noexcept : list_(other.list_) { other.list_ = nullptr; }
    ShellItemList& operator=(ShellItemList&& other) noexcept {
        if (this != &other) {
            Reset();
            list_ = other.list_;
            other.list_ = nullptr;
        }
        return *this;
    }
    ShellItemList(const ShellItemList&) = delete;
    ShellItemList& operator=(const ShellItemList&) = delete;
    // For calls that hand out a list: the one held is freed first.
    LPITEMIDLIST* Out() {
        Reset();
        return &list_;
    }
    LPCITEMIDLIST Get() const { return list_; }
    void Reset() {
        if (!list_) return;
        IMalloc* shellMalloc = nullptr;
        if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc) {
            shellMalloc->Free(list_);
            shellMalloc->Release();
        }
        list_ = nullptr;
    }

private:
    LPITEMIDLIST list_ = nullptr;
};
