#include "routeviewer/TextJoiner.h"

namespace route {

void TextJoiner::Merge() {
    Text joined = Join(parts_[count_ - 2].Get(), parts_[count_ - 1].Get());
    parts_[count_ - 1] = Text();
    parts_[count_ - 2] = static_cast<Text&&>(joined);
    --count_;
}

void TextJoiner::Append(StringValue* piece) {
    if (!piece || piece->length <= 0) return;
    if (count_ == kMaxParts) Merge();  // cannot happen while sizes keep halving
    parts_[count_++] = Text::Borrow(piece);
    length_ += piece->length;
    while (count_ >= 2 && parts_[count_ - 2].Length() <= 2 * parts_[count_ - 1].Length()) Merge();
}

Text TextJoiner::Finish() {
    while (count_ >= 2) Merge();
    Text all = count_ ? static_cast<Text&&>(parts_[0]) : Text();
    parts_[0] = Text();
    count_ = 0;
    length_ = 0;
    return all;
}

}  // namespace route
