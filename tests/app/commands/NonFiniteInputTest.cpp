// A float file holding one NaN sample: 'process' renders exactly what it renders with silence in
// its place, and 'analyze' reports the same real numbers for both.

#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
class NonFiniteInput : public CliTestFixture
{
protected:
    NonFiniteInput() : CliTestFixture("nonfinite") {}

    // poisoned.wav: noise whose left sample `at` is NaN; clean.wav: the same with 0 there.
    void WriteFiles(int frames, int at, bool stereo)
    {
        std::vector<std::vector<double>> ch = {testsig::Noise(frames, 41, 0.5)};
        if (stereo)
            ch.push_back(testsig::Noise(frames, 42, 0.5));
        ch[0][at] = 0.0;
        Write(Path("clean.wav"), ch);
        ch[0][at] = std::numeric_limits<double>::quiet_NaN();
        Write(Path("poisoned.wav"), ch);
    }
};

// The figures of analyze's row, without the file name.
std::string Figures(const std::string& out)
{
    const size_t row = out.find('\n') + 1;
    return out.substr(out.find_first_not_of(' ', out.find(' ', row)));
}
} // namespace

TEST_F(NonFiniteInput, ProcessRendersANaNSampleAsSilence)
{
    WriteFiles(20000, 12345, true);
    ASSERT_TRUE(std::isnan(Read(Path("poisoned.wav")).ch[0][12345])) << "the file holds the NaN";
    for (const char* option : {"--quiet", "--mono-to-stereo"})
    {
        ASSERT_EQ(Run({"process", Path("poisoned.wav"), Path("poisoned-out.wav"), option}).exitCode,
                  0);
        ASSERT_EQ(Run({"process", Path("clean.wav"), Path("clean-out.wav"), option}).exitCode, 0);
        const TestAudio got = Read(Path("poisoned-out.wav"));
        const TestAudio want = Read(Path("clean-out.wav"));
        ASSERT_EQ(got.channels, 2);
        for (const auto& ch : got.ch)
            for (double x : ch)
                ASSERT_TRUE(std::isfinite(x)) << option;
        EXPECT_TRUE(got.ch == want.ch) << option;
    }
}

TEST_F(NonFiniteInput, AnalyzeReportsRealNumbers)
{
    WriteFiles(30000, 777, false);
    const CommandResult poisoned = Run({"analyze", Path("poisoned.wav"), "--mono-to-stereo"});
    const CommandResult clean = Run({"analyze", Path("clean.wav"), "--mono-to-stereo"});
    ASSERT_EQ(poisoned.exitCode, 0) << poisoned.err;
    EXPECT_EQ(poisoned.out.find("nan"), std::string::npos) << poisoned.out;
    EXPECT_EQ(Figures(poisoned.out), Figures(clean.out)) << poisoned.out;
}
