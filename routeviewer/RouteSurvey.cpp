#include "routeviewer/RouteSurvey.h"

#include "orvane/literal.h"
#include "routeviewer/RouteText.h"

namespace route {

namespace {

ORVANE_LITERAL(kNoArgument, " without its argument");
ORVANE_LITERAL(kNotRead, "a number that could not be read: ");
ORVANE_LITERAL(kOutOfRange, "a number beyond the 32-bit range: ");
ORVANE_LITERAL(kOutOfOrder, "distance out of order: ");
ORVANE_LITERAL(kAfter, " after ");
ORVANE_LITERAL(kLine, "  line ");
ORVANE_LITERAL(kColon, ": ");
ORVANE_LITERAL(kNewLine, "\n");
ORVANE_LITERAL(kRoute, "route: ");
ORVANE_LITERAL(kLength, "length: ");
ORVANE_LITERAL(kFrom, " m (from ");
ORVANE_LITERAL(kTo, " to ");
ORVANE_LITERAL(kClose, ")\n");
ORVANE_LITERAL(kNoLength, "length: no distances\n");
ORVANE_LITERAL(kStatements, "statements: ");
ORVANE_LITERAL(kCurves, " (curve ");
ORVANE_LITERAL(kPitches, ", pitch ");
ORVANE_LITERAL(kLimits, ", limit ");
ORVANE_LITERAL(kStas, ", sta ");
ORVANE_LITERAL(kObjects, ", freeobj ");
ORVANE_LITERAL(kOthers, ", other ");
ORVANE_LITERAL(kCloseLine, ")\n");
ORVANE_LITERAL(kStations, "stations: ");
ORVANE_LITERAL(kIndent, "  ");
ORVANE_LITERAL(kSpace, " m ");
ORVANE_LITERAL(kMoreStations, "  ...\n");
ORVANE_LITERAL(kSmallestRadius, "smallest curve radius: ");
ORVANE_LITERAL(kMetres, " m\n");
ORVANE_LITERAL(kNone, "none\n");
ORVANE_LITERAL(kSteepest, "steepest gradient: ");
ORVANE_LITERAL(kPerMille, " per mille\n");
ORVANE_LITERAL(kSuspicious, "suspicious lines: ");
ORVANE_LITERAL(kMoreSuspicious, "  ...\n");

RouteSurvey::Point gPoints[RouteSurvey::kMaxPoints];
RouteSurvey::Station gStations[RouteSurvey::kMaxStations];

void SurveyLine(void* context, StringValue* line, int32_t number) {
    static_cast<RouteSurvey*>(context)->AddLine(line, number);
}

Text Number(double v) { return Text::Adopt(StringStr(v)); }

bool Blank(StringValue* s) {
    Text t = Text::Adopt(runTrim(s));
    return t.IsEmpty();
}

// What StringVal gives for text that holds no number is 0; a "0" in the
// text means the 0 was written.
bool Readable(StringValue* text, double v) { return v != 0 || StringInStrB(1, text, ZeroText()) != 0; }

bool InRange(double v) { return v == v && v <= kNumberLimit && v >= -kNumberLimit; }

double Magnitude(double v) { return v < 0 ? -v : v; }

}  // namespace

RouteSurvey::RouteSurvey() : point_(gPoints), station_(gStations) {}

RouteSurvey::~RouteSurvey() {
    for (int32_t i = 0; i < stations_; ++i) RuntimeUnlockString(station_[i].name);
}

LineObserver RouteSurvey::Observer() {
    LineObserver o;
    o.see = &SurveyLine;
    o.context = this;
    return o;
}

void RouteSurvey::Suspicious(int32_t number, StringValue* what, StringValue* detail) {
    if (++suspiciousCount_ > kMaxSuspicious) return;
    Text n = Number(number);
    suspicious_.Append(ORVANE_STR(kLine));
    suspicious_.Append(n.Get());
    suspicious_.Append(ORVANE_STR(kColon));
    suspicious_.Append(what);
    suspicious_.Append(detail);
    suspicious_.Append(ORVANE_STR(kNewLine));
}

void RouteSurvey::AddPoint(double distance, double gradient) {
    if (pointSkip_ > 0) {
        --pointSkip_;
        return;
    }
    if (points_ == kMaxPoints) {
        // Keep every other point and take half as many from now on.
        for (int32_t i = 0; 2 * i < kMaxPoints; ++i) point_[i] = point_[2 * i];
        points_ = kMaxPoints / 2;
        pointStride_ *= 2;
    }
    point_[points_++] = Point{distance, height_, gradient};
    pointSkip_ = pointStride_ - 1;
}

double RouteSurvey::Argument(StringValue* text, int32_t number, StringValue* keyword) {
    Text shown = Text::Adopt(runTrim(text));
    if (shown.IsEmpty()) {
        Suspicious(number, keyword, ORVANE_STR(kNoArgument));
        return 0;
    }
    const double v = StringVal(text);
    if (!Readable(text, v)) Suspicious(number, ORVANE_STR(kNotRead), shown.Get());
    else if (!InRange(v)) Suspicious(number, ORVANE_STR(kOutOfRange), shown.Get());
    return SaneNumber(v);
}

void RouteSurvey::Statement(StringValue* field, int32_t number) {
    Text lower = Text::Adopt(StringLCase(field));
    const double d = double(SaturatedInteger(distance_));
    if (Contains(lower.Get(), CurveKeyword())) {
        ++curves_;
        Text a = Text::Adopt(runTrim(LowerArgument(lower.Get(), CurveKeyword()).Get()));
        const double r = Argument(a.Get(), number, CurveKeyword());
        if (r != 0 && (!hasRadius_ || Magnitude(r) < Magnitude(smallestRadius_))) {
            hasRadius_ = true;
            smallestRadius_ = r;
        }
    } else if (Contains(lower.Get(), PitchKeyword())) {
        ++pitches_;
        Text a = LowerArgument(lower.Get(), PitchKeyword());
        const double g = Argument(a.Get(), number, PitchKeyword());
        if (!hasGradient_ || Magnitude(g) > Magnitude(steepest_)) {
            hasGradient_ = true;
            steepest_ = g;
        }
        height_ = height_ + (d - gradientStart_) * gradient_ / 1000;
        gradientStart_ = d;
        gradient_ = g;
        AddPoint(d, g);
    } else if (Contains(lower.Get(), LimitKeyword())) {
        ++limits_;
        Text a = NthFieldAfter(field, LimitKeyword(), 1, true);
        if (a.IsEmpty()) Suspicious(number, LimitKeyword(), ORVANE_STR(kNoArgument));
    } else if (Contains(lower.Get(), StaKeyword())) {
        ++stationsSeen_;
        Text name = NthFieldAfter(field, StaKeyword(), 1, true);
        if (name.IsEmpty()) Suspicious(number, StaKeyword(), ORVANE_STR(kNoArgument));
        if (stations_ < kMaxStations) station_[stations_++] = Station{name.Release(), d};
    } else if (Contains(lower.Get(), FreeObjKeyword())) {
        ++objects_;
        Text a = NthFieldAfter(field, FreeObjKeyword(), 3, false);
        Argument(a.Get(), number, FreeObjKeyword());
    } else if (!Blank(field)) {
        ++others_;
    }
}

void RouteSurvey::AddLine(StringValue* raw, int32_t number) {
    Text line = Text::Borrow(raw);
    Text first = Text::Adopt(StringNthField(line.Get(), CommaText(), 1));
    const double v = StringVal(first.Get());
    if (v != 0 || StringInStrB(1, first.Get(), ZeroText()) != 0) {
        if (!InRange(v)) Suspicious(number, ORVANE_STR(kOutOfRange), first.Get());
        distance_ = SaneNumber(v);
        if (hasPrevious_ && distance_ < previous_) {
            Text p = Number(previous_);
            Text a = Join(first.Get(), ORVANE_STR(kAfter));
            Text b = Join(a.Get(), p.Get());
            Suspicious(number, ORVANE_STR(kOutOfOrder), b.Get());
        }
        previous_ = distance_;
        hasPrevious_ = true;
        if (!hasDistance_ || distance_ < first_) first_ = distance_;
        if (!hasDistance_ || distance_ > last_) last_ = distance_;
        hasDistance_ = true;
    }
    // The statements behind the first field, each taken once by its position.
    for (int32_t start = FindByte(line, ',', 1); start;) {
        const int32_t next = FindByte(line, ',', start + 1);
        const int32_t end = next ? next : line.Length() + 1;
        if (end > start + 1) {
            Text f = Text::Adopt(StringMid3(line.Get(), start + 1, end - start - 1));
            Statement(f.Get(), number);
        }
        RuntimeBackgroundTask();
        start = next;
    }
}

Text RouteSurvey::Report() {
    TextJoiner out;
    auto put = [&](StringValue* s) { out.Append(s); };
    auto number = [&](double v) {
        Text t = Number(v);
        out.Append(t.Get());
    };
    if (hasDistance_) {
        put(ORVANE_STR(kLength));
        number(last_ - first_);
        put(ORVANE_STR(kFrom));
        number(first_);
        put(ORVANE_STR(kTo));
        number(last_);
        put(ORVANE_STR(kClose));
    } else {
        put(ORVANE_STR(kNoLength));
    }
    put(ORVANE_STR(kStatements));
    number(curves_ + pitches_ + limits_ + stationsSeen_ + objects_ + others_);
    put(ORVANE_STR(kCurves));
    number(curves_);
    put(ORVANE_STR(kPitches));
    number(pitches_);
    put(ORVANE_STR(kLimits));
    number(limits_);
    put(ORVANE_STR(kStas));
    number(stationsSeen_);
    put(ORVANE_STR(kObjects));
    number(objects_);
    put(ORVANE_STR(kOthers));
    number(others_);
    put(ORVANE_STR(kCloseLine));
    put(ORVANE_STR(kStations));
    number(stationsSeen_);
    put(ORVANE_STR(kNewLine));
    for (int32_t i = 0; i < stations_; ++i) {
        put(ORVANE_STR(kIndent));
        number(station_[i].distance);
        put(ORVANE_STR(kSpace));
        put(station_[i].name);
        put(ORVANE_STR(kNewLine));
    }
    if (stationsSeen_ > stations_) put(ORVANE_STR(kMoreStations));
    put(ORVANE_STR(kSmallestRadius));
    if (hasRadius_) {
        number(smallestRadius_);
        put(ORVANE_STR(kMetres));
    } else {
        put(ORVANE_STR(kNone));
    }
    put(ORVANE_STR(kSteepest));
    if (hasGradient_) {
        number(steepest_);
        put(ORVANE_STR(kPerMille));
    } else {
        put(ORVANE_STR(kNone));
    }
    put(ORVANE_STR(kSuspicious));
    number(suspiciousCount_);
    put(ORVANE_STR(kNewLine));
    Text listed = suspicious_.Finish();
    put(listed.Get());
    if (suspiciousCount_ > kMaxSuspicious) put(ORVANE_STR(kMoreSuspicious));
    return out.Finish();
}

void PrintRouteReport(RouteSurvey& survey, StringValue* path) {
    RuntimeStdOutWrite(ORVANE_STR(kRoute));
    RuntimeStdOutWrite(path);
    RuntimeStdOutWrite(ORVANE_STR(kNewLine));
    Text report = survey.Report();
    RuntimeStdOutWrite(report.Get());
}

}  // namespace route
