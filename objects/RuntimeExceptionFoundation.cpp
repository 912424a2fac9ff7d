#include "objects/RuntimeExceptionFoundation.h"

#include <windows.h>

#include <cstring>

#include "objects/RuntimeObjectFoundation.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"

namespace {

ExceptionHook gRaiseHook = nullptr;
ExceptionHook gUnhandledHook = nullptr;
ClassRecord* gNilObjectClass = nullptr;
ClassRecord* gIllegalCastClass = nullptr;
ClassRecord* gOutOfBoundsClass = nullptr;

// The search follows saved frame pointers in steps of at most this many bytes.
constexpr uintptr_t kFrameStepLimit = 4096;

// IsBadReadPtr finds out by touching the memory: on a stack guard page that
// costs the guard, and where faults are not delivered (Wine under an
// emulator) it ends the process. Asking for the regions first keeps it to
// committed, readable memory, where both answers agree.
bool RegionsReadable(uintptr_t at, uintptr_t n) {
    uintptr_t end = at + n;
    if (end < at) return false;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (!VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info)) return false;
        if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
            !(info.Protect & readable))
            return false;
        at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

bool Readable(const void* p, UINT_PTR n) {
    return RegionsReadable(reinterpret_cast<uintptr_t>(p), n) && !IsBadReadPtr(p, n);
}

// The landing block behind the return address ret, past the stack
// adjustments the compiler may put first (81 C4 imm32, then 80 C4 imm8);
// nil when there is none or it is inactive.
const uint8_t* LandingBlockAt(uintptr_t ret) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(ret);
    // Only 4 bytes at ret are known to be readable; every further read is
    // checked too, so that a stray return address costs a miss, not a fault.
    if (p[0] == 0x81 && p[1] == 0xC4) p += 6;
    if (Readable(p, 2) && p[0] == 0x80 && p[1] == 0xC4) p += 3;
    if (!Readable(p, kLandingVariableAt + 2)) return nullptr;
    uint32_t marker;
    std::memcpy(&marker, p + kLandingMarkerAt, 4);
    if (p[0] != kLandingJumpOpcode || p[1] != kLandingJumpDistance || marker != kLandingActive)
        return nullptr;
    return p;
}

// Walks the frame-pointer chain from its own frame. At the first frame whose
// return address is followed by an active landing block, stores the exception
// into the owner's exception variable (with a reference) and sends that
// return to the block's stack adjustment; the frames below return normally.
// Must keep its own frame: the walk starts there.
__attribute__((noinline)) void SearchLandingBlock(ObjectHeader* exception) {
    uintptr_t frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    while (frame) {
        uintptr_t* record = reinterpret_cast<uintptr_t*>(frame);
        if (!Readable(record, 12)) break;
        uintptr_t next = record[0];
        uintptr_t ret = record[1];
        if (ret && Readable(reinterpret_cast<const void*>(ret), 4)) {
            if (const uint8_t* block = LandingBlockAt(ret)) {
                int16_t offset;
                std::memcpy(&offset, block + kLandingVariableAt, 2);
                if (offset != 0) {
                    ObjectHeader** variable = reinterpret_cast<ObjectHeader**>(next + intptr_t(offset));
                    ObjectHeader* old = *variable;
                    *variable = exception;
                    RuntimeLockUnlockObjects(exception, old);
                }
                record[1] = reinterpret_cast<uintptr_t>(block + kLandingAdjustAt);
                return;
            }
        }
        // The caller's frame lies above; a frame that names itself ends the
        // chain as well, or the walk would never end.
        if (next <= frame || next - frame > kFrameStepLimit) break;
        frame = next;
    }
    RuntimeUnhandledException(exception);
}

// An exception whose allocation fails raises NilObjectException; when that
// one cannot be made either, nothing more is raised.
int gCreatingException = 0;

ObjectHeader* NewException(ClassRecord* cls) {
    if (!cls || gCreatingException > 1) return nullptr;
    ++gCreatingException;
    ObjectHeader* exception = RuntimeNewObject(cls);
    --gCreatingException;
    return exception;
}

}  // namespace

ExceptionHook SetRaiseHook(ExceptionHook hook) {
    ExceptionHook previous = gRaiseHook;
    gRaiseHook = hook;
    return previous;
}

ExceptionHook SetUnhandledExceptionHook(ExceptionHook hook) {
    ExceptionHook previous = gUnhandledHook;
    gUnhandledHook = hook;
    return previous;
}

void SetNilObjectExceptionClass(ClassRecord* cls) {
    if (!cls) RUNTIME_FIXED_REPORT(kReportNilExceptionClassNilObject);
    gNilObjectClass = cls;
}

void SetIllegalCastExceptionClass(ClassRecord* cls) {
    if (!cls) RUNTIME_FIXED_REPORT(kReportNilExceptionClassIllegalCast);
    gIllegalCastClass = cls;
}

void SetOutOfBoundsExceptionClass(ClassRecord* cls) {
    if (!cls) RUNTIME_FIXED_REPORT(kReportNilExceptionClassOutOfBounds);
    gOutOfBoundsClass = cls;
}

ClassRecord* NilObjectExceptionClass() { return gNilObjectClass; }
ClassRecord* IllegalCastExceptionClass() { return gIllegalCastClass; }
ClassRecord* OutOfBoundsExceptionClass() { return gOutOfBoundsClass; }

void RaiseNewException(ClassRecord* cls) {
    ObjectHeader* exception = NewException(cls);
    if (!exception) return;
    RuntimeRaiseException(exception);
    RuntimeUnlockObject(exception);
}

void RaiseExceptionWithMessage(ClassRecord* cls, StringValue* message, int32_t errorNumber) {
    ObjectHeader* exception = NewException(cls);
    if (!exception) return;
    // Only an instance with the RuntimeException fields has room for them.
    if (cls->instanceSize >= kExceptionInstanceSize) {
        uint8_t* fields = reinterpret_cast<uint8_t*>(exception);
        std::memcpy(fields + kExceptionErrorNumberAt, &errorNumber, 4);
        StringValue* held = StringRetain(message);
        std::memcpy(fields + kExceptionMessageAt, &held, 4);
    }
    RuntimeRaiseException(exception);
    RuntimeUnlockObject(exception);
}

void RaiseNilObjectException() { RaiseNewException(gNilObjectClass); }
void RaiseIllegalCastException() { RaiseNewException(gIllegalCastClass); }
void RaiseOutOfBoundsException() { RaiseNewException(gOutOfBoundsClass); }

extern "C" void RuntimeRaiseException(ObjectHeader* exception) {
    // Landing with nil would look like no exception at all to the clean-up code.
    if (!exception) {
        RaiseNilObjectException();
        return;
    }
    if (gRaiseHook) gRaiseHook(exception);
    SearchLandingBlock(exception);
}

extern "C" void RuntimeReraiseException(ObjectHeader* exception) {
    if (!exception) {
        RaiseNilObjectException();
        return;
    }
    SearchLandingBlock(exception);
}

extern "C" void RuntimeUnhandledException(ObjectHeader* exception) {
    if (gUnhandledHook)
        gUnhandledHook(exception);
    else
        RUNTIME_FIXED_REPORT(kReportUnhandledWithoutHook);
}

extern "C" void RuntimeNilObject(void) { RaiseNilObjectException(); }

// No stack-overflow check exists at run time.
extern "C" void RuntimeStackCheck(void) {}
