// Shared test helpers: capturing assertion reports.
#pragma once

#include <string>
#include <vector>

#include "startup/AssertionReport.h"

struct CapturedReport {
    int level;
    std::string unit;
    int line;
    std::string condition;
    std::string message;
    std::string text;
};

// While one exists, assertion reports are recorded (and answered OK) instead
// of failing the running test, which is what happens to any report outside it.
class AssertionCapture {
public:
    AssertionCapture();
    ~AssertionCapture();
    AssertionCapture(const AssertionCapture&) = delete;
    AssertionCapture& operator=(const AssertionCapture&) = delete;

    const std::vector<CapturedReport>& Reports() const { return reports_; }

    // Records into the innermost capture (called by the test main's hook).
    static bool Record(const AssertionReportInfo& info);

private:
    std::vector<CapturedReport> reports_;
    AssertionCapture* previous_;
};
