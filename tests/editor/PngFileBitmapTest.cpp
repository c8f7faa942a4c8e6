// Bundle images decoded at first use: the size comes from the header, the pixels are those the
// eager decoder gives, and a file damaged past its header draws as transparent.

#include "editor/BitmapResources.h"
#include "editor/PngCodec.h"
#include "editor/PngFileBitmap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

TEST(PngFileBitmap, SizeFromTheHeaderPixelsAsDecodedDamageAsTransparent)
{
    WDL_String path;
    ASSERT_TRUE(ResourcePath("resources/img/blue-knob.png", &path));
    std::unique_ptr<LICE_IBitmap> eager(LoadPngFile(path.Get()));
    std::unique_ptr<PngFileBitmap> lazy(PngFileBitmap::Open(path.Get()));
    ASSERT_TRUE(eager && lazy);
    EXPECT_EQ(lazy->getWidth(), eager->getWidth());
    EXPECT_EQ(lazy->getHeight(), eager->getHeight());
    for (int y = 0; y < eager->getHeight(); y += 37)
        for (int x = 0; x < eager->getWidth(); x += 5)
            ASSERT_EQ(*lazy->PixelAt(x, y), *eager->PixelAt(x, y)) << x << "," << y;

    // The header survives, the image data does not.
    std::filesystem::create_directories(PARANDEL_TEST_TMP);
    const std::string damaged = std::string(PARANDEL_TEST_TMP) + "/damaged.png";
    {
        std::ifstream in(path.Get(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(damaged, std::ios::binary) << bytes.substr(0, 60);
    }
    EXPECT_EQ(LoadPngFile(damaged.c_str()), nullptr);
    std::unique_ptr<PngFileBitmap> broken(PngFileBitmap::Open(damaged.c_str()));
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->getWidth(), eager->getWidth());
    EXPECT_EQ(*broken->PixelAt(broken->getWidth() / 2, broken->getHeight() / 2), 0u);

    EXPECT_EQ(PngFileBitmap::Open((std::string(PARANDEL_TEST_TMP) + "/none.png").c_str()), nullptr);
    std::ofstream(std::string(PARANDEL_TEST_TMP) + "/text.png") << "not a picture at all, really";
    EXPECT_EQ(PngFileBitmap::Open((std::string(PARANDEL_TEST_TMP) + "/text.png").c_str()),
              nullptr);
}
