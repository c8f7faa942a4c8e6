#pragma once
// Biquad sections of several filters side by side in lanes, and the four-lane crossover of a
// stereo pair built from them. Everything here is inlined into its caller, so that in a function
// compiled for AVX2 the lanes are AVX2 registers and no call passes a vector between functions
// compiled for different processors (which Clang refuses).

#include "engine/RBJFilter.h"
#include "framework/Lanes.h"

#include <cstring>

// One biquad section of several filters (the left and right channels', or their low- and
// high-passes as well) with coefficients and memories in lanes: the same Process as RBJSection's
// on each lane. V is Pair or Quad.
template <class V> struct SectionLanes : BiquadState<V>
{
    static constexpr int kLanes = sizeof(V) / sizeof(double);
    using BiquadState<V>::b0, BiquadState<V>::b1, BiquadState<V>::b2, BiquadState<V>::a1,
        BiquadState<V>::a2, BiquadState<V>::y1, BiquadState<V>::y2, BiquadState<V>::x1,
        BiquadState<V>::x2;

    PARANDEL_LANES_INLINE explicit SectionLanes(RBJSection* const* s)
    {
        for (int i = 0; i < kLanes; ++i)
        {
            b0[i] = s[i]->b0, b1[i] = s[i]->b1, b2[i] = s[i]->b2, a1[i] = s[i]->a1;
            a2[i] = s[i]->a2, y1[i] = s[i]->y1, y2[i] = s[i]->y2, x1[i] = s[i]->x1;
            x2[i] = s[i]->x2;
        }
    }
    // Memories back into the sections, each checked as NRBJFilter::ProcessBuffer does at the end
    // of a block.
    PARANDEL_LANES_INLINE void Store(RBJSection* const* s) const
    {
        for (int i = 0; i < kLanes; ++i)
        {
            s[i]->y1 = y1[i], s[i]->y2 = y2[i], s[i]->x1 = x1[i], s[i]->x2 = x2[i];
            s[i]->ClearMemoriesIfNonFinite();
        }
    }
    // From and back to lanes kept in memory, one row of kLanes values per field in the order
    // declared.
    PARANDEL_LANES_INLINE explicit SectionLanes(const double (*v)[kLanes])
        : BiquadState<V>{Load(v[0]), Load(v[1]), Load(v[2]), Load(v[3]), Load(v[4]),
                         Load(v[5]), Load(v[6]), Load(v[7]), Load(v[8])}
    {
    }
    // Memories only (the coefficients do not change in the loop), each lane checked as Store
    // does: a lane with a non-finite memory starts again from silence.
    PARANDEL_LANES_INLINE void Save(double (*v)[kLanes]) const
    {
        // x − x is 0 for finite x and NaN otherwise, so the sum is 0 only when all four are finite.
        const LaneMask<V> finite = (y1 - y1) + (y2 - y2) + (x1 - x1) + (x2 - x2) == V{};
        Put(v[5], Select(finite, y1, V{}));
        Put(v[6], Select(finite, y2, V{}));
        Put(v[7], Select(finite, x1, V{}));
        Put(v[8], Select(finite, x2, V{}));
    }
    static PARANDEL_LANES_INLINE V Load(const double* p)
    {
        V x;
        std::memcpy(&x, p, sizeof x);
        return x;
    }
    static PARANDEL_LANES_INLINE void Put(double* p, V x) { std::memcpy(p, &x, sizeof x); }
};

// The two-band, two-section crossovers of a stereo pair in one four-lane vector: left and right
// low-pass, then left and right high-pass, on lanes kept in memory between blocks (section,
// field, lane). Only for functions compiled for AVX2.
struct QuadCrossover
{
    typedef double Lanes[9][4];
    SectionLanes<Quad> s1, s2;

    PARANDEL_LANES_INLINE explicit QuadCrossover(const Lanes* lanes) : s1(lanes[0]), s2(lanes[1]) {}
    // Bands of n pairs; a band may be its channel's input, as each sample is read before its
    // slot is written. With kFiniteInputs a NaN or infinite input sample is taken as silence,
    // as FiniteOrSilence has it.
    template <bool kFiniteInputs = false>
    PARANDEL_LANES_INLINE void Run(const double* xl, const double* xr, double* lowL, double* lowR,
                                   double* highL, double* highR, int n)
    {
        // Two samples a round, so that the memories change places by renaming, not by moves.
#pragma GCC unroll 2
        for (int k = 0; k < n; ++k)
        {
            Quad x{xl[k], xr[k], xl[k], xr[k]};
            if (kFiniteInputs)
                x = FiniteOrZero(x);
            const Quad y = s2.Process(s1.Process(x));
            lowL[k] = y[0];
            lowR[k] = y[1];
            highL[k] = y[2];
            highR[k] = y[3];
        }
    }
    PARANDEL_LANES_INLINE void Save(Lanes* lanes) const
    {
        s1.Save(lanes[0]);
        s2.Save(lanes[1]);
    }
};
