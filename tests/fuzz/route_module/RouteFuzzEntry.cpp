// The route fuzz module: one mutated route file per call, through the same
// route code the map tool runs (analysis with the survey, walk, render, the
// map's overlays, the profile and the report), then compared with the
// reference analysis and walk when the file is small enough for them.
#include "routeviewer/GradientProfile.h"
#include "routeviewer/MapView.h"
#include "routeviewer/RouteAnalysis.h"
#include "routeviewer/RouteMapOptions.h"
#include "routeviewer/RouteSurvey.h"
#include "routeviewer/RouteWalk.h"
#include "tests/fuzz/RouteFuzzCall.h"
#include "tests/route/RouteCheck.h"
#include "tests/route/RouteGenerator.h"
#include "tests/route/RouteReference.h"
#include "tests/route/ShapeCompare.h"
#include "tests/route/ShapeView.h"

namespace {

// Start texts: plain numbers and the ones a hand-typed box can hold.
StringValue* StartText(uint32_t k) {
    switch (k % 8) {
    case 0: return L("0");
    case 1: return L("250");
    case 2: return L("-40.5");
    case 3: return L("1e9");
    case 4: return L("nan");
    case 5: return L("1e308");
    case 6: return L("abc");
    default: return nullptr;
    }
}

struct Canvas {
    int32_t width, height;
};

// Mostly the viewer's canvas; sometimes a tiny or a lopsided one.
Canvas CanvasOf(uint32_t k) {
    switch (k % 8) {
    case 0: return {1, 1};
    case 1: return {160, 90};
    case 2: return {7, 600};
    default: return {656, 465};
    }
}

route::WalkInputs WalkOf(uint32_t settings, const Canvas& canvas) {
    route::WalkInputs in;
    // Mostly the viewer's defaults, so that most inputs draw.
    if (settings & 1) {
        in.curve = (settings >> 1) & 1;
        in.pitch = (settings >> 2) & 1;
        in.limit = (settings >> 3) & 1;
        in.sta = (settings >> 4) & 1;
        in.freeObj = (settings >> 5) & 1;
    }
    const uint32_t scale = (settings >> 6) & 7;
    in.scaleValue = scale < 4 ? -100 : scale == 4 ? -200 : scale == 5 ? 50 : int32_t((settings >> 9) % 251) - 200;
    in.startDistanceText = (settings >> 17) & 1 ? StartText(settings >> 18) : L("0");
    in.startDirectionText = (settings >> 21) & 1 ? StartText(settings >> 22) : L("0");
    in.startX = 50;
    in.startY = (canvas.height + route::kWindowExtraHeight) / 2;
    return in;
}

route::Text Fault(StringValue* what, int32_t at = -1) {
    if (at < 0) return route::Text::Borrow(what);
    route::Text n = check::Number(at);
    return route::Join(what, n.Get());
}

route::Text Run(RouteFuzzCall& call) {
    route::Object file = route::Object::Adopt(RuntimeGetFolderItem(call.path));
    if (!file) return Fault(L("no folder item for the route file"));
    route::Text data;
    route::RouteSurvey survey;
    if (route::AnalyzeRouteFile(file.Get(), &data, survey.Observer()) != route::AnalysisOutcome::kDone)
        return Fault(L("the analysis refused a readable file"));
    route::Text report = survey.Report();
    if (report.IsEmpty()) return Fault(L("an empty report"));

    const uint32_t settings = call.settings;
    const Canvas canvas = CanvasOf(settings >> 25);
    route::Object picture = route::Object::Adopt(newPicture(canvas.width, canvas.height, 32));
    route::Object buffer = route::BlackOut(canvas.width, canvas.height);
    route::Object graphics = route::Object::Adopt(picture ? pictureGraphicsGetter(picture.Get(), 0) : nullptr);
    if (!picture || !buffer || !graphics) return Fault(L("no picture for the canvas"));
    route::PrepareMeasure(graphics.Get());

    route::WalkInputs in = WalkOf(settings, canvas);
    in.measure = graphics.Get();
    route::Object group = route::DrawRoute(data.Get(), in);
    if (!group) return Fault(L("the walk gave no group"));
    call.shapes = check::MemberCount(group.Get());
    // The walk against the reference; the reference group is kept to show
    // that rendering and drawing leave the route group as it was.
    route::Object expected;
    if (call.compare) {
        route::Text slow;
        if (reference::AnalyzeRouteFile(file.Get(), &slow) != route::AnalysisOutcome::kDone)
            return Fault(L("the reference analysis refused the file"));
        if (StringLen(slow.Get()) != StringLen(data.Get()) ||
            (data.Get() && StringInStrB(1, data.Get(), slow.Get()) != 1))
            return Fault(L("the fast and the reference analysis differ"));
        expected = reference::DrawRoute(data.Get(), in);
        const int32_t at = check::FirstDifference(group.Get(), expected.Get());
        if (at >= 0) return Fault(L("the fast and the reference walk differ at shape "), at);
    }
    // Scrolled as a pan leaves it, now and then.
    const int32_t scroll = (settings >> 28) & 1 ? int32_t(settings >> 29) * 300 - 900 : 0;
    route::RenderRoute(buffer.Get(), group.Get(), scroll, -scroll / 2);
    route::DrawMap(graphics.Get(), buffer.Get(), call.path, in.scaleValue, canvas.width, canvas.height);
    if (graphicsWidthGetter(graphics.Get(), 0) != canvas.width || graphicsHeightGetter(graphics.Get(), 0) != canvas.height)
        return Fault(L("the canvas changed size"));
    route::Object profile = route::DrawGradientProfile(survey, canvas.width, canvas.height);
    if (!profile) return Fault(L("no profile"));
    if (expected) {
        const int32_t at = check::FirstDifference(group.Get(), expected.Get());
        if (at >= 0) return Fault(L("drawing the route group changed its shape "), at);
    }

    return route::Text();
}

}  // namespace

extern "C" int OrvaneModuleEntry(RouteFuzzCall* call) {
    call->result = nullptr;
    call->shapes = 0;
    if (call->operation == kRouteFuzzRun) {
        call->result = Run(*call).Release();
    } else if (call->operation == kRouteFuzzGenerate) {
        call->result = generator::GeneratedFileBytes(call->seed, call->statements).Release();
    } else {
        return 1;
    }
    return 0;
}
