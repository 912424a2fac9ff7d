// The process's command line cut into arguments by the usual Windows rules:
// blanks separate, double quotes group (and "" gives an empty argument),
// 2n backslashes before a quote stand for n, 2n+1 for n and a literal quote.
#pragma once

#include "routeviewer/RouteHandles.h"

namespace route {

class CommandArguments {
public:
    static constexpr int32_t kMaxArguments = 64;

    // Parses line; the program path (the first argument) is dropped.
    // False when there are more than kMaxArguments.
    bool Parse(StringValue* line);
    int32_t Count() const { return count_; }
    StringValue* At(int32_t i) const { return i >= 0 && i < count_ ? args_[i].Get() : nullptr; }

private:
    Text args_[kMaxArguments];
    int32_t count_ = 0;
};

// A path as given, made absolute against the working folder when it is
// relative (no drive, not starting with a backslash or slash).
Text AbsolutePath(StringValue* path);

}  // namespace route
