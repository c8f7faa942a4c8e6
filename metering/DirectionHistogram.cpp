#include "metering/DirectionHistogram.h"

#include "framework/MathConstants.h"
#include "metering/PolarSamples.h"
#include "metering/PolynomialAtan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <immintrin.h>
#include <limits>

namespace
{
// atan(num / den) in 0 … π/2 for num, den ≥ 0, not both 0, two pairs at a time with one
// division: in 0 … π/4 from the polynomial on lo / hi (or, above tan(π/8), π/4 + atan((lo − hi) /
// (lo + hi))), reflected to π/2 − that when num > den.
template <class V>
PARANDEL_LANES_INLINE V PolynomialAtanOfRatio(V num, V den)
{
    const V zero = {};
    const LaneMask<V> inverted = num > den;
    const V lo = Select(inverted, den, num);
    const V hi = Select(inverted, num, den);
    const LaneMask<V> near = lo <= (zero + kTanEighthPi) * hi;
    const V q = (lo - Select(near, zero, hi)) / (hi + Select(near, zero, lo));
    const V v = Select(near, zero, zero + kPi / 4.0) + AtanNearZero(q);
    return Select(inverted, (zero + kPi / 2.0) - v, v);
}

// How close to a bin edge a position may come before the definition decides: the polynomial
// route's position is within a few 1e-16 × numBins of the definition's.
constexpr double kEdgeMargin = 1e-9;

// The bins' positions k (bin = floor k) of two pairs by way of the polynomial: the line through
// (L, R) lies atan((L − R) / (L + R)) from the in-phase line, which the display puts at π/2.
// Branch-free; a sum of 0 or a non-finite value gives NaN or −1, which BinOfPosition hands to
// the definition.
template <class V>
PARANDEL_LANES_INLINE V BinPositions(V left, V right, int numBins)
{
    const V zero = {};
    const V sum = left + right, difference = left - right;
    const V magnitude = PolynomialAtanOfRatio(Abs(difference), Abs(sum));
    const LaneMask<V> negative = (difference < zero) ^ (sum < zero);
    const V angle = Select(negative, -magnitude, magnitude);
    // A product instead of a quotient: a rounding more moves k by far less than the margin.
    const V k = ((zero + 0.5) + angle * (zero + 1.0 / kPi)) * (zero + numBins);
    const LaneMask<V> usable =
        (sum != zero) & (Abs(sum) <= zero + std::numeric_limits<double>::max());
    return Select(usable, k, zero - 1.0);
}

// The bin from BinPosition's k: where k is within rounding of an edge (0 and numBins included,
// where the definition's fold may land on the other end) or unusable, the definition decides.
PARANDEL_LANES_INLINE int BinOfPosition(double k, double left, double right, int numBins)
{
    const double edge = k - std::floor(k);
    if (!(k > 0.0) || !(edge > kEdgeMargin) || !(edge < 1.0 - kEdgeMargin))
        return DirectionBinByAtan2(left, right, numBins);
    return static_cast<int>(k);
}
} // namespace

int DirectionBinByAtan2(double left, double right, int numBins)
{
    // Fold the display angle into 0 … π: first into 0 … 2π, then the lower half onto the upper.
    double c = std::fmod(StereoDisplayAngle(left, right), 2.0 * kPi);
    if (c < 0.0)
        c += 2.0 * kPi;
    c -= kPi;
    if (c < 0.0)
        c += kPi;
    const double k = c / kPi * numBins;
    if (!(k >= 0.0)) // also catches NaN
        return 0;
    if (k >= numBins - 1)
        return numBins - 1;
    return static_cast<int>(k);
}

int DirectionBin(double left, double right, int numBins)
{
    return BinOfPosition(BinPositions(Splat(left), Splat(right), numBins)[0], left, right, numBins);
}

