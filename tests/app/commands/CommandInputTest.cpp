// What the command line takes: one grammar for every number, conflicts and read-only meters
// refused as usage errors, and file names that are not UTF-8 carried through every output.

#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace
{
class CommandInput : public CliTestFixture
{
protected:
    CommandInput() : CliTestFixture("input") {}

    void SetUp() override
    {
        CliTestFixture::SetUp();
        Write(Path("in.wav"), {testsig::Noise(4000, 1, 0.5), testsig::Noise(4000, 2, 0.5)});
    }

    CommandResult Process(std::vector<std::string> options) const
    {
        options.insert(options.begin(), {"process", Path("in.wav"), Path("out.wav"), "--quiet"});
        return Run(options);
    }

    static bool OneLine(const std::string& err)
    {
        return std::count(err.begin(), err.end(), '\n') == 1 && err.size() < 200;
    }
};
} // namespace

TEST_F(CommandInput, EveryNumberFollowsOneGrammar)
{
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--width", "0x10"},
                                                {"--block-size", "0x10"},
                                                {"--pan", "inf"},
                                                {"--width", "nan"},
                                                {"--width", " 5"},
                                                {"--set", "Width= 5"},
                                                {"--set", "Width=5 "},
                                                {"--set", "Width=0x10"},
                                                {"--block-size", "1.5"}})
    {
        const auto r = Process(bad);
        EXPECT_EQ(r.exitCode, 2) << bad[0] << " " << bad[1] << ": " << r.err;
        EXPECT_TRUE(OneLine(r.err)) << r.err;
    }
    for (const std::vector<std::string>& good : {std::vector<std::string>{"--width", "+1.5e1"},
                                                 {"--set", "Width=-.5"},
                                                 {"--block-size", "2.56e2"}})
        EXPECT_EQ(Process(good).exitCode, 0) << good[0] << " " << good[1];
    // The display scales of the other commands too (gui is refused before it looks at FILE).
    for (const char* scale : {"0x2", " 2"})
    {
        EXPECT_EQ(Run({"snapshot", Path("s.png"), Path("in.wav"), "--scale", scale}).exitCode, 2)
            << scale;
        EXPECT_EQ(Run({"gui", Path("missing.wav"), "--scale", scale}).exitCode, 2) << scale;
    }
    EXPECT_EQ(Run({"snapshot", Path("s.png"), Path("in.wav"), "--scale", "1.5e0"}).exitCode, 0);
}

TEST_F(CommandInput, ConflictsAndMetersAreUsageErrors)
{
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--width", "10", "--set", "Width=30"},
          {"--set", "Pan=1", "--set", "Pan=2"},
          {"--set", "CorrelationMeter=0.5"},
          {"--set", "WidthMeter=0"}})
    {
        const auto r = Process(bad);
        EXPECT_EQ(r.exitCode, 2) << bad[1] << ": " << r.err;
        EXPECT_TRUE(OneLine(r.err)) << r.err;
        EXPECT_EQ(Files(), std::vector<std::string>{"in.wav"});
    }
}

TEST_F(CommandInput, SnapshotTimesOutsideTheirRangeAreRefused)
{
    for (const char* at : {"nan", "inf", "-inf", "1e308", "9e18", "-1", "1e8"})
    {
        const auto r = Run({"snapshot", Path("s.png"), Path("in.wav"), "--at", at});
        EXPECT_EQ(r.exitCode, 2) << at << ": " << r.err;
        EXPECT_TRUE(OneLine(r.err)) << r.err;
    }
    EXPECT_EQ(Files(), std::vector<std::string>{"in.wav"});
}

TEST_F(CommandInput, NamesThatAreNotUtf8ReachEveryOutputEscaped)
{
    const std::string name = Path("bad\xFF\xFE.wav");
    ASSERT_EQ(std::rename(Path("in.wav").c_str(), name.c_str()), 0);
    auto r = Run({"analyze", name, "--json", Path("a.json"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(ReadWholeFile(Path("a.json")));
    EXPECT_NE(j["file"].get<std::string>().find("bad\\xFF\\xFE.wav"), std::string::npos);

    r = Run({"analyze", name, "--plot", Path("p.png"), "--report", Path("rep"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadWholeFile(Path("p.png")).substr(1, 3), "PNG");
    EXPECT_NE(ReadWholeFile(Path("rep/index.html")).find("bad\\xFF\\xFE.wav"), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(ReadWholeFile(Path("rep/report.json")))["file"], j["file"]);
}
