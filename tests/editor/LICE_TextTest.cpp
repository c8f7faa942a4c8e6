#include "editor/LICE_Text.h"

#include "editor/BitmapResources.h"
#include "editor/LICE_FontMatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr LICE_pixel kPaper = LICE_RGBA(0, 0, 0, 255);
constexpr LICE_pixel kInk = LICE_RGBA(255, 255, 255, 255);

std::string BundledFontPath()
{
    WDL_String path;
    ResourcePath("font.ttf", &path);
    return path.Get();
}

IText Style(const char* face, int size, int style = IText::kStyleNormal, int quality = 0)
{
    return IText(size, IColor(255, 255, 255, 255), face, style, IText::kAlignNear, 0, quality);
}

int TextWidth(const LICE_CachedFont& font, const char* text)
{
    int w = 0, h = 0;
    font.Measure(text, &w, &h);
    return w;
}

// Bounding box of every pixel that is not paper; L > R when there is none.
IRECT InkBounds(const LICE_IBitmap& b)
{
    IRECT box(b.getWidth(), b.getHeight(), -1, -1);
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            if (*b.PixelAt(x, y) != kPaper)
            {
                box.L = std::min(box.L, x), box.T = std::min(box.T, y);
                box.R = std::max(box.R, x + 1), box.B = std::max(box.B, y + 1);
            }
    return box;
}

TEST(LICE_FontMatchTest, MacFacesResolveToInstalledFacesAndUnknownOnesToTheBundledFont)
{
    const std::string bundled = BundledFontPath();
    ASSERT_FALSE(bundled.empty());
    // The font is made from the first file of the face that loads.
    for (const char* face : {"Tahoma", "Monaco"})
    {
        EXPECT_NE(LICE_FindFontFiles(face, 400, false).front().path, bundled)
            << face << " should find an installed face";
        EXPECT_GT(LICE_CachedFont(face, 13, 400, false, 0).GetLineHeight(), 0) << face;
    }
    EXPECT_EQ(LICE_FindFontFiles("No Such Face Parandel", 400, false).front().path, bundled);
    EXPECT_GT(LICE_CachedFont("No Such Face Parandel", 13, 400, false, 0).GetLineHeight(), 0);
    EXPECT_EQ(LICE_FindFontFiles("", 400, false).front().path, bundled);
    // Monaco stands in monospaced.
    const LICE_CachedFont monaco("Monaco", 13, 400, false, 0);
    EXPECT_EQ(TextWidth(monaco, "iiii"), TextWidth(monaco, "WWWW"));
}

TEST(LICE_CachedFontTest, BoldIsWiderAndMeasuresArePlausible)
{
    const LICE_CachedFont normal("Tahoma", 13, 400, false, 0);
    const LICE_CachedFont bold("Tahoma", 13, 700, false, 0);
    EXPECT_GT(TextWidth(bold, "WIDTH"), TextWidth(normal, "WIDTH"));
    int w = 0, h = 0;
    normal.Measure("WIDTH", &w, &h);
    // Five capitals at a 13-pixel em are 6 to 13 pixels wide each.
    EXPECT_GE(w, 30);
    EXPECT_LE(w, 65);
    EXPECT_EQ(h, normal.GetLineHeight());
    normal.Measure("WIDTH\nW", &w, &h);
    EXPECT_EQ(h, 2 * normal.GetLineHeight());
    EXPECT_EQ(w, TextWidth(normal, "WIDTH"));
    // Malformed UTF-8 still measures, one replacement character per bad byte.
    EXPECT_EQ(TextWidth(normal, "\xff\xfe"), 2 * TextWidth(normal, "\xef\xbf\xbd"));
    EXPECT_GT(TextWidth(normal, "\xff"), 0);
}

