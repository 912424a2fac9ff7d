// Route benchmark (a module): generated Shift_JIS routes of 5,000, 50,000
// and 200,000 statements, analysed, walked and rendered by the fast path
// and by the reference in the same run, with their ratio and the memory the
// normalised text and the shape group take per statement.
//   RouteBench.exe WORK-FOLDER\ [--no-reference-above N]
#include "routeviewer/CommandArguments.h"
#include "routeviewer/MapView.h"
#include "routeviewer/RouteAnalysis.h"
#include "routeviewer/RouteWalk.h"
#include "tests/route/RouteCheck.h"
#include "tests/route/RouteGenerator.h"
#include "tests/route/RouteReference.h"
#include "tests/route/ShapeView.h"

namespace {

void Put(StringValue* s) { RuntimeStdOutWrite(s); }
void PutNumber(double v, StringValue* format) {
    route::Text t = route::Text::Adopt(StringFormat(v, format));
    Put(t.Get());
}

struct Timing {
    double analysis = -1, walk = -1, render = -1;
    int32_t shapes = 0;
};

route::WalkInputs Inputs(ObjectHeader* measure) {
    route::WalkInputs in;
    in.freeObj = true;
    in.startDistanceText = L("0");
    in.startDirectionText = L("0");
    in.startY = 259;
    in.measure = measure;
    return in;
}

Timing Measure(bool fast, ObjectHeader* file, ObjectHeader* measure, double* bytesPerStatement, int32_t statements) {
    Timing t;
    const double before = RuntimeMemoryInUse(0);
    route::Text data;
    double t0 = RuntimeMilliseconds();
    if (fast) route::AnalyzeRouteFile(file, &data);
    else reference::AnalyzeRouteFile(file, &data);
    double t1 = RuntimeMilliseconds();
    route::WalkInputs in = Inputs(measure);
    route::Object group = fast ? route::DrawRoute(data.Get(), in) : reference::DrawRoute(data.Get(), in);
    double t2 = RuntimeMilliseconds();
    if (bytesPerStatement) *bytesPerStatement = (RuntimeMemoryInUse(0) - before) / statements;
    route::Object picture = route::BlackOut(656, 465);
    route::RenderRoute(picture.Get(), group.Get(), 0, 0);
    double t3 = RuntimeMilliseconds();
    t.analysis = t1 - t0;
    t.walk = t2 - t1;
    t.render = t3 - t2;
    t.shapes = check::MemberCount(group.Get());
    return t;
}

int32_t Run() {
    route::CommandArguments args;
    route::Text line = route::Text::Adopt(SystemGetCommandLine());
    if (!args.Parse(line.Get()) || args.Count() < 1) {
        RuntimeStdErrWrite(L("usage: RouteBench.exe WORK-FOLDER\\ [REFERENCE-LIMIT]\n"));
        return 2;
    }
    // The reference is quadratic: above this many statements it is not run.
    const double referenceLimit = args.Count() > 1 ? StringVal(args.At(1)) : 50000;
    route::Object canvas = route::Object::Adopt(newPicture(656, 465, 32));
    route::Object measure = route::Object::Adopt(pictureGraphicsGetter(canvas.Get(), 0));
    route::PrepareMeasure(measure.Get());
    Put(L("statements  path       analysis ms  walk ms   render ms  shapes   bytes/statement\n"));
    const int32_t sizes[3] = {5000, 50000, 200000};
    for (int32_t k = 0; k < 3; ++k) {
        const int32_t n = sizes[k];
        route::Text bytes = generator::GeneratedFileBytes(uint32_t(11 + k), n);
        route::Text name = route::Join(args.At(0), L("bench_route.csv"));
        void* out = RuntimeOutputFileCreate(name.Get());
        if (!out || !RuntimeOutputFileWrite(out, bytes.Bytes(), bytes.Length()) || !RuntimeOutputFileClose(out, 1)) {
            RuntimeStdErrWrite(L("cannot write the route file\n"));
            return 3;
        }
        route::Object file = route::Object::Adopt(RuntimeGetFolderItem(name.Get()));
        double perStatement = 0;
        const Timing f = Measure(true, file.Get(), measure.Get(), &perStatement, n);
        Timing r;
        if (n <= referenceLimit) r = Measure(false, file.Get(), measure.Get(), nullptr, n);
        for (int32_t row = 0; row < 2; ++row) {
            const Timing& t = row == 0 ? f : r;
            if (row == 1 && t.analysis < 0) {
                PutNumber(n, L("0"));
                Put(L("      reference  (not run: quadratic)\n"));
                continue;
            }
            PutNumber(n, L("0"));
            Put(row == 0 ? L("      fast       ") : L("      reference  "));
            PutNumber(t.analysis, L("0.0"));
            Put(L("        "));
            PutNumber(t.walk, L("0.0"));
            Put(L("     "));
            PutNumber(t.render, L("0.0"));
            Put(L("      "));
            PutNumber(t.shapes, L("0"));
            if (row == 0) {
                Put(L("   "));
                PutNumber(perStatement, L("0"));
            }
            Put(L("\n"));
        }
        if (r.analysis >= 0) {
            Put(L("            ratio reference / fast: analysis "));
            PutNumber(r.analysis / f.analysis, L("0.0"));
            Put(L(", walk "));
            PutNumber(r.walk / f.walk, L("0.0"));
            Put(L(", analysis + walk "));
            PutNumber((r.analysis + r.walk) / (f.analysis + f.walk), L("0.0"));
            Put(L("\n"));
        }
    }
    Put(L("peak private bytes of the process: "));
    PutNumber(RuntimeMemoryInUse(1), L("0"));
    Put(L("\n"));
    return 0;
}

}  // namespace

extern "C" int OrvaneModuleEntry() {
    RuntimeInit();
    RuntimeSetExitCode(Run());
    RuntimeExit();
    return 0;
}
