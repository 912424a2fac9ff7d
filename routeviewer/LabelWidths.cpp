#include "routeviewer/LabelWidths.h"

namespace route {

namespace {

constexpr int32_t kSlots = 4096;  // a power of two
constexpr int32_t kLongest = 64;  // longer texts are measured every time

struct Slot {
    StringValue* text;  // one reference; nil when free
    int32_t width;
};

// In static storage: too large for the stack.
Slot gSlots[kSlots];
int32_t gUsed;
bool gInUse;

uint32_t Hash(const uint8_t* b, int32_t n) {
    uint32_t h = 2166136261u;
    for (int32_t i = 0; i < n; ++i) h = (h ^ b[i]) * 16777619u;
    return h;
}

bool SameBytes(StringValue* a, StringValue* b) {
    if (a->length != b->length || a->encoding != b->encoding) return false;
    for (int32_t i = 1; i <= a->length; ++i)
        if (a->text[i] != b->text[i]) return false;
    return true;
}

}  // namespace

LabelWidths::LabelWidths(ObjectHeader* measure) : measure_(measure), owner_(!gInUse) {
    if (owner_) gInUse = true;
}

LabelWidths::~LabelWidths() {
    if (!owner_) return;
    for (int32_t i = 0; i < kSlots; ++i) {
        RuntimeUnlockString(gSlots[i].text);
        gSlots[i].text = nullptr;
    }
    gUsed = 0;
    gInUse = false;
}

int32_t LabelWidths::Width(StringValue* text) {
    if (!owner_ || !text || text->length > kLongest) return RuntimeGraphicsStringWidth(measure_, text);
    uint32_t i = Hash(text->text + 1, text->length) & (kSlots - 1);
    for (; gSlots[i].text; i = (i + 1) & (kSlots - 1))
        if (SameBytes(gSlots[i].text, text)) return gSlots[i].width;
    const int32_t width = RuntimeGraphicsStringWidth(measure_, text);
    if (gUsed < kSlots / 2) {  // keep the table at most half full
        RuntimeLockString(text);
        gSlots[i] = Slot{text, width};
        ++gUsed;
    }
    return width;
}

}  // namespace route
