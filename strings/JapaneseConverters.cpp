#include "strings/JapaneseConverters.h"

namespace {
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kSingleShift2 = 0x8E;  // EUC-JP: a half-width katakana byte follows

// Writes when it has a buffer, counts always.
class Sink {
public:
    explicit Sink(uint8_t* out) : out_(out) {}
    void Put(uint8_t b) {
        if (out_) out_[n_] = b;
        ++n_;
    }
    void Put(uint8_t a, uint8_t b) {
        Put(a);
        Put(b);
    }
    void Put(uint8_t a, uint8_t b, uint8_t c) {
        Put(a);
        Put(b);
        Put(c);
    }
    int32_t Count() const { return n_; }

private:
    uint8_t* out_;
    int32_t n_ = 0;
};

bool IsJis(uint8_t b) { return b >= 0x21 && b <= 0x7E; }
bool IsEucByte(uint8_t b) { return b >= 0xA1 && b <= 0xFE; }

enum class Mode { kSingle, kKana, kDouble };
}  // namespace

void JisToShiftJis(uint8_t j1, uint8_t j2, uint8_t& s1, uint8_t& s2) {
    s1 = uint8_t(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
    if (j1 & 1)
        s2 = uint8_t(j2 + (j2 < 0x60 ? 0x1F : 0x20));
    else
        s2 = uint8_t(j2 + 0x7E);
}

void ShiftJisToJis(uint8_t s1, uint8_t s2, uint8_t& j1, uint8_t& j2) {
    int row = (s1 < 0xA0 ? s1 - 0x81 : s1 - 0xC1) * 2 + 0x21;
    if (s2 >= 0x9F) {
        j1 = uint8_t(row + 1);
        j2 = uint8_t(s2 - 0x7E);
    } else {
        j1 = uint8_t(row);
        j2 = uint8_t(s2 - (s2 >= 0x80 ? 0x20 : 0x1F));
    }
}

int32_t EucJpToShiftJis(const uint8_t* in, int32_t n, uint8_t* out) {
    Sink sink(out);
    for (int32_t i = 0; i < n; ++i) {
        uint8_t c = in[i];
        if (IsEucByte(c) && i + 1 < n && IsEucByte(in[i + 1])) {
            uint8_t s1, s2;
            JisToShiftJis(uint8_t(c - 0x80), uint8_t(in[i + 1] - 0x80), s1, s2);
            sink.Put(s1, s2);
            ++i;
        } else if (c == kSingleShift2 && i + 1 < n && IsHalfWidthKatakana(in[i + 1])) {
            sink.Put(in[++i]);
        } else {
            sink.Put(c);
        }
    }
    return sink.Count();
}

int32_t Iso2022JpToShiftJis(const uint8_t* in, int32_t n, uint8_t* out) {
    Sink sink(out);
    Mode mode = Mode::kSingle;
    for (int32_t i = 0; i < n; ++i) {
        uint8_t c = in[i];
        if (c == kEsc && i + 1 < n) {
            uint8_t d = in[i + 1];
            if (d == '(' && i + 2 < n) {
                uint8_t f = in[i + 2];
                if (f == 'B' || f == 'H' || f == 'J' || f == 'I') {
                    mode = f == 'I' ? Mode::kKana : Mode::kSingle;
                    i += 2;
                    continue;
                }
            } else if (d == '$' && i + 2 < n) {
                // ESC $ x, and ESC $ ( x for the four-byte designations.
                i += in[i + 2] == '(' && i + 3 < n ? 3 : 2;
                mode = Mode::kDouble;
                continue;
            } else if (d == 'K') {
                mode = Mode::kDouble;
                ++i;
                continue;
            }
            sink.Put(c);
        } else if (c == '\r' || c == '\n') {
            mode = Mode::kSingle;
            sink.Put(c);
        } else if (mode == Mode::kDouble && IsJis(c) && i + 1 < n && IsJis(in[i + 1])) {
            uint8_t s1, s2;
            JisToShiftJis(c, in[++i], s1, s2);
            sink.Put(s1, s2);
        } else if (mode == Mode::kKana && c >= 0x21 && c <= 0x5F) {
            sink.Put(uint8_t(c + 0x80));
        } else {
            sink.Put(c);
        }
    }
    return sink.Count();
}

int32_t ShiftJisToEucJp(const uint8_t* in, int32_t n, uint8_t* out) {
    Sink sink(out);
    for (int32_t i = 0; i < n; ++i) {
        uint8_t c = in[i];
        if (IsShiftJisLead(c) && i + 1 < n && IsShiftJisTrail(in[i + 1])) {
            uint8_t j1, j2;
            ShiftJisToJis(c, in[++i], j1, j2);
            sink.Put(uint8_t(j1 | 0x80), uint8_t(j2 | 0x80));
        } else if (IsHalfWidthKatakana(c)) {
            sink.Put(kSingleShift2, c);
        } else {
            sink.Put(c);
        }
    }
    return sink.Count();
}

int32_t ShiftJisToIso2022Jp(const uint8_t* in, int32_t n, uint8_t* out) {
    Sink sink(out);
    Mode mode = Mode::kSingle;
    for (int32_t i = 0; i < n; ++i) {
        uint8_t c = in[i];
        if (IsShiftJisLead(c) && i + 1 < n && IsShiftJisTrail(in[i + 1])) {
            if (mode != Mode::kDouble) sink.Put(kEsc, '$', 'B');
            mode = Mode::kDouble;
            uint8_t j1, j2;
            ShiftJisToJis(c, in[++i], j1, j2);
            sink.Put(j1, j2);
        } else if (IsHalfWidthKatakana(c)) {
            if (mode != Mode::kKana) sink.Put(kEsc, '(', 'I');
            mode = Mode::kKana;
            sink.Put(uint8_t(c - 0x80));
        } else {
            // Any single byte, CR and LF among them, is written in the Roman set.
            if (mode != Mode::kSingle) sink.Put(kEsc, '(', 'J');
            mode = Mode::kSingle;
            sink.Put(c);
        }
    }
    if (mode != Mode::kSingle) sink.Put(kEsc, '(', 'J');
    return sink.Count();
}
