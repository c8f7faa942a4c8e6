// parandel_make_art: draws the editor's bitmaps into resources/img (or a given directory).
//
//   parandel_make_art [OUT_DIR] [--font FILE] [--preview FILE.png [--scope IMAGE.png]
//                     [--caption-font FILE] [--mode M]]
//
// The same font and the same libraries give byte-identical files. The preview is a picture of
// the whole editor made from the files just written; it is not one of the editor's resources.

#include "ArtFont.h"
#include "BackgroundArt.h"
#include "BrandArt.h"
#include "ButtonArt.h"
#include "KnobArt.h"
#include "MeterArt.h"
#include "PreviewArt.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

namespace
{

struct Options
{
    std::string outDir = PARANDEL_SOURCE_DIR "/resources/img";
    std::string font = PARANDEL_SOURCE_DIR "/resources/font.ttf";
    std::string captionFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    art::PreviewSettings preview;
    std::string previewPath;
};

bool Parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--font" && hasValue)
            o.font = argv[++i];
        else if (a == "--preview" && hasValue)
            o.previewPath = argv[++i];
        else if (a == "--scope" && hasValue)
            o.preview.scopeImage = argv[++i];
        else if (a == "--caption-font" && hasValue)
            o.captionFont = argv[++i];
        else if (a == "--mode" && hasValue)
            o.preview.scopeMode = std::atoi(argv[++i]);
        else if (!a.empty() && a[0] != '-')
            o.outDir = a;
        else
            return false;
    }
    return true;
}

// The display scales the editor supports, and the suffix of their files ("" at 1).
constexpr double kScales[] = {1.0, 1.5, 2.0};

std::string ScaleSuffix(double scale)
{
    if (scale == 1.0)
        return "";
    char text[16];
    std::snprintf(text, sizeof(text), "@%gx", scale);
    return text;
}

// Draws one image at one display scale; name is the file name at scale 1.
template <typename Draw>
void Make(const std::string& dir, const std::string& name, double scale, const art::StripSize& size,
          Draw draw)
{
    art::Canvas canvas(size.frameWidth, size.frameHeight * size.frames, scale);
    draw(canvas);
    const std::string stem = name.substr(0, name.rfind('.'));
    canvas.Save(dir + "/" + stem + ScaleSuffix(scale) + ".png");
}

void MakeAll(const std::string& out, const art::ArtFont& font, double scale)
{
    using namespace art;
    Make(out, "background.png", scale, layout::kBackground,
         [&](Canvas& c) { MakeBackground(c, font); });
    Make(out, "blue-knob.png", scale, layout::kBigKnob,
         [](Canvas& c) { MakeKnobStrip(c, layout::kBigKnob); });
    Make(out, "blue-knob-small.png", scale, layout::kSmallKnob,
         [](Canvas& c) { MakeKnobStrip(c, layout::kSmallKnob); });
    Make(out, "checkbox.png", scale, layout::kCheckbox, MakeCheckbox);
    for (int m = 0; m < layout::kModeCount; ++m)
        Make(out, "vectorscope-mode-" + std::to_string(m) + ".png", scale, layout::kModeIcon,
             [m](Canvas& c) { MakeModeIcon(c, m); });
    Make(out, "correlation-meter.png", scale, layout::kCorrelationMeter,
         [&](Canvas& c) { MakeCorrelationMeter(c, font); });
    Make(out, "width-meter.png", scale, layout::kWidthMeter, MakeWidthMeter);
    Make(out, "textfield.png", scale, layout::kTextField, MakeTextField);
    Make(out, "logo-anim.png", scale, layout::kLogo, MakeLogo);
    Make(out, "plugname.png", scale, layout::kPluginName,
         [&](Canvas& c) { MakePluginName(c, font); });
    Make(out, "help-button.png", scale, layout::kHelpButton,
         [&](Canvas& c) { MakeHelpButton(c, font); });
    // The window manager's icon has one size of its own.
    if (scale == 1.0)
        Make(out, "icon.png", scale, layout::kIcon, MakeIcon);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!Parse(argc, argv, options))
    {
        std::fprintf(stderr, "usage: parandel_make_art [OUT_DIR] [--font FILE] [--preview FILE.png "
                             "[--scope IMAGE.png] [--caption-font FILE] [--mode M]]\n");
        return 2;
    }
    try
    {
        const art::ArtFont font(options.font);
        std::filesystem::create_directories(options.outDir);
        for (double scale : kScales)
            MakeAll(options.outDir, font, scale);
        if (!options.previewPath.empty())
        {
            const art::ArtFont captions(options.font, options.captionFont);
            options.preview.artDirectory = options.outDir;
            art::MakePreview(options.preview, captions, options.previewPath);
        }
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "parandel_make_art: %s\n", e.what());
        return 1;
    }
    return 0;
}
