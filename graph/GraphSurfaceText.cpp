#include "graph/GraphSurface.h"

#include "graph/GraphSurfaceDetail.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <mutex>
#include <new>

using graph_surface_detail::Finite;

namespace
{
// One FreeType library for the process: cairo may release a font face after the surface that
// made it is gone, so the library must outlive every surface.
FT_Library SharedFreeType()
{
    static FT_Library library = nullptr;
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       if (FT_Init_FreeType(&library) != 0)
                           library = nullptr;
                   });
    return library;
}

std::mutex& FreeTypeMutex()
{
    static std::mutex mutex;
    return mutex;
}

const cairo_user_data_key_t kFaceKey = {};

void ReleaseFace(void* face)
{
    std::lock_guard<std::mutex> lock(FreeTypeMutex());
    FT_Done_Face(static_cast<FT_Face>(face));
}
} // namespace

// ---- Text ----

int GraphSurface::CreateFont(const char* name, const char* path)
{
    if (!name)
        return kNoFont;
    Font* font = new (std::nothrow) Font();
    if (!font)
        return kNoFont;
    font->name = name;
    FT_Library library = SharedFreeType();
    if (library && path && path[0])
    {
        FT_Face face = nullptr;
        FT_Error error;
        {
            std::lock_guard<std::mutex> lock(FreeTypeMutex());
            error = FT_New_Face(library, path, 0, &face);
        }
        if (error == 0 && face)
        {
            cairo_font_face_t* cface = cairo_ft_font_face_create_for_ft_face(face, 0);
            if (cairo_font_face_status(cface) == CAIRO_STATUS_SUCCESS &&
                cairo_font_face_set_user_data(cface, &kFaceKey, face, ReleaseFace) ==
                    CAIRO_STATUS_SUCCESS)
            {
                font->face = cface;
            }
            else
            {
                cairo_font_face_destroy(cface);
                std::lock_guard<std::mutex> lock(FreeTypeMutex());
                FT_Done_Face(face);
            }
        }
    }
    mFonts.push_back(font);
    return static_cast<int>(mFonts.size()) - 1;
}

GraphSurface::Font* GraphSurface::FindFont(int font) const
{
    if (font < 0 || font >= static_cast<int>(mFonts.size()))
        return nullptr;
    return mFonts[font];
}

void GraphSurface::FontFace(const char* name)
{
    if (!name)
        return;
    // The latest registration of a name wins.
    for (int i = static_cast<int>(mFonts.size()) - 1; i >= 0; --i)
    {
        if (mFonts[i]->name == name)
        {
            Top().font = i;
            return;
        }
    }
    Top().font = kNoFont;
}

void GraphSurface::FontSize(float size)
{
    Top().fontSize = size;
}

void GraphSurface::FontBlur(float blur)
{
    Top().fontBlur = blur;
}

void GraphSurface::TextAlign(int align)
{
    Top().textAlign = align;
}

float GraphSurface::Text(float x, float y, const char* string)
{
    const State& s = Top();
    const Font* font = FindFont(s.font);
    if (!mCr || !string || !string[0] || !font || !font->face || !(s.fontSize > 0.0f) ||
        !Finite(x, y))
        return x;
    LeaveDirectWrites();
    ApplyCommon();
    // Glyphs are laid out in raster space (y down) so they stand upright on screen. Positioned
    // glyphs leave the current path alone.
    cairo_save(mCr);
    double dx = x, dy = y;
    cairo_user_to_device(mCr, &dx, &dy);
    cairo_identity_matrix(mCr);
    cairo_set_font_face(mCr, font->face);
    cairo_set_font_size(mCr, s.fontSize * mPixelRatio);
    cairo_scaled_font_t* scaled = cairo_get_scaled_font(mCr);
    cairo_font_extents_t metrics;
    cairo_scaled_font_extents(scaled, &metrics);

    if (!mGlyphs)
    {
        mGlyphs = new (std::nothrow) GlyphBuffer();
        if (!mGlyphs)
        {
            cairo_restore(mCr);
            return x;
        }
        mGlyphs->glyphs.resize(kGlyphBufferSize);
    }
    cairo_glyph_t* const buffer = mGlyphs->glyphs.data();
    cairo_glyph_t* glyphs = buffer;
    int numGlyphs = static_cast<int>(mGlyphs->glyphs.size());
    if (cairo_scaled_font_text_to_glyphs(scaled, 0.0, 0.0, string, -1, &glyphs, &numGlyphs, nullptr,
                                         nullptr, nullptr) != CAIRO_STATUS_SUCCESS)
    {
        cairo_restore(mCr);
        return x;
    }
    cairo_text_extents_t text;
    cairo_scaled_font_glyph_extents(scaled, glyphs, numGlyphs, &text);

    const double advance = text.x_advance;
    double ox = dx;
    if (s.textAlign & GRAPH_ALIGN_CENTER)
        ox -= advance * 0.5;
    else if (s.textAlign & GRAPH_ALIGN_RIGHT)
        ox -= advance;
    // Vertical flags in the y-up sense: "top" hangs the text below the anchor on screen.
    double baseline = dy;
    if (s.textAlign & GRAPH_ALIGN_TOP)
        baseline += metrics.ascent;
    else if (s.textAlign & GRAPH_ALIGN_MIDDLE)
        baseline += (metrics.ascent - metrics.descent) * 0.5;
    else if (s.textAlign & GRAPH_ALIGN_BOTTOM)
        baseline -= metrics.descent;
    for (int i = 0; i < numGlyphs; ++i)
    {
        glyphs[i].x += ox;
        glyphs[i].y += baseline;
    }
    ApplyColor(s.fill.color);
    cairo_show_glyphs(mCr, glyphs, numGlyphs);
    if (glyphs != buffer)
        cairo_glyph_free(glyphs);
    cairo_restore(mCr);
    return static_cast<float>((ox + advance - dx) / mPixelRatio) + x;
}
