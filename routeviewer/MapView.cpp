#include "routeviewer/MapView.h"

#include "orvane/literal.h"
#include "routeviewer/MapShapes.h"
#include "routeviewer/RouteText.h"
#include "routeviewer/RouteWalk.h"

namespace route {

namespace {
ORVANE_ASCII_LITERAL(kMetres, "m");
constexpr int32_t kOmitted = -10000;  // a size left out: the whole picture
constexpr int32_t kMeasureTextSize = 10;

using namespace orvane::shape;
}  // namespace

Object BlackOut(int32_t width, int32_t height) {
    Object picture = Object::Adopt(newPicture(width, height, 32));
    if (!picture) return picture;
    Object g = Object::Adopt(pictureGraphicsGetter(picture.Get(), 0));
    graphicsForeColorSetter(g.Get(), 0, Rgb(0, 0, 0));
    RuntimeGraphicsFillRect(g.Get(), 0, 0, graphicsWidthGetter(g.Get(), 0), graphicsHeightGetter(g.Get(), 0));
    return picture;
}

void PrepareMeasure(ObjectHeader* canvasGraphics) {
    graphicsTextSizeSetter(canvasGraphics, 0, kMeasureTextSize);
}

void RenderRoute(ObjectHeader* picture, ObjectHeader* group, int32_t scrollX, int32_t scrollY) {
    Object g = Object::Adopt(pictureGraphicsGetter(picture, 0));
    RuntimeGraphicsDrawObjectXY(g.Get(), group, scrollX, scrollY);
}

void DrawMap(ObjectHeader* canvasGraphics, ObjectHeader* picture, StringValue* path, int32_t scaleValue,
             int32_t canvasWidth, int32_t canvasHeight) {
    RuntimeGraphicsDrawPicture(canvasGraphics, picture, 0, 0, kOmitted, kOmitted, 0, 0, kOmitted,
                               kOmitted);
    graphicsForeColorSetter(canvasGraphics, 0, kTrackColor);
    if (path) RuntimeGraphicsDrawString(canvasGraphics, path, 5, 13, 0);
    DrawScale(canvasGraphics, scaleValue, canvasWidth, canvasHeight);
}

int32_t ScaleBarMetres(int32_t scaleValue) {
    const double s = ScaleOfSlider(scaleValue);
    return int32_t(RuntimeCeil(100 / s / 100) * 100);
}

void DrawScale(ObjectHeader* canvasGraphics, int32_t scaleValue, int32_t canvasWidth, int32_t canvasHeight) {
    const int32_t bar = ScaleBarMetres(scaleValue);
    const double s = ScaleOfSlider(scaleValue);
    Object figure = NewShape(FigureShapeClass());
    Object label = NewShape(StringShapeClass());
    if (!figure || !label) return;
    SetInt(figure.Get(), kBorderColorAt, kTrackColor);
    doubleSetter(figure.Get(), kBorderWidthAt, 1.0);
    SetPercent(figure.Get(), kBorderAt, 100);
    SetPercent(figure.Get(), kFillAt, 0);
    const float left = float(-bar * s);
    FigureShapeAddLine(figure.Get(), 0, -3, 0, 0);
    FigureShapeAddLine(figure.Get(), 0, 0, left, 0);
    FigureShapeAddLine(figure.Get(), left, 0, left, -3);
    SetInt(label.Get(), kFillColorAt, kTrackColor);
    Text number = Text::Adopt(StringStr(double(bar)));
    Text text = Join(number.Get(), ORVANE_STR(kMetres));
    stringSetter(label.Get(), kTextAt, text.Get());
    RuntimeGraphicsDrawObjectXY(canvasGraphics, figure.Get(), canvasWidth - 5, canvasHeight - 5);
    const int32_t x = SaturatedInteger(double(canvasWidth - 5) - bar * s / 2);
    RuntimeGraphicsDrawObjectXY(canvasGraphics, label.Get(), x, canvasHeight - 5 - 10);
}

}  // namespace route
