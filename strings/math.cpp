// The numeric built-in functions: thin layers over the C library.
#include <cerrno>
#include <cmath>
#include <limits>

#include "orvane/exports.h"

namespace {
double DomainError(double result) {
    errno = EDOM;
    return result;
}
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
}  // namespace

extern "C" double RuntimeSin(double x) { return std::sin(x); }
extern "C" double RuntimeCos(double x) { return std::cos(x); }
extern "C" double RuntimeTan(double x) { return std::tan(x); }

extern "C" double RuntimeASin(double x) { return std::atan2(x, std::sqrt(1 - x * x)); }

extern "C" double RuntimeACos(double x) {
    // The half-angle form is only checked here; |x| > 1 would give a real-looking result.
    if (x < -1 || x > 1) return kNaN;
    return 2 * std::atan(std::sqrt((1 - x) / (1 + x)));
}

extern "C" double RuntimeATan(double x) { return std::atan2(x, 1.0); }
extern "C" double RuntimeATan2(double y, double x) { return std::atan2(y, x); }

extern "C" double RuntimeExp(double x) { return std::exp(x); }

extern "C" double RuntimeLog(double x) {
    if (x < 0) return DomainError(kNaN);
    return std::log(x);
}

extern "C" double RuntimePow(double x, double y) {
    if (x > 0) return std::pow(x, y);
    if (x == 0) {
        if (y > 0) return 0;
        if (y == 0) return DomainError(kNaN);
        if (y < 0) return DomainError(kInfinity);
        return kNaN;
    }
    if (x < 0) {
        if (!(std::floor(y) == y) || std::isinf(y)) return DomainError(kNaN);
        double r = std::pow(-x, y);
        return std::fmod(y, 2.0) != 0 ? -r : r;
    }
    return x;  // not-a-number
}

extern "C" double RuntimeSqrt(double x) {
    if (x < 0) return DomainError(kNaN);
    return std::sqrt(x);
}

extern "C" double RuntimeCeil(double x) { return std::ceil(x); }
extern "C" double RuntimeFloor(double x) { return std::floor(x); }
extern "C" double RuntimeRound(double x) { return std::floor(x + 0.5); }

extern "C" double RuntimeAbs(double x) { return x < 0 ? -x : x; }

extern "C" int32_t RuntimeSign(double x) { return x < 0 ? -1 : (x > 0 ? 1 : 0); }

extern "C" double RuntimeMax(double a, double b) { return a > b ? a : b; }
extern "C" double RuntimeMin(double a, double b) { return a < b ? a : b; }

extern "C" int32_t BitwiseAnd(int32_t a, int32_t b) { return a & b; }
extern "C" int32_t BitwiseOr(int32_t a, int32_t b) { return a | b; }
extern "C" int32_t BitwiseXor(int32_t a, int32_t b) { return a ^ b; }
