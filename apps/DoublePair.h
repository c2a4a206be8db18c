#pragma once
// DoublePair: two doubles in one SSE2 register, so that two points' long chains of dependent
// divisions, roots and polynomials run side by side instead of one after the other. Every
// operation here rounds each lane exactly as the scalar operation does (nothing is contracted or
// reassociated), so code written for double and again for DoublePair in the same order of
// operations gives the same bits in each lane; the panoramic transforms rely on that.
#include <emmintrin.h>

struct DoublePair {
    __m128d lanes;
};
// A lane-wise comparison result: all bits set where it holds.
struct PairMask {
    __m128d bits;
};

inline DoublePair MakePair(double first, double second) {
    return {_mm_set_pd(second, first)};
}
inline DoublePair Both(double value) {
    return {_mm_set1_pd(value)};
}
inline double First(DoublePair pair) {
    return _mm_cvtsd_f64(pair.lanes);
}
inline double Second(DoublePair pair) {
    return _mm_cvtsd_f64(_mm_unpackhi_pd(pair.lanes, pair.lanes));
}

inline DoublePair operator+(DoublePair a, DoublePair b) {
    return {_mm_add_pd(a.lanes, b.lanes)};
}
inline DoublePair operator-(DoublePair a, DoublePair b) {
    return {_mm_sub_pd(a.lanes, b.lanes)};
}
inline DoublePair operator*(DoublePair a, DoublePair b) {
    return {_mm_mul_pd(a.lanes, b.lanes)};
}
inline DoublePair operator/(DoublePair a, DoublePair b) {
    return {_mm_div_pd(a.lanes, b.lanes)};
}
inline DoublePair Sqrt(DoublePair a) {
    return {_mm_sqrt_pd(a.lanes)};
}

// Comparisons are false for not-a-number, as the scalar ones are.
inline PairMask operator>(DoublePair a, DoublePair b) {
    return {_mm_cmpgt_pd(a.lanes, b.lanes)};
}
inline PairMask operator<(DoublePair a, DoublePair b) {
    return {_mm_cmplt_pd(a.lanes, b.lanes)};
}
inline PairMask operator==(DoublePair a, DoublePair b) {
    return {_mm_cmpeq_pd(a.lanes, b.lanes)};
}
inline PairMask operator&(PairMask a, PairMask b) {
    return {_mm_and_pd(a.bits, b.bits)};
}
inline PairMask operator|(PairMask a, PairMask b) {
    return {_mm_or_pd(a.bits, b.bits)};
}
inline bool Any(PairMask mask) {
    return _mm_movemask_pd(mask.bits) != 0;
}
inline bool All(PairMask mask) {
    return _mm_movemask_pd(mask.bits) == 3;
}
// Lane by lane: `when` where the mask holds, else `otherwise`.
inline DoublePair Select(PairMask mask, DoublePair when, DoublePair otherwise) {
    return {_mm_or_pd(_mm_and_pd(mask.bits, when.lanes), _mm_andnot_pd(mask.bits, otherwise.lanes))};
}

// std::abs and std::copysign: bit operations on the sign, as theirs are.
inline DoublePair Abs(DoublePair a) {
    return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.lanes)};
}
inline DoublePair CopySign(DoublePair magnitude, DoublePair sign) {
    const __m128d bit = _mm_set1_pd(-0.0);
    return {_mm_or_pd(_mm_andnot_pd(bit, magnitude.lanes), _mm_and_pd(bit, sign.lanes))};
}