namespace
{
constexpr int kRun = 64;

inline bool IsFinitePair(double l, double r)
{
    return std::fabs(l) <= std::numeric_limits<double>::max() &&
           std::fabs(r) <= std::numeric_limits<double>::max();
}

// Amplitudes √(L² + R²) of m pairs, several per square-root instruction (correctly rounded at
// every width, so the same as one at a time).
void RadiiRun(const double* l, const double* r, int m, double* radii)
{
    int i = 0;
    for (; i + 2 <= m; i += 2)
    {
        const __m128d pl = _mm_loadu_pd(l + i), pr = _mm_loadu_pd(r + i);
        _mm_storeu_pd(radii + i, _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(pl, pl), _mm_mul_pd(pr, pr))));
    }
    for (; i < m; ++i)
        radii[i] = std::sqrt(l[i] * l[i] + r[i] * r[i]);
}


// The bins of m ≤ kRun pairs, a vector of pairs at a time; floor is an instruction where the
// processor has it, a call otherwise. With radii (already holding the amplitudes), a pair holding
// a non-finite value gets bin −1 and amplitude 0.
template <class V, bool kRadii>
PARANDEL_LANES_INLINE void BinRun(const double* l, const double* r, int m, int numBins, int* bins,
                                  double* radii)
{
    constexpr int kLanes = sizeof(V) / sizeof(double);
    double k[kRun];
    int i = 0;
    for (; i + kLanes <= m; i += kLanes)
    {
        V pl, pr;
        std::memcpy(&pl, l + i, sizeof pl);
        std::memcpy(&pr, r + i, sizeof pr);
        const V p = BinPositions(pl, pr, numBins);
        std::memcpy(k + i, &p, sizeof p);
    }
    for (; i < m; ++i)
        k[i] = BinPositions(Splat(l[i]), Splat(r[i]), numBins)[0];
    for (i = 0; i < m; ++i)
    {
        bins[i] = BinOfPosition(k[i], l[i], r[i], numBins);
        if (kRadii)
        {
            const bool finite = IsFinitePair(l[i], r[i]);
            bins[i] = finite ? bins[i] : -1;
            radii[i] = finite ? radii[i] : 0.0;
        }
    }
}

#if defined(PARANDEL_LANES_AVX2)
// The coarse route: the same reduction as PolynomialAtanOfRatio and BinPositions in single
// precision, eight pairs at a time, with a reciprocal estimate (refined once) for the division
// and the Taylor series to x⁹ (within |x|¹¹ / 11, 5.6e-6, for |x| ≤ tan(π/8)) for the
// polynomial. Its angle is within 7e-6 of the exact one: 5.6e-6 from the series, the rest from
// single precision (the sum and difference as floats, the reciprocal, the series, the
// reflections and the scaling to k, each a few 1e-7 at most). A pair whose larger of |sum| and
// |difference| lies outside 1e-30 … 1e30 (or is not finite), where floats would not keep that
// precision, gets −1.
PARANDEL_TARGET_AVX2 PARANDEL_LANES_INLINE __m256 CoarsePositions(__m256 sum, __m256 difference,
                                                                  int numBins)
{
    const __m256 signBit = _mm256_set1_ps(-0.0f);
    const __m256 a = _mm256_andnot_ps(signBit, difference), b = _mm256_andnot_ps(signBit, sum);
    const __m256 inverted = _mm256_cmp_ps(a, b, _CMP_GT_OQ);
    const __m256 lo = _mm256_min_ps(a, b), hi = _mm256_max_ps(a, b);
    const __m256 far = _mm256_cmp_ps(
        lo, _mm256_mul_ps(_mm256_set1_ps(static_cast<float>(kTanEighthPi)), hi), _CMP_GT_OQ);
    const __m256 num = _mm256_sub_ps(lo, _mm256_and_ps(far, hi));
    const __m256 den = _mm256_add_ps(hi, _mm256_and_ps(far, lo));
    __m256 reciprocal = _mm256_rcp_ps(den);
    reciprocal = _mm256_mul_ps(
        reciprocal, _mm256_sub_ps(_mm256_set1_ps(2.0f), _mm256_mul_ps(den, reciprocal)));
    const __m256 q = _mm256_mul_ps(num, reciprocal);
    const __m256 z = _mm256_mul_ps(q, q);
    __m256 p = _mm256_set1_ps(1.0f / 9.0f);
    p = _mm256_add_ps(_mm256_mul_ps(p, z), _mm256_set1_ps(-1.0f / 7.0f));
    p = _mm256_add_ps(_mm256_mul_ps(p, z), _mm256_set1_ps(0.2f));
    p = _mm256_add_ps(_mm256_mul_ps(p, z), _mm256_set1_ps(-1.0f / 3.0f));
    const __m256 v = _mm256_add_ps(_mm256_and_ps(far, _mm256_set1_ps(static_cast<float>(kPi / 4.0))),
                                   _mm256_add_ps(q, _mm256_mul_ps(_mm256_mul_ps(q, z), p)));
    const __m256 magnitude = _mm256_blendv_ps(
        v, _mm256_sub_ps(_mm256_set1_ps(static_cast<float>(kPi / 2.0)), v), inverted);
    // Negative where the difference and the sum differ in sign.
    const __m256 angle =
        _mm256_xor_ps(magnitude, _mm256_and_ps(_mm256_xor_ps(difference, sum), signBit));
    const __m256 k = _mm256_mul_ps(
        _mm256_add_ps(_mm256_set1_ps(0.5f),
                      _mm256_mul_ps(angle, _mm256_set1_ps(static_cast<float>(1.0 / kPi)))),
        _mm256_set1_ps(static_cast<float>(numBins)));
    const __m256 usable =
        _mm256_and_ps(_mm256_cmp_ps(hi, _mm256_set1_ps(1e-30f), _CMP_GE_OQ),
                      _mm256_cmp_ps(hi, _mm256_set1_ps(1e30f), _CMP_LE_OQ));
    return _mm256_blendv_ps(_mm256_set1_ps(-1.0f), k, usable);
}

