// The positions a move of a shape tree changes: x and y of every shape in
// it, and a curve's end and control points. Drawing at an offset moves the
// tree there and back; moving back by the opposite amount is not exact in
// floating point (900.1 - 900 is not 0.1), so the positions are put back
// from here instead, bit for bit.
#pragma once

#include <vector>

#include "orvane/abi.h"

class ShapePositions {
public:
    explicit ShapePositions(ObjectHeader* root);
    void Restore() const;

private:
    struct Saved {
        ObjectHeader* shape;
        double x, y;
    };
    struct SavedCurve {
        ObjectHeader* shape;
        double x2, y2, control[2][2];
    };
    std::vector<Saved> saved_;
    std::vector<SavedCurve> curves_;
};
