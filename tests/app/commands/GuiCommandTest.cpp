// `parandel gui` where it must not get as far as a window: without an X display it names the
// reason in one line and ends with exit code 1, never a crash; files and presets it cannot use
// are refused before anything opens.

#include "support/ChildProcess.h"
#include "support/CliTestFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
class GuiCommandTest : public CliTestFixture
{
protected:
    GuiCommandTest() : CliTestFixture("gui") {}
};

TEST_F(GuiCommandTest, WithoutADisplayItSaysWhyInOneLineAndSavesNothing)
{
    ScopedEnv noDisplay("DISPLAY", std::nullopt);
    const CommandResult r = Run({"gui", "--no-audio", "--save-preset", Path("s.aupreset")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("parandel: error: cannot open the editor: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(access(Path("s.aupreset").c_str(), F_OK), 0);
}

TEST_F(GuiCommandTest, UnplayableFilesAreRefused)
{
    CommandResult r = Run({"gui", Path("missing.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("missing.wav"), std::string::npos) << r.err;

    Write(Path("three.wav"), {{0.1, 0.2}, {0.1, 0.2}, {0.1, 0.2}});
    r = Run({"gui", Path("three.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("3 channels"), std::string::npos) << r.err;
}

TEST_F(GuiCommandTest, ABadPresetOrAnUnwritableSavePathIsRefusedFirst)
{
    std::ofstream(Path("bad.aupreset")) << "not a property list";
    CommandResult r = Run({"gui", "--preset", Path("bad.aupreset")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("bad.aupreset"), std::string::npos) << r.err;

    r = Run({"gui", "--save-preset", Path("no-such-folder/s.aupreset")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no-such-folder/s.aupreset"), std::string::npos) << r.err;
}

TEST_F(GuiCommandTest, TheSavedPresetGetsTheChecksOfEveryOutput)
{
    // Refused before a window could open: the input, an audio file, something not a file,
    // a file that is no preset of this plug-in (without --force).
    ScopedEnv noDisplay("DISPLAY", std::nullopt);
    Write(Path("in.wav"), {{0.1, 0.2}, {0.1, 0.2}});
    Write(Path("other.wav"), {{0.3, 0.4}, {0.3, 0.4}});
    std::ofstream(Path("notes.txt")) << "mine";
    const std::string in = ReadWholeFile(Path("in.wav"));
    const std::string other = ReadWholeFile(Path("other.wav"));
    for (const std::string& target :
         {Path("in.wav"), Path("other.wav"), dir, std::string("/dev/null"), Path("notes.txt")})
    {
        const CommandResult r =
            Run({"gui", Path("in.wav"), "--no-audio", "--save-preset", target}, 20);
        EXPECT_EQ(r.exitCode, 2) << target << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(ReadWholeFile(Path("in.wav")), in);
    EXPECT_EQ(ReadWholeFile(Path("other.wav")), other);
    EXPECT_EQ(ReadWholeFile(Path("notes.txt")), "mine");
    // --force lets the text file through to the window, which cannot open here.
    const CommandResult forced = Run(
        {"gui", Path("in.wav"), "--no-audio", "--save-preset", Path("notes.txt"), "--force"}, 20);
    EXPECT_EQ(forced.exitCode, 1) << forced.err;
    EXPECT_NE(forced.err.find("cannot open the editor"), std::string::npos) << forced.err;
}
} // namespace
