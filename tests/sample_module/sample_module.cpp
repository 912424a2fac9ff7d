// Entry and main routine of the sample module.
#include "sample_module.h"

namespace {

ORVANE_LITERAL(kInitReturned, "sample: RuntimeInit returned");
ORVANE_LITERAL(kCallingExit, "sample: calling RuntimeExit");
ORVANE_LITERAL(kUtf8, "UTF-8: Grüße aus Köln – 東京 ✓");
ORVANE_ASCII_LITERAL(kAscii, "ASCII: plain seven-bit text");
#define SAMPLE_TEN "0123456789"
// 300 bytes: past what the length byte can hold.
ORVANE_LITERAL(kLong, "long literal: " SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN
                      SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN
                      SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN
                      SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN SAMPLE_TEN " <end>");
#undef SAMPLE_TEN
ORVANE_LITERAL(kLengthByte, "long literal length byte: ");
ORVANE_LITERAL(kLength, "long literal length: ");
// Read only through its fields, never passed on: its text pointer must still be fixed.
ORVANE_LITERAL(kFieldsOnly, "fields only");
ORVANE_LITERAL(kFieldsOnlyByte, "literal read through its fields alone, first byte: ");
ORVANE_LITERAL(kUtf8Tagged, "UTF-8 literal tagged UTF-8");
ORVANE_LITERAL(kAsciiTagged, "ASCII literal tagged ASCII");
ORVANE_LITERAL(kWrongTag, "literal with the wrong encoding");
ORVANE_LITERAL(kThroughPointer, "traced through a pointer to lineTrace");
ORVANE_LITERAL(kDataGlobal, "data global: ");
ORVANE_LITERAL(kBssGlobal, "bss global: ");
ORVANE_LITERAL(kProduct, "6 * 7 by a module call: ");
ORVANE_LITERAL(kAfterLocks, "refCount after 60 locks: ");
ORVANE_LITERAL(kAfterUnlocks, "refCount after 60 unlocks: ");
ORVANE_LITERAL(kApple, "apple");
ORVANE_LITERAL(kPie, " pie");
ORVANE_LITERAL(kBanana, "banana");
ORVANE_LITERAL(kApp, "app");
ORVANE_LITERAL(kLe, "le");
ORVANE_LITERAL(kJoinedRefCount, "refCount of a joined string: ");
ORVANE_LITERAL(kLess, "compare: less");
ORVANE_LITERAL(kEqual, "compare: equal");
ORVANE_LITERAL(kGreater, "compare: greater");
ORVANE_LITERAL(kPluginTable, "plugin table of 3 slots, zeroed: ");
ORVANE_LITERAL(kYes, "yes");
ORVANE_LITERAL(kNo, "no");

void TraceEncoding(StringValue* s, uint32_t expected, StringValue* right) {
    lineTrace(s->encoding == expected ? right : ORVANE_STR(kWrongTag));
}

void TraceComparison(StringValue* a, StringValue* b) {
    const int32_t r = RuntimeStringCompare(a, b);
    lineTrace(r < 0 ? ORVANE_STR(kLess) : r == 0 ? ORVANE_STR(kEqual) : ORVANE_STR(kGreater));
}

void Literals() {
    lineTrace(ORVANE_STR(kSharedLine));  // first of three sites
    lineTrace(ORVANE_STR(kUtf8));
    lineTrace(ORVANE_STR(kAscii));
    lineTrace(ORVANE_STR(kLong));
    // text is set by the loader and points at the length byte.
    SampleTraceNumber(ORVANE_STR(kLengthByte), ORVANE_STR(kLong)->text[0]);
    SampleTraceNumber(ORVANE_STR(kLength), ORVANE_STR(kLong)->length);
    SampleTraceNumber(ORVANE_STR(kFieldsOnlyByte), ORVANE_STR(kFieldsOnly)->text[1]);
    TraceEncoding(ORVANE_STR(kUtf8), kEncodingUTF8, ORVANE_STR(kUtf8Tagged));
    TraceEncoding(ORVANE_STR(kAscii), kEncodingASCII, ORVANE_STR(kAsciiTagged));
    SampleTraceSharedLine();  // second site, in the other object
}

void Globals() {
    SampleTraceNumber(ORVANE_STR(kDataGlobal), gSampleDataValue);
    gSampleDataValue += 1;
    SampleTraceNumber(ORVANE_STR(kDataGlobal), gSampleDataValue);
    SampleTraceNumber(ORVANE_STR(kBssGlobal), gSampleBssValue);
    gSampleBssValue = SampleMultiply(gSampleDataValue, 5);
    SampleTraceNumber(ORVANE_STR(kBssGlobal), gSampleBssValue);
}

void Strings() {
    StringValue* shared = ORVANE_STR(kSharedLine);
    SampleLockSixty(shared);
    SampleTraceNumber(ORVANE_STR(kAfterLocks), shared->refCount);
    SampleUnlockSixty(shared);
    SampleTraceNumber(ORVANE_STR(kAfterUnlocks), shared->refCount);

    SampleTraceJoined(ORVANE_STR(kApple), ORVANE_STR(kPie));
    StringValue* joined = RuntimeAddString(ORVANE_STR(kApp), ORVANE_STR(kLe));
    SampleTraceNumber(ORVANE_STR(kJoinedRefCount), joined->refCount);
    TraceComparison(ORVANE_STR(kApple), ORVANE_STR(kBanana));
    TraceComparison(ORVANE_STR(kBanana), ORVANE_STR(kApple));
    TraceComparison(ORVANE_STR(kApple), joined);  // equal text, another record
    RuntimeUnlockString(joined);
}

// Module code fills the table the runtime hands out.
void PluginTable() {
    void** table = RuntimeAllocatePluginEntrypointsTable(3);
    const bool zeroed = table && !table[0] && !table[1] && !table[2];
    SampleTraceJoined(ORVANE_STR(kPluginTable), zeroed ? ORVANE_STR(kYes) : ORVANE_STR(kNo));
    if (!table) return;
    table[0] = reinterpret_cast<void*>(&lineTrace);
    table[1] = reinterpret_cast<void*>(&SampleCallback);
}

void SampleMain() {
    Literals();
    SampleKeepTracer();
    SampleTraceThroughPointer(ORVANE_STR(kThroughPointer));
    Globals();
    SampleTraceNumber(ORVANE_STR(kProduct), SampleMultiply(6, 7));
    Strings();
    SampleTraceDoubleDecision(ORVANE_STR(kLong));
    PluginTable();
    SampleClasses();
}

}  // namespace

extern "C" int OrvaneModuleEntry() {
    RuntimeInit();
    lineTrace(ORVANE_STR(kInitReturned));
    SampleMain();
    lineTrace(ORVANE_STR(kCallingExit));
    RuntimeExit();
    return 0;
}
