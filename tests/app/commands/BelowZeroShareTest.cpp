// The share of time below 0 counts only readings that are meaningfully negative: a file with one
// silent side, a mono file and a silent file spend none of their time there (their readings are
// 0 or 1 give or take rounding), a file in opposite phase all of it.

#include "app/commands/AnalyzeCommand.h"
#include "engine/Parandel.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>

namespace
{
constexpr int kRate = 44100;
constexpr int kFrames = 2 * kRate;

// A 32-bit float stereo WAV of kFrames: one noise, scaled by a gain per channel.
std::string WriteFile(const std::string& name, double leftGain, double rightGain)
{
    const std::string dir = std::string(PARANDEL_TEST_TMP) + "/below-zero";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + name + ".wav";
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr) << path;
    std::vector<double> frames;
    for (double x : testsig::Noise(kFrames, 77))
    {
        frames.push_back(x * leftGain);
        frames.push_back(x * rightGain);
    }
    sf_writef_double(f, frames.data(), kFrames);
    sf_close(f);
    return path;
}

double ShareBelowZero(const std::string& path, double bassFocusHz)
{
    app::RenderOptions options;
    options.params = {{Parandel::kBassFocus, bassFocusHz}};
    app::FileAnalysis a;
    EXPECT_EQ(app::AnalyzeFile(path, options, a).exitCode, 0) << path;
    return a.correlation.shareBelowZero;
}
} // namespace

TEST(BelowZeroShare, OnlyMeaningfullyNegativeReadingsCount)
{
    const std::string leftOnly = WriteFile("left-only", 0.8, 0.0);
    const std::string rightOnly = WriteFile("right-only", 0.0, 0.8);
    const std::string mono = WriteFile("mono", 0.5, 0.5);
    const std::string silent = WriteFile("silent", 0.0, 0.0);
    const std::string antiphase = WriteFile("antiphase", 0.5, -0.5);
    // Bass focus off: one side stays silent (rounding apart). (With it on, the mono low band
    // joins the silent side and the two sides do work against each other at times.)
    EXPECT_EQ(ShareBelowZero(leftOnly, 20.0), 0.0);
    EXPECT_EQ(ShareBelowZero(rightOnly, 20.0), 0.0);
    for (double bassFocus : {20.0, 100.0})
    {
        EXPECT_EQ(ShareBelowZero(mono, bassFocus), 0.0) << bassFocus;
        EXPECT_EQ(ShareBelowZero(silent, bassFocus), 0.0) << bassFocus;
        EXPECT_EQ(ShareBelowZero(antiphase, bassFocus), 1.0) << bassFocus;
    }
}
