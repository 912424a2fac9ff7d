// Reading a route file into its normalised text: one statement per line,
// each line the distance text, ",", the statement and CR LF.
#pragma once

#include "routeviewer/RouteHandles.h"
#include "routeviewer/TextJoiner.h"

namespace route {

// Normalises file lines (already converted to UTF-8) one by one, in time
// linear in the text: each line is split once, the result joined without
// re-copying.
class RouteNormaliser {
public:
    void AddLine(StringValue* line);
    Text Finish() { return out_.Finish(); }

private:
    void AddStatement(StringValue* field);
    Text distance_;  // first field of the last distance line, as read
    TextJoiner out_;
};

enum class AnalysisOutcome { kDone, kNoFile, kNotOpened };

// Sees every converted file line with its 1-based number (for summaries).
struct LineObserver {
    void (*see)(void* context, StringValue* line, int32_t number) = nullptr;
    void* context = nullptr;
};

// Reads the Shift_JIS file (a FolderItem) and gives its normalised text in
// *result; on failure *result is left as it was.
AnalysisOutcome AnalyzeRouteFile(ObjectHeader* file, Text* result, const LineObserver& observer = LineObserver());

// The converter from Shift_JIS to UTF-8, one reference.
Object ShiftJisToUtf8();

}  // namespace route
