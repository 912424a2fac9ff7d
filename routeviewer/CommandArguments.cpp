#include "routeviewer/CommandArguments.h"

#include "routeviewer/TextJoiner.h"

namespace route {

namespace {

// Collects the bytes of one argument as runs of the command line.
class ArgumentBuilder {
public:
    explicit ArgumentBuilder(StringValue* line) : line_(line) {}
    void Keep(int32_t i) {  // 0-based byte of the line
        if (runLength_ && runStart_ + runLength_ == i) {
            ++runLength_;
            return;
        }
        Flush();
        runStart_ = i;
        runLength_ = 1;
    }
    Text Finish() {
        Flush();
        return joiner_.Finish();
    }

private:
    void Flush() {
        if (!runLength_) return;
        Text run = Text::Adopt(StringMid3(line_, runStart_ + 1, runLength_));
        joiner_.Append(run.Get());
        runLength_ = 0;
    }
    StringValue* line_;
    TextJoiner joiner_;
    int32_t runStart_ = 0, runLength_ = 0;
};

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t'; }

}  // namespace

bool CommandArguments::Parse(StringValue* line) {
    Text keep = Text::Borrow(line);
    const uint8_t* b = keep.Bytes();
    const int32_t n = keep.Length();
    int32_t i = 0;
    bool program = true;
    count_ = 0;
    for (;;) {
        while (i < n && IsBlank(b[i])) ++i;
        if (i >= n) break;
        ArgumentBuilder arg(line);
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(b[i]))) {
            if (b[i] == '\\') {
                int32_t j = i;
                while (j < n && b[j] == '\\') ++j;
                const int32_t slashes = j - i;
                if (j < n && b[j] == '"') {
                    for (int32_t k = 0; k < slashes / 2; ++k) arg.Keep(i + k);
                    if (slashes % 2) {
                        arg.Keep(j);
                        i = j + 1;
                    } else {
                        i = j;  // the quote is handled below
                    }
                } else {
                    for (int32_t k = i; k < j; ++k) arg.Keep(k);
                    i = j;
                }
                continue;
            }
            if (b[i] == '"') {
                quoted = !quoted;
                ++i;
                continue;
            }
            arg.Keep(i++);
        }
        if (program) {
            program = false;
            continue;
        }
        if (count_ == kMaxArguments) return false;
        args_[count_++] = arg.Finish();
    }
    return true;
}

Text AbsolutePath(StringValue* path) {
    Text p = Text::Borrow(path);
    const uint8_t* b = p.Bytes();
    const int32_t n = p.Length();
    const bool absolute = n > 0 && (b[0] == '\\' || b[0] == '/' || (n > 1 && b[1] == ':'));
    if (absolute || n == 0) return p;
    Text folder = Text::Adopt(RuntimeWorkingFolder());
    return Join(folder.Get(), path);
}

}  // namespace route