// BinPositions of four pairs, from and to memory: called from functions compiled for AVX2, it
// takes no vector itself, so no call passes one between functions compiled for different
// processors (which Clang refuses).
struct FourPositions
{
    double k[4];
};
PARANDEL_LANES_INLINE FourPositions QuadBinPositions(const double* l, const double* r, int numBins)
{
    Quad pl, pr;
    std::memcpy(&pl, l, sizeof pl);
    std::memcpy(&pr, r, sizeof pr);
    const Quad k = BinPositions(pl, pr, numBins);
    FourPositions out;
    std::memcpy(out.k, &k, sizeof k);
    return out;
}

// How close to a bin edge the coarse route's position may come before the polynomial decides,
// per bin: 7e-6 of angle moves k by 2.3e-6 × numBins, so that where the coarse position is clear
// of an edge by this margin the polynomial's is too, by more than kEdgeMargin, on the same side.
constexpr double kCoarseMargin = 4e-6;

// Lanes whose position k lies inside its bin by more than margin (and above 0).
PARANDEL_TARGET_AVX2 PARANDEL_LANES_INLINE __m256d ClearOfEdges(__m256d k, double margin)
{
    const __m256d edge = _mm256_sub_pd(k, _mm256_floor_pd(k));
    return _mm256_and_pd(_mm256_cmp_pd(k, _mm256_setzero_pd(), _CMP_GT_OQ),
                         _mm256_and_pd(_mm256_cmp_pd(edge, _mm256_set1_pd(margin), _CMP_GT_OQ),
                                       _mm256_cmp_pd(edge, _mm256_set1_pd(1.0 - margin),
                                                     _CMP_LT_OQ)));
}

PARANDEL_TARGET_AVX2 PARANDEL_LANES_INLINE int ClearLanes(__m256 k, float margin)
{
    const __m256 edge = _mm256_sub_ps(k, _mm256_floor_ps(k));
    return _mm256_movemask_ps(
        _mm256_and_ps(_mm256_cmp_ps(k, _mm256_setzero_ps(), _CMP_GT_OQ),
                      _mm256_and_ps(_mm256_cmp_ps(edge, _mm256_set1_ps(margin), _CMP_GT_OQ),
                                    _mm256_cmp_ps(edge, _mm256_set1_ps(1.0f - margin),
                                                  _CMP_LT_OQ))));
}

