#include "editor/LICE_Draw.h"

#include "editor/BitmapResources.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <set>
#include <utility>

namespace
{
constexpr LICE_pixel kGround = LICE_RGBA(200, 100, 50, 255); // opaque destination
constexpr LICE_pixel kInkRed = LICE_RGBA(255, 0, 0, 255);
constexpr float kGrayed = 0.25f;

// Each pixel tells where it came from: red = x, green = y.
void FillWithCoordinates(LICE_MemBitmap* b)
{
    for (int y = 0; y < b->getHeight(); ++y)
        for (int x = 0; x < b->getWidth(); ++x)
            *b->PixelAt(x, y) = LICE_RGBA(x, y, 7, 255);
}

int CountNot(const LICE_IBitmap& b, LICE_pixel background)
{
    int n = 0;
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            n += *b.PixelAt(x, y) != background;
    return n;
}

// Expected results worked by hand from the formulas, over kGround at weight 1 and 0.25.
struct BlendCase
{
    int method;
    LICE_pixel src;
    LICE_pixel full;
    LICE_pixel grayed;
};

const BlendCase kBlendCases[] = {
    // copy with alpha: k = 128/255; R 200 − 200k = 99.6, at 0.25: 200 − 25.1 = 174.9
    {0, LICE_RGBA(0, 0, 250, 128), LICE_RGBA(100, 50, 150, 255), LICE_RGBA(175, 87, 75, 255)},
    // copy ignoring alpha: the transparent source counts as opaque
    {1, LICE_RGBA(0, 0, 250, 0), LICE_RGBA(0, 0, 250, 255), LICE_RGBA(150, 75, 100, 255)},
    // add: (300 → 255, 300 → 255, 70); at 0.25: 200 + 55/4, 100 + 155/4, 50 + 20/4
    {2, LICE_RGBA(100, 200, 20, 255), LICE_RGBA(255, 255, 70, 255), LICE_RGBA(214, 139, 55, 255)},
    // dodge: 200·255/225 = 226.7, 100·255/100 = 255, 50·255/255 = 50
    {3, LICE_RGBA(30, 155, 0, 255), LICE_RGBA(227, 255, 50, 255), LICE_RGBA(207, 139, 50, 255)},
    // multiply: 200·128/255 = 100.4, 100, 50·51/255 = 10
    {4, LICE_RGBA(128, 255, 51, 255), LICE_RGBA(100, 100, 10, 255), LICE_RGBA(175, 100, 40, 255)},
    // overlay: R light: 255 − 2·55·191/255 = 172.6; G, B dark: 2·100·64/255 = 50.2, 78.4
    {5, LICE_RGBA(64, 64, 200, 255), LICE_RGBA(173, 50, 78, 255), LICE_RGBA(193, 88, 57, 255)},
    // HSV: value × 77/128 scales every channel of the hue-20° destination: 120.3, 60.2, 30.1
    {6, LICE_RGBA(128, 128, 77, 255), LICE_RGBA(120, 60, 30, 255), LICE_RGBA(180, 90, 45, 255)},
};

TEST(LICE_BlendPixelTest, EachMethodAtFullAndGrayedWeight)
{
    for (const BlendCase& c : kBlendCases)
    {
        EXPECT_EQ(LICE_BlendPixel(kGround, c.src, 1.0f, c.method), c.full) << "method " << c.method;
        EXPECT_EQ(LICE_BlendPixel(kGround, c.src, kGrayed, c.method), c.grayed)
            << "method " << c.method;
    }
}

TEST(LICE_BlendPixelTest, MethodDetails)
{
    // Unknown methods copy with alpha, like 0.
    EXPECT_EQ(LICE_BlendPixel(kGround, kBlendCases[0].src, 1.0f, 7), kBlendCases[0].full);
    EXPECT_EQ(LICE_BlendPixel(kGround, kBlendCases[0].src, 1.0f, -1), kBlendCases[0].full);
    // Methods 2..6 use the source alpha; no weight, no effect.
    for (int method = 0; method <= 6; ++method)
    {
        if (method != 1)
        {
            EXPECT_EQ(LICE_BlendPixel(kGround, LICE_RGBA(9, 9, 9, 0), 1.0f, method), kGround);
        }
        EXPECT_EQ(LICE_BlendPixel(kGround, LICE_RGBA(9, 9, 9, 255), 0.0f, method), kGround);
        EXPECT_EQ(LICE_BlendPixel(kGround, LICE_RGBA(9, 9, 9, 255), NAN, method), kGround);
    }
    // HSV: mid-grey changes nothing; hue + 90° turns red yellow-green; no saturation is grey.
    EXPECT_EQ(LICE_BlendPixel(kGround, LICE_RGBA(128, 128, 128, 255), 1.0f, 6), kGround);
    EXPECT_EQ(LICE_BlendPixel(LICE_RGBA(255, 0, 0, 255), LICE_RGBA(192, 128, 128, 255), 1.0f, 6),
              LICE_RGBA(128, 255, 0, 255));
    EXPECT_EQ(LICE_BlendPixel(kGround, LICE_RGBA(128, 0, 128, 255), 1.0f, 6),
              LICE_RGBA(200, 200, 200, 255));
    // Straight alpha: a quarter-strength blue over nothing is blue at a quarter alpha, not a
    // darkened blue.
    EXPECT_EQ(LICE_BlendPixel(0, LICE_RGBA(0, 0, 250, 255), kGrayed, 0), LICE_RGBA(0, 0, 250, 64));
    // Half over half: alpha 128 + 128·127/255 = 191.75; red 255·128 / 191.75 = 170.2.
    EXPECT_EQ(LICE_BlendPixel(LICE_RGBA(0, 0, 0, 128), LICE_RGBA(255, 0, 0, 128), 1.0f, 0),
              LICE_RGBA(170, 0, 0, 192));
}

TEST(LICE_BlitTest, ClipsToClipRectangleAndMovesSourceOffset)
{
    LICE_MemBitmap src(8, 8), dest(20, 20);
    FillWithCoordinates(&src);
    dest.Fill(kGround);
    const IRECT clip(7, 6, 9, 20);
    LICE_Blit(&dest, &src, 5, 5, 1, 2, 6, 6, 1.0f, 0, &clip);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
        {
            const bool drawn = x >= 7 && x < 9 && y >= 6 && y < 11;
            const LICE_pixel want = drawn ? LICE_RGBA(x - 5 + 1, y - 5 + 2, 7, 255) : kGround;
            ASSERT_EQ(*dest.PixelAt(x, y), want) << x << "," << y;
        }

    // Off the top-left of the destination: what shows starts further into the source.
    LICE_Blit(&dest, &src, -3, -2, 0, 0, 8, 8, 1.0f, 1, nullptr);
    EXPECT_EQ(*dest.PixelAt(0, 0), LICE_RGBA(3, 2, 7, 255));
    EXPECT_EQ(*dest.PixelAt(4, 5), LICE_RGBA(7, 7, 7, 255));
    EXPECT_EQ(*dest.PixelAt(5, 0), kGround);
}

TEST(LICE_BlitTest, FrameTwoOfThreeCopiesTheMiddleRows)
{
    LICE_MemBitmap strip(4, 30), dest(4, 10);
    FillWithCoordinates(&strip);
    for (int frame : {0, 1, 2, 3})
    {
        dest.Fill(0);
        const int offset = FrameSourceOffset(frame, 3, 30);
        LICE_Blit(&dest, &strip, 0, 0, 0, offset, 4, 10, 1.0f, 0, nullptr);
        const int first = frame <= 1 ? 0 : (frame - 1) * 10;
        EXPECT_EQ(*dest.PixelAt(2, 0), LICE_RGBA(2, first, 7, 255)) << "frame " << frame;
        EXPECT_EQ(*dest.PixelAt(2, 9), LICE_RGBA(2, first + 9, 7, 255)) << "frame " << frame;
    }
}

TEST(LICE_BlitTest, OverlappingCopyWithinOneBitmap)
{
    // Copying towards higher coordinates must read each pixel before it is overwritten.
    LICE_MemBitmap b(6, 6);
    FillWithCoordinates(&b);
    LICE_Blit(&b, &b, 1, 0, 0, 0, 5, 6, 1.0f, 1, nullptr); // right by one
    EXPECT_EQ(*b.PixelAt(5, 3), LICE_RGBA(4, 3, 7, 255));
    EXPECT_EQ(*b.PixelAt(1, 3), LICE_RGBA(0, 3, 7, 255));
    LICE_Blit(&b, &b, 0, 1, 0, 0, 6, 5, 1.0f, 1, nullptr); // down by one
    EXPECT_EQ(*b.PixelAt(5, 5), LICE_RGBA(4, 4, 7, 255));
    EXPECT_EQ(*b.PixelAt(0, 1), LICE_RGBA(0, 0, 7, 255));
}

TEST(LICE_DrawSafetyTest, WildArgumentsTouchNothingOutside)
{
    LICE_MemBitmap src(8, 8), dest(10, 10), empty(0, 0);
    FillWithCoordinates(&src);
    dest.Fill(kGround);
    const IRECT inverted(8, 8, 2, 2);
    LICE_Blit(nullptr, &src, 0, 0, 0, 0, 8, 8, 1.0f, 0, nullptr);
    LICE_Blit(&dest, nullptr, 0, 0, 0, 0, 8, 8, 1.0f, 0, nullptr);
    LICE_Blit(&dest, &empty, 0, 0, 0, 0, 8, 8, 1.0f, 0, nullptr);
    LICE_Blit(&dest, &src, 0, 0, 0, 0, -5, 8, 1.0f, 0, nullptr);
    LICE_Blit(&dest, &src, 0, 0, 0, 0, 8, 8, 1.0f, 0, &inverted);
    LICE_FillRect(&empty, 0, 0, 5, 5, 0, 1.0f, 0, nullptr);
    LICE_RotatedBlit(&dest, &src, 0, 0, 10, 10, 1e30f, -1e30f, 8, 8, 1.0f, 1.0f, 0, nullptr);
    LICE_RotatedBlit(&dest, &src, 0, 0, 10, 10, 0, 0, 8, 8, NAN, 1.0f, 0, nullptr);
    LICE_Line(&dest, NAN, 0, 5, 5, 0, 1.0f, 0, false, nullptr);
    LICE_Line(&dest, -1e30f, 20, 1e30f, 20, 0, 1.0f, 0, true, nullptr);
    LICE_Line(&empty, 0, 0, 5, 5, 0, 1.0f, 0, false, nullptr);
    EXPECT_EQ(CountNot(dest, kGround), 0);
}

TEST(LICE_DrawSafetyTest, RandomOperationsStayInsideTheClip)
{
    constexpr unsigned kSeed = 20240611;
    std::mt19937 rng(kSeed);
    // Mostly ordinary positions and sizes, now and then an extreme one.
    auto pick = [&rng](int lo, int hi)
    {
        static const int kWild[] = {INT_MIN, -100000, -1, 0, 100000, INT_MAX};
        return rng() % 8 ? lo + static_cast<int>(rng() % (hi - lo)) : kWild[rng() % 6];
    };
    auto pos = [&] { return pick(-5, 20); };
    auto size = [&] { return pick(1, 20); };
    LICE_MemBitmap src(9, 7), dest(24, 24);
    FillWithCoordinates(&src);
    const IRECT clip(4, 5, 17, 14);
    int drawn = 0;
    for (int round = 0; round < 400; ++round)
    {
        dest.Fill(kGround);
        const float w = (1 + rng() % 4) * 0.25f;
        const int method = static_cast<int>(rng() % 9) - 1;
        switch (round % 4)
        {
        case 0:
            LICE_Blit(&dest, &src, pos(), pos(), pick(-3, 9), pick(-3, 7), size(), size(), w,
                      method, &clip);
            break;
        case 1:
            LICE_FillRect(&dest, pos(), pos(), size(), size(), kInkRed, w, method, &clip);
            break;
        case 2:
            LICE_Line(&dest, pos() * 1.3f, pos() * 0.7f, pos() * 1.1f, pos() * 0.9f, kInkRed, w,
                      method, rng() % 2, &clip);
            break;
        default:
            LICE_RotatedBlit(&dest, &src, pos(), pos(), size(), size(), pick(-3, 9) * 0.5f,
                             pick(-3, 7) * 0.5f, size() * 0.7f, size() * 0.7f, pos() * 0.1f, w,
                             method, &clip);
            break;
        }
        int outside = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x)
                outside += !clip.Contains(x, y) && *dest.PixelAt(x, y) != kGround;
        ASSERT_EQ(outside, 0) << "seed " << kSeed << " round " << round;
        drawn += CountNot(dest, kGround) > 0;
    }
    EXPECT_GT(drawn, 100) << "the operations must mostly draw something";
}

