// Owners of one reference to a string value or an object, for module code:
// every string and object the route code gets from the runtime is held by
// one of these, so each reference is released exactly once.
#pragma once

#include "orvane/exports.h"

namespace route {

class Text {
public:
    Text() = default;
    static Text Adopt(StringValue* s) {
        Text t;
        t.s_ = s;
        return t;
    }
    static Text Borrow(StringValue* s) {
        RuntimeLockString(s);
        return Adopt(s);
    }
    ~Text() { RuntimeUnlockString(s_); }
    Text(const Text& other) : s_(other.s_) { RuntimeLockString(s_); }
    Text(Text&& other) : s_(other.s_) { other.s_ = nullptr; }
    Text& operator=(const Text& other) {
        RuntimeLockUnlockStrings(other.s_, s_);
        s_ = other.s_;
        return *this;
    }
    Text& operator=(Text&& other) {
        if (this != &other) {
            RuntimeUnlockString(s_);
            s_ = other.s_;
            other.s_ = nullptr;
        }
        return *this;
    }

    StringValue* Get() const { return s_; }
    StringValue* Release() {
        StringValue* s = s_;
        s_ = nullptr;
        return s;
    }
    bool IsEmpty() const { return !s_ || s_->length == 0; }
    int32_t Length() const { return s_ ? s_->length : 0; }
    // The bytes (not NUL-terminated for the caller's purposes); nil text has none.
    const uint8_t* Bytes() const { return s_ ? s_->text + 1 : nullptr; }

private:
    StringValue* s_ = nullptr;
};

inline Text Join(StringValue* a, StringValue* b) { return Text::Adopt(RuntimeAddString(a, b)); }

class Object {
public:
    Object() = default;
    static Object Adopt(ObjectHeader* o) {
        Object r;
        r.o_ = o;
        return r;
    }
    static Object Borrow(ObjectHeader* o) {
        RuntimeLockObject(o);
        return Adopt(o);
    }
    ~Object() { RuntimeUnlockObject(o_); }
    Object(const Object& other) : o_(other.o_) { RuntimeLockObject(o_); }
    Object(Object&& other) : o_(other.o_) { other.o_ = nullptr; }
    Object& operator=(Object other) {
        ObjectHeader* t = o_;
        o_ = other.o_;
        other.o_ = t;
        return *this;
    }

    ObjectHeader* Get() const { return o_; }
    ObjectHeader* Release() {
        ObjectHeader* o = o_;
        o_ = nullptr;
        return o;
    }
    explicit operator bool() const { return o_ != nullptr; }

private:
    ObjectHeader* o_ = nullptr;
};

}  // namespace route
