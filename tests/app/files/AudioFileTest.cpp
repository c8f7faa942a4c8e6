// End-to-end tests of the samples in the files: integer files come back bit for bit at neutral
// settings, samples beyond full scale are clipped and reported (never wrapped), a truncated
// input is an error, and MP3 input works.

#include "app/files/AudioFile.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr int kBlock = 512; // the default block size; its fade-in shapes the first block

class AudioFiles : public CliTestFixture
{
protected:
    AudioFiles() : CliTestFixture("audio") {}

    // Writes integer samples of the format's resolution (interleaved stereo) exactly.
    static void WriteIntegers(const std::string& path, const std::vector<int32_t>& samples,
                              int format, int bits)
    {
        SF_INFO info{};
        info.channels = 2;
        info.samplerate = kTestRate;
        info.format = format;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
        std::vector<int> aligned(samples.size());
        for (size_t i = 0; i < samples.size(); ++i)
            aligned[i] = samples[i] * (1 << (32 - bits));
        sf_writef_int(f, aligned.data(), static_cast<sf_count_t>(samples.size() / 2));
        sf_close(f);
    }

    // The file's samples as integers of its own resolution (interleaved).
    static std::vector<int32_t> IntegerSamples(const std::string& path, int bits)
    {
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        if (!f)
            return {};
        std::vector<int> v(static_cast<size_t>(info.frames) * info.channels);
        sf_readf_int(f, v.data(), info.frames);
        sf_close(f);
        std::vector<int32_t> out(v.size());
        for (size_t i = 0; i < v.size(); ++i)
            out[i] = v[i] / (1 << (32 - bits)); // libsndfile left-aligns in 32 bits
        return out;
    }
};
} // namespace