// Four pairs from bins + at on, whose bins hold the coarse route's where clearLanes says it
// decides: the amplitudes; the polynomial's bins if the coarse route did not decide them all;
// the definition where that is not clear either; −1 and amplitude 0 for a non-finite pair.
template <bool kRadii>
PARANDEL_TARGET_AVX2 PARANDEL_LANES_INLINE void FinishQuad(const double* l, const double* r,
                                                          int at, int numBins, int* bins,
                                                          double* radii, int clearLanes)
{
    const __m256d pl = _mm256_loadu_pd(l + at), pr = _mm256_loadu_pd(r + at);
    int finiteLanes = 0xf;
    if (kRadii)
    {
        const __m256d largest = _mm256_set1_pd(std::numeric_limits<double>::max());
        const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffff));
        const __m256d finite =
            _mm256_and_pd(_mm256_cmp_pd(_mm256_and_pd(pl, magnitude), largest, _CMP_LE_OQ),
                          _mm256_cmp_pd(_mm256_and_pd(pr, magnitude), largest, _CMP_LE_OQ));
        const __m256d radius =
            _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(pl, pl), _mm256_mul_pd(pr, pr)));
        _mm256_storeu_pd(radii + at, _mm256_and_pd(radius, finite));
        finiteLanes = _mm256_movemask_pd(finite);
    }
    if ((clearLanes & finiteLanes) == 0xf)
        return;
    if (clearLanes != 0xf)
    {
        const __m256d k = _mm256_loadu_pd(QuadBinPositions(l + at, r + at, numBins).k);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bins + at), _mm256_cvttpd_epi32(k));
        clearLanes = _mm256_movemask_pd(ClearOfEdges(k, kEdgeMargin));
    }
    for (int j = 0; j < 4; ++j)
    {
        if (!(finiteLanes >> j & 1))
            bins[at + j] = -1;
        else if (!(clearLanes >> j & 1))
            bins[at + j] = DirectionBinByAtan2(l[at + j], r[at + j], numBins);
    }
}

// BinRun eight pairs at a time: the coarse route decides where it is clear of the edges by its
// margin, else the polynomial, else the definition (as BinOfPosition); the floor, the edge test
// and the conversion in lanes, with the amplitudes in the same pass (the same operations as
// RadiiRun, so the same values).
template <bool kRadii>
PARANDEL_TARGET_AVX2 void BinRunAvx2(const double* l, const double* r, int n, int numBins,
                                     int* bins, double* radii)
{
    const float coarseMargin = static_cast<float>(kCoarseMargin * numBins);
    int i = 0;
    for (; i + 8 <= n; i += 8)
    {
        const __m256d l0 = _mm256_loadu_pd(l + i), r0 = _mm256_loadu_pd(r + i);
        const __m256d l1 = _mm256_loadu_pd(l + i + 4), r1 = _mm256_loadu_pd(r + i + 4);
        const __m256 sum = _mm256_set_m128(_mm256_cvtpd_ps(_mm256_add_pd(l1, r1)),
                                           _mm256_cvtpd_ps(_mm256_add_pd(l0, r0)));
        const __m256 difference = _mm256_set_m128(_mm256_cvtpd_ps(_mm256_sub_pd(l1, r1)),
                                                  _mm256_cvtpd_ps(_mm256_sub_pd(l0, r0)));
        const __m256 k = CoarsePositions(sum, difference, numBins);
        const int clearLanes = ClearLanes(k, coarseMargin);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bins + i), _mm256_cvttps_epi32(k));
        FinishQuad<kRadii>(l, r, i, numBins, bins, radii, clearLanes & 0xf);
        FinishQuad<kRadii>(l, r, i + 4, numBins, bins, radii, clearLanes >> 4);
    }
    if (i + 4 <= n)
    {
        FinishQuad<kRadii>(l, r, i, numBins, bins, radii, 0);
        i += 4;
    }
    if (i < n) // fewer than four pairs
    {
        if (kRadii)
            RadiiRun(l + i, r + i, n - i, radii + i);
        BinRun<Quad, kRadii>(l + i, r + i, n - i, numBins, bins + i, kRadii ? radii + i : nullptr);
    }
}
#endif

