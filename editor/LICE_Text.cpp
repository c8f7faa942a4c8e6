#include "editor/LICE_Text.h"

// Placeholder implementation; the drawing layer proper replaces it.
struct LICE_CachedFont::Impl
{
    int height;
};
LICE_CachedFont::LICE_CachedFont(const char*, int height, int, bool, int) : mImpl(new Impl{height})
{
}
LICE_CachedFont::~LICE_CachedFont()
{
    delete mImpl;
}
bool LICE_CachedFont::IsValid() const
{
    return true;
}
int LICE_CachedFont::GetLineHeight() const
{
    return mImpl->height;
}
void LICE_CachedFont::Measure(const char* text, int* width, int* height) const
{
    int n = 0;
    while (text && text[n])
        ++n;
    *width = n * mImpl->height / 2;
    *height = mImpl->height;
}
void LICE_CachedFont::Draw(LICE_IBitmap*, const char*, const IRECT&, LICE_pixel, float, int,
                           const IRECT*) const
{
}
const char* LICE_CachedFont::GetFilePath() const
{
    return "";
}
LICE_CachedFont* LICE_GetCachedFont(const IText& text)
{
    static LICE_CachedFont font("", 10, 400, false, 0);
    (void)text;
    return &font;
}
