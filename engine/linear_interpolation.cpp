#include "engine/linear_interpolation.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace waveharm::detail {

void fillRowStepsScalar(const std::int16_t* x, std::size_t count, RowStep* rows) {
    for (std::size_t r = 0; r < count; ++r) {
        const int x0 = x[r];
        rows[r] = {static_cast<double>(x0), static_cast<double>(x[r + 1] - x0)};
    }
}

void fillRowSteps(const double* x, std::size_t count, RowStep* rows) {
    for (std::size_t r = 0; r < count; ++r) rows[r] = {x[r], x[r + 1] - x[r]};
}

double interpolateColumnScalar(const RowStep* rows, const std::size_t* below,
                               const double* fraction, std::size_t points, float* column) {
    double largest = 0;
    for (std::size_t i = 0; i < points; ++i) {
        const RowStep& r = rows[below[i]];
        const double value = fraction[i] * r.step + r.x0;
        column[i] = static_cast<float>(value);
        largest = std::max(largest, std::fabs(value));
    }
    return largest;
}

#if defined(__SSE2__)

// Four rows per step: the samples and their successors widened to 32 bits, the steps
// taken there (exact) and both converted to double two at a time.
void fillRowSteps(const std::int16_t* x, std::size_t count, RowStep* rows) {
    std::size_t r = 0;
    for (; r + 4 <= count; r += 4) {
        const __m128i here = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(x + r));
        const __m128i next = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(x + r + 1));
        const __m128i x0 = _mm_srai_epi32(_mm_unpacklo_epi16(here, here), 16);
        const __m128i step = _mm_sub_epi32(_mm_srai_epi32(_mm_unpacklo_epi16(next, next), 16), x0);
        const __m128d x01 = _mm_cvtepi32_pd(x0);
        const __m128d step01 = _mm_cvtepi32_pd(step);
        const __m128d x23 = _mm_cvtepi32_pd(_mm_srli_si128(x0, 8));
        const __m128d step23 = _mm_cvtepi32_pd(_mm_srli_si128(step, 8));
        _mm_store_pd(&rows[r].x0, _mm_unpacklo_pd(x01, step01));
        _mm_store_pd(&rows[r + 1].x0, _mm_unpackhi_pd(x01, step01));
        _mm_store_pd(&rows[r + 2].x0, _mm_unpacklo_pd(x23, step23));
        _mm_store_pd(&rows[r + 3].x0, _mm_unpackhi_pd(x23, step23));
    }
    fillRowStepsScalar(x + r, count - r, rows + r);
}

// Four points per step, in two pairs: each pair's samples and steps are gathered from
// their rows, multiplied and added in double exactly as one point alone, then rounded to
// float together. The running maxima stay in registers; the values are never NaN (whole
// counts and fractions within a row), so the vector maximum picks what std::max would.
double interpolateColumn(const RowStep* rows, const std::size_t* below, const double* fraction,
                         std::size_t points, float* column) {
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffff));
    __m128d largestA = _mm_setzero_pd();
    __m128d largestB = _mm_setzero_pd();
    std::size_t i = 0;
    for (; i + 4 <= points; i += 4) {
        const __m128d r0 = _mm_load_pd(&rows[below[i]].x0);
        const __m128d r1 = _mm_load_pd(&rows[below[i + 1]].x0);
        const __m128d r2 = _mm_load_pd(&rows[below[i + 2]].x0);
        const __m128d r3 = _mm_load_pd(&rows[below[i + 3]].x0);
        const __m128d a =
            _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(fraction + i), _mm_unpackhi_pd(r0, r1)),
                       _mm_unpacklo_pd(r0, r1));
        const __m128d b =
            _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(fraction + i + 2), _mm_unpackhi_pd(r2, r3)),
                       _mm_unpacklo_pd(r2, r3));
        _mm_storeu_ps(column + i, _mm_movelh_ps(_mm_cvtpd_ps(a), _mm_cvtpd_ps(b)));
        largestA = _mm_max_pd(largestA, _mm_and_pd(a, magnitude));
        largestB = _mm_max_pd(largestB, _mm_and_pd(b, magnitude));
    }
    const __m128d both = _mm_max_pd(largestA, largestB);
    const double vectorLargest =
        std::max(_mm_cvtsd_f64(both), _mm_cvtsd_f64(_mm_unpackhi_pd(both, both)));
    const double tailLargest =
        interpolateColumnScalar(rows, below + i, fraction + i, points - i, column + i);
    return std::max(vectorLargest, tailLargest);
}

#else

void fillRowSteps(const std::int16_t* x, std::size_t count, RowStep* rows) {
    fillRowStepsScalar(x, count, rows);
}

double interpolateColumn(const RowStep* rows, const std::size_t* below, const double* fraction,
                         std::size_t points, float* column) {
    return interpolateColumnScalar(rows, below, fraction, points, column);
}

#endif

}  // namespace waveharm::detail
