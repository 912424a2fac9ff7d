// Helpers of the sample module: numbers as text, the long call chains, a
// pointer to an entry point, doubles, a callback.
#include "sample_module.h"

int32_t gSampleDataValue = 7;
int32_t gSampleBssValue;

namespace {

ORVANE_LITERAL(kDigit0, "0");
ORVANE_LITERAL(kDigit1, "1");
ORVANE_LITERAL(kDigit2, "2");
ORVANE_LITERAL(kDigit3, "3");
ORVANE_LITERAL(kDigit4, "4");
ORVANE_LITERAL(kDigit5, "5");
ORVANE_LITERAL(kDigit6, "6");
ORVANE_LITERAL(kDigit7, "7");
ORVANE_LITERAL(kDigit8, "8");
ORVANE_LITERAL(kDigit9, "9");
ORVANE_LITERAL(kAbove, "double: length * 0.1 is above 29.9");
ORVANE_LITERAL(kNotAbove, "double: length * 0.1 is not above 29.9");
ORVANE_LITERAL(kQuadrupled, "double: length * 0.1 * 4 rounded: ");
ORVANE_LITERAL(kCallback, "callback reached through a code address");

typedef void (*TraceFn)(StringValue*);
typedef void (*CallbackFn)();

TraceFn gTracer;        // set in code: a mode-0 site
CallbackFn gCallback;   // set in code: a type-3 site

// A plain switch over literal addresses: the module flags keep the compiler
// from making it a table in .rdata, which the builder would refuse.
StringValue* Digit(int32_t d) {
    switch (d) {
    case 0: return ORVANE_STR(kDigit0);
    case 1: return ORVANE_STR(kDigit1);
    case 2: return ORVANE_STR(kDigit2);
    case 3: return ORVANE_STR(kDigit3);
    case 4: return ORVANE_STR(kDigit4);
    case 5: return ORVANE_STR(kDigit5);
    case 6: return ORVANE_STR(kDigit6);
    case 7: return ORVANE_STR(kDigit7);
    case 8: return ORVANE_STR(kDigit8);
    default: return ORVANE_STR(kDigit9);
    }
}

__attribute__((noipa)) void SetCallback() { gCallback = &SampleCallback; }

__attribute__((noipa)) void RunCallback() { gCallback(); }

}  // namespace

extern "C" {

StringValue* SampleNumber(int32_t n) {
    int32_t digits[10];
    int32_t count = 0;
    do {
        digits[count++] = n % 10;
        n /= 10;
    } while (n > 0 && count < 10);
    StringValue* text = nullptr;  // nil is the empty string
    while (count > 0) {
        StringValue* longer = RuntimeAddString(text, Digit(digits[--count]));
        RuntimeUnlockString(text);
        text = longer;
    }
    return text;
}

void SampleTraceJoined(StringValue* a, StringValue* b) {
    StringValue* joined = RuntimeAddString(a, b);
    lineTrace(joined);
    RuntimeUnlockString(joined);
}

void SampleTraceNumber(StringValue* a, int32_t n) {
    StringValue* number = SampleNumber(n);
    SampleTraceJoined(a, number);
    RuntimeUnlockString(number);
}

__attribute__((noipa)) int32_t SampleMultiply(int32_t a, int32_t b) { return a * b; }

__attribute__((noipa)) void SampleTraceSharedLine() { lineTrace(ORVANE_STR(kSharedLine)); }

#define SAMPLE_LOCK10(s)                                                                   \
    RuntimeLockString(s); RuntimeLockString(s); RuntimeLockString(s); RuntimeLockString(s); \
    RuntimeLockString(s); RuntimeLockString(s); RuntimeLockString(s); RuntimeLockString(s); \
    RuntimeLockString(s); RuntimeLockString(s)
#define SAMPLE_UNLOCK10(s)                                                                     \
    RuntimeUnlockString(s); RuntimeUnlockString(s); RuntimeUnlockString(s); RuntimeUnlockString(s); \
    RuntimeUnlockString(s); RuntimeUnlockString(s); RuntimeUnlockString(s); RuntimeUnlockString(s); \
    RuntimeUnlockString(s); RuntimeUnlockString(s)

// The only calls of RuntimeLockString in the module: one chain of 60 sites.
__attribute__((noipa)) void SampleLockSixty(StringValue* s) {
    SAMPLE_LOCK10(s); SAMPLE_LOCK10(s); SAMPLE_LOCK10(s);
    SAMPLE_LOCK10(s); SAMPLE_LOCK10(s); SAMPLE_LOCK10(s);
}

__attribute__((noipa)) void SampleUnlockSixty(StringValue* s) {
    SAMPLE_UNLOCK10(s); SAMPLE_UNLOCK10(s); SAMPLE_UNLOCK10(s);
    SAMPLE_UNLOCK10(s); SAMPLE_UNLOCK10(s); SAMPLE_UNLOCK10(s);
}

#undef SAMPLE_LOCK10
#undef SAMPLE_UNLOCK10

// Stores the address, not a call: the site is an immediate operand.
__attribute__((noipa)) void SampleKeepTracer() { gTracer = &lineTrace; }

__attribute__((noipa)) void SampleTraceThroughPointer(StringValue* s) { gTracer(s); }

// 0.1 and 29.9 have no float form, so they stay 8-byte constants in .rdata;
// the outcome depends on a length known only at run time. Far enough from the
// boundaries that x87 extended precision cannot tip either result.
__attribute__((noipa)) void SampleTraceDoubleDecision(StringValue* sized) {
    const double scaled = sized->length * 0.1;
    lineTrace(scaled > 29.9 ? ORVANE_STR(kAbove) : ORVANE_STR(kNotAbove));
    SampleTraceNumber(ORVANE_STR(kQuadrupled), int32_t(scaled * 4.0 + 0.5));
    SetCallback();
    RunCallback();
}

__attribute__((noipa)) void SampleCallback() {
    lineTrace(ORVANE_STR(kCallback));
    lineTrace(ORVANE_STR(kSharedLine));  // third site
}

}  // extern "C"
