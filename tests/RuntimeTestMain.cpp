#include <gtest/gtest.h>

#include "startup/intrinsicClass.h"
#include "startup/RuntimeMain.h"
#include "tests/TestSupport.h"

namespace {
AssertionCapture* gCapture = nullptr;

bool UnexpectedReport(const AssertionReportInfo& info) {
    ADD_FAILURE() << "unexpected assertion report:\n" << info.text;
    return true;
}
}  // namespace

AssertionCapture::AssertionCapture() : previous_(gCapture) { gCapture = this; }
AssertionCapture::~AssertionCapture() { gCapture = previous_; }

bool AssertionCapture::Record(const AssertionReportInfo& info) {
    gCapture->reports_.push_back(CapturedReport{info.level, info.unit ? info.unit : "", info.line,
                                                info.condition ? info.condition : "",
                                                info.message ? info.message : "", info.text});
    return true;
}

static bool DispatchReport(const AssertionReportInfo& info) {
    return gCapture ? AssertionCapture::Record(info) : UnexpectedReport(info);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    RuntimeInitProcessState(GetModuleHandleA(nullptr));
    SetAssertionReportHook(DispatchReport);
    // Every test program starts with the intrinsic classes defined, as the runtime does.
    BuildIntrinsicDefinitions();
    return RUN_ALL_TESTS();
}
