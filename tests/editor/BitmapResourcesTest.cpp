#include "editor/BitmapResources.h"
#include "editor/PngCodec.h"

#include "editor/LICE_Bitmap.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace
{
std::string TempDir()
{
    const std::string dir = std::string(PARANDEL_TEST_TMP) + "/bitmap-resources";
    mkdir(PARANDEL_TEST_TMP, 0755);
    mkdir(dir.c_str(), 0755);
    return dir;
}

// What a test PNG holds: its header fields, rows of packed samples, optional palette and
// transparency chunk.
struct PngContent
{
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    std::vector<std::vector<unsigned char>> rows;
    std::vector<png_color> palette;
    std::vector<unsigned char> paletteAlpha; // tRNS for palette images
    bool hasTransparentColor = false;
    png_color_16 transparentColor{};
    bool interlaced = false;
};

std::string WritePng(const std::string& name, const PngContent& content)
{
    const std::string path = TempDir() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return std::string();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return std::string();
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, content.width, content.height, content.bitDepth, content.colorType,
                 content.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!content.palette.empty())
        png_set_PLTE(png, info, content.palette.data(), static_cast<int>(content.palette.size()));
    if (!content.paletteAlpha.empty())
        png_set_tRNS(png, info, content.paletteAlpha.data(),
                     static_cast<int>(content.paletteAlpha.size()), nullptr);
    if (content.hasTransparentColor)
        png_set_tRNS(png, info, nullptr, 0, &content.transparentColor);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& row : content.rows)
        rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return path;
}

struct BitmapDeleter
{
    void operator()(LICE_IBitmap* b) const { delete b; }
};
using BitmapPtr = std::unique_ptr<LICE_IBitmap, BitmapDeleter>;

void ExpectPixels(const LICE_IBitmap* bitmap, const std::vector<LICE_pixel>& expected, int w,
                  const char* name)
{
    ASSERT_NE(bitmap, nullptr) << name;
    ASSERT_EQ(bitmap->getWidth(), w) << name;
    ASSERT_EQ(bitmap->getHeight(), static_cast<int>(expected.size()) / w) << name;
    for (size_t i = 0; i < expected.size(); ++i)
    {
        const int x = static_cast<int>(i) % w, y = static_cast<int>(i) / w;
        EXPECT_EQ(*bitmap->PixelAt(x, y), expected[i]) << name << " x=" << x << " y=" << y;
    }
}

TEST(PngDecodingTest, RgbaAndRgbKeepTheirColoursWithOpaqueAlphaAdded)
{
    PngContent rgba;
    rgba.width = 2;
    rgba.height = 2;
    rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    rgba.rows = {{255, 0, 0, 255, 0, 255, 0, 128}, {0, 0, 255, 0, 10, 20, 30, 40}};
    BitmapPtr a(LoadPngFile(WritePng("rgba.png", rgba).c_str()));
    ExpectPixels(a.get(),
                 {LICE_RGBA(255, 0, 0, 255), LICE_RGBA(0, 255, 0, 128), LICE_RGBA(0, 0, 255, 0),
                  LICE_RGBA(10, 20, 30, 40)},
                 2, "rgba");

    PngContent rgb;
    rgb.width = 3;
    rgb.height = 1;
    rgb.rows = {{1, 2, 3, 4, 5, 6, 250, 251, 252}};
    BitmapPtr b(LoadPngFile(WritePng("rgb.png", rgb).c_str()));
    ExpectPixels(b.get(),
                 {LICE_RGBA(1, 2, 3, 255), LICE_RGBA(4, 5, 6, 255), LICE_RGBA(250, 251, 252, 255)},
                 3, "rgb");
}

TEST(PngDecodingTest, PaletteExpandsWithItsTransparency)
{
    PngContent png;
    png.width = 4;
    png.height = 1;
    png.colorType = PNG_COLOR_TYPE_PALETTE;
    png.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    png.paletteAlpha = {0, 128}; // entry 2 has no alpha entry: opaque
    png.rows = {{2, 1, 0, 1}};
    BitmapPtr b(LoadPngFile(WritePng("palette.png", png).c_str()));
    ExpectPixels(b.get(),
                 {LICE_RGBA(70, 80, 90, 255), LICE_RGBA(40, 50, 60, 128), LICE_RGBA(10, 20, 30, 0),
                  LICE_RGBA(40, 50, 60, 128)},
                 4, "palette");
}

