// The standalone player's audio side: a file held in memory and read in a loop, played through
// the plug-in in blocks of the host's size, clocked in real time when no device plays it.

#include "app/playback/AudioPlayer.h"
#include "app/playback/LoopSource.h"
#include "app/render/OfflineRenderer.h"
#include "engine/Parandel.h"
#include "metering/TWCorrelationComputer.h"
#include "support/AllocationCounter.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace
{
using app::AudioPlayer;
using app::LoopSource;
using app::OfflineRenderer;

constexpr int kBlock = 256;

class AudioPlayerTest : public CliTestFixture
{
protected:
    AudioPlayerTest() : CliTestFixture("player") {}

    // The channels written to a float WAV file and loaded back as a source.
    LoopSource Source(const std::vector<std::vector<double>>& channels)
    {
        Write(Path("source.wav"), channels);
        LoopSource source;
        std::string error;
        EXPECT_TRUE(source.Load(Path("source.wav"), error)) << error;
        return source;
    }
};

TEST_F(AudioPlayerTest, PlaybackEqualsTheLoopTiledByHand)
{
    const int loop = 300, total = 2000;
    const std::vector<double> l = testsig::Noise(loop, 7, 0.5), r = testsig::Noise(loop, 8, 0.5);
    LoopSource source = Source({l, r});

    OfflineRenderer played(kTestRate, 2, kBlock);
    played.Start();
    AudioPlayer player(played, source);
    std::vector<float> outL(total), outR(total);
    player.Render(outL.data(), outR.data(), total);
    EXPECT_EQ(player.FramesRendered(), total);

    OfflineRenderer reference(kTestRate, 2, kBlock);
    reference.Start();
    std::vector<float> inL(kBlock), inR(kBlock), refL(kBlock), refR(kBlock);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {refL.data(), refR.data()};
    for (int start = 0; start < total; start += kBlock)
    {
        const int n = std::min(kBlock, total - start);
        for (int k = 0; k < n; ++k)
        {
            inL[k] = static_cast<float>(l[(start + k) % loop]);
            inR[k] = static_cast<float>(r[(start + k) % loop]);
        }
        reference.Process(in, out, n);
        for (int k = 0; k < n; ++k)
        {
            ASSERT_EQ(outL[start + k], refL[k]) << "frame " << start + k;
            ASSERT_EQ(outR[start + k], refR[k]) << "frame " << start + k;
        }
    }
}

TEST_F(AudioPlayerTest, AMonoFilePlaysMonoInStereoOut)
{
    LoopSource source = Source({testsig::Sine(4410, 441.0, kTestRate, 0.5)});
    ASSERT_EQ(source.Channels(), 1);
    OfflineRenderer renderer(kTestRate, source.Channels(), kBlock);
    ASSERT_EQ(renderer.Status(), noErr);
    renderer.Start();
    AudioPlayer player(renderer, source);
    std::vector<float> l(8192), r(8192);
    player.Render(l.data(), r.data(), 8192);
    double energy = 0;
    for (int k = 0; k < 8192; ++k)
    {
        ASSERT_EQ(l[k], r[k]) << "frame " << k;
        energy += l[k] * l[k];
    }
    EXPECT_GT(std::sqrt(energy / 8192), 0.1);
}

TEST_F(AudioPlayerTest, RenderingAllocatesNothing)
{
    LoopSource source = LoopSource::DemoMix();
    OfflineRenderer renderer(source.SampleRate(), 2, kBlock);
    renderer.Start();
    AudioPlayer player(renderer, source);
    std::vector<float> l(4 * kBlock), r(4 * kBlock);
    player.Render(l.data(), r.data(), 4 * kBlock); // first blocks may size the scope's buffers
    AllocationCounter::Start();
    player.Render(l.data(), r.data(), 3 * kBlock + 17);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
}

// A device that does not exist leaves the player silent, clocked in real time.
TEST_F(AudioPlayerTest, WithoutADeviceTheClockPlaysInRealTimeAndTheMeterMoves)
{
    LoopSource source = LoopSource::DemoMix();
    OfflineRenderer renderer(source.SampleRate(), 2, kBlock);
    renderer.Start();
    const double before = renderer.Plugin().GetCorrelationComputer()->GetCorrelation();
    AudioPlayer player(renderer, source);

    const auto start = std::chrono::steady_clock::now();
    player.Start({"no-such-device-7q", false});
    EXPECT_TRUE(player.PlaysSilently());
    EXPECT_TRUE(player.DeviceName().empty());
    EXPECT_NE(player.SilentReason().find("'no-such-device-7q'"), std::string::npos)
        << player.SilentReason();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    player.Stop();
    const long long frames = player.FramesRendered();
    const double expected = elapsed * source.SampleRate();
    EXPECT_GT(frames, 0.75 * expected) << "elapsed " << elapsed << " s";
    EXPECT_LT(frames, 1.1 * expected + kBlock) << "elapsed " << elapsed << " s";

    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(player.FramesRendered(), frames) << "the clock rendered after Stop";
    EXPECT_NE(renderer.Plugin().GetCorrelationComputer()->GetCorrelation(), before);
}

} // namespace
