// lineTrace: the only log. Each call appends its text and a line end to
// "trace.log" in the working directory.
#include <windows.h>

#include <new>

#include "orvane/exports.h"
#include "startup/ShutdownList.h"
#include "startup/Win32Owners.h"

namespace {

class TraceWriter final : public RuntimeService {
public:
    TraceWriter()
        : file_(CreateFileA("trace.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~TraceWriter() override {
        if (gWriter == this) gWriter = nullptr;
    }

    void WriteLine(const char* text, DWORD length) {
        if (!file_.IsValid()) return;
        DWORD written;
        if (length) WriteFile(file_.Get(), text, length, &written, nullptr);
        WriteFile(file_.Get(), "\r\n", 2, &written, nullptr);
    }

    static TraceWriter* gWriter;

private:
    KernelHandle file_;
};

TraceWriter* TraceWriter::gWriter = nullptr;

}  // namespace

extern "C" void lineTrace(StringValue* text) {
    if (!TraceWriter::gWriter) {
        TraceWriter::gWriter = new (std::nothrow) TraceWriter();
        if (!TraceWriter::gWriter) return;
        ShutdownListAdd(TraceWriter::gWriter);
    }
    // Read from the record itself: the log stays usable from any unit.
    if (text && text->text)
        TraceWriter::gWriter->WriteLine(reinterpret_cast<const char*>(text->text) + 1, DWORD(text->length));
    else
        TraceWriter::gWriter->WriteLine("", 0);
}
