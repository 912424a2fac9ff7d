// Shared test helpers: capturing assertion reports, finding classes by name.
#pragma once

#include <string>
#include <vector>

#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"

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

// The class record of that name (nil when there is none).
inline ClassRecord* ClassNamed(const char* name) {
    StringHandle key(name);
    return RuntimeLookupClass(key.Get());
}

// A new instance of the named class, with the creating reference (nil when
// there is no such class).
inline ObjectHeader* NewObjectOf(const char* className) { return RuntimeNewObject(ClassNamed(className)); }