TEST(PngDecodingTest, LowBitGreyIsScaledToEightBits)
{
    // 1 bit: 0 and 1 become 0 and 255; 2 bit: steps of 85; 4 bit: steps of 17.
    struct Case
    {
        int depth;
        std::vector<unsigned char> packed;
        std::vector<int> levels;
    };
    const Case cases[] = {
        {1, {0xA0}, {255, 0, 255, 0}},        // 1010 0000
        {2, {0x1B}, {0, 85, 170, 255}},       // 00 01 10 11
        {4, {0x0F, 0x5A}, {0, 255, 85, 170}}, // 0 15 5 10
    };
    for (const Case& c : cases)
    {
        PngContent png;
        png.width = 4;
        png.height = 1;
        png.bitDepth = c.depth;
        png.colorType = PNG_COLOR_TYPE_GRAY;
        png.rows = {c.packed};
        const std::string name = "grey" + std::to_string(c.depth) + ".png";
        BitmapPtr b(LoadPngFile(WritePng(name, png).c_str()));
        std::vector<LICE_pixel> expected;
        for (int v : c.levels)
            expected.push_back(LICE_RGBA(v, v, v, 255));
        ExpectPixels(b.get(), expected, 4, name.c_str());
    }
}

TEST(PngDecodingTest, GreyWithAlphaAndGreyTransparentColour)
{
    PngContent ga;
    ga.width = 2;
    ga.height = 1;
    ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    ga.rows = {{100, 200, 7, 0}};
    BitmapPtr a(LoadPngFile(WritePng("grey-alpha.png", ga).c_str()));
    ExpectPixels(a.get(), {LICE_RGBA(100, 100, 100, 200), LICE_RGBA(7, 7, 7, 0)}, 2, "grey-alpha");

    PngContent gt;
    gt.width = 2;
    gt.height = 1;
    gt.colorType = PNG_COLOR_TYPE_GRAY;
    gt.rows = {{9, 50}};
    gt.hasTransparentColor = true;
    gt.transparentColor.gray = 50;
    BitmapPtr b(LoadPngFile(WritePng("grey-trns.png", gt).c_str()));
    ExpectPixels(b.get(), {LICE_RGBA(9, 9, 9, 255), LICE_RGBA(50, 50, 50, 0)}, 2, "grey-trns");
}

TEST(PngDecodingTest, SixteenBitRgbIsReducedToItsHighBytes)
{
    PngContent png;
    png.width = 2;
    png.height = 1;
    png.bitDepth = 16;
    png.rows = {{0xFF, 0xFF, 0x80, 0x00, 0x12, 0x34, 0x00, 0x00, 0x7F, 0xFF, 0xAB, 0xCD}};
    BitmapPtr b(LoadPngFile(WritePng("rgb16.png", png).c_str()));
    ASSERT_NE(b, nullptr);
    // Reduction keeps the high byte or rounds; either way within one step of value / 257.
    const double expected[2][3] = {{0xFFFF / 257.0, 0x8000 / 257.0, 0x1234 / 257.0},
                                   {0.0, 0x7FFF / 257.0, 0xABCD / 257.0}};
    for (int x = 0; x < 2; ++x)
    {
        const LICE_pixel p = *b->PixelAt(x, 0);
        EXPECT_NEAR(LICE_GETR(p), expected[x][0], 1.0) << "x=" << x;
        EXPECT_NEAR(LICE_GETG(p), expected[x][1], 1.0) << "x=" << x;
        EXPECT_NEAR(LICE_GETB(p), expected[x][2], 1.0) << "x=" << x;
        EXPECT_EQ(LICE_GETA(p), 255u) << "x=" << x;
    }
}

TEST(PngDecodingTest, RgbTransparentColourAndInterlacedRows)
{
    PngContent png;
    png.width = 3;
    png.height = 3;
    png.interlaced = true;
    png.hasTransparentColor = true;
    png.transparentColor.red = 1;
    png.transparentColor.green = 2;
    png.transparentColor.blue = 3;
    std::vector<LICE_pixel> expected;
    for (int y = 0; y < 3; ++y)
    {
        std::vector<unsigned char> row;
        for (int x = 0; x < 3; ++x)
        {
            const bool hole = x == y;
            const unsigned char r = hole ? 1 : static_cast<unsigned char>(10 * x + 100 * y);
            const unsigned char g = hole ? 2 : 7, bl = hole ? 3 : 9;
            row.push_back(r);
            row.push_back(g);
            row.push_back(bl);
            expected.push_back(LICE_RGBA(r, g, bl, hole ? 0 : 255));
        }
        png.rows.push_back(row);
    }
    BitmapPtr b(LoadPngFile(WritePng("rgb-trns.png", png).c_str()));
    ExpectPixels(b.get(), expected, 3, "rgb-trns");
}

