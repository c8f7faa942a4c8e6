#include "graph/GraphSurface.h"

#include "GraphTestSupport.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace graphtest;

namespace
{
constexpr int kW = 64;
constexpr int kH = 48;
constexpr double kPi = 3.14159265358979323846;

class GraphSurfaceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        surface.reset(GraphSurface::Create(GRAPH_ANTIALIAS));
        ASSERT_NE(surface, nullptr);
        ASSERT_TRUE(surface->BindRenderTarget(&target));
    }

    // Clears to the colour, then begins a frame of the target's size.
    void Begin(float r = 0, float g = 0, float b = 0, float a = 0)
    {
        surface->ClearRenderTarget(r, g, b, a);
        surface->BeginFrame(target.getWidth(), target.getHeight(), 1.0f);
    }

    LICE_MemBitmap target{kW, kH};
    std::unique_ptr<GraphSurface> surface;
};

TEST_F(GraphSurfaceTest, FilledRectangleLandsAtItsYUpPosition)
{
    Begin(0, 0, 0, 1);
    surface->FillColor(GraphSurface::RGBA(255, 0, 0, 255));
    surface->BeginPath();
    surface->Rect(10, 5, 8, 4); // x 10 … 18, y 5 … 9 measured from the bottom edge
    surface->Fill();
    surface->EndFrame();

    const LICE_pixel red = LICE_RGBA(255, 0, 0, 255);
    const LICE_pixel black = LICE_RGBA(0, 0, 0, 255);
    for (int x = 8; x < 20; ++x)
        for (int y = 3; y < 11; ++y)
        {
            const bool inside = x >= 10 && x < 18 && y >= 5 && y < 9;
            EXPECT_EQ(PixelUp(&target, x, y), inside ? red : black) << "x=" << x << " y=" << y;
        }
    // y up: the rectangle sits in the lower part of the shown frame.
    EXPECT_EQ(PixelDown(&target, 12, kH - 1 - 5), red);
    EXPECT_EQ(PixelDown(&target, 12, 5), black);
}

TEST_F(GraphSurfaceTest, NegativeRectangleExtentsFillTheSameArea)
{
    Begin();
    surface->FillColor(GraphSurface::RGBA(0, 255, 0, 255));
    surface->BeginPath();
    surface->Rect(18, 9, -8, -4);
    surface->Fill();
    surface->EndFrame();
    EXPECT_EQ(CountPixels(&target, LICE_RGBA(0, 255, 0, 255)), 32);
    EXPECT_EQ(PixelUp(&target, 10, 5), LICE_RGBA(0, 255, 0, 255));
    EXPECT_EQ(PixelUp(&target, 17, 8), LICE_RGBA(0, 255, 0, 255));
}

TEST_F(GraphSurfaceTest, StrokedLineCoverageFollowsItsEnds)
{
    // Width 2 centred on y = 15 covers the pixel bands 14 and 15 fully. Butt ends at x = 10.5
    // and x = 30.25 cover half of column 10 and a quarter of column 30.
    Begin();
    surface->StrokeColor(GraphSurface::RGBA(255, 255, 255, 255));
    surface->StrokeWidth(2.0f);
    surface->BeginPath();
    surface->MoveTo(10.5f, 15.0f);
    surface->LineTo(30.25f, 15.0f);
    surface->Stroke();
    surface->EndFrame();

    for (int y : {14, 15})
    {
        EXPECT_EQ(LICE_GETA(PixelUp(&target, 9, y)), 0u) << "y=" << y;
        EXPECT_NEAR(LICE_GETA(PixelUp(&target, 10, y)), 128.0, 10.0) << "y=" << y;
        EXPECT_EQ(LICE_GETA(PixelUp(&target, 20, y)), 255u) << "y=" << y;
        EXPECT_NEAR(LICE_GETA(PixelUp(&target, 30, y)), 64.0, 10.0) << "y=" << y;
        EXPECT_EQ(LICE_GETA(PixelUp(&target, 31, y)), 0u) << "y=" << y;
        // Straight alpha: partly covered pixels keep the full colour.
        EXPECT_EQ(LICE_GETR(PixelUp(&target, 10, y)), 255u) << "y=" << y;
        EXPECT_GE(LICE_GETR(PixelUp(&target, 30, y)), 250u) << "y=" << y;
    }
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 20, 13)), 0u);
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 20, 16)), 0u);
}

