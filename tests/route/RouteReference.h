// The route analysis and walk exactly as first described, kept to check the
// fast path against: the remaining text is rebuilt for every line, the
// result re-copied for every statement and the group grown by its fixed
// step, so both are quadratic in the route's length. Only the two mends are
// in: the skip phase ends when the text runs out, and numbers are read sane.
#pragma once

#include "routeviewer/RouteAnalysis.h"
#include "routeviewer/RouteWalk.h"

namespace reference {

class Normaliser {
public:
    void AddLine(StringValue* line);
    route::Text Finish() { return static_cast<route::Text&&>(result_); }

private:
    route::Text distance_;
    route::Text result_;
};

route::AnalysisOutcome AnalyzeRouteFile(ObjectHeader* file, route::Text* result);
route::Object DrawRoute(StringValue* routeData, const route::WalkInputs& in);

}  // namespace reference
