// The scale bar's length in metres and pixels for slider values.
#include "routeviewer/MapView.h"
#include "routeviewer/RouteWalk.h"
#include "tests/route/RouteCheck.h"
#include "tests/route/RouteChecks.h"

namespace {
struct BarCase {
    int32_t slider;
    int32_t metres;
    double pixels;
};
const BarCase kBars[] = {
    {-200, 10000, 100}, {-150, 3200, 101.19}, {-100, 1000, 100}, {-50, 400, 126.49},
    {0, 100, 100},      {50, 100, 316.23},    {-1, 200, 195.45},
};
}  // namespace

void ScaleBarChecks() {
    check::Section(L("scale bar"));
    for (const BarCase& c : kBars) {
        check::Section(route::Join(L("scale bar at slider "), check::Number(c.slider).Get()).Release());
        const int32_t metres = route::ScaleBarMetres(c.slider);
        check::Equal(metres, c.metres, L("metres"));
        check::Near(metres * route::ScaleOfSlider(c.slider), c.pixels, 0.01, L("pixels"));
        check::True(metres * route::ScaleOfSlider(c.slider) >= 100 - 1e-9, L("at least 100 pixels"));
    }
}