TEST_F(GraphSurfaceTest, LighterCompositingAddsAndSourceOverReplaces)
{
    Begin(0, 0, 0, 1);
    auto fillRect = [&](float x, GraphCompositeOp op)
    {
        surface->Save();
        surface->GlobalCompositeOperation(op);
        surface->FillColor(GraphSurface::RGBA(100, 50, 10, 255));
        surface->BeginPath();
        surface->Rect(x, 0, 10, 10);
        surface->Fill();
        surface->Restore();
    };
    fillRect(0, GraphCompositeOp::Lighter);
    fillRect(5, GraphCompositeOp::Lighter);
    fillRect(5, GraphCompositeOp::Lighter);
    fillRect(30, GraphCompositeOp::SourceOver);
    fillRect(30, GraphCompositeOp::SourceOver);
    surface->EndFrame();

    EXPECT_EQ(PixelUp(&target, 2, 2), LICE_RGBA(100, 50, 10, 255));
    EXPECT_EQ(PixelUp(&target, 7, 2), LICE_RGBA(255, 150, 30, 255)); // 3 x, red saturated
    EXPECT_EQ(PixelUp(&target, 12, 2), LICE_RGBA(200, 100, 20, 255));
    EXPECT_EQ(PixelUp(&target, 32, 2), LICE_RGBA(100, 50, 10, 255));
}

TEST_F(GraphSurfaceTest, SaveRestoreBracketsColoursAndCompositing)
{
    Begin(0, 0, 0, 1);
    surface->FillColor(GraphSurface::RGBA(0, 0, 255, 255));
    surface->Save();
    surface->FillColor(GraphSurface::RGBA(255, 0, 0, 255));
    surface->GlobalCompositeOperation(GraphCompositeOp::Lighter);
    surface->Restore();
    surface->BeginPath();
    surface->Rect(0, 0, 4, 4);
    surface->Fill();
    surface->Fill(); // the path stays until BeginPath; source-over twice is still blue
    surface->EndFrame();
    EXPECT_EQ(PixelUp(&target, 1, 1), LICE_RGBA(0, 0, 255, 255));
}

TEST(GraphSurfaceDebugTest, CountsUnbalancedStateCalls)
{
    std::unique_ptr<GraphSurface> surface(GraphSurface::Create(GRAPH_ANTIALIAS | GRAPH_DEBUG));
    LICE_MemBitmap target(8, 8);
    ASSERT_TRUE(surface->BindRenderTarget(&target));
    surface->BeginFrame(8, 8, 1.0f);
    surface->Save();
    surface->Save();
    surface->Restore();
    surface->EndFrame();
    EXPECT_EQ(surface->DebugErrors(), 1);
    surface->BeginFrame(8, 8, 1.0f);
    surface->Restore(); // nothing to restore
    surface->EndFrame();
    EXPECT_EQ(surface->DebugErrors(), 2);
}

