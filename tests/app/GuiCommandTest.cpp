// `parandel gui` where it must not get as far as a window: without an X display it names the
// reason and ends with exit code 1, never a crash; files, presets and options it cannot use
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

    bool Exists(const std::string& path) const { return access(path.c_str(), F_OK) == 0; }
};

TEST_F(GuiCommandTest, WithoutADisplayItSaysWhyInOneLineAndSavesNothing)
{
    ChildProcess gui;
    ASSERT_TRUE(gui.Start({PARANDEL_CLI, "gui", "--no-audio", "--save-preset", Path("s.aupreset")},
                          {{"DISPLAY", std::nullopt}}, Path("out.txt"), Path("err.txt")));
    EXPECT_EQ(gui.Wait(60), 1);
    const std::string err = ReadWholeFile(Path("err.txt"));
    EXPECT_EQ(err.rfind("parandel: error: cannot open the editor: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(Exists(Path("s.aupreset")));
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

TEST_F(GuiCommandTest, OptionsOutsideTheirRangeAreUsageErrors)
{
    EXPECT_EQ(Run({"gui", "--block-size", "0"}).exitCode, 2);
    EXPECT_EQ(Run({"gui", "--width", "101"}).exitCode, 2);
    const CommandResult r = Run({"gui", "--set", "Wdth=3"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Wdth"), std::string::npos) << r.err;
}
} // namespace
