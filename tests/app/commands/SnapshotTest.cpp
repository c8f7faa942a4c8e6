// `parandel snapshot`: the whole editor as a picture, compared with a reviewed golden image with a
// tolerance that forgives anti-aliasing but not a moved, missing or wrongly coloured control.

#include "support/CliTestFixture.h"
#include "support/ImageCompare.h"

#include <set>

namespace
{
constexpr int kChannelTolerance = 40;
constexpr int kMaxDifferingPixels = 150;
// The editor drawn at 2 × and reduced again: text hinted at another size and the scope's points
// drawn at another resolution move their edges (about 1900 of the 221 616 pixels today).
constexpr int kMaxScaledDifferingPixels = 2500;

class SnapshotTest : public CliTestFixture
{
protected:
    SnapshotTest() : CliTestFixture("snapshot") {}
};

TEST_F(SnapshotTest, TheEditorAtDefaultsMatchesTheGoldenPicture)
{
    const CommandResult r = Run({"snapshot", Path("editor.png"), "--at", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto actual = LoadPicture(Path("editor.png"));
    auto golden =
        LoadPicture(std::string(PARANDEL_SOURCE_DIR) + "/tests/app/commands/golden/editor-defaults.png");
    ASSERT_TRUE(actual && golden);
    EXPECT_EQ(actual->getWidth(), 456);
    EXPECT_EQ(actual->getHeight(), 486);
    const ImageDifference d =
        CompareImages(*golden, *actual, kChannelTolerance, Path("editor-difference.png"));
    ASSERT_TRUE(d.sameSize);
    EXPECT_LE(d.differing, kMaxDifferingPixels)
        << "first difference at (" << d.firstX << ", " << d.firstY << "); see "
        << Path("editor-difference.png");
}

// Distinct colours in a rectangle of a picture.
int DistinctColours(const LICE_IBitmap& picture, int l, int t, int r, int b)
{
    std::set<LICE_pixel> colours;
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x)
            colours.insert(*picture.PixelAt(x, y));
    return static_cast<int>(colours.size());
}

TEST_F(SnapshotTest, AtTwiceTheScaleTheEditorIsTheGoldenPictureDrawnSharper)
{
    const CommandResult r = Run({"snapshot", Path("editor@2x.png"), "--at", "3", "--scale", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto big = LoadPicture(Path("editor@2x.png"));
    auto golden =
        LoadPicture(std::string(PARANDEL_SOURCE_DIR) + "/tests/app/commands/golden/editor-defaults.png");
    ASSERT_TRUE(big && golden);
    ASSERT_EQ(big->getWidth(), 912);
    ASSERT_EQ(big->getHeight(), 972);
    // Each 2 × 2 block averaged gives the picture at scale 1; text and curves drawn at their
    // own resolution differ from the 1 × drawing only in their anti-aliased edges.
    LICE_MemBitmap reduced(456, 486);
    for (int y = 0; y < 486; ++y)
        for (int x = 0; x < 456; ++x)
        {
            unsigned sum[4] = {0, 0, 0, 0};
            for (int k = 0; k < 4; ++k)
            {
                const LICE_pixel p = *big->PixelAt(2 * x + k % 2, 2 * y + k / 2);
                sum[0] += LICE_GETR(p), sum[1] += LICE_GETG(p), sum[2] += LICE_GETB(p);
                sum[3] += LICE_GETA(p);
            }
            *reduced.PixelAt(x, y) =
                LICE_RGBA((sum[0] + 2) / 4, (sum[1] + 2) / 4, (sum[2] + 2) / 4, (sum[3] + 2) / 4);
        }
    const ImageDifference d =
        CompareImages(*golden, reduced, kChannelTolerance, Path("editor@2x-difference.png"));
    EXPECT_LE(d.differing, kMaxScaledDifferingPixels)
        << "first difference at (" << d.firstX << ", " << d.firstY << "); see "
        << Path("editor@2x-difference.png");
    // A plain enlargement repeats each pixel: its WIDTH knob has just the colours of the 1 ×
    // knob. Drawn at the scale, the knob's edges and shading have many more.
    const int plain = DistinctColours(*golden, 192, 322, 264, 394);
    const int sharp = DistinctColours(*big, 384, 644, 528, 788);
    EXPECT_GT(sharp, 3 * plain / 2);
}

TEST_F(SnapshotTest, SettingsMoveTheKnobsTheWidthMeterAndTheGridBall)
{
    ASSERT_EQ(Run({"snapshot", Path("a.png"), "--at", "1"}).exitCode, 0);
    ASSERT_EQ(Run({"snapshot", Path("b.png"), "--at", "1", "--width", "60", "--pan", "-40",
                   "--scope-mode", "grid"})
                  .exitCode,
              0);
    auto a = LoadPicture(Path("a.png"));
    auto b = LoadPicture(Path("b.png"));
    ASSERT_TRUE(a && b);
    // Pixels that changed, counted in the areas of the controls that must move and of those
    // that must not.
    auto changed = [&](int l, int t, int r, int bottom) {
        int n = 0;
        for (int y = t; y < bottom; ++y)
            for (int x = l; x < r; ++x)
                n += *a->PixelAt(x, y) != *b->PixelAt(x, y);
        return n;
    };
    EXPECT_GT(changed(192, 322, 264, 394), 50) << "WIDTH knob";
    EXPECT_GT(changed(301, 358, 349, 406), 30) << "PAN knob";
    EXPECT_GT(changed(6, 261, 450, 271), 50) << "width meter";
    EXPECT_GT(changed(0, 0, 456, 243), 1000) << "the scope shows GRID";
    EXPECT_EQ(changed(77, 372, 125, 420), 0) << "BASS FOCUS knob";
    EXPECT_EQ(changed(375, 372, 423, 420), 0) << "OUT GAIN knob";
}

TEST_F(SnapshotTest, ABrokenInputFailsWithoutAPicture)
{
    {
        FILE* f = std::fopen(Path("broken.wav").c_str(), "wb");
        std::fputs("RIFF....WAVEnot really", f);
        std::fclose(f);
    }
    const CommandResult r = Run({"snapshot", Path("out.png"), Path("broken.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("error"), std::string::npos);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    FILE* out = std::fopen(Path("out.png").c_str(), "rb");
    EXPECT_EQ(out, nullptr);
    if (out)
        std::fclose(out);
    EXPECT_EQ(Run({"snapshot", Path("out.png"), "--scope-mode", "sideways"}).exitCode, 2);
}
} // namespace
