// Label widths remembered by text for one walk: labels repeat (radii,
// limits, station names), and each measurement is a call into the font
// engine. A width depends only on the text and the measuring Graphics, which
// stays the same for the whole walk.
#pragma once

#include "routeviewer/RouteHandles.h"

namespace route {

class LabelWidths {
public:
    explicit LabelWidths(ObjectHeader* measure);
    ~LabelWidths();
    LabelWidths(const LabelWidths&) = delete;
    LabelWidths& operator=(const LabelWidths&) = delete;

    int32_t Width(StringValue* text);

private:
    ObjectHeader* measure_;
    bool owner_;  // holds the shared table (one walk at a time uses it)
};

}  // namespace route
