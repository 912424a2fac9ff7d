#include "ui/FocusSeam.h"

namespace {
FocusSeam gSeam = {};
}

FocusSeam SetFocusSeam(const FocusSeam& seam) {
    FocusSeam previous = gSeam;
    gSeam = seam;
    return previous;
}

const FocusSeam& CurrentFocusSeam() { return gSeam; }
