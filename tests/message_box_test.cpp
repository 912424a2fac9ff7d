// The message box: texts, owner and caption, as the system call receives them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "graphics/DrawingContext.h"
#include "graphics/PixelMap.h"
#include "objects/ObjectDefinition.h"
#include "objects/globalFunctions.h"
#include "orvane/exports.h"
#include "startup/ProcessState.h"
#include "strings/string.h"
#include "ui/MessageDialog.h"
#include "ui/ModalStack.h"
#include "ui/ViewWindow.h"

namespace {

struct BoxCall {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
    bool contextHeld;  // a drawing context still had its device context
};
std::vector<BoxCall> gCalls;

int WINAPI CaptureBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
    DrawingContext* current = DrawingContextCurrent();
    gCalls.push_back(BoxCall{owner, text, caption, style, current != nullptr});
    return IDOK;
}

// A visible top-level window with a title, activated as a click would.
class TitledWindow {
public:
    TitledWindow(const wchar_t* title, bool visible) {
        handle_ = CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 10, 10,
                                  200, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (visible) {
            SetForegroundWindow(handle_);
            SetActiveWindow(handle_);
        }
    }
    ~TitledWindow() { DestroyWindow(handle_); }
    TitledWindow(const TitledWindow&) = delete;
    TitledWindow& operator=(const TitledWindow&) = delete;
    HWND Get() const { return handle_; }

private:
    HWND handle_;
};

// A runtime window of the list for as long as the object lives.
class ListedWindow {
public:
    ListedWindow(HWND handle, int32_t frameCode) {
        view_.handle.Reset(handle);
        view_.frameCode = frameCode;
        ViewWindowListAdd(&view_);
    }
    // The window belongs to the test: the list entry gives it back undestroyed.
    ~ListedWindow() {
        ViewWindowListRemove(&view_);
        view_.handle.Release();
    }
    ListedWindow(const ListedWindow&) = delete;
    ListedWindow& operator=(const ListedWindow&) = delete;

private:
    ViewWindow view_;
};

class ModalEntry {
public:
    explicit ModalEntry(HWND handle) : handle_(handle) { ModalStackPush(handle); }
    ~ModalEntry() { ModalStackRemove(handle_); }
    ModalEntry(const ModalEntry&) = delete;
    ModalEntry& operator=(const ModalEntry&) = delete;

private:
    HWND handle_;
};

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        gCalls.clear();
        previous_ = SetMessageBoxFunction(CaptureBox);
    }
    void TearDown() override { SetMessageBoxFunction(previous_); }

    // RuntimeMsgBox as compiled code calls it; the one captured call.
    BoxCall Show(const char* text) {
        StringHandle value(text);
        RuntimeMsgBox(value.Get());
        EXPECT_EQ(gCalls.size(), 1u);
        BoxCall call = gCalls.empty() ? BoxCall{} : gCalls.back();
        gCalls.clear();
        return call;
    }

    MessageBoxFunction previous_ = nullptr;
};

TEST_F(MessageBoxTest, TextsAreSplitAtTheFirstBlankLine) {
    struct Case {
        const char* text;
        const wchar_t* shown;
    } cases[] = {
        {"One.\r\n\r\nTwo.", L"One.\r\n\r\nTwo."},
        {"One.\r\n\r\n", L"One."},
        {"\r\n\r\nOne.", L"\r\n\r\nOne."},
        {"One.\r\nTwo.", L"One.\r\nTwo."},
        {"A\r\n\r\nB\r\n\r\nC", L"A\r\n\r\nB\r\n\r\nC"},
        {"success", L"success"},
        {"", L""},
        {"\xE9\xA7\x85", L"\x99C5"},  // UTF-8 literal text reaches the box as UTF-16
    };
    for (const Case& c : cases) {
        BoxCall call = Show(c.text);
        EXPECT_EQ(call.text, c.shown) << c.text;
        EXPECT_EQ(call.style, UINT(MB_OK | MB_ICONINFORMATION)) << c.text;
        EXPECT_EQ(call.style, 0x40u);
    }
}

TEST_F(MessageBoxTest, WithoutWindowsThereIsNoOwnerAndNoCaption) {
    BoxCall call = Show("Plain");
    EXPECT_EQ(call.owner, nullptr);
    EXPECT_EQ(call.caption, L"");
}

