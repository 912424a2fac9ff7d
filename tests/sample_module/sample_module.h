// The sample module: a small freestanding module that walks through what the
// toolchain has to get right. Everything it does shows up as lines of
// trace.log; module_e2e_test compares the whole file.
#pragma once

#include "orvane/exports.h"
#include "orvane/literal.h"

// In the header on purpose: each object gets its own copy of the record and
// the builder folds them into one.
ORVANE_LITERAL(kSharedLine, "shared line");

// Helpers of sample_helpers.cpp, called from sample_module.cpp (calls across
// objects, resolved by the builder).
extern "C" {
// Traces a + b and releases the joined string.
void SampleTraceJoined(StringValue* a, StringValue* b);
// Traces a + decimal text of n.
void SampleTraceNumber(StringValue* a, int32_t n);
// The decimal text of n >= 0 with one reference for the caller.
StringValue* SampleNumber(int32_t n);
int32_t SampleMultiply(int32_t a, int32_t b);
void SampleTraceSharedLine();
void SampleLockSixty(StringValue* s);
void SampleUnlockSixty(StringValue* s);
void SampleKeepTracer();
void SampleTraceThroughPointer(StringValue* s);
void SampleTraceDoubleDecision(StringValue* sized);
void SampleCallback();
// Builds the sample classes and traces an object of them from birth to death.
void SampleClasses();
}

// Globals of sample_helpers.cpp.
extern int32_t gSampleDataValue;  // .data, starts at 7
extern int32_t gSampleBssValue;   // .bss