TEST(LICE_FillRectTest, ClippedToBitmapAndClipRectangle)
{
    LICE_MemBitmap dest(8, 8);
    dest.Fill(kGround);
    const IRECT clip(2, 1, 30, 30);
    const LICE_pixel half = LICE_RGBA(0, 0, 250, 128);
    LICE_FillRect(&dest, -5, -5, 10, 10, half, 1.0f, 0, &clip);
    EXPECT_EQ(CountNot(dest, kGround), 3 * 4);
    EXPECT_EQ(*dest.PixelAt(2, 1), kBlendCases[0].full);
    EXPECT_EQ(*dest.PixelAt(4, 4), kBlendCases[0].full);
    EXPECT_EQ(*dest.PixelAt(5, 4), kGround);
    LICE_FillRect(&dest, 0, 6, INT_MAX, INT_MAX, half, kGrayed, 0, nullptr);
    EXPECT_EQ(*dest.PixelAt(7, 7), kBlendCases[0].grayed);
}

TEST(LICE_RotatedBlitTest, QuarterTurnClockwise)
{
    LICE_MemBitmap src(4, 4), dest(4, 4);
    FillWithCoordinates(&src);
    LICE_RotatedBlit(&dest, &src, 0, 0, 4, 4, 0, 0, 4, 4, static_cast<float>(M_PI / 2), 1.0f, 1,
                     nullptr);
    // Turning clockwise brings the left column to the top row: dest(x, y) = src(y, 3 − x).
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(*dest.PixelAt(x, y), LICE_RGBA(y, 3 - x, 7, 255)) << x << "," << y;
}

