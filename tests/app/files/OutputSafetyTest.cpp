// End-to-end tests of what the program may write: never an input, never a file of another kind,
// never a partial file whatever ends the program, and every output with the same permissions.

#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr int kRate = 44100;

class OutputSafety : public CliTestFixture
{
protected:
    OutputSafety() : CliTestFixture("outputs") {}

    void WriteNoise(const std::string& name, int frames) const
    {
        Write(Path(name), {testsig::Noise(frames, 1, 0.5), testsig::Noise(frames, 2, 0.5)});
    }

    bool Exists(const std::string& name) const
    {
        struct stat st;
        return stat(Path(name).c_str(), &st) == 0;
    }

    mode_t Mode(const std::string& name) const
    {
        struct stat st;
        return stat(Path(name).c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
    }
};
} // namespace

TEST_F(OutputSafety, NoOutputReplacesAnInputOrAFileOfAnotherKind)
{
    WriteNoise("a1.wav", 3000);
    WriteNoise("a2.wav", 3000);
    ASSERT_EQ(link(Path("a1.wav").c_str(), Path("same.wav").c_str()), 0);
    const std::string a1 = ReadWholeFile(Path("a1.wav"));
    const std::string a2 = ReadWholeFile(Path("a2.wav"));
    struct Case
    {
        std::vector<std::string> args;
        const char* expected; // in the message
    };
    const Case cases[] = {
        // --json takes a1.wav as its file: an existing audio file.
        {{"analyze", "--json", Path("a1.wav"), Path("a2.wav"), "--quiet"}, "audio file"},
        {{"analyze", Path("a1.wav"), Path("a2.wav"), "--json", Path("a2.wav")}, "input"},
        {{"process", Path("a1.wav"), Path("out.wav"), "--scope", Path("a1.wav")}, "input"},
        {{"process", Path("a1.wav"), Path("out.wav"), "--scope", Path("a2.wav")}, "audio file"},
        {{"process", Path("a1.wav"), Path("out.wav"), "--scope", dir + "/./out.wav"}, "OUT"},
        {{"process", Path("a1.wav"), Path("same.wav")}, "input"}, // a hard link to the input
        {{"process", Path("a1.wav"), dir + "/../" + dir.substr(dir.rfind('/') + 1) + "/a1.wav"},
         "input"},
        {{"process", Path("a1.wav"), Path("out.wav"), "--preset", Path("out.wav")}, "input"},
        {{"preset", "save", Path("a2.wav")}, "audio file"},
        {{"process", Path("a1.wav"), dir}, "regular file"},
    };
    for (const Case& c : cases)
    {
        const CommandResult r = Run(c.args);
        const std::string what = c.args[0] + " " + c.args[1] + " " + c.args[2];
        EXPECT_EQ(r.exitCode, 2) << what << ": " << r.err;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << what << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << ": " << r.err;
        EXPECT_EQ(ReadWholeFile(Path("a1.wav")), a1) << what;
        EXPECT_EQ(ReadWholeFile(Path("a2.wav")), a2) << what;
        EXPECT_EQ(Files(), (std::vector<std::string>{"a1.wav", "a2.wav", "same.wav"})) << what;
    }
    // An existing file of the same kind is replaced as before.
    ASSERT_EQ(Run({"process", Path("a1.wav"), Path("a2.wav"), "--quiet"}).exitCode, 0);
    EXPECT_NE(ReadWholeFile(Path("a2.wav")), a2);
}

TEST_F(OutputSafety, EveryTerminatingSignalRemovesThePartialFile)
{
    // Long enough at one sample per block to be caught in the middle (about a second's work).
    WriteNoise("in.wav", 40 * kRate);
    struct Case
    {
        int sig;
        int exitCode; // as RunCommand reports it
    };
    const Case cases[] = {{SIGINT, 130},
                          {SIGTERM, 130},
                          {SIGHUP, 128 + SIGHUP},
                          {SIGQUIT, 128 + SIGQUIT},
                          {SIGUSR1, 128 + SIGUSR1},
                          {SIGPIPE, 128 + SIGPIPE},
                          {SIGRTMIN, 128 + SIGRTMIN}};
    for (const Case& c : cases)
    {
        const pid_t pid = SpawnCommand(
            {PARANDEL_CLI, "process", Path("in.wav"), Path("out.wav"), "--block-size", "1"}, dir);
        ASSERT_GT(pid, 0);
        // Wait for the temporary file, then a little more for the render to be under way.
        bool started = false;
        for (int i = 0; i < 1000 && !started; ++i)
        {
            for (const std::string& name : Files())
                started = started || name.rfind("out.wav.partial-", 0) == 0;
            usleep(10000);
        }
        EXPECT_TRUE(started) << strsignal(c.sig);
        usleep(50000);
        kill(pid, c.sig);
        const CommandResult r = WaitCommand(pid, dir, 30);
        EXPECT_EQ(r.exitCode, c.exitCode) << strsignal(c.sig) << ": " << r.err;
        EXPECT_EQ(Files(), std::vector<std::string>{"in.wav"}) << strsignal(c.sig);
        if (c.exitCode == 130)
        {
            EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
        }
    }
}

TEST_F(OutputSafety, EveryOutputGetsTheUsualPermissions)
{
    WriteNoise("in.wav", 3000);
    const mode_t old = umask(027);
    const auto process =
        Run({"process", Path("in.wav"), Path("out.wav"), "--scope", Path("scope.png"), "--quiet"});
    const auto analyze = Run({"analyze", Path("in.wav"), "--json", Path("a.json"), "--quiet"});
    const auto preset = Run({"preset", "save", Path("p.aupreset")});
    umask(old);
    ASSERT_EQ(process.exitCode, 0) << process.err;
    ASSERT_EQ(analyze.exitCode, 0) << analyze.err;
    ASSERT_EQ(preset.exitCode, 0) << preset.err;
    for (const char* name : {"out.wav", "scope.png", "a.json", "p.aupreset"})
        EXPECT_EQ(Mode(name), 0640u) << name << ": 0666 less the umask 027";
}
