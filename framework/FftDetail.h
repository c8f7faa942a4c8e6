#pragma once
// Internals of the FFT: its precomputed tables, shared by every size and both directions, and
// the choice of stage code. Callers use framework/Fft.h; the tests use this to check every
// stage code the processor offers.

#include "framework/Fft.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace fft_detail
{
constexpr int kMaxLog2 = 15; // 32768 points
constexpr int kMaxSwapLog2 = 5;

// Twiddles of one radix-4 stage of span L, for j = 0 … L/4 − 1 and k = 1, 2, 3, with
// w = e^(−2πi k j / L) = (wr, wi). They are stored in blocks of two consecutive j so that one
// 32-byte load serves two butterflies and one 16-byte load serves one: per block and per k,
//   [wr(j), wr(j), wr(j+1), wr(j+1)]   then   [−wi(j), wi(j), −wi(j+1), wi(j+1)].
// The duplicated and sign-arranged layout makes a complex product one swap, one multiply and
// one add (or one fused multiply-add); the inverse conjugates by subtracting instead.
struct alignas(64) TwiddleBlock
{
    double v[24];
};

// Offset in doubles of k's (wr, wr) pair for twiddle index j within a stage's table; k's
// (−wi, wi) pair follows 4 doubles later.
inline int TwiddleOffset(int j, int k)
{
    return (j >> 1) * 24 + (k - 1) * 8 + (j & 1) * 2;
}

struct Tables
{
    // By log2 of the span, for spans 16 … 32768 (the twiddled stages); empty below.
    std::vector<TwiddleBlock> stageTwiddles[kMaxLog2 + 1];
    // By log2 of the size, for the small sizes (up to kMaxSwapLog2): the index pairs that the
    // bit-reversal permutation exchanges. Larger sizes permute block by block without a list.
    std::vector<std::pair<uint16_t, uint16_t>> swaps[kMaxSwapLog2 + 1];

    Tables();

    const double* Twiddles(int span) const;
};

// Built on first use, once per process; safe to call from any thread.
const Tables& GetTables();

// The radix-4 stages' code: portable (SSE2 on x86-64) or AVX2 with FMA, which Fft picks when
// the processor has it.
enum class StagePath
{
    Portable,
    Avx2,
};
bool HasStagePath(StagePath path);
StagePath BestStagePath();

// The transform of framework/Fft.h with the given stage code; n must be a valid size and the
// path one that HasStagePath accepts.
void Transform(double* x, int n, bool inverse, FftScale scale, StagePath path);
} // namespace fft_detail
