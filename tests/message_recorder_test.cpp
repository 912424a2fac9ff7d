// The message-sequence recorder of windows tests: what it records from a real
// window, and how a record is compared with an expected table.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/MessageRecorder.h"

namespace {

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kPong = WM_APP + 2;

// A plain top-level window of its own class, never shown.
class PlainWindow {
public:
    PlainWindow() {
        static const bool registered = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"OrvaneRecorderTestWindow";
            return RegisterClassW(&wc) != 0;
        }();
        if (registered)
            window_ = CreateWindowExW(0, L"OrvaneRecorderTestWindow", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~PlainWindow() {
        if (window_) DestroyWindow(window_);
        PumpMessages();
    }
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_ = nullptr;
};

TEST(MessageRecorder, RecordsSentAndPostedMessagesWithTheirParameters) {
    PlainWindow window;
    ASSERT_NE(window.Get(), nullptr);
    PumpMessages();  // whatever creation queued
    WNDPROC own = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC));
    {
        MessageRecorder recorder(window.Get(), {kPing, kPong, WM_SETTEXT});
        EXPECT_EQ(SendMessageW(window.Get(), kPing, 7, 8), 0) << "passed on to the window's own procedure";
        PostMessageW(window.Get(), kPong, 9, 10);
        EXPECT_EQ(recorder.Messages().size(), 1u) << "a posted message arrives when dispatched";
        PumpMessages();
        SetWindowTextW(window.Get(), L"title");
        wchar_t text[16] = {};
        GetWindowTextW(window.Get(), text, 16);
        EXPECT_STREQ(text, L"title") << "the default procedure still ran";

        const std::vector<ExpectedMessage> expected = {
            {kPing, MessageKind::kSent, kCheckParameters, 7, 8},
            {WM_NULL, MessageKind::kSent, kAnyParameters, 0, 0},
            {kPong, MessageKind::kPosted, kCheckParameters, 9, 10},
            {WM_SETTEXT, MessageKind::kSent, kCheckWParam, 0, 0},
        };
        std::vector<ExpectedMessage> withOptional = expected;
        withOptional[1].flags |= kOptional;
        EXPECT_EQ(CompareMessages(recorder.Messages(), withOptional), "");
        EXPECT_NE(CompareMessages(recorder.Messages(), expected), "") << "WM_NULL is required there";
        recorder.Clear();
        EXPECT_TRUE(recorder.Messages().empty());
    }
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC)), own)
        << "the window's own procedure is back";
}

TEST(MessageRecorder, RecordsEverythingWithoutAFilter) {
    PlainWindow window;
    ASSERT_NE(window.Get(), nullptr);
    MessageRecorder recorder(window.Get());
    SendMessageW(window.Get(), kPing, 1, 2);
    ASSERT_FALSE(recorder.Messages().empty());
    EXPECT_EQ(recorder.Messages().back().message, kPing);
}

// Comparison on its own, against records made by hand.
TEST(CompareMessages, Table) {
    const RecordedMessage a{kPing, MessageKind::kSent, 1, 2};
    const RecordedMessage b{kPong, MessageKind::kPosted, 3, 4};
    const ExpectedMessage ea{kPing, MessageKind::kSent, kCheckParameters, 1, 2};
    const ExpectedMessage eb{kPong, MessageKind::kPosted, kCheckParameters, 3, 4};
    const ExpectedMessage optionalA{kPing, MessageKind::kSent, kCheckParameters | kOptional, 1, 2};
    struct Case {
        const char* what;
        std::vector<RecordedMessage> recorded;
        std::vector<ExpectedMessage> expected;
        bool agree;
    } cases[] = {
        {"equal", {a, b}, {ea, eb}, true},
        {"both empty", {}, {}, true},
        {"optional present", {a, b}, {optionalA, eb}, true},
        {"optional missing", {b}, {optionalA, eb}, true},
        {"optional at the end, missing", {b}, {eb, optionalA}, true},
        {"required missing", {b}, {ea, eb}, false},
        {"extra message", {a, b, a}, {ea, eb}, false},
        {"order", {b, a}, {ea, eb}, false},
        {"kind", {RecordedMessage{kPing, MessageKind::kPosted, 1, 2}}, {ea}, false},
        {"wParam", {RecordedMessage{kPing, MessageKind::kSent, 9, 2}}, {ea}, false},
        {"lParam", {RecordedMessage{kPing, MessageKind::kSent, 1, 9}}, {ea}, false},
        {"lParam not checked", {RecordedMessage{kPing, MessageKind::kSent, 1, 9}},
         {ExpectedMessage{kPing, MessageKind::kSent, kCheckWParam, 1, 0}}, true},
        {"parameters not checked", {RecordedMessage{kPing, MessageKind::kSent, 8, 9}},
         {ExpectedMessage{kPing, MessageKind::kSent, kAnyParameters, 0, 0}}, true},
        {"record ends early", {a}, {ea, eb}, false},
    };
    for (const Case& c : cases) {
        std::string difference = CompareMessages(c.recorded, c.expected);
        EXPECT_EQ(difference.empty(), c.agree) << c.what << "\n" << difference;
        if (!c.agree) {
            EXPECT_NE(difference.find("recorded:"), std::string::npos) << c.what;
        }
    }
}

}  // namespace
