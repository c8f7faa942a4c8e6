#include "graph/GraphRasterizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace
{
constexpr int kW = 24;
constexpr int kH = 16;
constexpr int kSamples = 32; // per pixel side for the reference coverage

// Point-in-polygon by the nonzero winding rule, the reference for coverage.
bool Inside(const std::vector<float>& poly, double x, double y)
{
    int winding = 0;
    const int n = static_cast<int>(poly.size()) / 2;
    for (int i = 0; i < n; ++i)
    {
        const double x0 = poly[2 * i], y0 = poly[2 * i + 1];
        const double x1 = poly[2 * ((i + 1) % n)], y1 = poly[2 * ((i + 1) % n) + 1];
        if (y0 <= y && y1 > y && (x1 - x0) * (y - y0) - (x - x0) * (y1 - y0) > 0)
            ++winding;
        else if (y0 > y && y1 <= y && (x1 - x0) * (y - y0) - (x - x0) * (y1 - y0) < 0)
            --winding;
    }
    return winding != 0;
}

double ReferenceCoverage(const std::vector<float>& poly, int px, int py)
{
    int inside = 0;
    for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx)
            inside += Inside(poly, px + (sx + 0.5) / kSamples, py + (sy + 0.5) / kSamples) ? 1 : 0;
    return static_cast<double>(inside) / (kSamples * kSamples);
}

// Coverage per pixel as the alpha of opaque white composited onto a transparent raster.
std::vector<double> Rasterise(GraphRasterizer& r, const std::vector<float>& poly)
{
    std::vector<uint32_t> raster(kW * kH, 0u);
    r.AddPolygon(poly.data(), static_cast<int>(poly.size()) / 2);
    r.Composite(reinterpret_cast<unsigned char*>(raster.data()), kW * 4, 0xFFFFFFFFu, false);
    std::vector<double> coverage(kW * kH);
    for (int i = 0; i < kW * kH; ++i)
        coverage[i] = (raster[i] >> 24) / 255.0;
    return coverage;
}

void ExpectMatchesReference(GraphRasterizer& r, const std::vector<float>& poly, const char* name)
{
    const std::vector<double> coverage = Rasterise(r, poly);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_NEAR(coverage[y * kW + x], ReferenceCoverage(poly, x, y), 0.03)
                << name << " pixel " << x << ", " << y;
}

TEST(GraphRasterizerTest, RectangleCoverageIsTheOverlapArea)
{
    GraphRasterizer r;
    ASSERT_TRUE(r.Resize(kW, kH));
    // x 1.25 … 4.75, y 2.5 … 5: corner pixel (1, 2) is covered 0.75 x 0.5.
    const std::vector<float> rect = {1.25f, 2.5f, 4.75f, 2.5f, 4.75f, 5.0f, 1.25f, 5.0f};
    const std::vector<double> c = Rasterise(r, rect);
    EXPECT_NEAR(c[2 * kW + 1], 0.375, 1.0 / 255);
    EXPECT_NEAR(c[2 * kW + 2], 0.5, 1.0 / 255);
    EXPECT_NEAR(c[3 * kW + 2], 1.0, 1.0 / 255);
    EXPECT_NEAR(c[4 * kW + 4], 0.75, 1.0 / 255);
    EXPECT_EQ(c[5 * kW + 2], 0.0);
    EXPECT_EQ(c[3 * kW + 0], 0.0);
    EXPECT_EQ(c[3 * kW + 5], 0.0);
}

TEST(GraphRasterizerTest, RandomTrianglesMatchSupersampledCoverageEitherOrientation)
{
    const unsigned seed = 1234;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> ux(-4.0f, kW + 4.0f), uy(-4.0f, kH + 4.0f);
    GraphRasterizer r;
    ASSERT_TRUE(r.Resize(kW, kH));
    for (int t = 0; t < 20; ++t)
    {
        std::vector<float> tri = {ux(rng), uy(rng), ux(rng), uy(rng), ux(rng), uy(rng)};
        const std::string name = "seed " + std::to_string(seed) + " triangle " + std::to_string(t);
        ExpectMatchesReference(r, tri, name.c_str());
        const std::vector<float> reversed = {tri[4], tri[5], tri[2], tri[3], tri[0], tri[1]};
        ExpectMatchesReference(r, reversed, (name + " reversed").c_str());
    }
}

TEST(GraphRasterizerTest, PolygonsBeyondEveryBorderAreClipped)
{
    GraphRasterizer r;
    ASSERT_TRUE(r.Resize(kW, kH));
    ExpectMatchesReference(r, {-10.0f, -3.0f, 40.0f, 6.5f, 8.0f, 30.0f}, "wide triangle");
    ExpectMatchesReference(r, {-5.0f, 2.0f, -1.0f, 2.0f, -1.0f, 9.0f}, "left of the raster");
    ExpectMatchesReference(r, {30.0f, 2.0f, 40.0f, 2.0f, 35.0f, 9.0f}, "right of the raster");
    // A thin diagonal stroke quad, as a ray is drawn.
    ExpectMatchesReference(r, {2.0f, 14.0f, 20.0f, 1.0f, 21.2f, 2.6f, 3.2f, 15.6f}, "ray");
}

TEST(GraphRasterizerTest, CompositingBlendsOrAddsThePremultipliedColour)
{
    GraphRasterizer r;
    ASSERT_TRUE(r.Resize(kW, kH));
    const std::vector<float> square = {0, 0, 2, 0, 2, 2, 0, 2};
    std::vector<uint32_t> raster(kW * kH, 0xFF204060u);
    // Premultiplied half-transparent red: alpha 128, red 128.
    r.AddPolygon(square.data(), 4);
    r.Composite(reinterpret_cast<unsigned char*>(raster.data()), kW * 4, 0x80800000u, false);
    // over: 128 + d x 127 / 255
    EXPECT_EQ(raster[0], 0xFF902030u);
    raster.assign(kW * kH, 0xFF204060u);
    r.AddPolygon(square.data(), 4);
    r.Composite(reinterpret_cast<unsigned char*>(raster.data()), kW * 4, 0x80800000u, true);
    EXPECT_EQ(raster[0], 0xFFA04060u);
    EXPECT_EQ(raster[2], 0xFF204060u); // outside the square
}
} // namespace
