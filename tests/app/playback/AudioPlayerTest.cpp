// The standalone player's audio side: a file held in memory and read in a loop, played through
// the plug-in in blocks of the host's size, clocked in real time when no device plays it.

#include "app/playback/AudioPlayer.h"
#include "app/playback/AudioStream.h"
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
    AudioPlayer player(played, &source);
    std::vector<float> outL(total), outR(total);
    player.Render(nullptr, outL.data(), outR.data(), total);
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
    AudioPlayer player(renderer, &source);
    std::vector<float> l(8192), r(8192);
    player.Render(nullptr, l.data(), r.data(), 8192);
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
    AudioPlayer player(renderer, &source);
    std::vector<float> l(4 * kBlock), r(4 * kBlock);
    player.Render(nullptr, l.data(), r.data(),
                  4 * kBlock); // first blocks may size the scope's buffers
    AllocationCounter::Start();
    player.Render(nullptr, l.data(), r.data(), 3 * kBlock + 17);
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
    AudioPlayer player(renderer, &source);
    app::AudioStream stream;
    std::string why;
    EXPECT_FALSE(stream.Open({"no-such-device-7q", source.SampleRate(), kBlock, false, {}}, why));
    EXPECT_TRUE(stream.DeviceName().empty());
    EXPECT_NE(why.find("'no-such-device-7q'"), std::string::npos) << why;

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.Start(nullptr, why)) << why;
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

// Live input goes through the plug-in block by block as a host's buffers would, without
// allocating on the audio thread.
TEST_F(AudioPlayerTest, LiveInputEqualsTheRendererFedDirectly)
{
    const int total = 3 * kBlock + 77;
    const std::vector<double> l = testsig::Noise(total, 3, 0.5), r = testsig::Noise(total, 4, 0.5);
    std::vector<float> inL(l.begin(), l.end()), inR(r.begin(), r.end());
    const float* input[2] = {inL.data(), inR.data()};
    OfflineRenderer live(kTestRate, 2, kBlock), direct(kTestRate, 2, kBlock);
    live.Start();
    direct.Start();
    AudioPlayer player(live, nullptr);
    std::vector<float> outL(total), outR(total), refL(total), refR(total);
    AllocationCounter::Start();
    player.Render(input, outL.data(), outR.data(), total);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
    for (int start = 0; start < total; start += kBlock)
    {
        const int n = std::min(kBlock, total - start);
        float* in[2] = {inL.data() + start, inR.data() + start};
        float* out[2] = {refL.data() + start, refR.data() + start};
        direct.Process(in, out, n);
    }
    EXPECT_EQ(outL, refL);
    EXPECT_EQ(outR, refR);
}

// A file at another rate than the device's is converted whole before playback: a 1 kHz tone
// stays a 1 kHz tone at the new rate, at its level, seamless round the loop, and agrees with
// sox's conversion.
TEST_F(AudioPlayerTest, ResamplingKeepsPitchLevelAndAgreesWithSox)
{
    const std::vector<double> tone = testsig::Sine(44100, 1000.0, 44100, 0.5);
    Write(Path("tone.wav"), {tone, tone}, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100);
    LoopSource source;
    std::string error;
    ASSERT_TRUE(source.Load(Path("tone.wav"), error)) << error;
    ASSERT_TRUE(source.ResampleTo(48000, error)) << error;
    EXPECT_EQ(source.SampleRate(), 48000);
    ASSERT_EQ(source.Frames(), 48000);
    std::vector<float> l(48000), r(48000);
    float* dest[2] = {l.data(), r.data()};
    source.Read(dest, 48000);
    // The whole loop, ends included: the filter sees the loop's other end around them.
    for (int k = 0; k < 48000; ++k)
        ASSERT_NEAR(l[k], 0.5 * std::sin(2 * M_PI * 1000.0 * k / 48000), 2e-4) << "frame " << k;
    EXPECT_EQ(l, r);

    if (access("/usr/bin/sox", X_OK) != 0)
        GTEST_SKIP() << "sox is not installed: no comparison with it";
    const CommandResult sox =
        RunCommand({"/usr/bin/sox", Path("tone.wav"), "-r", "48000", Path("sox.wav")}, dir);
    ASSERT_EQ(sox.exitCode, 0) << sox.err;
    const std::vector<std::vector<double>> ref = Read(Path("sox.wav")).ch;
    ASSERT_EQ(ref[0].size(), 48000u);
    double dot = 0, ours = 0, theirs = 0;
    for (int k = 0; k < 48000; ++k)
    {
        dot += l[k] * ref[0][k];
        ours += l[k] * l[k];
        theirs += ref[0][k] * ref[0][k];
    }
    EXPECT_GT(dot / std::sqrt(ours * theirs), 0.99999);
    EXPECT_NEAR(10 * std::log10(ours / theirs), 0.0, 0.01); // level in dB
}

} // namespace
