#include "tests/route/RouteCheck.h"

namespace check {

namespace {
int32_t gFailures;
int32_t gPasses;
StringValue* gSection;

void Fail(StringValue* what, StringValue* detail) {
    ++gFailures;
    RuntimeStdOutWrite(L("FAIL ["));
    RuntimeStdOutWrite(gSection);
    RuntimeStdOutWrite(L("] "));
    RuntimeStdOutWrite(what);
    if (detail) {
        RuntimeStdOutWrite(L(": "));
        RuntimeStdOutWrite(detail);
    }
    RuntimeStdOutWrite(L("\n"));
}

route::Text GotWant(route::Text got, route::Text want) {
    route::Text a = route::Join(L("got "), got.Get());
    route::Text b = route::Join(a.Get(), L(", want "));
    return route::Join(b.Get(), want.Get());
}
}  // namespace

void Section(StringValue* name) { gSection = name; }

route::Text Number(double v) { return route::Text::Adopt(StringStr(v)); }

namespace {
route::Text Precise(double v) { return route::Text::Adopt(StringFormat(v, L("0.000000000"))); }
}  // namespace

bool True(bool ok, StringValue* what) {
    if (ok) {
        ++gPasses;
        return true;
    }
    Fail(what, nullptr);
    return false;
}

bool Near(double got, double want, double tolerance, StringValue* what) {
    const double d = got - want;
    if (d <= tolerance && d >= -tolerance) return True(true, what);
    Fail(what, GotWant(Precise(got), Precise(want)).Get());
    return false;
}

bool Equal(int32_t got, int32_t want, StringValue* what) {
    if (got == want) return True(true, what);
    Fail(what, GotWant(Number(got), Number(want)).Get());
    return false;
}

bool SameText(StringValue* got, StringValue* want, StringValue* what) {
    const bool same = StringLen(got) == StringLen(want) && (!got || StringInStrB(1, got, want) == 1);
    if (same) return True(true, what);
    route::Text g = route::Join(L("\""), got), w = route::Join(L("\""), want);
    route::Text g2 = route::Join(g.Get(), L("\"")), w2 = route::Join(w.Get(), L("\""));
    Fail(what, GotWant(g2, w2).Get());
    return false;
}

void Note(StringValue* a, StringValue* b) {
    RuntimeStdOutWrite(a);
    RuntimeStdOutWrite(b);
    RuntimeStdOutWrite(L("\n"));
}

int32_t Failures() { return gFailures; }
int32_t Passes() { return gPasses; }

}  // namespace check
