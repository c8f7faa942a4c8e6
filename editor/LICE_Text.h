#pragma once
// Text of the editor's drawing layer: fonts made by face name, height and weight, resolved
// through fontconfig to an installed face (the bundled font when none matches), rasterised with
// FreeType, and the process-wide cache of fonts keyed by size, quality, style and face name.
//
// Text runs left to right from glyph advances (no kerning); "\n" starts a new line. The style's
// orientation is not applied: the editor draws all its text upright.
//
// Threads: the cache has its own mutex and each font its own, so any thread may measure and
// draw.

#include "editor/IControlTypes.h"
#include "editor/LICE_Bitmap.h"

class LICE_CachedFont
{
public:
    enum EAlign
    {
        kAlignLeft = 0,
        kAlignCenter = 1,
        kAlignRight = 2
    };

    // height in pixels (as the face's em box is set, limited to 1..1024), weight 400 normal /
    // 700 bold; a weight or slant the face lacks is synthesised from its outlines. Quality 3
    // draws without anti-aliasing, 4 anti-aliased with full hinting, any other value
    // anti-aliased with light hinting.
    LICE_CachedFont(const char* face, int height, int weight, bool italic, int quality);
    ~LICE_CachedFont();
    LICE_CachedFont(const LICE_CachedFont&) = delete;
    LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

    // The font's line height (ascent + descent) in pixels; 0 when no face could be loaded.
    int GetLineHeight() const;
    // Extent of the text in pixels: the widest line and the line height times the lines.
    void Measure(const char* text, int* width, int* height) const;
    // Draws the text in the rectangle, aligned horizontally by align and placed from the top,
    // in colour with its alpha times weight. The ink may leave the rectangle; it is clipped
    // only to the bitmap and clip (null: the whole bitmap).
    void Draw(LICE_IBitmap* dest, const char* text, const IRECT& rect, LICE_pixel color,
              float weight, int align, const IRECT* clip) const;

private:
    struct Impl;
    Impl* mImpl;
};

// The process-wide font cache. Get returns the font of the style, made on first use with
// height max(size, 2), weight 700 for bold, italic for the italic style, quality mapped
// 0 → default, 2 or 3 → 4, others → 3; when the made font's line height differs from the wanted
// height h, it is made once more at h² / line height, rounded. Fonts live until the process
// ends. Never null: a face that cannot be found falls back to the bundled font.
LICE_CachedFont* LICE_GetCachedFont(const IText& text);