TEST_F(GraphSurfaceTest, ArcDirectionChoosesTheSweep)
{
    // Around (32, 0) with radius 40: direction 2 sweeps with increasing angle, so the arc from
    // pi/2 - 0.35 to pi/2 + 0.35 is the short one over the top; direction 1 goes the long way
    // round, through the bottom.
    const float cx = 32, cy = 0, r = 40;
    const float a0 = static_cast<float>(kPi / 2 - 0.35), a1 = static_cast<float>(kPi / 2 + 0.35);
    auto inkAtAngle = [&](double a)
    {
        const int x = static_cast<int>(std::floor(cx + r * std::cos(a)));
        const int y = static_cast<int>(std::floor(cy + r * std::sin(a)));
        return LICE_GETA(PixelUp(&target, x, y));
    };
    for (int dir : {GRAPH_CW, GRAPH_CCW})
    {
        Begin();
        surface->StrokeColor(GraphSurface::RGBA(255, 255, 255, 255));
        surface->StrokeWidth(3.0f);
        surface->BeginPath();
        surface->Arc(cx, cy, r, a0, a1, dir);
        surface->Stroke();
        surface->EndFrame();
        // pi/2 lies on the short arc only, pi/2 - 0.6 on the long one only (and on the surface).
        const bool shortArc = dir == GRAPH_CW;
        if (shortArc)
            EXPECT_GT(inkAtAngle(kPi / 2), 200u) << "dir=" << dir;
        else
            EXPECT_EQ(inkAtAngle(kPi / 2), 0u) << "dir=" << dir;
        if (shortArc)
            EXPECT_EQ(inkAtAngle(kPi / 2 - 0.6), 0u) << "dir=" << dir;
        else
            EXPECT_GT(inkAtAngle(kPi / 2 - 0.6), 200u) << "dir=" << dir;
    }
}

TEST_F(GraphSurfaceTest, FarAndNonFiniteCoordinatesAreClippedOrDropped)
{
    const unsigned char white[4] = {255, 255, 255, 255};
    const int image = surface->CreateImageRGBA(1, 1, GRAPH_IMAGE_NEAREST, white);
    const float nan = std::nanf("");
    Begin();
    surface->StrokeColor(GraphSurface::RGBA(255, 255, 255, 255));
    surface->FillColor(GraphSurface::RGBA(255, 255, 255, 255));
    // A stroke reaching far beyond the right edge covers its rows up to the edge.
    surface->StrokeWidth(2.0f);
    surface->BeginPath();
    surface->MoveTo(10, 20);
    surface->LineTo(1e12f, 20);
    surface->Stroke();
    // Quads far away or with a NaN corner draw nothing.
    surface->TextureQuad(1e12f, 1e12f, 2e12f, 1e12f, 2e12f, 2e12f, 1e12f, 2e12f, image);
    surface->TextureQuad(nan, 5, 8, 5, 8, 8, nan, 8, image);
    // A NaN point is dropped from the path; the rest of the path still draws.
    surface->BeginPath();
    surface->MoveTo(40, 30);
    surface->LineTo(nan, 0);
    surface->LineTo(60, 30);
    surface->LineTo(60, 40);
    surface->LineTo(40, 40);
    surface->Fill();
    surface->EndFrame();
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 63, 19)), 255u);
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 9, 19)), 0u);
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 5, 6)), 0u);
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 50, 35)), 255u);
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 50, 25)), 0u);
}

TEST_F(GraphSurfaceTest, CircleIsItsOwnSubPath)
{
    Begin();
    surface->FillColor(GraphSurface::RGBA(255, 255, 255, 255));
    surface->BeginPath();
    surface->MoveTo(0, 0);
    surface->LineTo(1, 0); // an open sub-path that the circle must not join
    surface->Circle(32, 24, 10);
    surface->Fill();
    surface->EndFrame();
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 32, 24)), 255u);
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 32, 36)), 0u);
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 12, 12)), 0u);
}

TEST_F(GraphSurfaceTest, ImagePatternWithNegativeExtentShowsImageUpright)
{
    // 2 x 2 image: top row red, bottom row blue, rows given top first.
    const unsigned char rgba[16] = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    const int image = surface->CreateImageRGBA(2, 2, GRAPH_IMAGE_NEAREST, rgba);
    ASSERT_GT(image, 0);
    Begin();
    surface->FillPaint(surface->ImagePattern(0, kH, kW, -kH, 0, image, 1.0f));
    surface->BeginPath();
    surface->Rect(0, kH, kW + 1, -(kH + 1));
    surface->Fill();
    surface->EndFrame();
    EXPECT_EQ(PixelDown(&target, 5, 3), LICE_RGBA(255, 0, 0, 255));
    EXPECT_EQ(PixelDown(&target, 60, 20), LICE_RGBA(255, 0, 0, 255));
    EXPECT_EQ(PixelDown(&target, 5, kH - 3), LICE_RGBA(0, 0, 255, 255));
    EXPECT_EQ(PixelDown(&target, 60, 30), LICE_RGBA(0, 0, 255, 255));
}