template <bool kRadii>
void BinRuns(const double* left, const double* right, int n, int numBins, int* bins,
             double* radii)
{
#if defined(PARANDEL_LANES_AVX2)
    if (CpuHasAvx2())
    {
        BinRunAvx2<kRadii>(left, right, n, numBins, bins, radii);
        return;
    }
#endif
    for (int start = 0; start < n; start += kRun)
    {
        const int m = std::min(kRun, n - start);
        double* runRadii = kRadii ? radii + start : nullptr;
        if (kRadii)
            RadiiRun(left + start, right + start, m, runRadii);
        BinRun<Pair, kRadii>(left + start, right + start, m, numBins, bins + start, runRadii);
    }
}
} // namespace

void DirectionBins(const double* left, const double* right, int n, int numBins, int* bins)
{
    BinRuns<false>(left, right, n, numBins, bins, nullptr);
}

void DirectionBinsAndRadii(const double* left, const double* right, int n, int numBins, int* bins,
                           double* radii)
{
    BinRuns<true>(left, right, n, numBins, bins, radii);
}

namespace
{
// Zeroed bins and counts of numBins; false when there are none.
bool StartHistogram(int numBins, SampleBuffer& bins, WDL_TypedBuf<int>& counts)
{
    if (numBins <= 0)
    {
        bins.Resize(0, false);
        return false;
    }
    double* b = bins.Resize(numBins, false);
    int* cnt = counts.Resize(numBins, false);
    if (!b || !cnt)
        return false;
    std::fill(b, b + numBins, 0.0);
    std::fill(cnt, cnt + numBins, 0);
    return true;
}

void AddToBin(double* b, int* cnt, int k, double radius, bool average)
{
    if (average)
    {
        b[k] += radius;
        ++cnt[k];
    }
    else
    {
        b[k] = std::max(b[k], radius);
    }
}

void FinishHistogram(double* b, const int* cnt, int numBins, bool average)
{
    int k = 0;
    if (average)
    {
        // Two bins per division instruction (correctly rounded either way); a bin without pairs
        // is divided by 1, which leaves it as it is.
        const __m128d one = _mm_set1_pd(1.0), limit = _mm_set1_pd(kPolarMaxRadius);
        for (; k + 2 <= numBins; k += 2)
        {
            const __m128d n = _mm_max_pd(
                _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cnt + k))), one);
            _mm_storeu_pd(b + k, _mm_min_pd(limit, _mm_div_pd(_mm_loadu_pd(b + k), n)));
        }
    }
    for (; k < numBins; ++k)
    {
        if (average && cnt[k] > 0)
            b[k] /= cnt[k];
        b[k] = std::min(b[k], kPolarMaxRadius);
    }
}
} // namespace

void DirectionHistogram(const SampleBuffer& left, const SampleBuffer& right, int numBins,
                        bool average, SampleBuffer& bins, WDL_TypedBuf<int>& counts)
{
    if (!StartHistogram(numBins, bins, counts))
        return;
    double* b = bins.Get();
    int* cnt = counts.Get();
    const int n = StereoPairCount(left, right);
    const double* l = left.Get();
    const double* r = right.Get();
    for (int i = 0; i < n; ++i)
    {
        if (!std::isfinite(l[i]) || !std::isfinite(r[i]))
            continue;
        AddToBin(b, cnt, DirectionBin(l[i], r[i], numBins), std::sqrt(l[i] * l[i] + r[i] * r[i]),
                 average);
    }
    FinishHistogram(b, cnt, numBins, average);
}

void DirectionMeansOfPairs(const int* pairBins, const double* radii, int n,
                           const int* binCounts, int numBins, SampleBuffer& bins)
{
    if (numBins <= 0)
    {
        bins.Resize(0, false);
        return;
    }
    double* b = bins.Resize(numBins, false);
    if (!b)
        return;
    std::fill(b, b + numBins, 0.0);
    // One store per pair and no branch: a pair left out adds +0 to bin 0, which leaves any sum
    // of amplitudes (never −0) as it is.
    for (int i = 0; i < n; ++i)
    {
        const bool used = pairBins[i] >= 0;
        b[used ? pairBins[i] : 0] += used ? radii[i] : 0.0;
    }
    FinishHistogram(b, binCounts, numBins, true);
}
