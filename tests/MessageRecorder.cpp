#include "tests/MessageRecorder.h"

#include <algorithm>
#include <cstdio>

namespace {

const wchar_t kRecorderProperty[] = L"OrvaneMessageRecorder";

// Every live recorder: a queue hook sees the messages of all windows of the
// thread, so each recorder picks out those of its own window.
std::vector<MessageRecorder*>& Recorders() {
    static std::vector<MessageRecorder*> recorders;
    return recorders;
}

std::string Describe(UINT message, MessageKind kind, WPARAM wParam, LPARAM lParam) {
    char text[96];
    std::snprintf(text, sizeof text, "0x%04X %s w=0x%lX l=0x%lX", message, kind == MessageKind::kSent ? "sent" : "posted",
                  static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
    return text;
}

std::string Describe(const std::vector<RecordedMessage>& recorded) {
    std::string out;
    for (const RecordedMessage& m : recorded) out += "  " + Describe(m.message, m.kind, m.wParam, m.lParam) + "\n";
    return out.empty() ? "  (nothing)\n" : out;
}

std::string Describe(const std::vector<ExpectedMessage>& expected) {
    std::string out;
    for (const ExpectedMessage& e : expected) {
        out += "  " + Describe(e.message, e.kind, e.wParam, e.lParam);
        if (!(e.flags & kCheckWParam)) out += " (any w)";
        if (!(e.flags & kCheckLParam)) out += " (any l)";
        if (e.flags & kOptional) out += " (optional)";
        out += "\n";
    }
    return out.empty() ? "  (nothing)\n" : out;
}

bool Matches(const RecordedMessage& r, const ExpectedMessage& e) {
    return r.message == e.message && r.kind == e.kind && (!(e.flags & kCheckWParam) || r.wParam == e.wParam) &&
           (!(e.flags & kCheckLParam) || r.lParam == e.lParam);
}

}  // namespace

MessageRecorder::MessageRecorder(HWND window, std::vector<UINT> only)
    : window_(window), previous_(nullptr), hook_(nullptr), only_(std::move(only)) {
    SetPropW(window_, kRecorderProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageRecorder::Procedure)));
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, &MessageRecorder::QueueHook, nullptr, GetCurrentThreadId());
    Recorders().push_back(this);
}

MessageRecorder::~MessageRecorder() {
    auto& all = Recorders();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (hook_) UnhookWindowsHookEx(hook_);
    if (IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropW(window_, kRecorderProperty);
    }
}

bool MessageRecorder::Wanted(UINT message) const {
    return only_.empty() || std::find(only_.begin(), only_.end(), message) != only_.end();
}

LRESULT CALLBACK MessageRecorder::QueueHook(int code, WPARAM wParam, LPARAM lParam) {
    // Every message GetMessage or PeekMessage takes from the queue passes here
    // before it is dispatched.
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        for (MessageRecorder* r : Recorders())
            if (msg->hwnd == r->window_) {
                r->queued_ = *msg;
                r->dispatching_ = true;
            }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MessageRecorder::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<MessageRecorder*>(GetPropW(window, kRecorderProperty));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    MessageKind kind = MessageKind::kSent;
    if (self->dispatching_ && self->queued_.message == message && self->queued_.wParam == wParam &&
        self->queued_.lParam == lParam) {
        kind = MessageKind::kPosted;
        self->dispatching_ = false;
    }
    if (self->Wanted(message)) self->messages_.push_back(RecordedMessage{message, kind, wParam, lParam});
    return CallWindowProcW(self->previous_, window, message, wParam, lParam);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::string CompareMessages(const std::vector<RecordedMessage>& recorded,
                            const std::vector<ExpectedMessage>& expected) {
    size_t r = 0;
    std::string difference;
    for (size_t e = 0; e < expected.size() && difference.empty(); ++e) {
        if (r < recorded.size() && Matches(recorded[r], expected[e])) {
            ++r;
        } else if (!(expected[e].flags & kOptional)) {
            const ExpectedMessage& x = expected[e];
            difference = "expected entry " + std::to_string(e) + " (" + Describe(x.message, x.kind, x.wParam, x.lParam) +
                         ") " +
                         (r < recorded.size() ? "but message " + std::to_string(r) + " is " +
                                                    Describe(recorded[r].message, recorded[r].kind, recorded[r].wParam,
                                                             recorded[r].lParam)
                                              : std::string("but the record has ended"));
        }
    }
    if (difference.empty() && r < recorded.size())
        difference = "message " + std::to_string(r) + " (" +
                     Describe(recorded[r].message, recorded[r].kind, recorded[r].wParam, recorded[r].lParam) +
                     ") was not expected";
    if (difference.empty()) return difference;
    return difference + "\nrecorded:\n" + Describe(recorded) + "expected:\n" + Describe(expected);
}
