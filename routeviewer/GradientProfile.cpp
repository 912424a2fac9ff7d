#include "routeviewer/GradientProfile.h"

#include "routeviewer/MapShapes.h"
#include "routeviewer/MapView.h"
#include "routeviewer/RouteText.h"

namespace route {

namespace {

constexpr int32_t kLeft = 40, kRight = 20, kTop = 24, kBottom = 44;
constexpr int32_t kAxisColor = Rgb(128, 128, 128);
constexpr int32_t kStationColor = Rgb(0, 255, 0);
constexpr int32_t kGradientColor = Rgb(255, 0, 0);

class Plot {
public:
    Plot(double d0, double d1, double h0, double h1, int32_t width, int32_t height)
        : d0_(d0), dSpan_(d1 > d0 ? d1 - d0 : 1), h0_(h0), hSpan_(h1 > h0 ? h1 - h0 : 1), width_(width),
          height_(height) {}
    int32_t X(double d) const { return SaturatedInteger(kLeft + (d - d0_) / dSpan_ * (width_ - kLeft - kRight)); }
    int32_t Y(double h) const {
        return SaturatedInteger(height_ - kBottom - (h - h0_) / hSpan_ * (height_ - kTop - kBottom));
    }

private:
    double d0_, dSpan_, h0_, hSpan_;
    int32_t width_, height_;
};

}  // namespace

Object DrawGradientProfile(RouteSurvey& survey, int32_t width, int32_t height) {
    Object picture = BlackOut(width, height);
    if (!picture) return picture;
    Object g = Object::Adopt(pictureGraphicsGetter(picture.Get(), 0));
    PrepareMeasure(g.Get());
    const double d0 = survey.HasDistances() ? survey.FirstDistance() : 0;
    const double d1 = survey.HasDistances() ? survey.LastDistance() : 0;
    // The height at the end of the route continues the last gradient.
    const int32_t n = survey.PointCount();
    double endHeight = 0;
    if (n > 0) {
        const RouteSurvey::Point& last = survey.PointAt(n - 1);
        endHeight = SaneNumber(last.height + (d1 - last.distance) * last.gradient / 1000);
    }
    double h0 = 0, h1 = 0;
    for (int32_t i = 0; i < n; ++i) {
        const double h = survey.PointAt(i).height;
        if (h < h0) h0 = h;
        if (h > h1) h1 = h;
    }
    if (endHeight < h0) h0 = endHeight;
    if (endHeight > h1) h1 = endHeight;
    const Plot plot(d0, d1, h0, h1, width, height);

    graphicsForeColorSetter(g.Get(), 0, kAxisColor);
    RuntimeGraphicsDrawLine(g.Get(), kLeft, height - kBottom, width - kRight, height - kBottom);
    RuntimeGraphicsDrawLine(g.Get(), kLeft, kTop, kLeft, height - kBottom);

    // The line: from the start at height 0 through every gradient change.
    graphicsForeColorSetter(g.Get(), 0, kTrackColor);
    double d = d0, h = 0;
    for (int32_t i = 0; i <= n; ++i) {
        const double nd = i < n ? survey.PointAt(i).distance : d1;
        const double nh = i < n ? survey.PointAt(i).height : endHeight;
        RuntimeGraphicsDrawLine(g.Get(), plot.X(d), plot.Y(h), plot.X(nd), plot.Y(nh));
        d = nd;
        h = nh;
    }
    // The gradient values where they change.
    graphicsForeColorSetter(g.Get(), 0, kGradientColor);
    int32_t lastLabelX = -1000;
    for (int32_t i = 0; i < n; ++i) {
        const RouteSurvey::Point& p = survey.PointAt(i);
        const int32_t x = plot.X(p.distance);
        if (x - lastLabelX < 24) continue;  // no labels on top of each other
        Text t = Text::Adopt(StringStr(p.gradient));
        RuntimeGraphicsDrawString(g.Get(), t.Get(), x + 2, plot.Y(p.height) - 4, 0);
        lastLabelX = x;
    }
    // The stations along the bottom: a tick, the name, the distance.
    graphicsForeColorSetter(g.Get(), 0, kStationColor);
    for (int32_t i = 0; i < survey.StationCount(); ++i) {
        const RouteSurvey::Station& s = survey.StationAt(i);
        const int32_t x = plot.X(s.distance);
        RuntimeGraphicsDrawLine(g.Get(), x, kTop, x, height - kBottom + 4);
        const int32_t w = RuntimeGraphicsStringWidth(g.Get(), s.name);
        RuntimeGraphicsDrawString(g.Get(), s.name, x - w / 2, height - kBottom + 18, 0);
        Text v = Text::Adopt(StringStr(s.distance));
        const int32_t vw = RuntimeGraphicsStringWidth(g.Get(), v.Get());
        RuntimeGraphicsDrawString(g.Get(), v.Get(), x - vw / 2, height - kBottom + 34, 0);
    }
    return picture;
}

}  // namespace route
