#include "editor/LICE_Text.h"

#include "editor/LICE_Draw.h"
#include "editor/LICE_FontMatch.h"
#include "framework/WDL_Mutex.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace
{
// Larger text than any editor could show; keeps a wild size from asking for huge glyph images.
constexpr int kMaxPixelHeight = 1024;
constexpr uint32_t kReplacementCharacter = 0xFFFD;

struct Glyph
{
    int left = 0;  // ink's left edge from the pen position
    int top = 0;   // ink's top edge above the baseline
    int width = 0; // ink size in pixels
    int rows = 0;
    int advance = 0;                     // pen movement in pixels
    std::vector<unsigned char> coverage; // width × rows, 0..255
};

// Reads one UTF-8 character and moves past it; a malformed sequence reads as U+FFFD and
// consumes one byte, so any byte string can be measured and drawn.
uint32_t NextCharacter(const char** text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(*text);
    const unsigned lead = p[0];
    int extra = 0;
    uint32_t c = lead;
    if ((lead & 0xE0) == 0xC0)
        extra = 1, c = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0)
        extra = 2, c = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0)
        extra = 3, c = lead & 0x07;
    else if (lead >= 0x80)
        extra = -1;
    // A continuation byte is never 0 or '\n', so a cut sequence stops at the end of its line.
    for (int i = 1; i <= extra; ++i)
    {
        if ((p[i] & 0xC0) != 0x80)
        {
            extra = -1;
            break;
        }
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (extra < 0)
    {
        *text += 1;
        return kReplacementCharacter;
    }
    *text += extra + 1;
    return c;
}
} // namespace

struct LICE_CachedFont::Impl
{
    std::mutex mutex; // a FreeType face serves one thread at a time
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int ascent = 0;
    int lineHeight = 0;
    FT_Int32 loadFlags = FT_LOAD_TARGET_LIGHT;
    FT_Render_Mode renderMode = FT_RENDER_MODE_NORMAL;
    bool synthBold = false;
    bool synthItalic = false;
    std::unordered_map<uint32_t, Glyph> glyphs;

    bool Open(const LICE_FontFile& file, int height);
    const Glyph& GlyphFor(uint32_t c);
    int LineWidth(const char* begin, const char* end);
};

bool LICE_CachedFont::Impl::Open(const LICE_FontFile& file, int height)
{
    FT_Face f = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &f) != 0)
        return false;
    if (FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(height)) != 0)
    {
        FT_Done_Face(f);
        return false;
    }
    face = f;
    const FT_Size_Metrics& m = face->size->metrics;
    ascent = static_cast<int>(std::lround(m.ascender / 64.0));
    lineHeight = static_cast<int>(std::lround((m.ascender - m.descender) / 64.0));
    return true;
}

const Glyph& LICE_CachedFont::Impl::GlyphFor(uint32_t c)
{
    auto found = glyphs.find(c);
    if (found != glyphs.end())
        return found->second;
    Glyph& g = glyphs[c];
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, c), loadFlags) != 0)
        return g;
    FT_GlyphSlot slot = face->glyph;
    if (synthBold)
        FT_GlyphSlot_Embolden(slot);
    if (synthItalic)
        FT_GlyphSlot_Oblique(slot);
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, renderMode) != 0)
        return g;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.coverage.assign(static_cast<size_t>(g.width) * g.rows, 0);
    const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
    const long span = bm.pitch < 0 ? -static_cast<long>(bm.pitch) : bm.pitch;
    for (int y = 0; y < g.rows; ++y)
    {
        // A negative pitch stores the rows bottom-up from the start of the buffer.
        const unsigned char* row = bm.buffer + (bm.pitch < 0 ? g.rows - 1 - y : y) * span;
        for (int x = 0; x < g.width; ++x)
        {
            const unsigned v = mono ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255 : row[x];
            g.coverage[static_cast<size_t>(y) * g.width + x] = static_cast<unsigned char>(v);
        }
    }
    return g;
}

int LICE_CachedFont::Impl::LineWidth(const char* begin, const char* end)
{
    long long width = 0;
    for (const char* p = begin; p < end;)
        width += GlyphFor(NextCharacter(&p)).advance;
    return static_cast<int>(std::min<long long>(width, 1 << 30));
}