TEST_F(MessageBoxTest, AVisibleModalWindowOwnsTheBoxAndGivesItsTitle) {
    TitledWindow document(L"Document", true);
    ListedWindow listed(document.Get(), 0);
    TitledWindow older(L"Older dialog", true);
    TitledWindow dialog(L"Dialog", true);
    ModalEntry first(older.Get());
    ModalEntry second(dialog.Get());
    BoxCall call = Show("Saved.");
    EXPECT_EQ(call.owner, dialog.Get());
    EXPECT_EQ(call.caption, L"Dialog");
}

TEST_F(MessageBoxTest, AHiddenNewerModalWindowIsPassedOver) {
    TitledWindow older(L"Older dialog", true);
    TitledWindow hidden(L"Hidden dialog", false);
    ModalEntry first(older.Get());
    ModalEntry second(hidden.Get());
    BoxCall call = Show("Saved.");
    EXPECT_EQ(call.owner, older.Get());
    EXPECT_EQ(call.caption, L"Older dialog");
}

TEST_F(MessageBoxTest, TheActiveDocumentWindowOwnsTheBoxWhenNoModalWindowIsOpen) {
    TitledWindow document(L"Route map", true);
    ListedWindow listed(document.Get(), 0);
    ASSERT_EQ(GetActiveWindow(), document.Get());
    BoxCall call = Show("success");
    EXPECT_EQ(call.owner, document.Get());
    EXPECT_EQ(call.caption, L"Route map");
}

TEST_F(MessageBoxTest, OnlyActiveVisibleRuntimeDocumentWindowsOwnTheBox) {
    struct Case {
        const char* what;
        bool listed;
        int32_t frameCode;
        bool owns;
    } cases[] = {
        {"document window", true, 0, true},
        {"document window without resizing", true, 8, true},
        {"floating window", true, 1, false},
        {"modal frame off the stack", true, 3, false},
        {"window of another kind", false, 0, false},
    };
    for (const Case& c : cases) {
        TitledWindow window(L"Active", true);
        ASSERT_EQ(GetActiveWindow(), window.Get()) << c.what;
        BoxCall call;
        if (c.listed) {
            ListedWindow listed(window.Get(), c.frameCode);
            call = Show("text");
        } else {
            call = Show("text");
        }
        EXPECT_EQ(call.owner, c.owns ? window.Get() : nullptr) << c.what;
        EXPECT_EQ(call.caption, c.owns ? L"Active" : L"") << c.what;
    }
}

TEST_F(MessageBoxTest, AnEmptyTitleGivesAnEmptyCaption) {
    TitledWindow document(L"", true);
    ListedWindow listed(document.Get(), 0);
    BoxCall call = Show("text");
    EXPECT_EQ(call.owner, document.Get());
    EXPECT_EQ(call.caption, L"");
}

TEST_F(MessageBoxTest, InMdiModeTheFrameOwnsTheBox) {
    TitledWindow frame(L"Frame", true);
    bool mdi = gMDIMode;
    HWND previousFrame = gMDIFrame;
    gMDIMode = true;
    gMDIFrame = frame.Get();
    BoxCall call = Show("text");
    gMDIMode = mdi;
    gMDIFrame = previousFrame;
    EXPECT_EQ(call.owner, frame.Get());
    EXPECT_EQ(call.caption, L"Frame");
}

TEST_F(MessageBoxTest, NoDeviceContextIsHeldWhileTheBoxIsOpen) {
    PixelMap* map = PixelMapCreate(8, 8, 32);
    ASSERT_NE(map, nullptr);
    DrawingContext* dc = DrawingContextCreate(map, true);
    ASSERT_NE(DrawingContextMakeCurrent(dc), nullptr);
    ASSERT_EQ(DrawingContextCurrent(), dc);
    BoxCall call = Show("text");
    EXPECT_FALSE(call.contextHeld);
    // The context is made current again when next drawn with.
    EXPECT_NE(DrawingContextMakeCurrent(dc), nullptr);
    DrawingContextDestroy(dc);
}

TEST_F(MessageBoxTest, MsgBoxIsAGlobalFunction) {
    const MethodRow* rows = GlobalFunctionRows();
    const MethodRow* found = nullptr;
    for (int32_t i = 0; i < GlobalFunctionRowCount(); ++i)
        if (std::string(rows[i].name) == "MsgBox") found = &rows[i];
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->function, reinterpret_cast<void*>(&RuntimeMsgBox));
    EXPECT_STREQ(found->functionName, "RuntimeMsgBox");
}

}  // namespace
