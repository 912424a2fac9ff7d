// Message sequences of windows tests: a recorder subclasses a window and
// records each message its procedure receives (message, how it came,
// parameters) before passing it on; a test compares the record with a table
// of expected messages, some of which may be optional.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Posted: taken from the thread's queue and dispatched; sent: called
// directly (SendMessage, or by the system inside another call).
enum class MessageKind { kSent, kPosted };

struct RecordedMessage {
    UINT message;
    MessageKind kind;
    WPARAM wParam;
    LPARAM lParam;
};

// What an expected entry checks besides the message and its kind.
enum ExpectedFlags : unsigned {
    kAnyParameters = 0,
    kCheckWParam = 1,
    kCheckLParam = 2,
    kCheckParameters = kCheckWParam | kCheckLParam,
    kOptional = 4,  // may be missing from the record
};

struct ExpectedMessage {
    UINT message;
    MessageKind kind;
    unsigned flags;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageRecorder {
public:
    // Subclasses the window; only the listed messages are recorded when the
    // list is not empty.
    explicit MessageRecorder(HWND window, std::vector<UINT> only = {});
    // Gives the window its own procedure back.
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const std::vector<RecordedMessage>& Messages() const { return messages_; }
    void Clear() { messages_.clear(); }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK QueueHook(int code, WPARAM wParam, LPARAM lParam);
    bool Wanted(UINT message) const;

    HWND window_;
    WNDPROC previous_;
    HHOOK hook_;
    std::vector<UINT> only_;
    std::vector<RecordedMessage> messages_;
    // The queued message being dispatched to the window, if any.
    bool dispatching_ = false;
    MSG queued_{};
};

// Dispatches every message waiting in this thread's queue.
void PumpMessages();

// Empty when the record agrees with the expected table (optional entries may
// be missing), else the first difference and both sequences.
std::string CompareMessages(const std::vector<RecordedMessage>& recorded,
                            const std::vector<ExpectedMessage>& expected);
