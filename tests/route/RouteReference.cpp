#include "tests/route/RouteReference.h"

#include "routeviewer/CurveRail.h"
#include "routeviewer/MapMarks.h"
#include "routeviewer/MapShapes.h"
#include "routeviewer/RouteText.h"
#include "tests/route/RouteCheck.h"

namespace reference {

using route::Join;
using route::Object;
using route::Text;

void Normaliser::AddLine(StringValue* raw) {
    Text line = Text::Borrow(raw);
    Text first = Text::Adopt(route::GetField(line.Get(), L(","), 1));
    if (StringVal(first.Get()) != 0 || StringInStrB(1, first.Get(), L("0")) != 0) {
        distance_ = first;
    } else {
        Text trimmed = Text::Adopt(runLTrim(line.Get()));
        line = Join(distance_.Get(), trimmed.Get());
    }
    const int32_t count = StringCountFields(line.Get(), L(","));
    for (int32_t i = 2; i <= count; ++i) {
        Text f = Text::Adopt(route::GetField(line.Get(), L(","), i));
        if (RuntimeStringCompare(f.Get(), nullptr) != 0) {
            Text a = Join(distance_.Get(), L(","));
            Text b = Join(a.Get(), f.Get());
            Text c = Text::Adopt(RuntimeEndOfLineAddRight(nullptr, b.Get()));
            result_ = Join(result_.Get(), c.Get());
        }
        RuntimeBackgroundTask();
    }
}

route::AnalysisOutcome AnalyzeRouteFile(ObjectHeader* file, Text* result) {
    Object converter = route::ShiftJisToUtf8();
    if (!file) return route::AnalysisOutcome::kNoFile;
    Object stream = Object::Adopt(FolderItemOpenTextFile(file));
    if (!stream) return route::AnalysisOutcome::kNotOpened;
    Normaliser n;
    for (;;) {
        Text raw = Text::Adopt(TextInputStreamReadLine(stream.Get(), nullptr));
        Text line = Text::Adopt(textConverterConvert(converter.Get(), raw.Get()));
        n.AddLine(line.Get());
        RuntimeBackgroundTask();
        if (TextInputStreamEOF(stream.Get(), 0)) break;
    }
    TextInputStreamClose(stream.Get());
    *result = n.Finish();
    return route::AnalysisOutcome::kDone;
}

namespace {

using route::kPi;

Text Lower(StringValue* line) { return Text::Adopt(StringLCase(line)); }
bool Has(StringValue* line, StringValue* keyword) { return StringInStrB(1, Lower(line).Get(), keyword) != 0; }

// StringNthField(StringNthField(line, keyword, 2), ";", n)
Text Nth(StringValue* line, StringValue* keyword, int32_t n) {
    Text a = Text::Adopt(StringNthField(line, keyword, 2));
    return Text::Adopt(StringNthField(a.Get(), L(";"), n));
}
Text Trim(const Text& t) { return Text::Adopt(runTrim(t.Get())); }
// GetField(GetField(GetField(lower-cased line, keyword, 2), ",", 1), ";", 1)
Text Lowered(StringValue* line, StringValue* keyword) {
    Text a = Text::Adopt(route::GetField(Lower(line).Get(), keyword, 2));
    Text b = Text::Adopt(route::GetField(a.Get(), L(","), 1));
    return Text::Adopt(route::GetField(b.Get(), L(";"), 1));
}

}  // namespace

Object DrawRoute(StringValue* routeData, const route::WalkInputs& in) {
    // P1 - P5
    const double scale = RuntimePow(10, double(in.scaleValue) / 100);
    const double startDirection = route::SaneNumber(StringVal(in.startDirectionText)) * 3.14159265358979 / 180;
    Object group = Object::Adopt(RuntimeNewObject(route::Group2DClass()));
    Text remaining = Text::Borrow(routeData);
    Object rail = route::NewCurveRail();
    const double startDistance = route::SaneNumber(StringVal(in.startDistanceText));
    route::CurveRailObject* r = route::AsRail(rail.Get());
    r->radius = 99999999.0;
    r->endDirection = startDirection;
    r->endX = in.startX / scale;
    r->endY = in.startY / scale;
    r->borderWidth = 1 / scale;
    int32_t segmentStart = 0, gradientStart = 0;
    double height = 0, gradient = 0;
    const route::MarkTarget marks{group.Get(), in.measure, scale, nullptr};
    StringValue* eol = L("\r\n");

    auto close = [&](int32_t distance) {
        r->startDirection = r->endDirection;
        r->startX = r->endX;
        r->startY = r->endY;
        r->length = double(distance) - double(segmentStart);
        Object computed = Object::Adopt(route::CurveRailGetRail(rail.Get()));
        Object copy = Object::Adopt(route::CurveRailCopy(computed.Get()));
        Group2DAppend(group.Get(), copy.Get());
    };

    for (;;) {
        // W1
        Text line = Text::Adopt(route::GetField(remaining.Get(), eol, 1));
        Text taken = Join(line.Get(), eol);
        remaining = Text::Adopt(StringReplaceB(remaining.Get(), taken.Get(), nullptr));
        // W2
        Text first = Text::Adopt(StringNthField(line.Get(), L(","), 1));
        const int32_t distance = route::SaturatedInteger(StringVal(first.Get()));
        // W3
        if (double(distance) < startDistance) {
            if (Has(line.Get(), L(".curve"))) {
                r->startDirection = r->endDirection;
                r->length = double(distance) - double(segmentStart);
                route::CurveRailCalculateVertex(rail.Get());
                r->radius = route::ReadNumber(Trim(Nth(line.Get(), L(".curve"), 1)).Get());
                segmentStart = distance;
                r->endX = in.startX / scale;
                r->endY = in.startY / scale;
            }
            if (Has(line.Get(), L(".pitch"))) {
                height = height + (double(distance) - double(gradientStart)) * gradient / 1000;
                gradientStart = distance;
                gradient = route::ReadNumber(Lowered(line.Get(), L(".pitch")).Get());
            }
            if (StringInStrB(1, remaining.Get(), eol) == 0) break;  // the text ran out
            continue;
        }
        // W4
        if (double(segmentStart) < startDistance) segmentStart = route::SaturatedInteger(startDistance);
        // W5
        if (in.limit && Has(line.Get(), L(".limit"))) {
            close(distance);
            route::AddLimitMark(marks, rail.Get(), Trim(Nth(line.Get(), L(".limit"), 1)).Get());
            segmentStart = distance;
        }
        if (Has(line.Get(), L(".curve"))) {
            r->startDirection = r->endDirection;
            r->startX = r->endX;
            r->startY = r->endY;
            Text text = Trim(Lowered(line.Get(), L(".curve")));
            r->length = double(distance) - double(segmentStart);
            Object computed = Object::Adopt(route::CurveRailGetRail(rail.Get()));
            Object copy = Object::Adopt(route::CurveRailCopy(computed.Get()));
            Group2DAppend(group.Get(), copy.Get());
            r->radius = route::ReadNumber(text.Get());
            if (in.curve) route::AddCurveMark(marks, rail.Get(), text.Get());
            segmentStart = distance;
        }
        if (in.pitch && Has(line.Get(), L(".pitch"))) {
            r->startDirection = r->endDirection;
            r->startX = r->endX;
            r->startY = r->endY;
            Text text = Trim(Lowered(line.Get(), L(".pitch")));
            r->length = double(distance) - double(segmentStart);
            Object computed = Object::Adopt(route::CurveRailGetRail(rail.Get()));
            Object copy = Object::Adopt(route::CurveRailCopy(computed.Get()));
            Group2DAppend(group.Get(), copy.Get());
            height = height + (double(distance) - double(gradientStart)) * gradient / 1000;
            route::AddGradientMark(marks, rail.Get(), text.Get(), height);
            segmentStart = distance;
            gradientStart = distance;
            gradient = route::ReadNumber(Lowered(line.Get(), L(".pitch")).Get());
        }
        if (in.sta && Has(line.Get(), L(".sta"))) {
            close(distance);
            route::AddStationMark(marks, rail.Get(), Trim(Nth(line.Get(), L(".sta"), 1)).Get(), distance);
            segmentStart = distance;
        }
        if (in.freeObj && Has(line.Get(), L(".freeobj"))) {
            r->length = double(distance) - double(segmentStart);
            route::DrawFreeObj(marks, line.Get(), rail.Get());
            segmentStart = distance;
        }
        // W6, W7
        RuntimeBackgroundTask();
        if (StringInStrB(1, remaining.Get(), eol) == 0) break;
    }
    route::SetDouble(group.Get(), orvane::shape::kScaleAt, scale);
    return group;
}

}  // namespace reference