TEST(LICE_RotatedBlitTest, ScalesIntoTheRectangleAndClips)
{
    LICE_MemBitmap src(2, 2), dest(8, 8);
    src.Fill(LICE_RGBA(0, 255, 0, 255));
    dest.Fill(kGround);
    const IRECT clip(0, 0, 8, 3);
    LICE_RotatedBlit(&dest, &src, 2, 2, 4, 4, 0, 0, 2, 2, 0.0f, 1.0f, 0, &clip);
    // Only the rectangle's rows inside the clip: columns 2..5 of row 2. The inner pixels take
    // the source colour; the edge row is partly covered, as bilinear filtering fades the image
    // out against the transparency around it.
    const LICE_pixel green = LICE_RGBA(0, 255, 0, 255);
    EXPECT_EQ(CountNot(dest, kGround), 4);
    EXPECT_NE(*dest.PixelAt(3, 2), green);
    LICE_RotatedBlit(&dest, &src, 2, 2, 4, 4, 0, 0, 2, 2, 0.0f, 1.0f, 0, nullptr);
    EXPECT_EQ(*dest.PixelAt(3, 3), green);
    EXPECT_EQ(*dest.PixelAt(6, 3), kGround);
}

std::set<std::pair<int, int>> Inked(const LICE_IBitmap& b, LICE_pixel background)
{
    std::set<std::pair<int, int>> points;
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            if (*b.PixelAt(x, y) != background)
                points.insert({x, y});
    return points;
}

