// Replays every stored input of the fuzz targets (the seed corpora and the inputs of earlier
// findings) through the same entry functions libFuzzer calls. A broken invariant ends the
// program with its reason, which fails the test; each input is named on stderr before it runs.

#include "FuzzReplay.h"
#include "fuzz/FuzzTargets.h"

#include <gtest/gtest.h>

TEST(FuzzRegression, StateChunk)
{
    EXPECT_GT(fuzztest::Replay("state_chunk", fuzz::FuzzStateChunk), 0u);
}

TEST(FuzzRegression, PropertyList)
{
    EXPECT_GT(fuzztest::Replay("property_list", fuzz::FuzzPropertyList), 0u);
}

TEST(FuzzRegression, BinaryPlist)
{
    EXPECT_GT(fuzztest::Replay("binary_plist", fuzz::FuzzBinaryPlist), 0u);
}

TEST(FuzzRegression, AdapterCalls)
{
    EXPECT_GT(fuzztest::Replay("adapter_calls", fuzz::FuzzAdapterCalls), 0u);
}

TEST(FuzzRegression, AudioPath)
{
    EXPECT_GT(fuzztest::Replay("audio_path", fuzz::FuzzAudioPath), 0u);
}

TEST(FuzzRegression, EmptyInputsAreFine)
{
    const uint8_t nothing[1] = {0};
    for (fuzztest::Entry entry : {fuzz::FuzzStateChunk, fuzz::FuzzPropertyList,
                                  fuzz::FuzzBinaryPlist, fuzz::FuzzAdapterCalls,
                                  fuzz::FuzzAudioPath})
        EXPECT_EQ(entry(nothing, 0), 0);
}
