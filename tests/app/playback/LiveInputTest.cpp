// The player on a JACK server (dummy driver): as a live insert, known audio from a test client
// comes back through the plug-in exactly as `parandel process` renders it; a file at another
// rate than the server's is resampled, not played silently. Without a server, named ports give
// a one-line error.

#include "support/GuiTestFixture.h"
#include "support/JackTestServer.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
constexpr int kRate = 48000;
constexpr int kPeriod = 256;
constexpr double kWaitSeconds = 20;
const std::string kOwnOut[2] = {"TW Parandel:outport 0", "TW Parandel:outport 1"};

class LiveInputTest : public GuiTestFixture
{
protected:
    LiveInputTest() : GuiTestFixture("live") {}

    void SetUp() override
    {
        GuiTestFixture::SetUp();
        if (IsSkipped())
            return;
        mJack = std::make_unique<JackTestServer>(Path("jackd.log"), kRate, kPeriod);
        if (!mJack->Ok())
            GTEST_SKIP() << mJack->Reason();
    }

    // Starts the player, connects its output to the recorder once its ports are there, plays
    // the test signal and waits for the recording. False (with a message) when any step fails.
    ::testing::AssertionResult PlayThrough(JackTestClient& client, std::vector<std::string> args,
                                           const std::string& waitFor)
    {
        args.insert(args.begin(), {PARANDEL_CLI, "gui", "--block-size", std::to_string(kPeriod)});
        if (!mGui.Start(args, Path("gui-out.txt"), Path("gui-err.txt")))
            return ::testing::AssertionFailure() << "the player does not start";
        const auto ready = [&]
        { return !waitFor.empty() ? client.Connected(waitFor, "feed:out_1") : true; };
        bool connected = false;
        for (int i = 0; i < kWaitSeconds * 20 && mGui.Running() && !connected; ++i)
        {
            connected = ready() && client.Connect(kOwnOut[0], "rec:in_1") &&
                        client.Connect(kOwnOut[1], "rec:in_2");
            if (!connected)
                usleep(50000);
        }
        if (!connected)
            return ::testing::AssertionFailure()
                   << "the player's ports never appeared: " << ReadWholeFile(Path("gui-err.txt"));
        // A new connection takes a few cycles to enter the server's graph.
        usleep(300000);
        client.Play();
        for (int i = 0; i < kWaitSeconds * 20 && !client.Done(); ++i)
            usleep(50000);
        mGui.Signal(SIGTERM);
        const int exitCode = mGui.Wait(kWaitSeconds);
        if (!client.Done() || exitCode != 0)
            return ::testing::AssertionFailure()
                   << "recorded: " << client.Done() << ", exit code " << exitCode << ": "
                   << ReadWholeFile(Path("gui-err.txt"));
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<JackTestServer> mJack;
    ChildProcess mGui;
};

TEST_F(LiveInputTest, KnownAudioComesBackAsProcessRendersIt)
{
    const int frames = kRate / 2;
    const std::vector<double> l = testsig::Noise(frames, 11, 0.4);
    const std::vector<double> r = testsig::Sine(frames, 997.0, kRate, 0.3);
    JackTestClient client(
        {std::vector<float>(l.begin(), l.end()), std::vector<float>(r.begin(), r.end())}, frames);
    ASSERT_TRUE(client.Ok());
    ASSERT_TRUE(PlayThrough(client, {"--input", "feed:out_1,feed:out_2", "--width", "40"},
                            "TW Parandel:inport 0"));
    EXPECT_NE(ReadWholeFile(Path("gui-out.txt")).find("the live input from feed:out_1, feed:out_2"),
              std::string::npos)
        << ReadWholeFile(Path("gui-out.txt"));

    // The plug-in ran on silence before the signal came: the reference does too, long enough
    // for the restart fade-in to end, in blocks of the server's period.
    const int lead = 16 * kPeriod;
    std::vector<double> leadL(lead, 0.0), leadR(lead, 0.0);
    leadL.insert(leadL.end(), l.begin(), l.end());
    leadR.insert(leadR.end(), r.begin(), r.end());
    Write(Path("in.wav"), {leadL, leadR}, SF_FORMAT_WAV | SF_FORMAT_FLOAT, kRate);
    const CommandResult p = Run({"process", Path("in.wav"), Path("out.wav"), "--quiet", "--width",
                                 "40", "--block-size", std::to_string(kPeriod)});
    ASSERT_EQ(p.exitCode, 0) << p.err;
    const TestAudio ref = Read(Path("out.wav"));
    ASSERT_EQ(ref.ch.size(), 2u);
    // The server may hand the signal on a whole period later (JACK 2's asynchronous mode): the
    // lag is found from the first sound and must be whole periods; from there on, every sample
    // is the reference's.
    const auto firstSound = [](auto begin, auto end)
    { return static_cast<int>(std::find_if(begin, end, [](auto v) { return v != 0; }) - begin); };
    const std::vector<float>& left = client.Recorded()[0];
    const int lag = firstSound(left.begin(), left.end()) -
                    firstSound(ref.ch[0].begin() + lead, ref.ch[0].end());
    ASSERT_LT(lag, frames) << "only silence came back";
    ASSERT_EQ(lag % kPeriod, 0) << lag;
    ASSERT_LE(lag, 4 * kPeriod);
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k + lag < frames; ++k)
            ASSERT_NEAR(client.Recorded()[c][k + lag], ref.ch[c][lead + k], 1e-6)
                << "channel " << c << ", frame " << k;
}

