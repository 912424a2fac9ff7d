// A small check harness for the route checks module: every failed check is
// printed on standard output with its label and values; the module's exit
// code is the number of failures (capped), so ctest sees the result.
#pragma once

#include "orvane/literal.h"
#include "routeviewer/RouteHandles.h"

// A literal made where it is used: the tables are built in code, since data
// in the module cannot hold addresses.
#define L(text)                          \
    ([]() -> StringValue* {              \
        ORVANE_LITERAL(literal_, text);  \
        return ORVANE_STR(literal_);     \
    }())

namespace check {

// The label of the group of checks that follows (for messages).
void Section(StringValue* name);
bool True(bool ok, StringValue* what);
bool Near(double got, double want, double tolerance, StringValue* what);
bool Equal(int32_t got, int32_t want, StringValue* what);
bool SameText(StringValue* got, StringValue* want, StringValue* what);
void Note(StringValue* a, StringValue* b = nullptr);  // a line on standard output
int32_t Failures();
int32_t Passes();

// Bytes of a number for messages.
route::Text Number(double v);

}  // namespace check
