// Two module classes built by their getters: a root class with a field
// property, an initializer, a finalizer and one virtual method, and a
// subclass that overrides the method.
#include "orvane/classbuild.h"
#include "sample_module.h"

namespace {

ORVANE_LITERAL(kCounterName, "SampleCounter");
ORVANE_LITERAL(kPlusName, "SampleCounterPlus");
ORVANE_LITERAL(kDescribeSignature, "Describe%%o<SampleCounter>");
ORVANE_LITERAL(kValueDeclaration, "Value%i%");
ORVANE_LITERAL(kBuiltOnce, "class built once: ");
ORVANE_LITERAL(kBaseIsCounter, "subclass base is the counter class: ");
ORVANE_LITERAL(kCounterInit, "counter initializer");
ORVANE_LITERAL(kPlusInit, "plus initializer");
ORVANE_LITERAL(kCounterFinal, "counter finalizer");
ORVANE_LITERAL(kPlusFinal, "plus finalizer");
ORVANE_LITERAL(kCounterDescribe, "counter method");
ORVANE_LITERAL(kPlusDescribe, "plus method, value ");
ORVANE_LITERAL(kIsaCounter, "plus isa counter: ");
ORVANE_ASCII_LITERAL(kNilObjectException, "NilObjectException");
ORVANE_LITERAL(kIntrinsicSize, "intrinsic class instance size: ");
ORVANE_LITERAL(kMissing, "intrinsic class missing");
ORVANE_LITERAL(kYes, "yes");
ORVANE_LITERAL(kNo, "no");

constexpr int32_t kValueOffset = 28;  // the counter's one field, behind the header
constexpr int32_t kCounterSize = 32;

struct Counter {
    ObjectHeader header;
    int32_t value;
};

ClassRecord* gCounterClass;
ClassRecord* gPlusClass;

void CounterInit(ObjectHeader* self) {
    reinterpret_cast<Counter*>(self)->value = 5;
    lineTrace(ORVANE_STR(kCounterInit));
}
void CounterFinal(ObjectHeader*) { lineTrace(ORVANE_STR(kCounterFinal)); }
void CounterDescribe(ObjectHeader*) { lineTrace(ORVANE_STR(kCounterDescribe)); }

void PlusInit(ObjectHeader* self) {
    reinterpret_cast<Counter*>(self)->value += 1;
    lineTrace(ORVANE_STR(kPlusInit));
}
void PlusFinal(ObjectHeader*) { lineTrace(ORVANE_STR(kPlusFinal)); }
void PlusDescribe(ObjectHeader* self) {
    SampleTraceNumber(ORVANE_STR(kPlusDescribe), reinterpret_cast<Counter*>(self)->value);
}

ClassRecord* CounterClass() {
    if (gCounterClass) return gCounterClass;
    ClassRecord* c = orvane::NewClass(gCounterClass, nullptr, {1, 0, 0, 0, 1},
                                      ORVANE_STR(kCounterName), kCounterSize, CounterInit,
                                      CounterFinal);
    orvane::SetMethod(c, 0, reinterpret_cast<void*>(&CounterDescribe), ORVANE_STR(kDescribeSignature));
    orvane::SetProperty(c, 0, ORVANE_STR(kValueDeclaration), kValueOffset, orvane::Generic(),
                        orvane::Generic());
    return c;
}

ClassRecord* PlusClass() {
    if (gPlusClass) return gPlusClass;
    ClassRecord* c = orvane::NewClass(gPlusClass, CounterClass(), {1, 0, 0, 0, 1},
                                      ORVANE_STR(kPlusName), kCounterSize, PlusInit, PlusFinal);
    orvane::SetMethod(c, 0, reinterpret_cast<void*>(&PlusDescribe), ORVANE_STR(kDescribeSignature));
    return c;
}

StringValue* YesNo(bool b) { return b ? ORVANE_STR(kYes) : ORVANE_STR(kNo); }

}  // namespace

extern "C" void SampleClasses() {
    ClassRecord* plus = PlusClass();
    SampleTraceJoined(ORVANE_STR(kBuiltOnce), YesNo(PlusClass() == plus && CounterClass() == plus->base));
    SampleTraceJoined(ORVANE_STR(kBaseIsCounter), YesNo(plus->base == gCounterClass));
    ObjectHeader* object = RuntimeNewObject(plus);  // initializers root first
    using Method = void (*)(ObjectHeader*);
    reinterpret_cast<Method>(object->methodTable[0].function)(object);  // a virtual call
    SampleTraceJoined(ORVANE_STR(kIsaCounter), YesNo(RuntimeObjectIsa(object, CounterClass()) != 0));
    RuntimeUnlockObject(object);  // finalizers leaf first

    // An intrinsic class, built by the runtime at start-up, found by name.
    ClassRecord* intrinsic = RuntimeLookupClass(ORVANE_STR(kNilObjectException));
    if (!intrinsic) {
        lineTrace(ORVANE_STR(kMissing));
        return;
    }
    lineTrace(intrinsic->name);
    SampleTraceNumber(ORVANE_STR(kIntrinsicSize), intrinsic->instanceSize);
}
