// End-to-end tests of the parandel program on real files.

#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace
{
constexpr int kRate = 44100;
constexpr int kBlock = 512;

using Audio = TestAudio;

class CommandLine : public CliTestFixture
{
protected:
    CommandLine() : CliTestFixture("cli") {}

    // Files in the test folder other than the named ones (leftover temporaries).
    std::vector<std::string> Leftovers(const std::vector<std::string>& expected) const
    {
        std::vector<std::string> extra;
        for (const std::string& name : Files())
            if (std::find(expected.begin(), expected.end(), name) == expected.end())
                extra.push_back(name);
        return extra;
    }
};

std::vector<std::vector<double>> StereoNoise(int n, unsigned seed)
{
    return {testsig::Noise(n, seed, 0.5), testsig::Noise(n, seed + 1, 0.5)};
}
} // namespace

TEST_F(CommandLine, WidthMinusHundredGivesIdenticalChannels)
{
    Write(Path("in.wav"), StereoNoise(10 * kBlock + 100, 1));
    const auto r = Run({"process", Path("in.wav"), Path("out.wav"), "--width", "-100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio a = Read(Path("out.wav"));
    ASSERT_EQ(a.channels, 2);
    ASSERT_EQ(a.ch[0].size(), 10u * kBlock + 100);
    for (size_t k = kBlock; k < a.ch[0].size(); ++k)
        ASSERT_NEAR(a.ch[0][k], a.ch[1][k], 1e-6 * std::max(1.0, std::fabs(a.ch[0][k]))) << k;
}

TEST_F(CommandLine, NeutralSettingsReturnTheInput)
{
    const auto in = StereoNoise(8 * kBlock + 17, 3);
    Write(Path("in.wav"), in);
    const auto r =
        Run({"process", Path("in.wav"), Path("out.wav"), "--width", "0", "--bass-focus", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio a = Read(Path("out.wav"));
    ASSERT_EQ(a.ch[0].size(), in[0].size());
    for (int c = 0; c < 2; ++c)
        for (size_t k = kBlock; k < in[0].size(); ++k)
            ASSERT_NEAR(a.ch[c][k], in[c][k], 1e-6) << "c=" << c << " k=" << k;
}

TEST_F(CommandLine, PanHardLeft)
{
    const int n = 20 * kBlock;
    const auto tone = testsig::Sine(n, 1000.0, kRate, 0.5);
    Write(Path("in.wav"), {tone, tone});
    // With bass focus on, only the centred low band (nothing at 1 kHz) stays on the right.
    auto r = Run({"process", Path("in.wav"), Path("out.wav"), "--pan", "-100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Audio a = Read(Path("out.wav"));
    EXPECT_LT(testsig::Rms(a.ch[1].data() + n / 2, n / 2), 1e-3);
    // With bass focus off the right channel is silent altogether.
    r = Run({"process", Path("in.wav"), Path("out2.wav"), "--bass-focus", "20", "--pan", "-100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    a = Read(Path("out2.wav"));
    for (double x : a.ch[1])
        ASSERT_EQ(x, 0.0);
}

TEST_F(CommandLine, OutputGainScalesOnceSettled)
{
    const auto in = StereoNoise(8 * kBlock, 5);
    Write(Path("in.wav"), in);
    const auto r =
        Run({"process", Path("in.wav"), Path("out.wav"), "--out-gain", "-6", "--bass-focus", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio a = Read(Path("out.wav"));
    const double g = std::pow(10.0, -6.0 / 20.0);
    for (size_t k = kBlock; k < in[0].size(); ++k)
        ASSERT_NEAR(a.ch[0][k], g * in[0][k], 1e-6) << k;
}

TEST_F(CommandLine, MonoInputGivesEqualChannels)
{
    const auto mono = testsig::Noise(6 * kBlock + 3, 7, 0.5);
    Write(Path("mono.wav"), {mono}, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    const auto r = Run({"process", Path("mono.wav"), Path("out.wav"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio a = Read(Path("out.wav"));
    ASSERT_EQ(a.channels, 2);
    EXPECT_EQ(a.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24); // the input's sample format
    for (size_t k = 0; k < a.ch[0].size(); ++k)
        ASSERT_EQ(a.ch[0][k], a.ch[1][k]) << k;
}

TEST_F(CommandLine, MonoToStereoLinesUpAtEveryBlockSize)
{
    const int n = 40 * kBlock;
    const auto mono = testsig::Noise(n, 15, 0.25);
    Write(Path("mono.wav"), {mono});
    auto r =
        Run({"process", Path("mono.wav"), Path("a.wav"), "--mono-to-stereo", "--bass-focus", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"process", Path("mono.wav"), Path("b.wav"), "--mono-to-stereo", "--bass-focus", "20",
             "--block-size", "500"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio a = Read(Path("a.wav"));
    const Audio b = Read(Path("b.wav"));
    ASSERT_EQ(b.ch[0].size(), static_cast<size_t>(n));
    // Two different channels whose sum is g × the input...
    const double g = std::exp(6 * 0.1151292546497);
    double side = 0, mid = 0;
    for (int k = kBlock; k < n; ++k)
    {
        ASSERT_NEAR(a.ch[0][k] + a.ch[1][k], g * mono[k], 1e-5) << k;
        side += std::pow(a.ch[0][k] - a.ch[1][k], 2);
        mid += std::pow(a.ch[0][k] + a.ch[1][k], 2);
    }
    const double sideDb = 10 * std::log10(side / mid);
    EXPECT_LT(sideDb, -10.0);
    EXPECT_GT(sideDb, -30.0);
    // ...and with blocks of 500 (one block of latency, compensated) the same signal, in line,
    // once the differing first-block fade-ins have left the 2048-sample response.
    for (int k = kBlock + 2048; k < n; ++k)
    {
        ASSERT_NEAR(b.ch[0][k], a.ch[0][k], 1e-5) << k;
        ASSERT_NEAR(b.ch[1][k], a.ch[1][k], 1e-5) << k;
    }
}

TEST_F(CommandLine, SetTakesAnyParameterByName)
{
    const auto in = StereoNoise(4 * kBlock, 9);
    Write(Path("in.wav"), in);
    auto r = Run(
        {"process", Path("in.wav"), Path("a.wav"), "--set", "BassFocus=20", "--set", "MonoOut=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio a = Read(Path("a.wav"));
    for (size_t k = kBlock; k < in[0].size(); ++k)
        ASSERT_NEAR(a.ch[0][k], (in[0][k] + in[1][k]) / 2, 1e-6) << k;
}

TEST_F(CommandLine, UsageErrorsExitWithTwo)
{
    Write(Path("in.wav"), StereoNoise(kBlock, 11));
    auto r = Run({"process", Path("in.wav"), Path("out.wav"), "--width", "150"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("-100"), std::string::npos) << r.err; // names the range
    r = Run({"process", Path("in.wav"), Path("out.wav"), "--set", "Wdith=3"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("BassFocus"), std::string::npos) << r.err; // lists the names
    r = Run({"process", Path("in.wav"), Path("out.wav"), "--frobnicate"});
    EXPECT_EQ(r.exitCode, 2);
    r = Run({"process", Path("in.wav")});
    EXPECT_EQ(r.exitCode, 2);
    r = Run({"process", Path("in.wav"), Path("out.wav"), "--block-size", "0"});
    EXPECT_EQ(r.exitCode, 2);
    r = Run({"process", Path("in.wav"), Path("out.wav"), "--set", "MonoOut=0.5"});
    EXPECT_EQ(r.exitCode, 2);
    r = Run({});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Leftovers({"in.wav"}).empty());
}

TEST_F(CommandLine, RuntimeErrorsExitWithOneAndLeaveNoFile)
{
    // Not audio at all.
    FILE* f = std::fopen(Path("broken.wav").c_str(), "wb");
    std::fputs("RIFF this is not really a wave file", f);
    std::fclose(f);
    auto r = Run({"process", Path("broken.wav"), Path("out.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("broken.wav"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    // A missing file.
    r = Run({"process", Path("missing.wav"), Path("out.wav")});
    EXPECT_EQ(r.exitCode, 1);
    // Three channels: the supported configurations are named.
    Write(Path("three.wav"),
          {testsig::Noise(100, 1), testsig::Noise(100, 2), testsig::Noise(100, 3)});
    r = Run({"process", Path("three.wav"), Path("out.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("stereo"), std::string::npos) << r.err;
    // An output in a folder that does not exist.
    Write(Path("in.wav"), StereoNoise(kBlock, 13));
    r = Run({"process", Path("in.wav"), Path("nowhere/out.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Leftovers({"broken.wav", "three.wav", "in.wav"}).empty());
}

TEST_F(CommandLine, ParamsVersionAndDemo)
{
    auto r = Run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "5.3.1\n");
    r = Run({"params"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* name : {"WidthMeter", "Width", "MonoToStereo", "Pan", "BassFocus", "OutGain",
                             "MonoOut", "VectorscopeMode4", "VectorscopeGraph4"})
        EXPECT_NE(r.out.find(name), std::string::npos) << name;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 20); // header + 19 rows

    r = Run({"demo", Path("demo"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio in = Read(Path("demo/demo-input.wav"));
    const Audio out = Read(Path("demo/demo-output.wav"));
    EXPECT_EQ(in.rate, 44100);
    EXPECT_EQ(in.ch[0].size(), 441000u);
    EXPECT_EQ(out.ch[0].size(), 441000u);
    EXPECT_NE(r.out.find("correlation"), std::string::npos);
    // Real stereo content: the channels differ, and widening lowers their correlation.
    double diff = 0;
    for (size_t k = 0; k < in.ch[0].size(); ++k)
        diff = std::max(diff, std::fabs(in.ch[0][k] - in.ch[1][k]));
    EXPECT_GT(diff, 0.05);
}

TEST_F(CommandLine, MessagesAreOneLineAndSayWhatIsWrong)
{
    Write(Path("a.wav"), StereoNoise(3 * kBlock, 17));
    Write(Path("b.wav"), StereoNoise(3 * kBlock, 19));
    struct Case
    {
        std::vector<std::string> args;
        const char* expected; // in the message
    };
    const Case cases[] = {
        {{"process", Path("a.wav"), Path("out.wav"), "--frobnicate"}, "--frobnicate"},
        {{"process", Path("a.wav"), Path("out.wav"), "--block-size", "abc"}, "'abc' is not a"},
        {{"analyze", Path("a.wav"), "--block-size", "12x"}, "'12x' is not a"},
        {{"gui", "--block-size", "abc"}, "'abc' is not a whole number"},
        {{"process", Path("a.wav"), Path("out.wav"), "--width", "wide"}, "'wide' is not a number"},
        {{"preset", "bogus"}, "'bogus'"},
        {{"bogus"}, "'bogus'"},
        {{"process", Path("a.wav"), Path("out.wav"), "--scope-mode", "flame"}, "--scope"},
    };
    for (const Case& c : cases)
    {
        const auto r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args[0] << ": " << r.err;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("parandel: error: ", 0), 0u) << r.err;
    }
    // --set takes one value each time: the files after it stay the command's files.
    const auto r = Run({"analyze", "--set", "BassFocus=20", Path("a.wav"), Path("b.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
    EXPECT_TRUE(Leftovers({"a.wav", "b.wav"}).empty());
}
