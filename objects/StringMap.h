// The runtime's hash table keyed by string values: class cache, definition
// registry, export name map, menu-handler maps, a window's control list.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

// Keys compare without regard to letter case (the Roman table) and hash with
// a-z folded. Entries are kept on an insertion-order list that iteration
// follows. The map holds one reference to each key; values are not owned.
// The nil key is the empty string and is a key like any other.
class StringMap {
public:
    struct Entry;

    StringMap() = default;
    ~StringMap();
    StringMap(const StringMap&) = delete;
    StringMap& operator=(const StringMap&) = delete;

    // Adds key -> value; an existing key keeps its entry, position and key
    // record and only takes the new value (the old one is not released).
    void Insert(StringValue* key, void* value);
    // True when key is present; its value goes to *value when that is given.
    bool Find(StringValue* key, void** value = nullptr) const;
    // The same for raw bytes or a C string; allocates nothing.
    bool FindBytes(const void* bytes, int32_t n, void** value = nullptr) const;
    bool FindText(const char* text, void** value = nullptr) const;
    // Unlinks the entry and releases its key; false when key is absent.
    bool Remove(StringValue* key);
    // Removes every entry and gives the bucket array back.
    void Clear();

    int32_t Count() const { return count_; }
    // 0 until the first insertion.
    int32_t BucketCount() const { return bucketCount_; }

    // Insertion order: First() then Next() until nil.
    const Entry* First() const { return head_; }
    static const Entry* Next(const Entry* e);
    static StringValue* KeyOf(const Entry* e);
    static void* ValueOf(const Entry* e);

    // Calls f(key, value) in insertion order. The next entry is fetched before
    // f runs, so f may remove the entry it was given (and no other).
    template <typename F>
    void ForEach(F&& f) const {
        for (const Entry* e = head_; e;) {
            const Entry* next = Next(e);
            f(KeyOf(e), ValueOf(e));
            e = next;
        }
    }

    // The key hash: h = h * 31 + c over the bytes, c folded a-z to upper case
    // and taken as a signed byte, in 32-bit wrap-around.
    static uint32_t Hash(const void* bytes, int32_t n);

private:
    Entry* FindEntry(const uint8_t* bytes, int32_t n, uint32_t hash) const;
    void Link(Entry* e);
    void Grow();

    Entry** buckets_ = nullptr;
    int32_t bucketCount_ = 0;
    int32_t count_ = 0;
    Entry* head_ = nullptr;
    Entry* tail_ = nullptr;
};
