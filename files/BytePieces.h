// Bytes collected piece by piece and made into one string value at the end:
// every byte is copied once into a piece and once into the result, however
// many pieces there are.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "strings/string.h"

class BytePieces {
public:
    BytePieces() = default;
    ~BytePieces() {
        Chunk* c = chain_;
        while (c) {
            Chunk* next = c->next;
            HeapFree(GetProcessHeap(), 0, c);
            c = next;
        }
    }
    BytePieces(const BytePieces&) = delete;
    BytePieces& operator=(const BytePieces&) = delete;

    void Add(const uint8_t* bytes, int32_t n) {
        if (n <= 0 || failed_) return;
        if (int64_t(length_) + n > kMaxLength) {
            failed_ = true;
            return;
        }
        length_ += n;
        int32_t room = kInline - inlineLength_;
        if (room > 0) {
            int32_t take = n < room ? n : room;
            std::memcpy(inline_ + inlineLength_, bytes, size_t(take));
            inlineLength_ += take;
            bytes += take;
            n -= take;
        }
        while (n > 0) {
            if (!last_ || last_->used == last_->size) {
                if (!NewChunk(n)) return;
            }
            int32_t take = last_->size - last_->used;
            if (take > n) take = n;
            std::memcpy(last_->bytes() + last_->used, bytes, size_t(take));
            last_->used += take;
            bytes += take;
            n -= take;
        }
    }

    int32_t Length() const { return failed_ ? 0 : length_; }

    // One string value of all the bytes, tagged with encoding; nil when empty
    // or when memory ran out on the way.
    StringHandle Make(uint32_t encoding) const {
        if (failed_ || length_ == 0) return StringHandle();
        StringHandle out = StringHandle::Adopt(StringMake(nullptr, length_));
        if (StringValue* s = out.Get()) {
            uint8_t* to = s->text + 1;
            std::memcpy(to, inline_, size_t(inlineLength_));
            to += inlineLength_;
            for (const Chunk* c = chain_; c; c = c->next) {
                std::memcpy(to, c->bytes(), size_t(c->used));
                to += c->used;
            }
            s->encoding = encoding;
        }
        return out;
    }

private:
    static constexpr int32_t kInline = 1024;
    static constexpr int32_t kFirstChunk = 64 * 1024;
    static constexpr int32_t kLargestChunk = 4 * 1024 * 1024;
    static constexpr int32_t kMaxLength = 0x7FFFFFF0;

    struct Chunk {
        Chunk* next;
        int32_t size;
        int32_t used;
        uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this + 1); }
        const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this + 1); }
    };

    bool NewChunk(int32_t atLeast) {
        // Chunks grow with the text so that a long one needs few of them.
        int32_t size = last_ ? last_->size * 2 : kFirstChunk;
        if (size > kLargestChunk) size = kLargestChunk;
        if (size < atLeast) size = atLeast;
        void* block = HeapAlloc(GetProcessHeap(), 0, sizeof(Chunk) + size_t(size));
        if (!block) {
            failed_ = true;
            return false;
        }
        Chunk* c = static_cast<Chunk*>(block);
        c->next = nullptr;
        c->size = size;
        c->used = 0;
        (last_ ? last_->next : chain_) = c;
        last_ = c;
        return true;
    }

    uint8_t inline_[kInline];
    int32_t inlineLength_ = 0;
    int32_t length_ = 0;
    Chunk* chain_ = nullptr;
    Chunk* last_ = nullptr;
    bool failed_ = false;
};