TEST(LICE_FontCacheTest, SameStyleSameFontAndLinesAsTallAsTheSize)
{
    LICE_CachedFont* a = LICE_GetCachedFont(Style("Tahoma", 13));
    EXPECT_EQ(LICE_GetCachedFont(Style("Tahoma", 13)), a);
    EXPECT_NE(LICE_GetCachedFont(Style("Tahoma", 14)), a);
    EXPECT_NE(LICE_GetCachedFont(Style("Tahoma", 13, IText::kStyleBold)), a);
    EXPECT_NE(LICE_GetCachedFont(Style("Tahoma", 13, IText::kStyleNormal, 2)), a);
    EXPECT_NE(LICE_GetCachedFont(Style("Monaco", 13)), a);
    // The height correction makes the line height the style's size.
    EXPECT_NEAR(a->GetLineHeight(), 13, 1);
    EXPECT_NEAR(LICE_GetCachedFont(Style("Tahoma", 40))->GetLineHeight(), 40, 1);
    // Sizes below 2 are made at 2; absurd sizes are still a usable font.
    EXPECT_GT(LICE_GetCachedFont(Style("Tahoma", -5))->GetLineHeight(), 0);
    EXPECT_GT(LICE_GetCachedFont(Style("Tahoma", 1 << 30))->GetLineHeight(), 0);
}

TEST(LICE_FontCacheTest, ConcurrentLookupsShareOneFont)
{
    const IText style = Style("Tahoma", 17, IText::kStyleItalic);
    std::vector<LICE_CachedFont*> got(4, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] { got[i] = LICE_GetCachedFont(style); });
    for (std::thread& t : threads)
        t.join();
    for (LICE_CachedFont* f : got)
        EXPECT_EQ(f, got[0]);
    ASSERT_NE(got[0], nullptr);
}

TEST(LICE_CachedFontTest, InkStaysInsideTheClip)
{
    LICE_MemBitmap page(120, 40);
    page.Fill(kPaper);
    const LICE_CachedFont* font = LICE_GetCachedFont(Style("Tahoma", 24));
    const IRECT clip(20, 8, 50, 22);
    font->Draw(&page, "WIDTH", IRECT(0, 0, 120, 40), kInk, 1.0f, LICE_CachedFont::kAlignLeft,
               &clip);
    const IRECT ink = InkBounds(page);
    ASSERT_LT(ink.L, ink.R) << "something must be drawn";
    EXPECT_GE(ink.L, clip.L);
    EXPECT_GE(ink.T, clip.T);
    EXPECT_LE(ink.R, clip.R);
    EXPECT_LE(ink.B, clip.B);
}

TEST(LICE_CachedFontTest, AlignmentPlacesTheInk)
{
    const LICE_CachedFont* font = LICE_GetCachedFont(Style("Tahoma", 13));
    const IRECT box(10, 5, 190, 30);
    IRECT ink[3];
    for (int align = 0; align < 3; ++align)
    {
        LICE_MemBitmap page(200, 40);
        page.Fill(kPaper);
        font->Draw(&page, "WIDTH", box, kInk, 1.0f, align, nullptr);
        ink[align] = InkBounds(page);
        ASSERT_LT(ink[align].L, ink[align].R) << "align " << align;
    }
    EXPECT_NEAR(ink[0].L, box.L, 2);
    EXPECT_NEAR(ink[2].R, box.R, 2);
    EXPECT_NEAR((ink[1].L + ink[1].R) / 2.0, (box.L + box.R) / 2.0, 2.0);
    EXPECT_EQ(ink[1].R - ink[1].L, ink[0].R - ink[0].L);
    EXPECT_NEAR(ink[0].T, box.T + 1, 2) << "text hangs from the rectangle's top";
}

TEST(LICE_CachedFontTest, WeightAndQualityShapeTheInk)
{
    // Quality 3 draws without anti-aliasing: every pixel is paper or full ink.
    const LICE_CachedFont* mono = LICE_GetCachedFont(Style("Tahoma", 13, IText::kStyleNormal, 1));
    LICE_MemBitmap page(100, 30);
    page.Fill(kPaper);
    mono->Draw(&page, "WIDTH", IRECT(0, 0, 100, 30), kInk, 1.0f, 0, nullptr);
    int partial = 0, full = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x)
        {
            const LICE_pixel p = *page.PixelAt(x, y);
            partial += p != kPaper && p != kInk;
            full += p == kInk;
        }
    EXPECT_EQ(partial, 0);
    EXPECT_GT(full, 20);
    // Weight 0.25 (a grayed caption) never gets brighter than a quarter of the ink.
    page.Fill(kPaper);
    mono->Draw(&page, "WIDTH", IRECT(0, 0, 100, 30), kInk, 0.25f, 0, nullptr);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_LE(LICE_GETR(*page.PixelAt(x, y)), 64u);
}
} // namespace