TEST_F(GraphSurfaceTest, ImagePatternAlphaScalesTheImage)
{
    const unsigned char white[4] = {255, 255, 255, 255};
    const int image = surface->CreateImageRGBA(1, 1, 0, white);
    Begin(0, 0, 0, 1);
    surface->FillPaint(surface->ImagePattern(0, 0, 10, 10, 0, image, 0.5f));
    surface->BeginPath();
    surface->Rect(0, 0, 10, 10);
    surface->Fill();
    surface->EndFrame();
    EXPECT_NEAR(LICE_GETR(PixelUp(&target, 5, 5)), 128.0, 2.0);
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 5, 5)), 255u);
}

TEST_F(GraphSurfaceTest, ImageHandlesArePositiveAndReusedAfterDelete)
{
    const unsigned char px[4] = {1, 2, 3, 4};
    const int a = surface->CreateImageRGBA(1, 1, 0, px);
    const int b = surface->CreateImageRGBA(1, 1, 0, px);
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_NE(a, b);
    surface->DeleteImage(a);
    EXPECT_EQ(surface->CreateImageRGBA(1, 1, 0, px), a) << "the deleted handle is free again";
    EXPECT_EQ(surface->CreateImageRGBA(0, 1, 0, px), 0);
    EXPECT_EQ(surface->CreateImageRGBA(1, 1, 0, nullptr), 0);
}

TEST_F(GraphSurfaceTest, TextureQuadCoversPixelCentresWithTheTintedImage)
{
    const unsigned char white[4] = {255, 255, 255, 255};
    const int image = surface->CreateImageRGBA(1, 1, GRAPH_IMAGE_NEAREST, white);
    Begin(0, 0, 0, 1);
    surface->FillColor(GraphSurface::RGBA(200, 100, 50, 128));
    // 5 x 5 quads: on the pixel grid, and shifted by 0.4 px (still 5 x 5 pixel centres).
    surface->TextureQuad(2, 3, 7, 3, 7, 8, 2, 8, image);
    surface->TextureQuad(20.4f, 3.4f, 25.4f, 3.4f, 25.4f, 8.4f, 20.4f, 8.4f, image);
    surface->EndFrame();
    // 128/255 of the tint over black.
    const double k = 128.0 / 255.0;
    const LICE_pixel p = PixelUp(&target, 4, 5);
    EXPECT_NEAR(LICE_GETR(p), 200 * k, 1.5);
    EXPECT_NEAR(LICE_GETG(p), 100 * k, 1.5);
    EXPECT_NEAR(LICE_GETB(p), 50 * k, 1.5);
    EXPECT_EQ(CountPixels(&target, p), 50);
    EXPECT_EQ(PixelUp(&target, 2, 3), p);
    EXPECT_EQ(PixelUp(&target, 6, 7), p);
    EXPECT_EQ(PixelUp(&target, 7, 7), LICE_RGBA(0, 0, 0, 255));
    EXPECT_EQ(PixelUp(&target, 20, 3), p); // centre (20.5, 3.5) lies inside
    EXPECT_EQ(PixelUp(&target, 25, 8), LICE_RGBA(0, 0, 0, 255));
}

TEST_F(GraphSurfaceTest, TextureQuadAddsUnderLighter)
{
    const unsigned char white[4] = {255, 255, 255, 255};
    const int image = surface->CreateImageRGBA(1, 1, GRAPH_IMAGE_NEAREST, white);
    Begin(0, 0, 0, 1);
    surface->GlobalCompositeOperation(GraphCompositeOp::Lighter);
    surface->FillColor(GraphSurface::RGBA(60, 30, 0, 255));
    surface->TextureQuad(0, 0, 4, 0, 4, 4, 0, 4, image);
    surface->TextureQuad(2, 0, 6, 0, 6, 4, 2, 4, image);
    surface->EndFrame();
    EXPECT_EQ(PixelUp(&target, 1, 1), LICE_RGBA(60, 30, 0, 255));
    EXPECT_EQ(PixelUp(&target, 3, 1), LICE_RGBA(120, 60, 0, 255));
    EXPECT_EQ(PixelUp(&target, 5, 1), LICE_RGBA(60, 30, 0, 255));
}

