#include "ArtFont.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <stdexcept>

namespace art
{

namespace
{

FT_Library Library()
{
    // One library for the process; it outlives every face Cairo may still cache.
    static FT_Library library = []
    {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            throw std::runtime_error("FreeType could not start");
        return lib;
    }();
    return library;
}

const cairo_user_data_key_t kFaceKey{};

void ReleaseFace(void* face)
{
    FT_Done_Face(static_cast<FT_Face>(face));
}

cairo_font_face_t* LoadFace(const std::string& path, bool embolden)
{
    FT_Face face = nullptr;
    if (FT_New_Face(Library(), path.c_str(), 0, &face) != 0)
        throw std::runtime_error("cannot load the font " + path);
    cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
    // Cairo keeps the face as long as it caches fonts made from it; it releases it with this.
    if (cairo_font_face_set_user_data(cairoFace, &kFaceKey, face, ReleaseFace) !=
        CAIRO_STATUS_SUCCESS)
    {
        cairo_font_face_destroy(cairoFace);
        FT_Done_Face(face);
        throw std::runtime_error("cannot use the font " + path);
    }
    if (embolden)
        cairo_ft_font_face_set_synthesize(cairoFace, CAIRO_FT_SYNTHESIZE_BOLD);
    return cairoFace;
}

} // namespace

ArtFont::ArtFont(const std::string& regularPath, const std::string& boldPath)
    : mRegular(LoadFace(regularPath, false)),
      mBold(boldPath.empty() ? LoadFace(regularPath, true) : LoadFace(boldPath, false))
{
}

ArtFont::~ArtFont()
{
    cairo_font_face_destroy(mRegular);
    cairo_font_face_destroy(mBold);
}

void ArtFont::Use(cairo_t* cr, double px, bool bold) const
{
    cairo_set_font_face(cr, bold ? mBold : mRegular);
    cairo_set_font_size(cr, px);
    // Grey-scale anti-aliasing with light hinting: crisp small labels, the same on any machine.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

double TextWidth(cairo_t* cr, const std::string& text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

void DrawText(cairo_t* cr, const std::string& text, double x, double baseline, int align,
              double letterSpacing)
{
    double width = TextWidth(cr, text);
    if (letterSpacing != 0.0 && text.size() > 1)
        width += letterSpacing * double(text.size() - 1);
    double left = x;
    if (align == 1)
        left = x - width / 2;
    else if (align == 2)
        left = x - width;
    if (letterSpacing == 0.0)
    {
        cairo_move_to(cr, left, baseline);
        cairo_show_text(cr, text.c_str());
        return;
    }
    for (char c : text)
    {
        const char one[2] = {c, 0};
        cairo_move_to(cr, left, baseline);
        cairo_show_text(cr, one);
        left += TextWidth(cr, one) + letterSpacing;
    }
}

double CapCentredBaseline(cairo_t* cr, double y)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, "H", &extents);
    return y - extents.y_bearing / 2; // y_bearing is minus the capital height
}

} // namespace art
