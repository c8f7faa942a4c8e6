// Replays the LV2 atom target's stored inputs: among them the malformed atoms hosts have been
// seen to send (a number atom of body size 0, an event larger than its sequence, a sequence
// larger than its buffer), each in an exactly sized buffer.

#include "FuzzReplay.h"
#include "fuzz/FuzzTargets.h"

#include <gtest/gtest.h>

TEST(FuzzRegression, LV2Atoms)
{
    EXPECT_GT(fuzztest::Replay("lv2_atoms", fuzz::FuzzLV2Atoms), 0u);
    const uint8_t nothing[1] = {0};
    EXPECT_EQ(fuzz::FuzzLV2Atoms(nothing, 0), 0);
}