LICE_CachedFont::LICE_CachedFont(const char* face, int height, int weight, bool italic, int quality)
    : mImpl(new Impl)
{
    height = std::max(1, std::min(height, kMaxPixelHeight));
    // Quality follows the editor's GDI-style values: 3 draws without anti-aliasing (hinted to
    // the pixel grid), 4 anti-aliased with full hinting, anything else anti-aliased with light
    // hinting, which keeps the face's shapes and spacing closest to its design.
    if (quality == 3)
        mImpl->loadFlags = FT_LOAD_TARGET_MONO, mImpl->renderMode = FT_RENDER_MODE_MONO;
    else if (quality == 4)
        mImpl->loadFlags = FT_LOAD_TARGET_NORMAL;
    if (FT_Init_FreeType(&mImpl->library) != 0)
        return;
    for (const LICE_FontFile& file : LICE_FindFontFiles(face, weight, italic))
        if (mImpl->Open(file, height))
            break;
    if (!mImpl->face)
        return;
    // Whatever the face lacks of the asked weight and slant is made up from its outlines.
    const bool isBold = (mImpl->face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    const bool isItalic = (mImpl->face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    mImpl->synthBold = weight >= 600 && !isBold;
    mImpl->synthItalic = italic && !isItalic;
}

LICE_CachedFont::~LICE_CachedFont()
{
    if (mImpl->face)
        FT_Done_Face(mImpl->face);
    if (mImpl->library)
        FT_Done_FreeType(mImpl->library);
    delete mImpl;
}

int LICE_CachedFont::GetLineHeight() const
{
    return mImpl->lineHeight;
}

void LICE_CachedFont::Measure(const char* text, int* width, int* height) const
{
    int w = 0, lines = 0;
    if (text && *text && mImpl->face)
    {
        std::lock_guard<std::mutex> lock(mImpl->mutex);
        for (const char* line = text;; ++lines)
        {
            const char* end = line;
            while (*end && *end != '\n')
                ++end;
            w = std::max(w, mImpl->LineWidth(line, end));
            if (!*end)
                break;
            line = end + 1;
        }
        ++lines;
    }
    if (width)
        *width = w;
    if (height)
        *height = lines * mImpl->lineHeight;
}

void LICE_CachedFont::Draw(LICE_IBitmap* dest, const char* text, const IRECT& rect,
                           LICE_pixel color, float weight, int align, const IRECT* clip) const
{
    if (!dest || !text || !*text || !mImpl->face || !(weight > 0.0f))
        return;
    const LICE_Area area = LICE_DrawableArea(dest, clip);
    if (area.Empty())
        return;
    std::lock_guard<std::mutex> lock(mImpl->mutex);
    const unsigned alpha = LICE_GETA(color);
    long long baseline = static_cast<long long>(rect.T) + mImpl->ascent;
    for (const char* line = text;; baseline += mImpl->lineHeight)
    {
        const char* end = line;
        while (*end && *end != '\n')
            ++end;
        // The same placement the editor's measuring reports: centre truncates the rectangle's
        // middle and subtracts half the width by integer halving.
        const int width = mImpl->LineWidth(line, end);
        long long pen = rect.L;
        if (align == kAlignCenter)
            pen = static_cast<long long>((static_cast<double>(rect.L) + rect.R) * 0.5) - width / 2;
        else if (align == kAlignRight)
            pen = static_cast<long long>(rect.R) - width;
        for (const char* p = line; p < end && pen < area.x1;)
        {
            const Glyph& g = mImpl->GlyphFor(NextCharacter(&p));
            const long long gx = pen + g.left, gy = baseline - g.top;
            pen += g.advance;
            const long long x0 = std::max<long long>(gx, area.x0);
            const long long x1 = std::min<long long>(gx + g.width, area.x1);
            const long long y0 = std::max<long long>(gy, area.y0);
            const long long y1 = std::min<long long>(gy + g.rows, area.y1);
            for (long long y = y0; y < y1; ++y)
                for (long long x = x0; x < x1; ++x)
                {
                    const unsigned c = g.coverage[(y - gy) * g.width + (x - gx)];
                    if (!c)
                        continue;
                    LICE_pixel* d = dest->PixelAt(static_cast<int>(x), static_cast<int>(y));
                    const LICE_pixel ink = (color & 0x00FFFFFFu) | ((alpha * c + 127) / 255) << 24;
                    *d = LICE_BlendPixel(*d, ink, weight, IChannelBlend::kBlendNone);
                }
        }
        if (!*end)
            break;
        line = end + 1;
    }
}

namespace
{
struct FontCacheEntry
{
    int size;
    int quality;
    int style;
    std::string name;
    LICE_CachedFont* font;
};

struct FontCache
{
    WDL_Mutex mutex;
    std::vector<FontCacheEntry> entries;
};

// Lives until the process ends, like the fonts it holds: any editor may still draw with them.
FontCache& Cache()
{
    static FontCache* cache = new FontCache();
    return *cache;
}

// Quality as the style gives it → the font's: 0 default, 2 or 3 anti-aliased (4), others
// non-anti-aliased (3).
int FontQuality(int styleQuality)
{
    if (styleQuality == 0)
        return 0;
    return styleQuality == 2 || styleQuality == 3 ? 4 : 3;
}

LICE_CachedFont* MakeFont(const std::string& name, int size, int style, int quality)
{
    const int weight = style == IText::kStyleBold ? 700 : 400;
    const bool italic = style == IText::kStyleItalic;
    const int wanted = std::max(size, 2);
    auto* font = new LICE_CachedFont(name.c_str(), wanted, weight, italic, quality);
    // The face's em size is not its line height: scale once so the lines come out as tall as
    // the style's size.
    const int lineHeight = font->GetLineHeight();
    if (lineHeight > 0 && lineHeight != wanted)
    {
        const double corrected = std::round(double(wanted) * wanted / lineHeight);
        const int height =
            static_cast<int>(std::max(1.0, std::min<double>(corrected, kMaxPixelHeight)));
        if (height != wanted)
        {
            delete font;
            font = new LICE_CachedFont(name.c_str(), height, weight, italic, quality);
        }
    }
    return font;
}
} // namespace

LICE_CachedFont* LICE_GetCachedFont(const IText& text)
{
    const std::string name(text.mFont, strnlen(text.mFont, IText::kFontNameSize));
    FontCache& cache = Cache();
    WDL_MutexLock lock(&cache.mutex);
    for (const FontCacheEntry& e : cache.entries)
        if (e.size == text.mSize && e.quality == text.mQuality && e.style == text.mStyle &&
            e.name == name)
            return e.font;
    LICE_CachedFont* font = MakeFont(name, text.mSize, text.mStyle, FontQuality(text.mQuality));
    cache.entries.push_back({text.mSize, text.mQuality, text.mStyle, name, font});
    return font;
}
