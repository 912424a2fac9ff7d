// The assertion report: one modal box for every internal consistency check.
#pragma once

// Shows the report (or hands it to the installed hook). Returns when the user
// chooses OK; Cancel ends the process with exit code 0.
// unit may be a source path; the report shows its name without directory and
// extension.
void RuntimeAssertionReport(int category, int level, const char* unit, int line,
                            const char* condition, const char* message);

// The unit named in a report: "loader/loaderX86.cpp" -> "loaderX86".
void RuntimeUnitName(const char* path, char* buffer, int size);

// Tests capture reports instead of showing a box. The hook receives the
// formatted text; returning true means OK (carry on), false means Cancel.
struct AssertionReportInfo {
    int level;
    const char* unit;
    int line;
    const char* condition;
    const char* message;
    const char* text;  // the whole formatted report
};
using AssertionReportHook = bool (*)(const AssertionReportInfo& info);
AssertionReportHook SetAssertionReportHook(AssertionReportHook hook);

// Formats the report text into buffer (1,024 bytes in the runtime).
void FormatAssertionReport(char* buffer, int size, int level, const char* unit, int line,
                           const char* condition, const char* message);

// A check with the current line; reports the condition text when it is false.
#define RUNTIME_ASSERT(cond)                                                             \
    do {                                                                                 \
        if (!(cond)) RuntimeAssertionReport(0, 0, __FILE__, __LINE__, #cond, nullptr); \
    } while (0)

// A report at the current line with the condition in words.
#define RUNTIME_CHECK_FAILED(conditionText) \
    RuntimeAssertionReport(0, 0, __FILE__, __LINE__, (conditionText), nullptr)

// ---- Reports with a fixed unit, line and texts ------------------------------------------
// Listed once, in startup/FixedReports.inc.

enum FixedReport : int {
#define ORVANE_FIXED_REPORT(name, unit, line, condition, message) name,
#include "startup/FixedReports.inc"
#undef ORVANE_FIXED_REPORT
    kFixedReportCount
};

struct FixedReportRow {
    const char* name;  // the enumerator's name
    const char* unit;
    int line;
    const char* condition;
    const char* message;  // nil: given when the report is shown
};
const FixedReportRow& FixedReportRowOf(FixedReport report);

// Shows the report of the row; a row without message takes the one given.
void RuntimeFixedReport(FixedReport report, const char* message = nullptr);

#define RUNTIME_FIXED_REPORT(name) RuntimeFixedReport(name)
#define RUNTIME_FIXED_REPORT_WITH(name, messageText) RuntimeFixedReport((name), (messageText))
