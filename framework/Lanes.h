#pragma once
// Doubles side by side in GCC vectors, for loops that do the same arithmetic on every lane.

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PARANDEL_LANES_AVX2 1
#define PARANDEL_TARGET_AVX2 __attribute__((target("avx2")))
// Functions taking or returning a Quad are always inlined (into functions compiled for AVX2), so
// the calling convention GCC warns about is never used.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include <limits>

// Two samples side by side, so that one instruction does the same arithmetic on both; the
// comparisons give lane masks, and selects between lanes are bitwise, with no branch. Four side
// by side (Quad) for functions compiled for AVX2, which pick it at run time (CpuHasAvx2): the same
// operations lane by lane, so the same results bit for bit.
typedef double Pair __attribute__((vector_size(2 * sizeof(double))));
typedef double Quad __attribute__((vector_size(4 * sizeof(double))));
template <class V>
using LaneMask = decltype(V{} < V{});
using PairMask = LaneMask<Pair>;

// Inlined wherever used, so that in a function compiled for AVX2 they are too; the second for
// lambdas.
#define PARANDEL_LANES_INLINE inline __attribute__((always_inline))
#define PARANDEL_LAMBDA_INLINE __attribute__((always_inline))

constexpr Pair Splat(double x)
{
    return Pair{x, x};
}

// In the xor form, which the compiler keeps as three bitwise instructions.
template <class V>
PARANDEL_LANES_INLINE V Select(LaneMask<V> m, V a, V b)
{
    using M = LaneMask<V>;
    return (V)((M)b ^ (((M)a ^ (M)b) & m));
}

template <class V>
PARANDEL_LANES_INLINE V Abs(V x)
{
    using M = LaneMask<V>;
    return (V)((M)x & (M{} + 0x7fffffffffffffff));
}

// Each lane as it is when finite, NaN and ±infinity as 0: the lane form of FiniteOrSilence.
template <class V>
PARANDEL_LANES_INLINE V FiniteOrZero(V x)
{
    return Select(Abs(x) <= V{} + std::numeric_limits<double>::max(), x, V{});
}

// True when the processor and the operating system support AVX2.
inline bool CpuHasAvx2()
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // A flag the runtime set up at start: no guarded static on the audio thread.
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

#if defined(PARANDEL_LANES_AVX2)
template <class Loop>
PARANDEL_TARGET_AVX2 void RunCompiledForAvx2(const Loop& loop)
{
    loop();
}
#endif

// Runs loop, a plain loop the compiler vectorises, in a copy compiled for AVX2 where the processor
// has it (four doubles per instruction instead of two, the same results). loop is a lambda marked
// PARANDEL_LAMBDA_INLINE, so that its body is compiled into each copy.
template <class Loop>
inline void RunAtWidestLanes(const Loop& loop)
{
#if defined(PARANDEL_LANES_AVX2)
    if (CpuHasAvx2())
        return RunCompiledForAvx2(loop);
#endif
    loop();
}
