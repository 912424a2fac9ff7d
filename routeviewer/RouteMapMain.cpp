// OrvaneRouteMap: writes the map of a route file to an image, exactly as the
// viewer's canvas shows it after opening the file with the same settings,
// without showing a window.
#include "orvane/literal.h"
#include "routeviewer/BmpWriter.h"
#include "routeviewer/CommandArguments.h"
#include "routeviewer/GradientProfile.h"
#include "routeviewer/MapView.h"
#include "routeviewer/RouteAnalysis.h"
#include "routeviewer/RouteMapOptions.h"
#include "routeviewer/RouteSurvey.h"
#include "routeviewer/RouteWalk.h"

namespace route {
namespace {

ORVANE_LITERAL(kPrefix, "OrvaneRouteMap: ");
ORVANE_LITERAL(kNewLine, "\n");
ORVANE_LITERAL(kSeeHelp, "\nTry OrvaneRouteMap.exe --help\n");
ORVANE_LITERAL(kNoRoute, "cannot read the route file: ");
ORVANE_LITERAL(kNoImage, "cannot write the image: ");
ORVANE_LITERAL(kNoProfile, "cannot write the profile: ");
ORVANE_LITERAL(kNoPicture, "cannot make a picture of that size");
ORVANE_LITERAL(kHelp,
    "usage: OrvaneRouteMap.exe ROUTE.csv OUT.bmp [options]\n"
    "Writes the map of a route file as the viewer shows it after File > Open.\n"
    "  --size WxH          canvas size in pixels (default 656x465, at most 8192x8192)\n"
    "  --scale N           scale slider value, -200 to 50 (default -100: 0.1 pixel per metre)\n"
    "  --start METRES      start distance (default 0)\n"
    "  --angle DEGREES     start direction (default 0)\n"
    "  --no-curve          no curve marks (curves still shape the track)\n"
    "  --no-pitch          no gradient marks\n"
    "  --no-limit          no speed-limit marks\n"
    "  --no-sta            no station marks\n"
    "  --freeobj           crosses for lineside objects\n"
    "  --profile FILE.bmp  also write the gradient profile\n"
    "  --report            print a summary of the route on standard output\n"
    "  --help              this text\n"
    "Exit codes: 0 done, 2 bad arguments, 3 route file missing or unreadable,\n"
    "4 image not writable. Nothing is written on failure.\n");

void Say(StringValue* a, StringValue* b = nullptr) {
    RuntimeStdErrWrite(ORVANE_STR(kPrefix));
    RuntimeStdErrWrite(a);
    RuntimeStdErrWrite(b);
    RuntimeStdErrWrite(ORVANE_STR(kNewLine));
}

int32_t Fail(int32_t code, StringValue* a, StringValue* b = nullptr) {
    Say(a, b);
    return code;
}

// Every output is written completely or not at all: both files are kept
// only when both were written.
int32_t WriteImages(const MapOptions& options, ObjectHeader* canvas, ObjectHeader* profile) {
    Text imagePath = AbsolutePath(options.imagePath);
    void* image = RuntimeOutputFileCreate(imagePath.Get());
    if (!image) return Fail(kExitNoImage, ORVANE_STR(kNoImage), options.imagePath);
    void* profileFile = nullptr;
    if (profile) {
        Text profilePath = AbsolutePath(options.profilePath);
        profileFile = RuntimeOutputFileCreate(profilePath.Get());
        if (!profileFile) {
            RuntimeOutputFileClose(image, 0);
            return Fail(kExitNoImage, ORVANE_STR(kNoProfile), options.profilePath);
        }
    }
    const bool mapOk = WriteBmp(image, canvas, options.width, options.height);
    const bool profileOk = !profile || WriteBmp(profileFile, profile, options.width, options.height);
    const bool keep = mapOk && profileOk;
    const bool mapKept = RuntimeOutputFileClose(image, keep) != 0;
    const bool profileKept = !profile || RuntimeOutputFileClose(profileFile, keep) != 0;
    if (!mapOk || !mapKept) return Fail(kExitNoImage, ORVANE_STR(kNoImage), options.imagePath);
    if (!profileOk || !profileKept) return Fail(kExitNoImage, ORVANE_STR(kNoProfile), options.profilePath);
    return kExitDone;
}

int32_t Run() {
    CommandArguments args;
    Text line = Text::Adopt(SystemGetCommandLine());
    MapOptions options;
    Text problem;
    if (!args.Parse(line.Get()) || !ParseMapOptions(args, &options, &problem)) {
        Say(problem.Get());
        RuntimeStdErrWrite(ORVANE_STR(kSeeHelp));
        return kExitBadArguments;
    }
    if (options.help) {
        RuntimeStdOutWrite(ORVANE_STR(kHelp));
        return kExitDone;
    }

    Text routePath = AbsolutePath(options.routePath);
    Object file = Object::Adopt(RuntimeGetFolderItem(routePath.Get()));
    if (!file || !fileExistsGetter(file.Get(), 0) || fileDirectoryGetter(file.Get(), 0))
        return Fail(kExitNoRoute, ORVANE_STR(kNoRoute), options.routePath);
    Text data;
    RouteSurvey survey;  // for the report and the profile
    const bool surveyed = options.report || options.profilePath;
    if (AnalyzeRouteFile(file.Get(), &data, surveyed ? survey.Observer() : LineObserver()) != AnalysisOutcome::kDone)
        return Fail(kExitNoRoute, ORVANE_STR(kNoRoute), options.routePath);

    // The canvas, whose Graphics measures labels and receives the map.
    Object canvas = Object::Adopt(newPicture(options.width, options.height, 32));
    Object buffer = BlackOut(options.width, options.height);
    Object canvasGraphics = Object::Adopt(canvas ? pictureGraphicsGetter(canvas.Get(), 0) : nullptr);
    if (!canvas || !buffer || !canvasGraphics) return Fail(kExitNoImage, ORVANE_STR(kNoPicture));
    PrepareMeasure(canvasGraphics.Get());

    WalkInputs in = options.walk;
    in.measure = canvasGraphics.Get();
    Object group = DrawRoute(data.Get(), in);
    RenderRoute(buffer.Get(), group.Get(), 0, 0);
    Text path = Text::Adopt(fileAbsolutePathGetter(file.Get(), 0));
    DrawMap(canvasGraphics.Get(), buffer.Get(), path.Get(), in.scaleValue, options.width, options.height);

    Object profile;
    if (options.profilePath) {
        profile = DrawGradientProfile(survey, options.width, options.height);
        if (!profile) return Fail(kExitNoImage, ORVANE_STR(kNoPicture));
    }
    const int32_t code = WriteImages(options, canvas.Get(), profile.Get());
    if (code == kExitDone && options.report) PrintRouteReport(survey, path.Get());
    return code;
}

}  // namespace
}  // namespace route

extern "C" int OrvaneModuleEntry() {
    RuntimeInit();
    RuntimeSetExitCode(route::Run());
    RuntimeExit();
    return 0;
}