TEST_F(GraphSurfaceTest, TextureQuadMapsImageCornersOntoARotatedQuad)
{
    // Image: top-left red, top-right green, bottom-right blue, bottom-left white. Quad corners
    // 1 … 4 take image corners (0, 0), (1, 0), (1, 1), (0, 1); the quad is a diamond.
    const unsigned char rgba[16] = {255, 0,   0,   255, 0, 255, 0,   255,
                                    255, 255, 255, 255, 0, 0,   255, 255};
    const int image = surface->CreateImageRGBA(2, 2, GRAPH_IMAGE_NEAREST, rgba);
    Begin(0, 0, 0, 1);
    surface->FillColor(GraphSurface::RGBA(255, 255, 255, 255));
    // Corner 1 left, 2 top, 3 right, 4 bottom.
    surface->TextureQuad(12, 24, 32, 44, 52, 24, 32, 4, image);
    surface->EndFrame();
    // Near corner 1 the image's (0, 0) texel, near corner 3 its (1, 1) texel, and so on.
    EXPECT_EQ(PixelUp(&target, 16, 24), LICE_RGBA(255, 0, 0, 255));
    EXPECT_EQ(PixelUp(&target, 32, 40), LICE_RGBA(0, 255, 0, 255));
    EXPECT_EQ(PixelUp(&target, 47, 24), LICE_RGBA(0, 0, 255, 255));
    EXPECT_EQ(PixelUp(&target, 32, 8), LICE_RGBA(255, 255, 255, 255));
    EXPECT_EQ(PixelUp(&target, 2, 2), LICE_RGBA(0, 0, 0, 255));
}

// Reference metrics straight from the font file, in pixels at the given size.
struct FontMetrics
{
    double ascent = 0;
    double descent = 0; // positive
    double capHeight = 0;
};

FontMetrics ReadMetrics(const std::string& path, double size)
{
    FontMetrics m;
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0)
        return m;
    FT_Face face;
    if (FT_New_Face(library, path.c_str(), 0, &face) == 0)
    {
        const double scale = size / face->units_per_EM;
        m.ascent = face->ascender * scale;
        m.descent = -face->descender * scale;
        if (FT_Load_Char(face, 'H', FT_LOAD_NO_SCALE) == 0)
            m.capHeight = face->glyph->metrics.horiBearingY * scale;
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return m;
}

class GraphSurfaceTextTest : public GraphSurfaceTest
{
protected:
    static constexpr int kTextW = 200;
    static constexpr int kTextH = 120;
    static constexpr float kSize = 40.0f;
    static constexpr float kAnchorY = 60.0f; // y up: raster row 60 as well
    static constexpr double kTolerancePx = 1.5;

    void SetUp() override
    {
        target.resize(kTextW, kTextH);
        GraphSurfaceTest::SetUp();
        font = surface->CreateFont("font", FontPath().c_str());
        ASSERT_FALSE(FontPath().empty()) << "font.ttf not found beside the tests";
        metrics = ReadMetrics(FontPath(), kSize);
        ASSERT_GT(metrics.capHeight, 10.0);
    }

    InkRows DrawH(int vAlign)
    {
        Begin();
        surface->FontFace("font");
        surface->FontSize(kSize);
        surface->TextAlign(GRAPH_ALIGN_LEFT | vAlign);
        surface->FillColor(GraphSurface::RGBA(255, 255, 255, 255));
        surface->Text(20, kAnchorY, "H");
        surface->EndFrame();
        return MeasureInk(&target);
    }

    int font = GraphSurface::kNoFont;
    FontMetrics metrics;
};

