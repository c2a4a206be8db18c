#pragma once
// Pixel arithmetic shared by the screen-space helpers (internal). Every conversion to an integer
// goes through here, so that out-of-range or NaN values saturate (NaN gives 0) instead of being
// undefined behaviour; in range, the results are exactly the plain C++ expressions they replace.
#include <cmath>
#include <cstdint>
#include <limits>

namespace VantrelScreen {

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

inline int32_t ClampToInt(int64_t value) {
    return value > kIntMax ? kIntMax : (value < kIntMin ? kIntMin : static_cast<int32_t>(value));
}

// Truncation toward zero.
inline int32_t TruncateToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return kIntMax;
    if (value <= -2147483648.0)
        return kIntMin;
    return static_cast<int32_t>(value);
}

// Half away from zero as value ± 0.5 truncated, in double precision.
inline int32_t RoundHalfAway(double value) {
    return TruncateToInt(value >= 0.0 ? value + 0.5 : value - 0.5);
}

// Half away from zero as value ± 0.5f truncated, in single precision.
inline int32_t RoundHalfAway(float value) {
    const float shifted = value >= 0.0f ? value + 0.5f : value - 0.5f;
    return TruncateToInt(static_cast<double>(shifted));
}

// dx² + dy² in 64 bits, saturating at the largest value (only reachable far outside any screen).
inline uint64_t SquaredLength(int64_t dx, int64_t dy) {
    const uint64_t ax = static_cast<uint64_t>(dx < 0 ? -dx : dx);
    const uint64_t ay = static_cast<uint64_t>(dy < 0 ? -dy : dy);
    if (ax >= (uint64_t(1) << 32) || ay >= (uint64_t(1) << 32))
        return std::numeric_limits<uint64_t>::max();
    const uint64_t sx = ax * ax, sy = ay * ay;
    return sx > std::numeric_limits<uint64_t>::max() - sy ? std::numeric_limits<uint64_t>::max() : sx + sy;
}

} // namespace VantrelScreen
