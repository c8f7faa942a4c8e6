#include "PreviewArt.h"

#include "Canvas.h"
#include "app/commands/Version.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace art
{

namespace
{

class Image
{
public:
    explicit Image(const std::string& path)
        : mSurface(cairo_image_surface_create_from_png(path.c_str()))
    {
        if (cairo_surface_status(mSurface) != CAIRO_STATUS_SUCCESS)
        {
            cairo_surface_destroy(mSurface);
            throw std::runtime_error("cannot read " + path);
        }
    }
    ~Image() { cairo_surface_destroy(mSurface); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    cairo_surface_t* Surface() const { return mSurface; }

private:
    cairo_surface_t* mSurface;
};

// Frame index (0-based) the editor shows for a normalised value.
int FrameFor(const StripSize& size, double value)
{
    const int i = int((size.frames - 1) * value + 0.5);
    return i < 0 ? 0 : (i >= size.frames ? size.frames - 1 : i);
}

void Blit(cairo_t* cr, const Image& image, const StripSize& size, int frame, Point at)
{
    cairo_save(cr);
    cairo_rectangle(cr, at.x, at.y, size.frameWidth, size.frameHeight);
    cairo_clip(cr);
    cairo_set_source_surface(cr, image.Surface(), at.x, at.y - double(frame) * size.frameHeight);
    cairo_paint(cr);
    cairo_restore(cr);
}

// Editor text: placed from the top of its rectangle, centred on x.
void EditorText(cairo_t* cr, const ArtFont& font, const std::string& text, double centreX,
                double top, int px, bool bold, const Colour& colour)
{
    font.Use(cr, px, bold);
    cairo_font_extents_t extents;
    cairo_font_extents(cr, &extents);
    SetColour(cr, colour);
    DrawText(cr, text, centreX, std::round(top + extents.ascent), 1);
}

struct Knob
{
    const char* caption;
    Point at;
    const StripSize& size;
    double value;
    std::string readout;
    int captionTop;
};

std::string Format(const char* format, double v)
{
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

} // namespace

void MakePreview(const PreviewSettings& s, const ArtFont& captionFont, const std::string& path)
{
    const std::string dir = s.artDirectory + "/";
    Canvas canvas(layout::kEditorWidth, layout::kEditorHeight);
    cairo_t* cr = canvas.Context();

    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE); // the background is drawn ignoring alpha
    cairo_set_source_surface(cr, Image(dir + "background.png").Surface(), 0, 0);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    const std::string scope = s.scopeImage.empty() ? dir + "vectorscope-graph.png" : s.scopeImage;
    cairo_set_source_surface(cr, Image(scope).Surface(), 0, 0);
    cairo_paint(cr);

    const double correlationValue = (s.correlation + 1) * 0.5;
    Blit(cr, Image(dir + "correlation-meter.png"), layout::kCorrelationMeter,
         FrameFor(layout::kCorrelationMeter, correlationValue), layout::kCorrelationMeterAt);
    Blit(cr, Image(dir + "width-meter.png"), layout::kWidthMeter,
         FrameFor(layout::kWidthMeter, s.width), layout::kWidthMeterAt);
    for (int m = 0; m < layout::kModeCount; ++m)
        Blit(cr, Image(dir + "vectorscope-mode-" + std::to_string(m) + ".png"), layout::kModeIcon,
             m == s.scopeMode ? 1 : 0, layout::ModeIconAt(m));

    const Colour caption = Rgb(110, 110, 110);
    const Colour readout = Rgb(240, 240, 255);
    const Knob knobs[] = {
        {"WIDTH", layout::kWidthKnob, layout::kBigKnob, s.width,
         Format("%.2f %%", s.width * 200 - 100), 299},
        {"PAN", layout::kPanKnob, layout::kSmallKnob, s.pan, Format("%.2f %%", s.pan * 200 - 100),
         335},
        {"BASS FOCUS", layout::kBassFocusKnob, layout::kSmallKnob, s.bassFocus,
         Format("%.0f Hz", s.bassFocus * 500), 349},
        {"OUT GAIN", layout::kOutGainKnob, layout::kSmallKnob, s.outGain,
         Format("%.1f dB", s.outGain * 24 - 12), 349},
    };
    const Image textField(dir + "textfield.png");
    const Image bigKnob(dir + "blue-knob.png");
    const Image smallKnob(dir + "blue-knob-small.png");
    for (const Knob& k : knobs)
    {
        const Image& strip = &k.size == &layout::kBigKnob ? bigKnob : smallKnob;
        Blit(cr, textField, layout::kTextField, 0, layout::TextFieldAt(k.at, k.size));
        Blit(cr, strip, k.size, FrameFor(k.size, k.value), k.at);
        const double centre = k.at.x + k.size.frameWidth / 2.0;
        EditorText(cr, captionFont, k.caption, centre, k.captionTop, layout::kCaptionPx, true,
                   caption);
        EditorText(cr, captionFont, k.readout, centre, k.at.y + k.size.frameHeight + 14,
                   layout::kReadoutPx, true, readout);
    }

    const Image checkbox(dir + "checkbox.png");
    const struct
    {
        const char* caption;
        Point at;
        bool on;
    } toggles[] = {{"MO->ST", layout::kMonoToStereo, s.monoToStereo},
                   {"MONO OUT", layout::kMonoOut, s.monoOut}};
    for (const auto& t : toggles)
    {
        Blit(cr, checkbox, layout::kCheckbox, t.on ? 1 : 0, t.at);
        EditorText(cr, captionFont, t.caption, t.at.x + layout::kCheckbox.frameWidth / 2.0, 299,
                   layout::kCaptionPx, true, caption);
    }

    Blit(cr, Image(dir + "logo-anim.png"), layout::kLogo, 12, layout::kLogoAt);
    Blit(cr, Image(dir + "plugname.png"), layout::kPluginName, 0, layout::kPluginNameAt);
    Blit(cr, Image(dir + "help-button.png"), layout::kHelpButton, 0, layout::kHelpButtonAt);
    EditorText(cr, captionFont, std::string("v") + app::kVersionText, layout::kEditorWidth / 2.0,
               layout::kVersionTop, layout::kVersionPx, false, caption);
    canvas.Save(path);
}

} // namespace art