TEST_F(GraphSurfaceTextTest, VerticalAlignmentIsTakenInTheYUpSense)
{
    const double anchorRow = kTextH - kAnchorY;
    struct Case
    {
        const char* name;
        int align;
        double baselineRow; // where the baseline must sit, raster rows from the top
    };
    const Case cases[] = {
        {"baseline", 0, anchorRow},
        {"top", GRAPH_ALIGN_TOP, anchorRow + metrics.ascent},
        {"middle", GRAPH_ALIGN_MIDDLE, anchorRow + (metrics.ascent - metrics.descent) / 2},
        {"bottom", GRAPH_ALIGN_BOTTOM, anchorRow - metrics.descent},
    };
    for (const Case& c : cases)
    {
        const InkRows ink = DrawH(c.align);
        ASSERT_GE(ink.top, 0) << c.name;
        // "H" stands on the baseline and reaches the cap height.
        EXPECT_NEAR(ink.bottom + 1, c.baselineRow, kTolerancePx) << c.name;
        EXPECT_NEAR(ink.top, c.baselineRow - metrics.capHeight, kTolerancePx) << c.name;
    }
    // "top" hangs the text below the anchor on screen, "bottom" raises it above.
    EXPECT_GT(DrawH(GRAPH_ALIGN_TOP).top, anchorRow);
    EXPECT_LT(DrawH(GRAPH_ALIGN_BOTTOM).bottom, anchorRow);
}

TEST_F(GraphSurfaceTextTest, HorizontalAlignmentUsesTheAdvance)
{
    auto inkColumns = [&](int align, float x)
    {
        Begin();
        surface->FontFace("font");
        surface->FontSize(kSize);
        surface->TextAlign(align);
        surface->FillColor(GraphSurface::RGBA(255, 255, 255, 255));
        const float end = surface->Text(x, kAnchorY, "HH");
        surface->EndFrame();
        int left = -1, right = -1;
        for (int col = 0; col < kTextW; ++col)
            for (int row = 0; row < kTextH; ++row)
                if (LICE_GETA(PixelDown(&target, col, row)) > 127)
                {
                    if (left < 0)
                        left = col;
                    right = col;
                    break;
                }
        return std::make_pair(left + right, end);
    };
    const auto left = inkColumns(GRAPH_ALIGN_LEFT, 100);
    const auto centre = inkColumns(GRAPH_ALIGN_CENTER, 100);
    const auto right = inkColumns(GRAPH_ALIGN_RIGHT, 100);
    const float advance = left.second - 100;
    EXPECT_GT(advance, 40.0f);
    // Shifting by half and by a whole advance moves the ink by the same amounts.
    EXPECT_NEAR((left.first - centre.first) / 2.0, advance / 2, 1.5);
    EXPECT_NEAR((left.first - right.first) / 2.0, advance, 1.5);
    EXPECT_NEAR(right.second, 100.0f, 0.01f);
}

TEST_F(GraphSurfaceTextTest, MissingFontDrawsNothing)
{
    surface->CreateFont("missing", "/nonexistent/font.ttf");
    Begin();
    surface->FontFace("missing");
    surface->FontSize(20);
    surface->FillColor(GraphSurface::RGBA(255, 255, 255, 255));
    EXPECT_FLOAT_EQ(surface->Text(10, 10, "text"), 10.0f);
    surface->FontFace("never-created");
    surface->Text(10, 10, "text");
    surface->EndFrame();
    EXPECT_EQ(MeasureInk(&target, 0).top, -1);
}

TEST_F(GraphSurfaceTextTest, TextLeavesTheCurrentPathAlone)
{
    Begin();
    surface->FillColor(GraphSurface::RGBA(255, 255, 255, 255));
    surface->FontFace("font");
    surface->FontSize(12);
    surface->BeginPath();
    surface->Rect(150, 10, 10, 10);
    surface->Text(10, 100, "x");
    surface->Fill();
    surface->EndFrame();
    EXPECT_EQ(LICE_GETA(PixelUp(&target, 155, 15)), 255u);
}
} // namespace
