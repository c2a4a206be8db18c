#pragma once
// The panoramic device's matrix products in SSE, on matrices kept transposed (four columns of
// four floats, 16-byte aligned), so that one product is four multiplies and three adds.
//
// Each lane rounds exactly as IVRender::MultiplyMatrix's scalar sums do: lane i forms
// ((m[4i] x + m[4i+1] y) + m[4i+2] z) + m[4i+3] w in single precision (SSE rounds each operation
// like the scalar one, and nothing is contracted). Header-only so that the per-point route inlines
// into its callers; in a namespace of its own, since the header is installed with the device's.
#include <immintrin.h>

namespace IVPanoColumns {

// matrix x (x, y, z, w) for all four rows at once, from the matrix's columns.
inline __m128 MultiplyColumns(const float* columns, __m128 x, __m128 y, __m128 z, __m128 w) {
    __m128 sum = _mm_mul_ps(_mm_load_ps(columns), x);
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_load_ps(columns + 4), y));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_load_ps(columns + 8), z));
    return _mm_add_ps(sum, _mm_mul_ps(_mm_load_ps(columns + 12), w));
}

template <int LANE> inline __m128 Broadcast(__m128 value) {
    return _mm_shuffle_ps(value, value, _MM_SHUFFLE(LANE, LANE, LANE, LANE));
}

// out = matrix x (point, 1), from the matrix's columns.
inline void MultiplyPoint(float* out, const float* columns, const float* point) {
    _mm_storeu_ps(out, MultiplyColumns(columns, _mm_set1_ps(point[0]), _mm_set1_ps(point[1]),
                                       _mm_set1_ps(point[2]), _mm_set1_ps(1.0f)));
}

} // namespace IVPanoColumns