TEST(PngDecodingTest, FlippedBitmapStoresTheBottomRowFirst)
{
    PngContent png;
    png.width = 1;
    png.height = 2;
    png.rows = {{255, 0, 0}, {0, 0, 255}};
    const std::string path = WritePng("flip.png", png);
    BitmapPtr b(LoadPngFile(path.c_str(), true));
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->isFlipped());
    EXPECT_EQ(b->getBits()[0], LICE_RGBA(0, 0, 255, 255));
    EXPECT_EQ(*b->PixelAt(0, 0), LICE_RGBA(255, 0, 0, 255));
}

TEST(PngDecodingTest, BadFilesGiveNull)
{
    EXPECT_EQ(LoadPngFile(nullptr), nullptr);
    EXPECT_EQ(LoadPngFile(""), nullptr);
    EXPECT_EQ(LoadPngFile((TempDir() + "/does-not-exist.png").c_str()), nullptr);

    const std::string text = TempDir() + "/not-a-png.png";
    FILE* f = std::fopen(text.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("this is not an image", f);
    std::fclose(f);
    EXPECT_EQ(LoadPngFile(text.c_str()), nullptr);

    // A valid file cut in the middle of its image data.
    PngContent png;
    png.width = 64;
    png.height = 64;
    for (int y = 0; y < 64; ++y)
    {
        std::vector<unsigned char> row(64 * 3);
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<unsigned char>(i * 31 + y * 17);
        png.rows.push_back(row);
    }
    const std::string whole = WritePng("whole.png", png);
    FILE* in = std::fopen(whole.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::vector<unsigned char> bytes(100000);
    const size_t n = std::fread(bytes.data(), 1, bytes.size(), in);
    std::fclose(in);
    ASSERT_GT(n, 200u);
    const std::string cut = TempDir() + "/cut.png";
    FILE* out = std::fopen(cut.c_str(), "wb");
    std::fwrite(bytes.data(), 1, n / 2, out);
    std::fclose(out);
    EXPECT_EQ(LoadPngFile(cut.c_str()), nullptr);
    BitmapPtr ok(LoadPngFile(whole.c_str()));
    EXPECT_NE(ok, nullptr);
}

// ---- Bundle resources ----

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST(ResourcePathTest, FindsFilesByBaseNameWhateverFoldersTheNameGives)
{
    ASSERT_NE(ResourceDirectory()[0], '\0') << "no resources folder beside the tests";
    WDL_String a, b, c, font;
    EXPECT_TRUE(ResourcePath("resources/img/vectorscope-graph.png", &a));
    EXPECT_TRUE(ResourcePath("vectorscope-graph.png", &b));
    EXPECT_TRUE(ResourcePath("somewhere/else/vectorscope-graph.png", &c));
    EXPECT_STREQ(a.Get(), b.Get());
    EXPECT_STREQ(a.Get(), c.Get());
    EXPECT_TRUE(EndsWith(a.Get(), "/resources/img/vectorscope-graph.png")) << a.Get();
    EXPECT_TRUE(ResourcePath("font.ttf", &font));
    EXPECT_TRUE(EndsWith(font.Get(), "/resources/font.ttf")) << font.Get();

    WDL_String missing("stale");
    EXPECT_FALSE(ResourcePath("resources/img/no-such-image.png", &missing));
    EXPECT_STREQ(missing.Get(), "");
    EXPECT_FALSE(ResourcePath("", &missing));
    EXPECT_FALSE(ResourcePath(nullptr, &missing));
}

TEST(OSLoadBitmapTest, OnlyPngNamesLoadInAnyLetterCase)
{
    BitmapPtr lower(OSLoadBitmap(1, "resources/img/vectorscope-graph.png"));
    BitmapPtr upper(OSLoadBitmap(1, "resources/img/vectorscope-graph.PNG"));
    ASSERT_NE(lower, nullptr);
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(lower->getWidth(), upper->getWidth());
    EXPECT_EQ(OSLoadBitmap(1, "resources/img/vectorscope-graph.jpg"), nullptr);
    EXPECT_EQ(OSLoadBitmap(1, "resources/img/vectorscope-graph"), nullptr);
    EXPECT_EQ(OSLoadBitmap(1, "font.ttf"), nullptr);
    EXPECT_EQ(OSLoadBitmap(1, "resources/img/no-such-image.png"), nullptr);
    EXPECT_EQ(OSLoadBitmap(1, nullptr), nullptr);
}

TEST(LoadBitmapTest, CacheIsKeyedByResourceIdAndKeepsTheFirstBitmap)
{
    const BitmapRef first = LoadBitmap(90128, "resources/img/vectorscope-graph.png", 1);
    ASSERT_NE(first.bitmap, nullptr);
    EXPECT_EQ(first.width, first.bitmap->getWidth());
    EXPECT_EQ(first.height, first.bitmap->getHeight());
    EXPECT_EQ(first.frames, 1);
    // Another name under the same ID still gives the first bitmap; frames come from the call.
    const BitmapRef second = LoadBitmap(90128, "resources/img/no-such-image.png", 3, true);
    EXPECT_EQ(second.bitmap, first.bitmap);
    EXPECT_EQ(second.frames, 3);
    EXPECT_TRUE(second.horizontal);
    EXPECT_EQ(second.FrameWidth(), first.width / 3);
    // A failed load is not cached: the ID can still receive its bitmap later.
    const BitmapRef failed = LoadBitmap(90129, "resources/img/no-such-image.png");
    EXPECT_EQ(failed.bitmap, nullptr);
    EXPECT_EQ(failed.width, 0);
    const BitmapRef later = LoadBitmap(90129, "vectorscope-graph.png");
    EXPECT_NE(later.bitmap, nullptr);
    EXPECT_NE(later.bitmap, first.bitmap); // decoded again under its own ID
}

TEST(LoadBitmapTest, ConcurrentLoadsOfOneIdShareOneBitmap)
{
    std::vector<LICE_IBitmap*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&seen, i]
                             { seen[i] = LoadBitmap(90200, "vectorscope-graph.png").bitmap; });
    for (auto& t : threads)
        t.join();
    ASSERT_NE(seen[0], nullptr);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(seen[i], seen[0]) << "thread " << i;
}

