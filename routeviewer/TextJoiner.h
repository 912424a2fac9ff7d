// Joins many small texts into one without re-copying what is built: parts
// are joined pairwise when the newer one has grown to half the size of the
// one below it, so every byte is copied a logarithmic number of times and
// at most a few dozen parts are pending at any moment.
#pragma once

#include "routeviewer/RouteHandles.h"

namespace route {

class TextJoiner {
public:
    void Append(StringValue* piece);  // borrowed; nil and empty add nothing
    Text Finish();                    // the joined text; the joiner is empty again
    int32_t Length() const { return length_; }

private:
    void Merge();  // the two newest parts into one

    static constexpr int32_t kMaxParts = 48;  // sizes halve at least every part: 2^32 bytes need 33
    Text parts_[kMaxParts];
    int32_t count_ = 0;
    int32_t length_ = 0;
};

}  // namespace route
