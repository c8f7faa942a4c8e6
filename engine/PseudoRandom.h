#pragma once
// A seeded sequence of unsigned 32-bit values built from a quadratic-residue permutation of
// 0 … 2^32 − 1. Seeding with the same pair always yields the same sequence, which is what makes
// the mono-to-stereo response identical from build to build and from instance to instance.

#include <cstdint>

class PseudoRandom
{
public:
    // Largest prime below 2^32; values at or above it map to themselves.
    static constexpr uint32_t kPrime = 4294967291u;

    PseudoRandom(uint32_t base, uint32_t offset) { Seed(base, offset); }

    // Restarts the sequence.
    void Seed(uint32_t base, uint32_t offset);
    // The next value of the sequence.
    uint32_t Next();

    // x² mod p for x ≤ (p − 1) / 2, p − (x² mod p) above that: a one-to-one map of 0 … 2^32 − 1.
    static uint32_t Permute(uint32_t x);

private:
    uint32_t mIndex = 0;
    uint32_t mIntermediate = 0;
};
