// The scoped flush-to-zero guard: denormals vanish inside it, the caller's exact control state
// (whatever it was) comes back after it, nested guards included.

#include "framework/DenormalGuard.h"

#include <gtest/gtest.h>

namespace
{
// A denormal input (DAZ) and a product that underflows into the denormal range (FTZ).
bool DenormalsFlushed()
{
    volatile double tiny = 1e-310, small = 1e-300;
    return tiny * 1.0 == 0.0 && small * 1e-20 == 0.0;
}

bool DenormalsKept()
{
    volatile double tiny = 1e-310, small = 1e-300;
    return tiny * 1.0 != 0.0 && small * 1e-20 != 0.0;
}
} // namespace

#if defined(__x86_64__) || defined(__i386__)
TEST(DenormalGuard, FlushesInsideAndRestoresTheCallersStateExactly)
{
    constexpr uint64_t kFlushBits = 0x8040;       // MXCSR FTZ | DAZ
    constexpr uint64_t kRoundTowardZero = 0x6000; // a caller's own rounding mode
    const uint64_t original = DenormalGuard::ControlState();
    for (uint64_t callerState :
         {(original & ~kFlushBits), (original & ~kFlushBits) | kRoundTowardZero,
          original | kFlushBits})
    {
        DenormalGuard::SetControlState(callerState);
        {
            DenormalGuard outer;
            EXPECT_TRUE(DenormalsFlushed());
            {
                DenormalGuard inner;
                EXPECT_TRUE(DenormalsFlushed());
            }
            EXPECT_TRUE(DenormalsFlushed()) << "the inner guard restored the outer's state";
        }
        EXPECT_EQ(DenormalGuard::ControlState(), callerState);
        if (!(callerState & kFlushBits))
        {
            EXPECT_TRUE(DenormalsKept());
        }
    }
    DenormalGuard::SetControlState(original);
}
#endif
