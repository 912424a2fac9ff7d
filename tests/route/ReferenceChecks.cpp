// The fast analysis and walk give exactly what the reference gives: the
// same normalised text, and the same shapes with the same properties, on the
// sample routes and on generated ones, at several settings.
#include "routeviewer/MapShapes.h"
#include "routeviewer/RouteAnalysis.h"
#include "routeviewer/RouteWalk.h"
#include "tests/route/RouteCheck.h"
#include "tests/route/RouteChecks.h"
#include "tests/route/RouteGenerator.h"
#include "tests/route/RouteReference.h"
#include "tests/route/ShapeCompare.h"
#include "tests/route/ShapeView.h"

namespace {

route::WalkInputs Settings(ObjectHeader* measure, int32_t k) {
    route::WalkInputs in;
    in.measure = measure;
    in.startX = 50;
    in.startY = 259;
    in.startDistanceText = L("0");
    in.startDirectionText = L("0");
    switch (k) {
    case 0: break;  // the viewer's defaults
    case 1:
        in.freeObj = true;
        in.scaleValue = -50;
        in.startDirectionText = L("30");
        in.startDistanceText = L("300");
        break;
    case 2:
        in.curve = in.pitch = in.limit = in.sta = false;
        in.scaleValue = 20;
        in.startDirectionText = L("-135.5");
        break;
    default:
        in.freeObj = true;
        in.scaleValue = -200;
        in.startDistanceText = L("1e9");  // beyond every route
        break;
    }
    return in;
}

constexpr int32_t kSettings = 4;

// drawn: the route reaches beyond the start distances of the settings.
void CompareWalks(StringValue* data, ObjectHeader* measure, bool drawn = true) {
    for (int32_t k = 0; k < kSettings; ++k) {
        route::WalkInputs in = Settings(measure, k);
        route::Object fast = route::DrawRoute(data, in);
        route::Object slow = reference::DrawRoute(data, in);
        const int32_t at = check::FirstDifference(fast.Get(), slow.Get());
        route::Text what = route::Join(L("same shapes at settings "), check::Number(k).Get());
        if (!check::True(at < 0, what.Get())) check::Note(L("  first difference at shape "), check::Number(at).Get());
        if (drawn && k != kSettings - 1) check::True(check::MemberCount(fast.Get()) > 0, L("the walk drew something"));
    }
}

void SampleRoute(ObjectHeader* measure, StringValue* folder, StringValue* name, StringValue* station) {
    check::Section(route::Join(L("reference: sample "), name).Release());
    route::Text path = route::Join(folder, name);
    route::Object file = route::Object::Adopt(RuntimeGetFolderItem(path.Get()));
    route::Text fast, slow;
    check::True(route::AnalyzeRouteFile(file.Get(), &fast) == route::AnalysisOutcome::kDone, L("fast analysis read the file"));
    check::True(reference::AnalyzeRouteFile(file.Get(), &slow) == route::AnalysisOutcome::kDone,
                L("reference analysis read the file"));
    check::SameText(fast.Get(), slow.Get(), L("same normalised text"));
    check::True(StringInStrB(1, fast.Get(), station) != 0, L("the station name came through Shift_JIS"));
    CompareWalks(fast.Get(), measure);
}

void GeneratedRoute(ObjectHeader* measure, uint32_t seed, int32_t statements) {
    check::Section(route::Join(L("reference: generated route "), check::Number(seed).Get()).Release());
    generator::RouteGenerator g(seed);
    route::RouteNormaliser fast;
    reference::Normaliser slow;
    for (int32_t made = 0; made < statements;) {
        int32_t n = 0;
        route::Text line = g.NextLine(&n);
        made += n;
        fast.AddLine(line.Get());
        slow.AddLine(line.Get());
    }
    route::Text a = fast.Finish(), b = slow.Finish();
    check::SameText(a.Get(), b.Get(), L("same normalised text"));
    CompareWalks(a.Get(), measure);
}

}  // namespace

void ReferenceChecks(ObjectHeader* measure, StringValue* folder) {
    SampleRoute(measure, folder, L("hanamizuki.csv"), L(".sta 花水木;"));
    SampleRoute(measure, folder, L("kogane.csv"), L(".Sta 湯ノ沢;"));
    SampleRoute(measure, folder, L("minatomachi.csv"), L("Track.Sta 港町;"));
    for (uint32_t seed = 1; seed <= 3; ++seed) GeneratedRoute(measure, seed, 700);
    check::Section(L("reference: keywords in odd places"));
    CompareWalks(L("0,.curve 300;.curve 400\r\n10,x.curveball 5\r\n20,.pitch.pitch 3\r\n30,.PITCH 4 ;5;6\r\n"
                   "40,.curve\r\n50,.Curve -250\r\n60,.sta .curve 100;\r\n70,.limit .pitch 2;\r\n"
                   "80,.freeobj .curve 90;1;2;3\r\n90,.curve;;\r\n100,.pitch\r\n,.curve 150;0\r\n"
                   "abc,.pitch 1\r\n120.7,.curve 80;0\r\n-5,.pitch 2\r\n"),
                 measure, false);
    // Every failure of the file: both refuse it the same way.
    check::Section(L("reference: missing file"));
    route::Text data = route::Text::Borrow(L("kept"));
    check::True(route::AnalyzeRouteFile(nullptr, &data) == route::AnalysisOutcome::kNoFile, L("nil file"));
    route::Text missing = route::Join(folder, L("no such route.csv"));
    route::Object file = route::Object::Adopt(RuntimeGetFolderItem(missing.Get()));
    check::True(!file || route::AnalyzeRouteFile(file.Get(), &data) == route::AnalysisOutcome::kNotOpened,
                L("a file that cannot be opened"));
    check::SameText(data.Get(), L("kept"), L("the result is left as it was"));
}
