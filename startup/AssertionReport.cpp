#include "startup/AssertionReport.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
AssertionReportHook gHook = nullptr;
constexpr int kReportBufferSize = 1024;

const FixedReportRow kFixedReports[] = {
#define ORVANE_FIXED_REPORT(name, unit, line, condition, message) {#name, unit, line, condition, message},
#include "startup/FixedReports.inc"
#undef ORVANE_FIXED_REPORT
};
static_assert(sizeof kFixedReports / sizeof kFixedReports[0] == kFixedReportCount, "one row per report");
}  // namespace

const FixedReportRow& FixedReportRowOf(FixedReport report) {
    return kFixedReports[report >= 0 && report < kFixedReportCount ? report : 0];
}

void RuntimeFixedReport(FixedReport report, const char* message) {
    const FixedReportRow& row = FixedReportRowOf(report);
    RuntimeAssertionReport(0, 0, row.unit, row.line, row.condition, row.message ? row.message : message);
}

AssertionReportHook SetAssertionReportHook(AssertionReportHook hook) {
    AssertionReportHook old = gHook;
    gHook = hook;
    return old;
}

void RuntimeUnitName(const char* path, char* buffer, int size) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    int n = 0;
    while (base[n] && base[n] != '.' && n < size - 1) ++n;
    std::memcpy(buffer, base, n);
    buffer[n] = 0;
}

void FormatAssertionReport(char* buffer, int size, int level, const char* unit, int line,
                           const char* condition, const char* message) {
    std::snprintf(buffer, size,
                  "Failed Assertion: %d\nPress OK to Continue\nPress Cancel to Quit.\n\n"
                  "Please report what caused this error\nalong with the information below.\n\n"
                  "%s: %d\nFailure Condition: %s\n%s",
                  (int)(short)level, unit ? unit : "", line, condition ? condition : "",
                  message ? message : "");
}

void RuntimeAssertionReport(int /*category*/, int level, const char* unit, int line,
                            const char* condition, const char* message) {
    char unitName[64];
    RuntimeUnitName(unit ? unit : "", unitName, sizeof unitName);
    char text[kReportBufferSize];
    FormatAssertionReport(text, sizeof text, level, unitName, line, condition, message);
    bool carryOn;
    if (gHook) {
        carryOn = gHook(AssertionReportInfo{level, unitName, line, condition, message, text});
    } else {
        carryOn = MessageBoxA(nullptr, text, "Failed Assertion",
                              MB_OKCANCEL | MB_ICONERROR | MB_DEFBUTTON2) != IDCANCEL;
    }
    if (carryOn) return;
    ExitProcess(0);
    FatalAppExitA(0, "Gentle Shutdown Failed.  Attempting Forced Shutdown.");
}
