#include "objects/StringMap.h"

#include <cstring>

#include "strings/string.h"
#include "strings/utility.h"

struct StringMap::Entry {
    Entry* chain;  // next in the same bucket
    Entry* prev;   // insertion order
    Entry* next;
    StringValue* key;  // one reference
    void* value;
    uint32_t hash;  // kept so growing does not rehash the texts
};

namespace {
constexpr int32_t kFirstBucketCount = 256;
constexpr int32_t kEntrySize = int32_t(sizeof(StringMap::Entry));

const uint8_t* KeyBytes(const StringValue* key) {
    return reinterpret_cast<const uint8_t*>(StringText(key));
}

StringMap::Entry** NewBuckets(int32_t count) {
    int32_t bytes = count * int32_t(sizeof(StringMap::Entry*));
    auto buckets = static_cast<StringMap::Entry**>(PoolAlloc(bytes, false));
    std::memset(buckets, 0, bytes);
    return buckets;
}

void FreeBuckets(StringMap::Entry** buckets, int32_t count) {
    PoolFree(buckets, count * int32_t(sizeof(StringMap::Entry*)));
}
}  // namespace

StringMap::~StringMap() { Clear(); }

uint32_t StringMap::Hash(const void* bytes, int32_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t hash = 0;
    for (int32_t i = 0; i < n; ++i) {
        uint8_t c = p[i];
        if (c >= 'a' && c <= 'z') c = uint8_t(c - ('a' - 'A'));
        hash = hash * 31u + uint32_t(int32_t(int8_t(c)));
    }
    return hash;
}

StringMap::Entry* StringMap::FindEntry(const uint8_t* bytes, int32_t n, uint32_t hash) const {
    if (!buckets_) return nullptr;
    for (Entry* e = buckets_[hash % uint32_t(bucketCount_)]; e; e = e->chain) {
        if (e->hash == hash &&
            CompareBytesText(KeyBytes(e->key), StringLength(e->key), bytes, n) == 0)
            return e;
    }
    return nullptr;
}

void StringMap::Link(Entry* e) {
    Entry*& bucket = buckets_[e->hash % uint32_t(bucketCount_)];
    e->chain = bucket;
    bucket = e;
}

void StringMap::Grow() {
    FreeBuckets(buckets_, bucketCount_);
    bucketCount_ *= 2;
    buckets_ = NewBuckets(bucketCount_);
    for (Entry* e = head_; e; e = e->next) Link(e);
}

void StringMap::Insert(StringValue* key, void* value) {
    const uint8_t* bytes = KeyBytes(key);
    int32_t n = StringLength(key);
    uint32_t hash = Hash(bytes, n);
    if (Entry* found = FindEntry(bytes, n, hash)) {
        found->value = value;
        return;
    }
    if (!buckets_) {
        bucketCount_ = kFirstBucketCount;
        buckets_ = NewBuckets(bucketCount_);
    }
    Entry* e = static_cast<Entry*>(PoolAlloc(kEntrySize, false));
    e->key = StringRetain(key);
    e->value = value;
    e->hash = hash;
    e->prev = tail_;
    e->next = nullptr;
    (tail_ ? tail_->next : head_) = e;
    tail_ = e;
    Link(e);
    ++count_;
    // More than three quarters full.
    if (int64_t(count_) * 4 > int64_t(bucketCount_) * 3) Grow();
}

bool StringMap::FindBytes(const void* bytes, int32_t n, void** value) const {
    if (n < 0 || (n > 0 && !bytes)) return false;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    Entry* e = FindEntry(p, n, Hash(p, n));
    if (e && value) *value = e->value;
    return e != nullptr;
}

bool StringMap::Find(StringValue* key, void** value) const {
    return FindBytes(KeyBytes(key), StringLength(key), value);
}

bool StringMap::FindText(const char* text, void** value) const {
    return FindBytes(text, text ? int32_t(std::strlen(text)) : 0, value);
}

bool StringMap::Remove(StringValue* key) {
    const uint8_t* bytes = KeyBytes(key);
    int32_t n = StringLength(key);
    Entry* e = FindEntry(bytes, n, Hash(bytes, n));
    if (!e) return false;
    Entry** link = &buckets_[e->hash % uint32_t(bucketCount_)];
    while (*link != e) link = &(*link)->chain;
    *link = e->chain;
    (e->prev ? e->prev->next : head_) = e->next;
    (e->next ? e->next->prev : tail_) = e->prev;
    --count_;
    StringRelease(e->key);
    PoolFree(e, kEntrySize);
    return true;
}

void StringMap::Clear() {
    for (Entry* e = head_; e;) {
        Entry* next = e->next;
        StringRelease(e->key);
        PoolFree(e, kEntrySize);
        e = next;
    }
    FreeBuckets(buckets_, bucketCount_);
    buckets_ = nullptr;
    bucketCount_ = 0;
    count_ = 0;
    head_ = tail_ = nullptr;
}

const StringMap::Entry* StringMap::Next(const Entry* e) { return e ? e->next : nullptr; }
StringValue* StringMap::KeyOf(const Entry* e) { return e ? e->key : nullptr; }
void* StringMap::ValueOf(const Entry* e) { return e ? e->value : nullptr; }
