// Helpers of the window and control tests: packed property records as
// compiled code passes them, loop iterations, event traces compared with a
// table, screen pixels, and classes built as a module builds them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "loop/runtimemainloop.h"
#include "objects/globalFunctionsDecl.h"
#include "objects/ObjectDefinition.h"
#include "orvane/exports.h"
#include "strings/string.h"

// A big-endian u16 property index, then the value (b: 1 byte, i: 4 bytes
// big-endian, s: u32 length and the bytes).
class Packed {
public:
    Packed& Bool(int index, bool v) { return Index(index).Byte(v ? 1 : 0); }
    Packed& Int(int index, int32_t v) { return Index(index).U32(uint32_t(v)); }
    Packed& Text(int index, const std::string& v) {
        Index(index).U32(uint32_t(v.size()));
        bytes_ += v;
        return *this;
    }
    void SetOn(ObjectHeader* object) const {
        StringHandle data = StringHandle::Adopt(StringMake(bytes_.data(), int32_t(bytes_.size())));
        RuntimeMassPropertySetter(object, data.Get());
    }

private:
    Packed& Byte(int v) {
        bytes_ += char(v);
        return *this;
    }
    Packed& Index(int i) { return Byte(i >> 8).Byte(i & 0xFF); }
    Packed& U32(uint32_t v) { return Byte(v >> 24).Byte((v >> 16) & 0xFF).Byte((v >> 8) & 0xFF).Byte(v & 0xFF); }
    std::string bytes_;
};

// Iterations of the real loop; one with nothing to take gets a message, so
// that its wait ends.
inline void RunIterations(int n) {
    for (int i = 0; i < n; ++i) {
        MSG waiting;
        if (!PeekMessageW(&waiting, nullptr, 0, 0, PM_NOREMOVE)) PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
        RunMainLoopIteration();
    }
}

// Iterations until done() or about two seconds of them.
template <typename F>
bool RunUntil(F done, int rounds = 200) {
    for (int i = 0; i < rounds && !done(); ++i) {
        RunIterations(1);
        Sleep(10);
    }
    return done();
}

struct ExpectedEvent {
    const char* name;
    bool optional;
};

// Empty when the trace follows the table (optional entries may be missing).
inline std::string CompareEvents(const std::vector<std::string>& trace, const std::vector<ExpectedEvent>& expected) {
    size_t t = 0;
    std::string all;
    for (const std::string& s : trace) all += " " + s;
    for (const ExpectedEvent& e : expected) {
        if (t < trace.size() && trace[t] == e.name) {
            ++t;
        } else if (!e.optional) {
            return std::string("expected ") + e.name + " at " + std::to_string(t) + "; trace:" + all;
        }
    }
    if (t < trace.size()) return "unexpected " + trace[t] + " at " + std::to_string(t) + "; trace:" + all;
    return "";
}

// A pixel of the screen at a client point of the window.
inline COLORREF ScreenPixel(HWND window, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

// A subclass of the intrinsic class as compiled module code makes one:
// the base's counts, own fields after the intrinsic part, interfaces left
// for the caller to fill in.
inline ClassRecord* ModuleSubclass(ObjectDefinition* base, const char* name, int32_t ownBytes,
                                   int32_t interfaces = 0) {
    ClassRecord* b = ClassOfDefinition(base);
    ClassRecord* c = RuntimeNewClass(b, b->methodCount, interfaces, b->eventCount, b->staticMethodCount,
                                     b->propertyCount);
    c->name = StringMakeC(name);
    c->instanceSize = b->instanceSize + ownBytes;
    return c;
}
