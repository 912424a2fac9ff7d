// A summary of a route file, line by line as the file has them: length,
// stations, statements of each kind, the smallest radius, the steepest
// gradient, the heights the gradients give, and the lines that look wrong
// (distances out of order, numbers that could not be read, statements
// without their argument).
#pragma once

#include "routeviewer/RouteAnalysis.h"
#include "routeviewer/TextJoiner.h"

namespace route {

// One survey at a time: its tables live in the module's static storage
// (large, so not on the stack).
class RouteSurvey {
public:
    RouteSurvey();
    ~RouteSurvey();
    RouteSurvey(const RouteSurvey&) = delete;
    RouteSurvey& operator=(const RouteSurvey&) = delete;

    static constexpr int32_t kMaxStations = 256;
    static constexpr int32_t kMaxPoints = 4096;   // profile points kept (evenly thinned beyond)
    static constexpr int32_t kMaxSuspicious = 100;  // listed; the rest only counted

    // An observer for AnalyzeRouteFile that feeds this survey.
    LineObserver Observer();
    void AddLine(StringValue* line, int32_t number);

    // The summary as text, lines ending in LF.
    Text Report();

    struct Point {
        double distance, height, gradient;
    };
    struct Station {
        StringValue* name;  // one reference, released with the survey
        double distance;
    };
    int32_t PointCount() const { return points_; }
    const Point& PointAt(int32_t i) const { return point_[i]; }
    int32_t StationCount() const { return stations_; }
    const Station& StationAt(int32_t i) const { return station_[i]; }
    bool HasDistances() const { return hasDistance_; }
    double FirstDistance() const { return first_; }
    double LastDistance() const { return last_; }

private:
    void Statement(StringValue* field, int32_t number);
    void Suspicious(int32_t number, StringValue* what, StringValue* detail);
    void AddPoint(double distance, double gradient);
    double Argument(StringValue* text, int32_t number, StringValue* keyword);

    Text distanceText_;
    double distance_ = 0;
    double previous_ = 0;
    bool hasDistance_ = false, hasPrevious_ = false;
    double first_ = 0, last_ = 0;
    int32_t curves_ = 0, pitches_ = 0, limits_ = 0, stationsSeen_ = 0, objects_ = 0, others_ = 0;
    bool hasRadius_ = false, hasGradient_ = false;
    double smallestRadius_ = 0, steepest_ = 0;
    double height_ = 0, gradient_ = 0, gradientStart_ = 0;
    Point* point_;
    int32_t points_ = 0, pointStride_ = 1, pointSkip_ = 0;
    Station* station_;
    int32_t stations_ = 0;
    TextJoiner suspicious_;
    int32_t suspiciousCount_ = 0;
};

// Prints the survey's report on standard output.
void PrintRouteReport(RouteSurvey& survey, StringValue* path);

}  // namespace route
