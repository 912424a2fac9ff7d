// The owner of one object reference, beside StringHandle and with its words:
// Adopt a reference the caller owns, Borrow (take a new reference to) one
// that is lent, Release it to the caller, Retained for one more.
#pragma once

#include "orvane/abi.h"
#include "orvane/exports.h"

class ObjectHandle {
public:
    ObjectHandle() = default;
    // Adopts a reference the caller owns (for example the result of RuntimeNewObject).
    static ObjectHandle Adopt(ObjectHeader* o) {
        ObjectHandle h;
        h.o_ = o;
        return h;
    }
    // Takes a new reference to a borrowed object.
    static ObjectHandle Borrow(ObjectHeader* o) {
        RuntimeLockObject(o);
        return Adopt(o);
    }
    ObjectHandle(const ObjectHandle& other) : o_(other.o_) { RuntimeLockObject(o_); }
    ObjectHandle(ObjectHandle&& other) noexcept : o_(other.o_) { other.o_ = nullptr; }
    ~ObjectHandle() { RuntimeUnlockObject(o_); }
    // Locks the new object before unlocking the old, as assignment does everywhere.
    ObjectHandle& operator=(const ObjectHandle& other) {
        ObjectHeader* old = o_;
        o_ = other.o_;
        RuntimeLockObject(o_);
        RuntimeUnlockObject(old);
        return *this;
    }
    ObjectHandle& operator=(ObjectHandle&& other) noexcept {
        if (this != &other) {
            ObjectHeader* old = o_;
            o_ = other.o_;
            other.o_ = nullptr;
            RuntimeUnlockObject(old);
        }
        return *this;
    }

    ObjectHeader* Get() const { return o_; }
    bool IsEmpty() const { return o_ == nullptr; }
    explicit operator bool() const { return o_ != nullptr; }
    // Hands the reference to the caller (how an entry point returns its result).
    ObjectHeader* Release() {
        ObjectHeader* o = o_;
        o_ = nullptr;
        return o;
    }
    // One more reference for the caller; the handle keeps its own.
    ObjectHeader* Retained() const {
        RuntimeLockObject(o_);
        return o_;
    }
    // Gives up the reference held, and adopts o.
    void Reset(ObjectHeader* o = nullptr) {
        ObjectHeader* old = o_;
        o_ = o;
        RuntimeUnlockObject(old);
    }

private:
    ObjectHeader* o_ = nullptr;
};
