// The route checks module: runs every group of checks on the real runtime
// and ends with the number of failures as its exit code.
//   RouteChecks.exe SAMPLES-FOLDER\   (the folder of the sample routes)
#include "routeviewer/CommandArguments.h"
#include "routeviewer/MapView.h"
#include "tests/route/RouteCheck.h"
#include "tests/route/RouteChecks.h"

namespace {

int32_t Run() {
    route::CommandArguments args;
    route::Text line = route::Text::Adopt(SystemGetCommandLine());
    if (!args.Parse(line.Get()) || args.Count() != 1) {
        RuntimeStdErrWrite(L("usage: RouteChecks.exe SAMPLES-FOLDER\\\n"));
        return 100;
    }
    // The canvas's Graphics at text size 10 measures the labels.
    route::Object canvas = route::Object::Adopt(newPicture(656, 465, 32));
    route::Object measure = route::Object::Adopt(pictureGraphicsGetter(canvas.Get(), 0));
    route::PrepareMeasure(measure.Get());

    GeometryChecks();
    NormaliseChecks();
    WalkChecks(measure.Get());
    ScaleBarChecks();
    ReferenceChecks(measure.Get(), args.At(0));

    check::Note(L("route checks passed: "), check::Number(check::Passes()).Get());
    check::Note(L("route checks failed: "), check::Number(check::Failures()).Get());
    const int32_t failures = check::Failures();
    return failures > 99 ? 99 : failures;
}

}  // namespace

extern "C" int OrvaneModuleEntry() {
    RuntimeInit();
    RuntimeSetExitCode(Run());
    RuntimeExit();
    return 0;
}
