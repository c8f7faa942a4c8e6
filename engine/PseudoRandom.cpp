#include "engine/PseudoRandom.h"

namespace
{
// Mixing constants of the seeding and of each draw. Additions wrap modulo 2^32.
constexpr uint32_t kIndexSalt = 0x682F0161u;
constexpr uint32_t kIntermediateSalt = 0x46790905u;
constexpr uint32_t kOutputXor = 0x5BF03635u;
constexpr uint32_t kHalfPrime = 2147483645u; // (p − 1) / 2
} // namespace

uint32_t PseudoRandom::Permute(uint32_t x)
{
    if (x >= kPrime)
        return x;
    const uint32_t r = static_cast<uint32_t>(static_cast<uint64_t>(x) * x % kPrime);
    return x <= kHalfPrime ? r : kPrime - r;
}

void PseudoRandom::Seed(uint32_t base, uint32_t offset)
{
    mIndex = Permute(Permute(base) + kIndexSalt);
    mIntermediate = Permute(Permute(offset) + kIntermediateSalt);
}

uint32_t PseudoRandom::Next()
{
    const uint32_t result = Permute((Permute(mIndex) + mIntermediate) ^ kOutputXor);
    ++mIndex;
    return result;
}
