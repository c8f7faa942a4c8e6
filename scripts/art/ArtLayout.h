#pragma once
// Where the editor puts each bitmap, and the bitmaps' frame sizes and counts. These are the
// editor's fixed layout; the art is drawn to fit them, the background decorates around them.

namespace art
{

struct StripSize
{
    int frameWidth;
    int frameHeight;
    int frames;
};

struct Point
{
    int x, y;
};

namespace layout
{
constexpr int kEditorWidth = 456;
constexpr int kEditorHeight = 486;
constexpr int kGraphHeight = 243; // the vectorscope covers rows 0..242
constexpr int kControlsTop = 271; // the meters cover rows 243..270

constexpr StripSize kBackground{kEditorWidth, kEditorHeight, 1};
constexpr StripSize kBigKnob{72, 72, 180};
constexpr StripSize kSmallKnob{48, 48, 180};
constexpr StripSize kCheckbox{28, 28, 2};
constexpr StripSize kModeIcon{18, 18, 2};
constexpr StripSize kCorrelationMeter{446, 18, 180};
constexpr StripSize kWidthMeter{444, 10, 180};
constexpr StripSize kTextField{64, 16, 1};
constexpr StripSize kLogo{28, 28, 31};
constexpr StripSize kPluginName{150, 20, 1};
constexpr StripSize kHelpButton{20, 20, 1};
constexpr StripSize kIcon{48, 48, 1}; // the window icon, not part of the editor
constexpr int kModeCount = 5;

constexpr Point kWidthKnob{192, 322};
constexpr Point kPanKnob{301, 358};
constexpr Point kBassFocusKnob{77, 372};
constexpr Point kOutGainKnob{375, 372};
constexpr Point kMonoToStereo{87, 322};
constexpr Point kMonoOut{385, 322};
constexpr Point kCorrelationMeterAt{5, 243};
constexpr Point kWidthMeterAt{6, 261};
constexpr Point kLogoAt{428, 457};
constexpr Point kPluginNameAt{5, 453};
constexpr Point kHelpButtonAt{392, 462};

constexpr Point ModeIconAt(int mode)
{
    return Point{10 + 20 * mode, 271};
}

// The value read-out's field: centred under the knob, 15 pixels below its frame.
constexpr Point TextFieldAt(Point knob, StripSize size)
{
    return Point{knob.x + size.frameWidth / 2 - kTextField.frameWidth / 2,
                 knob.y + size.frameHeight + 15};
}

// Texts the editor draws itself: caption style (bold 13 px, grey 110), read-out (bold 14 px,
// 240, 240, 255), version (12 px, grey 110). Used by the preview only.
constexpr int kCaptionPx = 13;
constexpr int kReadoutPx = 14;
constexpr int kVersionPx = 12;
constexpr int kVersionTop = kEditorHeight - 15;
} // namespace layout

} // namespace art
