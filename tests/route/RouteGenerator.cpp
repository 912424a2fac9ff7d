#include "tests/route/RouteGenerator.h"

#include "routeviewer/TextJoiner.h"
#include "tests/route/RouteCheck.h"

namespace generator {

namespace {

route::Text Num(double v) { return route::Text::Adopt(StringStr(v)); }

route::Text Cat(StringValue* a, StringValue* b) { return route::Join(a, b); }
route::Text Cat(const route::Text& a, StringValue* b) { return route::Join(a.Get(), b); }

StringValue* StationName(int32_t i) {
    switch (i % 8) {
    case 0: return L("花水木");
    case 1: return L("桜台");
    case 2: return L("若葉町");
    case 3: return L("湯ノ沢");
    case 4: return L("黄金");
    case 5: return L("市役所前");
    case 6: return L("港南");
    default: return L("北山公園");
    }
}

}  // namespace

uint32_t RouteGenerator::Next() {
    state_ = state_ * 1103515245u + 12345u;
    return state_ >> 8;
}

route::Text RouteGenerator::NextLine(int32_t* statements) {
    ++line_;
    *statements = 0;
    const int32_t kind = Below(100);
    if (kind < 4) return Cat(L("; 区間 "), Num(line_).Get());  // a comment
    route::Text head;
    const bool continuation = kind < 30;
    if (continuation) {
        head = route::Text::Borrow(Below(2) ? L(",") : L("  ,"));
    } else {
        distance_ += 5 + Below(60);
        head = Cat(Num(distance_), L(","));
    }
    route::Text body;
    const int32_t what = Below(100);
    if (what < 30) {
        const int32_t radius = Below(4) == 0 ? 0 : (Below(2) ? 1 : -1) * (150 + Below(1850));
        route::Text a = Cat(Below(10) ? L(".curve ") : L(".CURVE "), Num(radius).Get());
        body = Cat(a, L(";0"));
    } else if (what < 50) {
        route::Text a = Cat(Below(5) ? L(".pitch ") : L("Track.Pitch "), Num(Below(41) - 20).Get());
        body = Below(2) ? Cat(a, L(";")) : a;
    } else if (what < 65) {
        route::Text a = Cat(Below(6) ? L(".limit ") : L(".Limit "), Num(25 + 5 * Below(20)).Get());
        body = Cat(a, L(";"));
    } else if (what < 75) {
        route::Text a = Cat(L(".sta "), StationName(Below(64)));
        body = Cat(a, L(";"));
    } else {
        route::Text a = Cat(L(".freeobj 0;"), Num(Below(30)).Get());
        route::Text b = Cat(a, L(";"));
        route::Text c = Cat(b, Num(Below(41) - 20).Get());
        body = Cat(c, L(";0;"));
    }
    *statements = 1;
    route::Text lineText = Cat(head, body.Get());
    // Now and then a second statement on the same line, or an empty field.
    if (!continuation && Below(8) == 0) {
        route::Text more = Cat(lineText, Below(2) ? L(",,.pitch 0") : L(",.limit 60;"));
        *statements = 2;
        return more;
    }
    return lineText;
}

route::Text GeneratedFileBytes(uint32_t seed, int32_t statements) {
    RouteGenerator g(seed);
    route::TextJoiner joiner;
    for (int32_t made = 0; made < statements;) {
        int32_t n = 0;
        route::Text line = g.NextLine(&n);
        made += n;
        joiner.Append(line.Get());
        joiner.Append(L("\r\n"));
    }
    route::Text utf8 = joiner.Finish();
    route::Object sjis = route::Object::Adopt(getTextEncoding(0x0A01, 0, 0));
    return route::Text::Adopt(StringConvertEncoding(utf8.Get(), sjis.Get()));
}

}  // namespace generator
