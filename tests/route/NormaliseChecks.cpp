// File lines and the normalised lines they give, by the fast normaliser and
// by the reference, which must agree with the table and with each other.
#include "routeviewer/RouteAnalysis.h"
#include "routeviewer/RouteText.h"
#include "tests/route/RouteCheck.h"
#include "tests/route/RouteChecks.h"
#include "tests/route/RouteReference.h"

namespace {

// file: the file's lines separated by LF; want: the normalised text.
void Case(StringValue* name, StringValue* file, StringValue* want) {
    check::Section(route::Join(L("normalise: "), name).Release());
    route::RouteNormaliser fast;
    reference::Normaliser slow;
    const int32_t lines = StringCountFields(file, L("\n"));
    for (int32_t i = 1; i <= (lines ? lines : 1); ++i) {
        route::Text line = route::Text::Adopt(StringNthField(file, L("\n"), i));
        fast.AddLine(line.Get());
        slow.AddLine(line.Get());
    }
    route::Text got = fast.Finish();
    route::Text ref = slow.Finish();
    check::SameText(got.Get(), want, L("fast normaliser"));
    check::SameText(ref.Get(), want, L("reference normaliser"));
}

}  // namespace

void GetFieldChecks() {
    check::Section(L("GetField"));
    struct Row {
        StringValue* text;
        StringValue* delimiter;
        int32_t n;
        StringValue* want;
    };
    const Row rows[] = {
        {L("a,b"), L(","), 1, L("a")},
        {L("a,b"), L(","), 2, L("b")},
        {L("a,b"), L(","), 3, nullptr},
        {L(",x,"), L(","), 1, nullptr},
        {L(",x,"), L(","), 2, L("x")},
        {L("1000,.curve 600;0"), L(".curve"), 2, L(" 600;0")},
        {L("a.CURVE 5"), L(".curve"), 2, nullptr},  // byte-exact: case matters
        {L("p\r\nq\r\n"), L("\r\n"), 2, L("q")},
        {L("k::v::w"), L("::"), 3, L("w")},
        {nullptr, L(","), 1, nullptr},
    };
    for (const Row& r : rows) {
        route::Text got = route::Text::Adopt(route::GetField(r.text, r.delimiter, r.n));
        check::SameText(got.Get(), r.want, route::Join(L("field of "), r.text).Get());
    }
}

void NormaliseChecks() {
    GetFieldChecks();
    Case(L("two statements on a distance line"), L("1000,.curve 600;0,.pitch 5"),
         L("1000,.curve 600;0\r\n1000,.pitch 5\r\n"));
    Case(L("a continuation line"), L("1000,.curve 600;0\n,.sta Name;"),
         L("1000,.curve 600;0\r\n1000,.sta Name;\r\n"));
    Case(L("a distance line without statements"), L("1000,.pitch 1\n1200\n,.pitch 2"),
         L("1000,.pitch 1\r\n1200,.pitch 2\r\n"));
    Case(L("empty fields are dropped"), L("1300,,.limit 80;,,"), L("1300,.limit 80;\r\n"));
    Case(L("a field of spaces stays"), L("100, ,.sta X"), L("100, \r\n100,.sta X\r\n"));
    Case(L("0 is a distance"), L("5,.pitch 1\n0,.sta A"), L("5,.pitch 1\r\n0,.sta A\r\n"));
    Case(L("00 and 0.0 are distances"), L("00,.sta A\n0.0,.sta B"), L("00,.sta A\r\n0.0,.sta B\r\n"));
    Case(L("text in the first field joins the distance and drops out"), L("1000,.sta A\nabc,.pitch 3"),
         L("1000,.sta A\r\n1000,.pitch 3\r\n"));
    Case(L("a continuation before any distance"), L(",.curve 5;0"), L(",.curve 5;0\r\n"));
    Case(L("leading blanks of a continuation line"), L("100,.sta A\n   ,.limit 60;"),
         L("100,.sta A\r\n100,.limit 60;\r\n"));
    Case(L("the distance text as read"), L(" 500 ,.sta X\n1000.9,.pitch 2"),
         L(" 500 ,.sta X\r\n1000.9,.pitch 2\r\n"));
    Case(L("statements keep their case and spaces"), L("10,  .CURVE 300 ; 0 ,Track.Pitch 4"),
         L("10,  .CURVE 300 ; 0 \r\n10,Track.Pitch 4\r\n"));
    Case(L("a comment line without commas adds nothing"), L("; 注意\n100,.sta 駅;"), L("100,.sta 駅;\r\n"));
    Case(L("a comment with a comma is a statement"), L("100,.sta A\n; 注意, 徐行"),
         L("100,.sta A\r\n100, 徐行\r\n"));
    Case(L("an empty file"), nullptr, nullptr);
    Case(L("an empty line"), L("100,.sta A\n\n,.sta B"), L("100,.sta A\r\n100,.sta B\r\n"));
}