TEST(LICE_LineTest, SolidLineHitsBothEndsOnePixelPerColumn)
{
    LICE_MemBitmap a(16, 16), b(16, 16);
    a.Fill(0);
    b.Fill(0);
    const LICE_pixel white = LICE_RGBA(255, 255, 255, 255);
    LICE_Line(&a, 2, 3, 10, 7, white, 1.0f, 0, false, nullptr);
    LICE_Line(&b, 10, 7, 2, 3, white, 1.0f, 0, false, nullptr);
    const auto points = Inked(a, 0);
    EXPECT_EQ(points, Inked(b, 0)) << "direction must not matter";
    EXPECT_EQ(points.size(), 9u);
    EXPECT_TRUE(points.count({2, 3}));
    EXPECT_TRUE(points.count({10, 7}));
    EXPECT_TRUE(points.count({6, 5})); // the middle lies exactly on the line
    std::set<int> columns;
    for (const auto& p : points)
        columns.insert(p.first);
    EXPECT_EQ(columns.size(), 9u);
}

TEST(LICE_LineTest, SmoothLineSharesOneColumnOfInk)
{
    LICE_MemBitmap dest(16, 16);
    dest.Fill(LICE_RGBA(0, 0, 0, 255));
    LICE_Line(&dest, 2, 5.25f, 12, 7.75f, LICE_RGBA(255, 255, 255, 255), 1.0f, 0, true, nullptr);
    for (int x = 3; x <= 11; ++x)
    {
        int ink = 0;
        for (int y = 0; y < 16; ++y)
            ink += static_cast<int>(LICE_GETR(*dest.PixelAt(x, y)));
        EXPECT_NEAR(ink, 255, 2) << "column " << x;
    }
    EXPECT_GT(LICE_GETR(*dest.PixelAt(2, 5)), 0u);
    EXPECT_GT(LICE_GETR(*dest.PixelAt(12, 7)) + LICE_GETR(*dest.PixelAt(12, 8)), 0u);
}

TEST(LICE_LineTest, HugeLineDrawsOnlyInsideTheClip)
{
    LICE_MemBitmap dest(32, 32);
    dest.Fill(0);
    const IRECT clip(10, 0, 20, 10);
    LICE_Line(&dest, -1e9f, 5, 1e9f, 5, LICE_RGBA(255, 0, 0, 255), 1.0f, 0, false, &clip);
    const auto points = Inked(dest, 0);
    EXPECT_EQ(points.size(), 10u);
    EXPECT_EQ(points.begin()->first, 10);
    EXPECT_EQ(points.begin()->second, 5);
}
} // namespace