// The server runs at 48 kHz, the file is at 44.1 kHz: the player says it resamples, and what it
// plays is the file at the server's rate (a 1 kHz tone stays 1 kHz).
TEST_F(LiveInputTest, AFileAtAnotherRateIsResampledToTheServers)
{
    const std::vector<double> tone = testsig::Sine(44100, 1000.0, 44100, 0.5);
    Write(Path("tone.wav"), {tone, tone}, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100);
    const int frames = kRate / 4;
    JackTestClient client({{0.0f}, {0.0f}}, frames);
    ASSERT_TRUE(client.Ok());
    ASSERT_TRUE(PlayThrough(client, {Path("tone.wav")}, ""));
    EXPECT_NE(ReadWholeFile(Path("gui-out.txt"))
                  .find("Resampling '" + Path("tone.wav") + "' from 44100 Hz to 48000 Hz"),
              std::string::npos)
        << ReadWholeFile(Path("gui-out.txt"));
    // Level and frequency of the recorded tone: correlation with a 1 kHz quadrature pair, past
    // the periods the server may take to hand the sound on.
    double c = 0, s = 0, energy = 0;
    const std::vector<float>& out = client.Recorded()[0];
    const int skip = 8 * kPeriod, n = frames - skip;
    for (int k = skip; k < frames; ++k)
    {
        c += out[k] * std::cos(2 * M_PI * 1000.0 * k / kRate);
        s += out[k] * std::sin(2 * M_PI * 1000.0 * k / kRate);
        energy += out[k] * out[k];
    }
    const double amplitude = 2 * std::hypot(c, s) / n;
    EXPECT_NEAR(amplitude, 0.5, 0.005);
    EXPECT_NEAR(energy / n, amplitude * amplitude / 2, 1e-4); // nothing but the tone
}

// Without PORTS the input is the device's own, channel for channel: on JACK the system's first
// two capture ports.
TEST_F(LiveInputTest, WithoutPortsTheSystemsCapturePortsFeedTheTwoChannels)
{
    const JackTestClient client({{0.0f}, {0.0f}}, 1);
    ASSERT_TRUE(client.Ok());
    ASSERT_TRUE(mGui.Start({PARANDEL_CLI, "gui", "--input"}, Path("gui-out.txt"),
                           Path("gui-err.txt")));
    const auto connected = [&]
    {
        return client.Connected("TW Parandel:inport 0", "system:capture_1") &&
               client.Connected("TW Parandel:inport 1", "system:capture_2");
    };
    for (int i = 0; i < kWaitSeconds * 20 && mGui.Running() && !connected(); ++i)
        usleep(50000);
    EXPECT_TRUE(connected()) << ReadWholeFile(Path("gui-err.txt"));
    EXPECT_FALSE(client.Connected("TW Parandel:inport 1", "system:capture_1"));
    mGui.Signal(SIGTERM);
    EXPECT_EQ(mGui.Wait(kWaitSeconds), 0) << ReadWholeFile(Path("gui-err.txt"));
    EXPECT_NE(ReadWholeFile(Path("gui-out.txt")).find("Playing the live input through the plug-in"),
              std::string::npos)
        << ReadWholeFile(Path("gui-out.txt"));
}

TEST(LiveInputErrorTest, NoDeviceOrNamedPortsWithoutAJackServerGiveOneLine)
{
    ScopedEnv server("JACK_DEFAULT_SERVER", "parandel-no-such-server");
    const std::string tmp = std::string(PARANDEL_TEST_TMP);
    const CommandResult r =
        RunCommand({PARANDEL_CLI, "gui", "--input", "system:capture_1"}, tmp, kWaitSeconds);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("parandel: error: no live input: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    // No device at all (no JACK or PulseAudio server, and a machine without sound cards).
    if (access("/dev/snd", F_OK) != 0)
    {
        ScopedEnv pulse("PULSE_SERVER", "unix:/nonexistent");
        const CommandResult bare = RunCommand({PARANDEL_CLI, "gui", "--input"}, tmp, kWaitSeconds);
        EXPECT_EQ(bare.exitCode, 1);
        EXPECT_EQ(bare.err.rfind("parandel: error: no live input: ", 0), 0u) << bare.err;
        EXPECT_EQ(std::count(bare.err.begin(), bare.err.end(), '\n'), 1) << bare.err;
        EXPECT_EQ(bare.err.find("ports"), std::string::npos) << "none were named: " << bare.err;
    }
    const CommandResult both = RunCommand({PARANDEL_CLI, "gui", "--input", "--no-audio"}, tmp);
    EXPECT_EQ(both.exitCode, 2) << both.err;
}
} // namespace
