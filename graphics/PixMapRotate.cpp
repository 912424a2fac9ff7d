#include "graphics/PixMapRotate.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.1415926535897932384626433832795;
constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr double kNoFraction = 0.0039;
constexpr double kWholeEdge = 0.96;

uint32_t Blend(uint32_t a, uint32_t b, double f) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        double v = (1 - f) * ((a >> shift) & 0xFF) + f * ((b >> shift) & 0xFF);
        out |= uint32_t(int32_t(v + 0.5) & 0xFF) << shift;
    }
    return out;
}

// Shifts one line of n pixels (read at stride) by shift pixels towards its end.
void ShiftLine(const uint32_t* in, uint32_t* out, int32_t n, int32_t stride, double shift, RotateEdge edge) {
    double whole = std::floor(shift);
    double f = shift - whole;
    if (f < kNoFraction) f = 0;
    // Shifts beyond the line uncover everything; keep the integer in range.
    if (!(std::fabs(whole) < n + 1.0)) {
        for (int32_t j = 0; j < n; ++j) out[j * stride] = kWhite;
        return;
    }
    int32_t k = int32_t(whole);
    for (int32_t j = 0; j < n; ++j) {
        int32_t i = j - k;      // the source pixel
        int32_t before = i - 1;  // the one preceding it
        bool inI = i >= 0 && i < n, inBefore = before >= 0 && before < n;
        uint32_t value;
        if (!inI && !inBefore) {
            value = kWhite;  // uncovered
        } else if (inI && inBefore) {
            value = f == 0 ? in[i * stride] : Blend(in[i * stride], in[before * stride], f);
        } else {
            int32_t edgeAt = inI ? i : before;
            uint32_t edgePixel = in[edgeAt * stride];
            double edgeWeight = inI ? 1 - f : f;
            uint32_t beyond = edge == RotateEdge::kExtend ? edgePixel : kWhite;
            if (edgeWeight > kWholeEdge)
                value = edgePixel;
            else if (inI)
                value = f == 0 ? edgePixel : Blend(edgePixel, beyond, f);
            else
                value = Blend(beyond, edgePixel, f);
        }
        out[j * stride] = value;
    }
}

bool SameSize(const PixelBuffer& a, const PixelBuffer& b) {
    return a.pixels && b.pixels && a.width == b.width && a.height == b.height && a.width > 0 && a.height > 0;
}

}  // namespace

void PixMapShearX(PixelBuffer src, PixelBuffer dst, double s, RotateEdge edge) {
    if (!SameSize(src, dst)) return;
    for (int32_t r = 0; r < src.height; ++r)
        ShiftLine(src.pixels + r * src.width, dst.pixels + r * dst.width, src.width, 1,
                  s * (r - src.height / 2.0), edge);
}

void PixMapShearY(PixelBuffer src, PixelBuffer dst, double s, RotateEdge edge) {
    if (!SameSize(src, dst)) return;
    for (int32_t k = 0; k < src.width; ++k)
        ShiftLine(src.pixels + k, dst.pixels + k, src.height, src.width, s * (k - src.width / 2.0), edge);
}

void PixMapRotate(PixelBuffer src, PixelBuffer dst, double b, RotateEdge edge) {
    if (!SameSize(src, dst) || !std::isfinite(b)) return;
    double c = std::fmod(b, 2 * kPi);
    if (c > kPi) c -= 2 * kPi;
    if (c < -kPi) c += 2 * kPi;
    auto threeShears = [&](double sx, double sy) {
        PixMapShearX(src, dst, sx, edge);
        PixMapShearY(dst, src, sy, edge);
        PixMapShearX(src, dst, sx, edge);
    };
    if (c >= kPi / 2 || c <= -kPi / 2) {
        double q = c >= kPi / 2 ? 1 : -1;
        threeShears(q, -q);
        c -= q * kPi / 2;
        if (std::fabs(c) < 0.0001) return;
        std::memcpy(src.pixels, dst.pixels, size_t(src.width) * size_t(src.height) * 4);
    }
    double t = std::tan(c / 2);
    threeShears(t, -2 * t / (1 + t * t));
}
