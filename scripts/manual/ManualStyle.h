#pragma once
// The manual's page and type: A4, one column, DejaVu Sans, one blue accent. Sizes in points.

namespace manual
{

struct Rgb
{
    double r, g, b;
};

constexpr Rgb Hex(unsigned v)
{
    return Rgb{((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

namespace style
{
constexpr double kPageWidth = 595.276; // A4
constexpr double kPageHeight = 841.890;
constexpr double kMarginLeft = 64;
constexpr double kMarginRight = 64;
constexpr double kMarginTop = 72;
constexpr double kMarginBottom = 68;
constexpr double kTextWidth = kPageWidth - kMarginLeft - kMarginRight;
constexpr double kTextBottom = kPageHeight - kMarginBottom;

constexpr const char* kSans = "DejaVu Sans";
constexpr const char* kMono = "DejaVu Sans Mono";
constexpr double kBodySize = 9.5;
constexpr double kLineSpacing = 1.12; // baseline distance over the font's height
constexpr double kParagraphGap = 6.5;
constexpr double kTitleSize = 30;
constexpr double kSubtitleSize = 12.5;
constexpr double kHeading1Size = 16;
constexpr double kHeading2Size = 11.5;
constexpr double kHeading1Above = 20;
constexpr double kHeading2Above = 12;
constexpr double kHeadingBelow = 7;
constexpr double kCodeSize = 8;
constexpr double kCodePad = 7;
constexpr double kTableSize = 8.5;
constexpr double kCellPadX = 6;
constexpr double kCellPadY = 3.6;
constexpr double kBulletIndent = 16;
constexpr double kCaptionSize = 8.5;
constexpr double kRunningSize = 7.5; // header and footer

constexpr Rgb kText = Hex(0x22252c);
constexpr Rgb kMuted = Hex(0x6b7180);
constexpr Rgb kAccent = Hex(0x3159c4);
constexpr Rgb kRule = Hex(0xd3d8e2);
constexpr Rgb kCodeBack = Hex(0xf2f4f8);
constexpr Rgb kTableHead = Hex(0xe7ebf3);
constexpr Rgb kTableStripe = Hex(0xf7f8fb);
} // namespace style

} // namespace manual