TEST_F(AudioFiles, NeutralSettingsAreBitTransparentForIntegerFiles)
{
    const int n = 30 * kBlock + 77;
    struct Format
    {
        const char* name;
        int format;
        int bits;
    };
    for (const Format& f : {Format{"in16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16},
                            Format{"in24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24},
                            Format{"in16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 16},
                            Format{"in24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 24}})
    {
        // Full-scale noise reaches the samples whose rounding gives way first.
        Write(Path(f.name), {testsig::Noise(n, 3, 0.999), testsig::Noise(n, 4, 0.999)}, f.format);
        const std::string out = std::string("out-") + f.name;
        const auto r = Run({"process", Path(f.name), Path(out), "--bass-focus", "0", "--quiet"});
        ASSERT_EQ(r.exitCode, 0) << f.name << ": " << r.err;
        EXPECT_EQ(r.err, "") << f.name;
        const auto in = IntegerSamples(Path(f.name), f.bits);
        const auto got = IntegerSamples(Path(out), f.bits);
        ASSERT_EQ(got.size(), in.size()) << f.name;
        size_t differ = 0;
        for (size_t i = 2 * kBlock; i < in.size(); ++i)
            differ += got[i] != in[i];
        EXPECT_EQ(differ, 0u) << f.name << ": samples changed after the first block";
    }
}

// Every value a float can hold, as the writer makes 24-bit samples of it: round(x × 2^23), ties
// to even, limited to the range and counted when limited; NaN is silence (and counted).
TEST_F(AudioFiles, IntegerWriterRoundsTiesToEvenAndCountsWhatItLimits)
{
    const double fs = 8388608.0;
    std::vector<float> x = {0.5f / 8388608, 1.5f / 8388608, -2.5f / 8388608, 1.0f, -1.0f,
                            1.0f - 0.5f / 8388608, 1e30f, -1e30f, INFINITY, -INFINITY, NAN, 0.0f,
                            -0.0f, 1e-40f, 2.0f, -1.0f - 1e-7f, 0.25f, 1.0f - 2.0f / 8388608};
    std::mt19937 rng(11);
    std::uniform_int_distribution<uint32_t> bits;
    for (int i = 0; i < 20003; ++i) // and a tail of two
    {
        const uint32_t b = bits(rng) >> (i % 2 ? 0 : 2); // anything, or mostly within ±1
        float f;
        std::memcpy(&f, &b, sizeof f);
        x.push_back(f);
    }
    if (x.size() % 2)
        x.push_back(0.3f);
    long long clipped = 0;
    std::vector<int32_t> expected;
    for (float v : x)
    {
        const double r = std::nearbyint(v * fs);
        const bool limited = !(r >= -fs && r <= fs - 1);
        clipped += limited;
        expected.push_back(std::isnan(v) ? 0 : static_cast<int32_t>(std::clamp(r, -fs, fs - 1)));
    }
    app::AudioFileWriter w;
    ASSERT_TRUE(w.Create(Path("ints.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, kTestRate));
    ASSERT_TRUE(w.Write(x.data(), static_cast<long long>(x.size() / 2)));
    EXPECT_EQ(w.ClippedSamples(), clipped);
    ASSERT_TRUE(w.Commit()) << w.error();
    EXPECT_EQ(IntegerSamples(Path("ints.wav"), 24), expected);
}

TEST_F(AudioFiles, SamplesBeyondFullScaleAreClippedNotWrapped)
{
    const int n = 20 * kBlock;
    const std::vector<std::vector<double>> loud = {testsig::Noise(n, 5, 0.9),
                                                   testsig::Noise(n, 6, 0.9)};
    struct Format
    {
        const char* name;
        int format;
        int bits;
    };
    for (const Format& f : {Format{"24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 24},
                            Format{"16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 16},
                            Format{"16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 16}})
    {
        // The same samples as integers and as floats; the float input's float output holds the
        // unlimited result, the reference. The integer output takes the input's encoding.
        const double fullScale = std::ldexp(1.0, f.bits - 1);
        std::vector<int32_t> ints(2 * n);
        std::vector<std::vector<double>> same(2, std::vector<double>(n));
        for (int k = 0; k < n; ++k)
            for (int c = 0; c < 2; ++c)
            {
                ints[2 * k + c] = static_cast<int32_t>(std::nearbyint(loud[c][k] * fullScale));
                same[c][k] = ints[2 * k + c] / fullScale;
            }
        const std::string in = std::string("in") + f.name, out = std::string("out") + f.name;
        WriteIntegers(Path(in), ints, f.format, f.bits);
        Write(Path("same.wav"), same);
        const std::vector<std::string> settings = {"--width", "100", "--out-gain", "3", "--quiet"};
        auto args = [&](const std::string& from, const std::string& to)
        {
            std::vector<std::string> a = {"process", Path(from), Path(to)};
            a.insert(a.end(), settings.begin(), settings.end());
            return a;
        };
        const auto r = Run(args(in, out));
        ASSERT_EQ(r.exitCode, 0) << f.name << ": " << r.err;
        ASSERT_EQ(Run(args("same.wav", "ref.wav")).exitCode, 0);
        const TestAudio ref = Read(Path("ref.wav"));
        const auto got = IntegerSamples(Path(out), f.bits);
        ASSERT_EQ(got.size(), 2u * n) << f.name;
        long long clipped = 0;
        for (int k = 0; k < n; ++k)
            for (int c = 0; c < 2; ++c)
            {
                const double v = std::nearbyint(ref.ch[c][k] * fullScale);
                const double limited = std::clamp(v, -fullScale, fullScale - 1);
                clipped += limited != v;
                ASSERT_EQ(got[2 * k + c], limited) << f.name << " k=" << k << " c=" << c;
            }
        EXPECT_GT(clipped, n / 100) << f.name << ": the settings drive the noise past full scale";
        EXPECT_NE(r.err.find(" " + std::to_string(clipped) + " samples"), std::string::npos)
            << f.name << ": " << clipped << " clipped; " << r.err;
    }
}

TEST_F(AudioFiles, ATruncatedInputIsAReadError)
{
    const int n = 5 * 44100;
    Write(Path("full.flac"), {testsig::Noise(n, 7, 0.5), testsig::Noise(n, 8, 0.5)},
          SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const std::string bytes = ReadWholeFile(Path("full.flac"));
    {
        FILE* f = std::fopen(Path("cut.flac").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size() / 2, f);
        std::fclose(f);
    }
    auto r = Run({"process", Path("cut.flac"), Path("out.flac"), "--quiet"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    r = Run({"analyze", Path("cut.flac"), "--quiet"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
    EXPECT_EQ(Files(), (std::vector<std::string>{"cut.flac", "full.flac"}));
}

TEST_F(AudioFiles, Mp3InputIsRead)
{
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = 44100;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    if (!sf_format_check(&info))
        GTEST_SKIP() << "this libsndfile has no MP3 support";
    const int n = 44100;
    Write(Path("in.mp3"),
          {testsig::Sine(n, 440.0, 44100, 0.5), testsig::Sine(n, 660.0, 44100, 0.5)}, info.format);
    const auto r = Run({"process", Path("in.mp3"), Path("out.wav"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const TestAudio in = Read(Path("in.mp3"));
    const TestAudio out = Read(Path("out.wav"));
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.ch[0].size(), in.ch[0].size());
    EXPECT_GT(testsig::Rms(out.ch[0].data() + n / 2, n / 4), 0.1);
}
