#pragma once
// Text for the art, from font files loaded directly with FreeType (never through fontconfig),
// with fixed rendering options, so the pictures do not depend on the fonts a machine has.

#include <cairo.h>
#include <string>

namespace art
{

class ArtFont
{
public:
    // regularPath: the bundled font. boldPath: a bold face of the same family, or empty to
    // embolden the regular one. Throws std::runtime_error when a file cannot be loaded.
    ArtFont(const std::string& regularPath, const std::string& boldPath = "");
    ~ArtFont();
    ArtFont(const ArtFont&) = delete;
    ArtFont& operator=(const ArtFont&) = delete;

    // Selects the face on cr at a size in pixels (the em box), with the fixed options.
    void Use(cairo_t* cr, double px, bool bold = false) const;

private:
    cairo_font_face_t* mRegular;
    cairo_font_face_t* mBold;
};

// Advance width of text in the current font, in pixels.
double TextWidth(cairo_t* cr, const std::string& text);
// Draws text with its baseline at y; x is its left edge, centre or right edge by align
// (0 left, 1 centre, 2 right). letterSpacing adds that many pixels after every character.
void DrawText(cairo_t* cr, const std::string& text, double x, double baseline, int align,
              double letterSpacing = 0.0);
// The baseline that centres the font's capital height on y.
double CapCentredBaseline(cairo_t* cr, double y);

} // namespace art
