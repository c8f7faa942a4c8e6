#pragma once
// Text of the editor's drawing layer: fonts made by face name, height and weight, resolved
// through fontconfig to an installed face (the bundled font when none matches), rasterised with
// FreeType, and the process-wide cache of fonts keyed by size, quality, style and face name.
//
// Threads: the cache has its own mutex; a font draws on the editor's thread.

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

    // height in pixels (as the face's em box is set), weight 400 normal / 700 bold.
    LICE_CachedFont(const char* face, int height, int weight, bool italic, int quality);
    ~LICE_CachedFont();
    LICE_CachedFont(const LICE_CachedFont&) = delete;
    LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

    bool IsValid() const;
    // The font's line height in pixels as the rasteriser reports it.
    int GetLineHeight() const;
    // Extent of the text in pixels.
    void Measure(const char* text, int* width, int* height) const;
    // Draws the text in the rectangle, aligned horizontally by align and placed from the top,
    // in colour with its alpha times weight; clipped to the bitmap and clip (null: none).
    void Draw(LICE_IBitmap* dest, const char* text, const IRECT& rect, LICE_pixel color,
              float weight, int align, const IRECT* clip) const;
    // The file the face came from.
    const char* GetFilePath() const;

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
