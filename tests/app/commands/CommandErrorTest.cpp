// End-to-end tests of how the commands fail: a file among several that cannot be analysed, and a
// file named as a preset that is not one.

#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <random>

namespace
{
class CommandErrors : public CliTestFixture
{
protected:
    CommandErrors() : CliTestFixture("errors") {}

    void WriteBytes(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }

    // Pseudo-random bytes that no reader takes for audio or a property list.
    static std::string RandomBytes(size_t n)
    {
        std::mt19937 gen(7);
        std::string bytes(n, '\0');
        for (char& c : bytes)
            c = static_cast<char>(gen() & 0xFF);
        bytes[0] = 'X'; // neither "RIFF", "bplist" nor "<?xml"
        return bytes;
    }
};

size_t Lines(const std::string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}
} // namespace

TEST_F(CommandErrors, AnalyzeReportsTheGoodFilesPastABrokenOne)
{
    Write(Path("good.wav"), {testsig::Noise(4000, 1, 0.5), testsig::Noise(4000, 2, 0.5)});
    Write(Path("good2.wav"), {testsig::Noise(3000, 3, 0.5)});
    WriteBytes("broken.wav", RandomBytes(3000));

    for (const std::string broken : {"broken.wav", "missing.wav"})
    {
        const auto r = Run({"analyze", Path("good.wav"), Path(broken), Path("good2.wav"), "--json",
                            Path("a.json"), "--quiet"});
        EXPECT_EQ(r.exitCode, 1) << broken << ": " << r.err;
        // The table's heading and a row for each good file, in order.
        EXPECT_EQ(Lines(r.out), 3u) << r.out;
        const size_t first = r.out.find(Path("good.wav"));
        const size_t second = r.out.find(Path("good2.wav"));
        EXPECT_NE(first, std::string::npos) << r.out;
        EXPECT_NE(second, std::string::npos) << r.out;
        EXPECT_LT(first, second) << r.out;
        EXPECT_EQ(r.out.find(broken), std::string::npos) << r.out;
        // One line on the broken file.
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("parandel: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(broken), std::string::npos) << r.err;
        // The JSON holds the good files only.
        const auto json = nlohmann::json::parse(ReadWholeFile(Path("a.json")));
        ASSERT_TRUE(json.is_array()) << broken;
        ASSERT_EQ(json.size(), 2u) << broken;
        EXPECT_EQ(json[0]["file"], Path("good.wav"));
        EXPECT_EQ(json[1]["file"], Path("good2.wav"));
    }
}

TEST_F(CommandErrors, PresetShowRefusesAFileThatIsNoPropertyList)
{
    Write(Path("sound.wav"), {testsig::Noise(2000, 6, 0.5), testsig::Noise(2000, 7, 0.5)});
    WriteBytes("random.aupreset", RandomBytes(700));
    WriteBytes("empty.aupreset", "");
    for (const std::string name : {"sound.wav", "random.aupreset", "empty.aupreset"})
    {
        const auto r = Run({"preset", "show", Path(name)});
        EXPECT_EQ(r.exitCode, 1) << name << ": " << r.err;
        EXPECT_EQ(r.out, "") << name;
        EXPECT_EQ(Lines(r.err), 1u) << name << ": " << r.err;
        EXPECT_EQ(r.err, "parandel: error: '" + Path(name) + "' is not a property list\n");
    }
}
