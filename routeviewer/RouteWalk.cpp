#include "routeviewer/RouteWalk.h"

#include "routeviewer/CurveRail.h"
#include "routeviewer/LabelWidths.h"
#include "routeviewer/MapMarks.h"
#include "routeviewer/MapShapes.h"
#include "routeviewer/RouteText.h"

namespace route {

namespace {

class Walk {
public:
    Walk(const WalkInputs& in, ObjectHeader* group, ObjectHeader* rail, LabelWidths* widths)
        : in_(in), rail_(rail), marks_{group, in.measure, ScaleOfSlider(in.scaleValue), widths} {
        const double s = marks_.scale;
        startDistance_ = SaneNumber(StringVal(in.startDistanceText));
        CurveRailObject* r = AsRail(rail);
        r->radius = 99999999.0;
        r->endDirection = SaneNumber(StringVal(in.startDirectionText)) * kPi / 180;
        r->endX = in.startX / s;
        r->endY = in.startY / s;
        r->borderWidth = 1 / s;
    }

    void Line(StringValue* line) {
        Text first = Text::Adopt(StringNthField(line, CommaText(), 1));
        distance_ = SaturatedInteger(StringVal(first.Get()));
        Text lower = Text::Adopt(StringLCase(line));
        if (double(distance_) < startDistance_)
            Skip(line, lower.Get());
        else
            Draw(line, lower.Get());
    }

private:
    double Since(int32_t from) const { return double(distance_) - double(from); }

    void Skip(StringValue* line, StringValue* lower) {
        CurveRailObject* r = AsRail(rail_);
        if (Contains(lower, CurveKeyword())) {
            r->startDirection = r->endDirection;
            r->length = Since(segmentStart_);
            CurveRailCalculateVertex(rail_);
            r->radius = ReadNumber(NthFieldAfter(line, CurveKeyword(), 1, true).Get());
            segmentStart_ = distance_;
            r->endX = in_.startX / marks_.scale;
            r->endY = in_.startY / marks_.scale;
        }
        if (Contains(lower, PitchKeyword())) {
            height_ = height_ + Since(gradientStart_) * gradient_ / 1000;
            gradientStart_ = distance_;
            gradient_ = ReadNumber(KeywordArgument(lower, PitchKeyword()).Get());
        }
    }

    void Close() {
        ChainRail(rail_);
        AsRail(rail_)->length = Since(segmentStart_);
        AppendRailCopy(marks_.group, rail_);
    }

    void Draw(StringValue* line, StringValue* lower) {
        CurveRailObject* r = AsRail(rail_);
        if (double(segmentStart_) < startDistance_) segmentStart_ = SaturatedInteger(startDistance_);
        if (in_.limit && Contains(lower, LimitKeyword())) {
            Close();
            AddLimitMark(marks_, rail_, NthFieldAfter(line, LimitKeyword(), 1, true).Get());
            segmentStart_ = distance_;
        }
        if (Contains(lower, CurveKeyword())) {
            Text text = Text::Adopt(runTrim(KeywordArgument(lower, CurveKeyword()).Get()));
            Close();
            r->radius = ReadNumber(text.Get());
            if (in_.curve) AddCurveMark(marks_, rail_, text.Get());
            segmentStart_ = distance_;
        }
        if (in_.pitch && Contains(lower, PitchKeyword())) {
            Text argument = KeywordArgument(lower, PitchKeyword());
            Text text = Text::Adopt(runTrim(argument.Get()));
            Close();
            height_ = height_ + Since(gradientStart_) * gradient_ / 1000;
            AddGradientMark(marks_, rail_, text.Get(), height_);
            segmentStart_ = distance_;
            gradientStart_ = distance_;
            gradient_ = ReadNumber(argument.Get());
        }
        if (in_.sta && Contains(lower, StaKeyword())) {
            Close();
            AddStationMark(marks_, rail_, NthFieldAfter(line, StaKeyword(), 1, true).Get(), distance_);
            segmentStart_ = distance_;
        }
        if (in_.freeObj && Contains(lower, FreeObjKeyword())) {
            r->length = Since(segmentStart_);
            DrawFreeObj(marks_, line, rail_);
            segmentStart_ = distance_;
        }
        RuntimeBackgroundTask();
    }

    const WalkInputs& in_;
    ObjectHeader* rail_;
    MarkTarget marks_;
    double startDistance_ = 0;
    int32_t distance_ = 0;
    int32_t segmentStart_ = 0;
    int32_t gradientStart_ = 0;
    double height_ = 0;
    double gradient_ = 0;
};

// The 1-based position of the first CR LF at or after from; 0 for none.
int32_t FindLineEnd(const uint8_t* bytes, int32_t length, int32_t from) {
    for (int32_t i = from; i < length; ++i)
        if (bytes[i - 1] == '\r' && bytes[i] == '\n') return i;
    return 0;
}

}  // namespace

double ScaleOfSlider(int32_t value) { return RuntimePow(10, double(value) / 100); }

Object DrawRoute(StringValue* routeData, const WalkInputs& in) {
    Object group = NewGroup();
    Object rail = NewCurveRail();
    if (!group || !rail) return Object();
    LabelWidths widths(in.measure);
    Walk walk(in, group.Get(), rail.Get(), &widths);
    Text data = Text::Borrow(routeData);
    const uint8_t* bytes = data.Bytes();
    const int32_t length = data.Length();
    // Lines by position: the text before the next CR LF, then the rest.
    int32_t pos = 1;
    int32_t end = FindLineEnd(bytes, length, pos);
    for (;;) {
        Text line = Text::Adopt(end ? StringMid3(data.Get(), pos, end - pos) : StringMid2(data.Get(), pos));
        if (end) pos = end + 2;
        walk.Line(line.Get());
        GrowGeometrically(group.Get());
        // Both phases end when no line is left.
        end = FindLineEnd(bytes, length, pos);
        if (!end) break;
    }
    SetDouble(group.Get(), orvane::shape::kScaleAt, ScaleOfSlider(in.scaleValue));
    return group;
}

}  // namespace route