TEST(LoadBitmapTest, CachedMemoryBitmapIsLoadedUnderItsIdAndNeverReplaced)
{
    auto* made = new LICE_MemBitmap(7, 21);
    ASSERT_TRUE(CacheBitmap(90300, made)); // the cache owns it now
    const BitmapRef ref = LoadBitmap(90300, "no-such-image.png", 3);
    EXPECT_EQ(ref.bitmap, made);
    EXPECT_EQ(ref.FrameHeight(), 7);
    LICE_MemBitmap other(1, 1);
    EXPECT_FALSE(CacheBitmap(90300, &other));
    EXPECT_FALSE(CacheBitmap(90301, nullptr));
    EXPECT_EQ(LoadBitmap(90300, "vectorscope-graph.png").bitmap, made);
}

TEST(FrameOffsetTest, FramesAreCutAtRoundedFractionsOfTheSize)
{
    struct Case
    {
        int frame, frames, size, offset;
    };
    const Case cases[] =
        {
            {2, 3, 30, 10},        {1, 3, 30, 0},  {0, 3, 30, 0},
            {31, 31, 620, 600},    {3, 3, 31, 21}, {2, 3, 31, 10},
            {91, 180, 7200, 3600}, {5, 1, 40, 0},  {2, 2, 5, 3}, // 2.5 + 0.5 truncates to 3
        };
    for (const Case& c : cases)
        EXPECT_EQ(FrameSourceOffset(c.frame, c.frames, c.size), c.offset)
            << "frame " << c.frame << " of " << c.frames << ", size " << c.size;
}

TEST(MemBitmapTest, FlippedStorageAndResize)
{
    LICE_MemBitmap b(3, 2, true);
    *b.PixelAt(0, 0) = 1;
    *b.PixelAt(2, 1) = 2;
    EXPECT_EQ(b.getBits()[3], 1u); // top row stored second
    EXPECT_EQ(b.getBits()[2], 2u);
    EXPECT_EQ(b.PixelAt(3, 0), nullptr);
    EXPECT_EQ(b.PixelAt(0, -1), nullptr);
    EXPECT_TRUE(b.resize(10, 10));
    EXPECT_EQ(b.getRowSpan(), 10);
    EXPECT_FALSE(b.resize(-1, 5));
    EXPECT_EQ(b.getWidth(), 10);
}
} // namespace
