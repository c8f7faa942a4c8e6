// Several files side by side (--jobs, process --out-dir): the same results as one at a time.

#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
namespace fs = std::filesystem;

class Batch : public CliTestFixture
{
protected:
    Batch() : CliTestFixture("batch") {}

    void SetUp() override
    {
        CliTestFixture::SetUp();
        for (const char* sub : {"a", "b", "out", "one", "rep1", "rep3"})
            fs::remove_all(Path(sub));
        fs::create_directory(Path("a"));
        fs::create_directory(Path("b"));
    }

    // Five inputs of different lengths and widths, one of them mono, and one that is not audio.
    std::vector<std::string> Inputs()
    {
        std::vector<std::string> files;
        for (int i = 0; i < 5; ++i)
        {
            const int n = 20000 + 7919 * i;
            const std::string path = Path("a/in" + std::to_string(i) + ".wav");
            if (i == 2)
                Write(path, {testsig::Noise(n, 10, 0.4)});
            else
                Write(path, {testsig::Noise(n, 20 + i, 0.4), testsig::Noise(n, 30 + i, 0.1 * i)});
            files.push_back(path);
        }
        const std::string bad = Path("a/broken.wav");
        std::FILE* f = std::fopen(bad.c_str(), "wb");
        std::fputs("not audio", f);
        std::fclose(f);
        files.insert(files.begin() + 3, bad);
        return files;
    }

    CommandResult RunWith(std::vector<std::string> args, const std::vector<std::string>& files)
    {
        args.insert(args.begin() + 1, files.begin(), files.end());
        return Run(args);
    }
};

TEST_F(Batch, AnalyzeGivesTheSameTableAndJsonWithAnyNumberOfJobs)
{
    const auto files = Inputs();
    const auto one = RunWith({"analyze", "--width", "40", "--jobs", "1", "--json", Path("1.json")}, files);
    const auto three =
        RunWith({"analyze", "--width", "40", "--jobs", "3", "--json", Path("3.json")}, files);
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_EQ(three.exitCode, 1);
    EXPECT_EQ(one.out, three.out);
    EXPECT_EQ(one.err, three.err);
    EXPECT_NE(one.err.find("broken.wav"), std::string::npos);
    // The rows in the order given, the unreadable file's error in its place.
    EXPECT_LT(three.out.find("in2.wav"), three.out.find("in4.wav"));
    const std::string json = ReadWholeFile(Path("1.json"));
    EXPECT_EQ(json, ReadWholeFile(Path("3.json")));
    EXPECT_NE(json.find("in4.wav"), std::string::npos);
}

TEST_F(Batch, ReportFolderIsTheSameWithAnyNumberOfJobs)
{
    auto files = Inputs();
    files.resize(3);
    ASSERT_EQ(RunWith({"analyze", "--jobs", "1", "--report", Path("rep1")}, files).exitCode, 0);
    const auto r = RunWith({"analyze", "--jobs", "3", "--report", Path("rep3")}, files);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(Path("rep1")))
    {
        const std::string name = entry.path().filename();
        EXPECT_EQ(ReadWholeFile(entry.path()), ReadWholeFile(Path("rep3/" + name))) << name;
        ++compared;
    }
    EXPECT_EQ(compared, 2 + 2 * files.size());
}

TEST_F(Batch, ProcessIntoAFolderWritesWhatProcessWritesForEachFile)
{
    const auto files = Inputs();
    std::vector<std::string> args = {"process", "--out-dir", Path("out"), "--jobs", "2",
                                     "--pan", "30", "--quiet"};
    const auto r = RunWith(args, files);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("broken.wav"), std::string::npos);
    // Every other file written, nothing for the broken one, no temporary left.
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(Path("out")))
        written.push_back(entry.path().filename());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"in0.wav", "in1.wav", "in2.wav", "in3.wav",
                                                 "in4.wav"}));
    // With the permissions of any new file, whichever worker wrote it.
    const mode_t mask = umask(0);
    umask(mask);
    for (const std::string& name : written)
    {
        struct stat st;
        ASSERT_EQ(stat(Path("out/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << name;
    }
    for (int i = 0; i < 5; ++i)
    {
        const std::string name = "in" + std::to_string(i) + ".wav";
        ASSERT_EQ(Run({"process", Path("a/" + name), Path("one.wav"), "--pan", "30", "--quiet"})
                      .exitCode,
                  0);
        const TestAudio alone = Read(Path("one.wav"));
        const TestAudio batch = Read(Path("out/" + name));
        EXPECT_EQ(batch.format, alone.format);
        EXPECT_EQ(batch.ch, alone.ch) << name;
    }
}

TEST_F(Batch, ClippingWarningsComeInTheOrderOfTheFiles)
{
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i)
    {
        files.push_back(Path("a/loud" + std::to_string(i) + ".wav"));
        Write(files.back(), {testsig::Noise(20000 - 4000 * i, 40 + i, 0.9)},
              SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }
    const std::vector<std::string> args = {"process", "--out-dir", Path("out"), "--out-gain",
                                           "12", "--quiet", "--jobs"};
    auto one = args, four = args;
    one.push_back("1");
    four.push_back("4");
    const auto r1 = RunWith(one, files);
    const auto r4 = RunWith(four, files);
    ASSERT_EQ(r1.exitCode, 0) << r1.err;
    ASSERT_EQ(r4.exitCode, 0) << r4.err;
    EXPECT_EQ(r1.err, r4.err);
    size_t at = 0;
    for (int i = 0; i < 4; ++i)
    {
        const size_t found = r4.err.find("loud" + std::to_string(i) + ".wav' were beyond", at);
        ASSERT_NE(found, std::string::npos) << r4.err;
        at = found;
    }
}

TEST_F(Batch, ProcessIntoAFolderRefusesClashesBeforeWriting)
{
    Write(Path("a/x.wav"), {testsig::Noise(3000, 1, 0.3)});
    Write(Path("b/x.wav"), {testsig::Noise(3000, 2, 0.3)});
    // Two inputs of one name.
    auto r = Run({"process", Path("a/x.wav"), Path("b/x.wav"), "--out-dir", Path("out")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("would both be written"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(Path("out")));
    // The inputs' own folder.
    r = Run({"process", Path("a/x.wav"), "--out-dir", Path("a")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
    // A folder that is a file; a picture of one file; IN without OUT.
    EXPECT_EQ(Run({"process", Path("a/x.wav"), "--out-dir", Path("b/x.wav")}).exitCode, 2);
    EXPECT_EQ(Run({"process", Path("a/x.wav"), "--out-dir", Path("out"), "--scope",
                   Path("s.png")})
                  .exitCode,
              2);
    EXPECT_EQ(Run({"process", Path("a/x.wav")}).exitCode, 2);
    EXPECT_EQ(Run({"process", Path("a/x.wav"), "--out-dir", Path("out"), "--jobs", "0"}).exitCode,
              2);
    EXPECT_FALSE(fs::exists(Path("out")));
}
} // namespace
