// The logo animation: frames at hand-computed times and redrawing only on a new frame.

#include "editor/controls/IBitmapControlAnim2.h"
#include "support/ControlTestSupport.h"

#include <gtest/gtest.h>

using namespace controltest;

namespace
{
class ClockedLogo : public IBitmapControlAnim2
{
public:
    using IBitmapControlAnim2::IBitmapControlAnim2;
    uint64_t nowMs = 0;

protected:
    uint64_t CurrentTimeMs() const override { return nowMs; }
};

BitmapRef Strip()
{
    return TestBitmap(kFirstTestBitmapId + 3, 80, 31 * 20, 31);
}

// Speed 0.5: a sweep takes P = 2000 ms, there and back 4000 ms; 31 frames.
TEST(IBitmapControlAnim2Test, FramesAtHandComputedTimes)
{
    ClockedLogo eased(nullptr, 0, 0, Strip(), 0.5, true, true);
    // k = int(q / P × 31), frame = int((1 + cos(k π / 30 + π)) × 15)
    const uint64_t t[] = {0, 500, 1500, 1950, 2000, 3000, 3990, 4500};
    const int easedFrames[] = {0,  // k = 0
                               3,  // k = 7: (1 − cos 42°) × 15 = 3.85
                               26, // k = 23: (1 − cos 138°) × 15 = 26.15
                               30, // k = 30: the last frame
                               29, // k = 31: (1 + cos 6°) × 15 = 29.92, on the way back
                               13, // k = 46: (1 + cos 96°) × 15 = 13.43
                               0,  // k = 61: (1 + cos 186°) × 15 = 0.08
                               3}; // the next swing
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(eased.FrameAt(t[i]), easedFrames[i]) << "t=" << t[i];

    ClockedLogo linear(nullptr, 0, 0, Strip(), 0.5, true, false);
    EXPECT_EQ(linear.FrameAt(1000), 15); // int(15.5)
    EXPECT_EQ(linear.FrameAt(2500), 23); // int(38.75) mirrored: 62 − 38 − 1
    EXPECT_EQ(linear.FrameAt(3999), 0);
    ClockedLogo wrapping(nullptr, 0, 0, Strip(), 1.0, false, false);
    EXPECT_EQ(wrapping.FrameAt(1500), 15);
    ClockedLogo still(nullptr, 0, 0, Strip(), 0.0, true, true);
    EXPECT_EQ(still.FrameAt(1234), 0);
}

TEST(IBitmapControlAnim2Test, DirtyOnlyWhenTheClockReachesAnotherFrame)
{
    ControlTestPlug plug;
    ControlTestGraphics graphics(&plug);
    ClockedLogo logo(&plug, 0, 0, Strip(), 0.5, true, true);
    logo.nowMs = 500;
    EXPECT_TRUE(logo.IsDirty()); // never drawn
    logo.Draw(&graphics);
    EXPECT_EQ(logo.GetLastDrawnFrame(), 3);
    logo.nowMs = 510; // k = 7 still
    EXPECT_FALSE(logo.IsDirty());
    logo.nowMs = 600; // k = 9: (1 − cos 54°) × 15 = 6.18
    EXPECT_TRUE(logo.IsDirty());
    logo.Draw(&graphics);
    EXPECT_EQ(logo.GetLastDrawnFrame(), 6);
}
} // namespace

// Resting in silence: still until sound, swinging while it lasts, then on to the end of the
// swing a second after it and still there, whatever the clock does.
TEST(IBitmapControlAnim2Test, RestsAtTheEndOfItsSwingASecondAfterTheSound)
{
    ControlTestPlug plug;
    ControlTestGraphics graphics(&plug);
    ClockedLogo logo(&plug, 0, 0, Strip(), 0.5, true, true);
    logo.SetRestsInSilence(true);
    logo.nowMs = 10000;
    EXPECT_TRUE(logo.IsDirty());
    logo.Draw(&graphics);
    logo.nowMs = 13000;
    EXPECT_FALSE(logo.IsDirty()) << "no sound yet: frame 0 stays";

    logo.NoteSound();
    logo.IsDirty(); // heard at 13000
    logo.nowMs = 14000;
    logo.IsDirty();
    logo.Draw(&graphics);
    EXPECT_EQ(logo.GetLastDrawnFrame(), logo.FrameAt(1000)) << "a second of swing";

    // 40 ms ticks with no more sound: the swing goes on to its last frame and stops there.
    int frame = -1;
    for (logo.nowMs = 14040; logo.nowMs < 16000; logo.nowMs += 40)
        if (logo.IsDirty())
            logo.Draw(&graphics), frame = logo.GetLastDrawnFrame();
    EXPECT_EQ(frame, 30);
    for (; logo.nowMs < 30000; logo.nowMs += 40)
        ASSERT_FALSE(logo.IsDirty()) << logo.nowMs;

    logo.NoteSound();
    bool moved = false;
    for (int i = 0; i < 10; ++i, logo.nowMs += 40)
        moved = moved || logo.IsDirty();
    EXPECT_TRUE(moved) << "the next sound swings it back";
}
