#pragma once
// ArcTangent2: atan2 for the panoramic transforms, inline. Every panoramic point takes one or two
// arc tangents; the library's atan2 is accurate but out of line, behind a wrapper that checks for
// errors, and the call makes the compiler save every live register around it, so the call cost
// as much as all the rest of the mapping. This is the classic Cephes reduction and rational
// approximant (peak relative error of the approximant 2.6e-18): within a few units in the last
// place of std::atan2, far below the single-precision floats the transforms hand on.
//
// Finite arguments only; with both zero it answers as std::atan2 does.
#include "apps/DoublePair.h"

#include <cmath>
#include <numbers>

// The approximant: atan(t) = t + t z P(z) / Q(z) with z = t², for |t| up to 0.66; coefficients
// highest power first, Q's leading 1 left out.
constexpr double ARC_TANGENT_P[5] = {-8.750608600031904122785e-1, -1.615753718733365076637e1,
                                     -7.500855792314704667340e1, -1.228866684490136173410e2,
                                     -6.485021904942025371773e1};
constexpr double ARC_TANGENT_Q[5] = {2.485846490142306297962e1, 1.650270098316988542046e2,
                                     4.328810604912902668951e2, 4.853903996359136964868e2,
                                     1.945506571482613964425e2};

inline double ArcTangent2(double y, double x) {
    const double along = std::abs(x), across = std::abs(y);
    const bool steep = across > along;
    const double low = steep ? along : across, high = steep ? across : along;
    if (high == 0.0)
        return std::atan2(y, x); // the signed zeros and ±π of the origin
    // atan(low / high) with low / high in [0, 1], from t in [-0.21, 0.66]: above 0.66,
    // atan(a) = π/4 + atan((a - 1) / (a + 1)), with one division either way.
    const bool upper = low > 0.66 * high;
    const double t = upper ? (low - high) / (low + high) : low / high;
    const double z = t * t;
    double p = ARC_TANGENT_P[0], q = z + ARC_TANGENT_Q[0];
    for (int i = 1; i < 5; ++i) {
        p = p * z + ARC_TANGENT_P[i];
        q = q * z + ARC_TANGENT_Q[i];
    }
    double angle = (upper ? std::numbers::pi / 4.0 : 0.0) + (t + t * (z * p / q));
    if (steep)
        angle = std::numbers::pi / 2.0 - angle;
    if (x < 0.0)
        angle = std::numbers::pi - angle;
    return std::copysign(angle, y);
}

// Two at once, lane by lane the same bits as the scalar form above (the same operations in the
// same order, its branches as selections). No lane may have both arguments zero.
inline DoublePair ArcTangent2(DoublePair y, DoublePair x) {
    const DoublePair along = Abs(x), across = Abs(y);
    const PairMask steep = across > along;
    const DoublePair low = Select(steep, along, across), high = Select(steep, across, along);
    const PairMask upper = low > Both(0.66) * high;
    const DoublePair t = Select(upper, low - high, low) / Select(upper, low + high, high);
    const DoublePair z = t * t;
    DoublePair p = Both(ARC_TANGENT_P[0]), q = z + Both(ARC_TANGENT_Q[0]);
    for (int i = 1; i < 5; ++i) {
        p = p * z + Both(ARC_TANGENT_P[i]);
        q = q * z + Both(ARC_TANGENT_Q[i]);
    }
    DoublePair angle = Select(upper, Both(std::numbers::pi / 4.0), Both(0.0)) + (t + t * (z * p / q));
    angle = Select(steep, Both(std::numbers::pi / 2.0) - angle, angle);
    angle = Select(x < Both(0.0), Both(std::numbers::pi) - angle, angle);
    return CopySign(angle, y);
}
