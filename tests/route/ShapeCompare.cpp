#include "tests/route/ShapeCompare.h"

#include "routeviewer/MapShapes.h"
#include "tests/route/ShapeView.h"

namespace check {

namespace {

using namespace orvane::shape;

bool SameString(StringValue* a, StringValue* b) {
    if (StringLen(a) != StringLen(b)) return false;
    if (!a || !b) return a == b || StringLen(a) == 0;
    for (int32_t i = 1; i <= a->length; ++i)
        if (a->text[i] != b->text[i]) return false;
    return a->encoding == b->encoding;
}

bool SameBytes(ObjectHeader* a, ObjectHeader* b, int32_t from, int32_t to) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(a);
    const uint8_t* q = reinterpret_cast<const uint8_t*>(b);
    for (int32_t i = from; i < to; ++i)
        if (p[i] != q[i]) return false;
    return true;
}

bool IsGroupLike(ObjectHeader* o) {
    return RuntimeObjectIsa(o, route::Group2DClass()) || RuntimeObjectIsa(o, route::FigureShapeClass());
}

bool SameShape(ObjectHeader* a, ObjectHeader* b) {
    if (!a || !b) return a == b;
    if (a->classPtr != b->classPtr) return false;
    const int32_t size = a->classPtr->instanceSize;
    if (IsGroupLike(a)) {
        // Object2D fields, then the members.
        return SameBytes(a, b, 28, kObject2DSize) && SameBytes(a, b, kGroupSize, size) &&
               FirstDifference(a, b) < 0;
    }
    if (RuntimeObjectIsa(a, route::StringShapeClass())) {
        StringValue* ta = reinterpret_cast<StringValue*>(I(a, kTextAt));
        StringValue* tb = reinterpret_cast<StringValue*>(I(b, kTextAt));
        StringValue* fa = reinterpret_cast<StringValue*>(I(a, kTextFontAt));
        StringValue* fb = reinterpret_cast<StringValue*>(I(b, kTextFontAt));
        return SameBytes(a, b, 28, kTextAt) && SameBytes(a, b, kTextFontAt + 4, size) && SameString(ta, tb) &&
               SameString(fa, fb);
    }
    return SameBytes(a, b, 28, size);
}

}  // namespace

int32_t FirstDifference(ObjectHeader* a, ObjectHeader* b) {
    const int32_t n = MemberCount(a), m = MemberCount(b);
    const int32_t common = n < m ? n : m;
    for (int32_t i = 0; i < common; ++i)
        if (!SameShape(Member(a, i), Member(b, i))) return i;
    return n == m ? -1 : common;
}

}  // namespace check
