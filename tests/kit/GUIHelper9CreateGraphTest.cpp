#include "kit/GUIHelper9.h"

#include "graph/GraphTestSupport.h"
#include "editor/IGraphics.h"
#include "graph/GraphControl10.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace graphtest;

namespace
{
constexpr int kGraphParam = 16;
constexpr int kGraphBitmapId = 128;
constexpr const char* kGraphFile = "resources/img/vectorscope-graph.png";

TEST(GUIHelper9CreateGraphTest, DefinesTheParameterAndPlacesAGraphOfTheBitmapsSize)
{
    TestPlug plug;
    IGraphics graphics(&plug, 456, 486);
    GUIHelper9 kit;
    BitmapRef bitmap;
    GraphControl10* graph =
        kit.CreateGraph(&plug, &graphics, kGraphParam, "VectorscopeGraph2", kGraphBitmapId,
                        kGraphFile, 1, 3, 4, 2, 4096, &bitmap, true);
    ASSERT_NE(graph, nullptr);
    ASSERT_NE(bitmap.bitmap, nullptr);

    const IParam* param = plug.Param(kGraphParam);
    EXPECT_STREQ(param->GetName(), "VectorscopeGraph2");
    EXPECT_EQ(param->Type(), IParam::ParamType::Int);
    EXPECT_EQ(param->GetMin(), 0.0);
    EXPECT_EQ(param->GetMax(), 1.0);
    EXPECT_EQ(param->GetDefault(), 0.0);
    EXPECT_STREQ(param->GetLabel(), "");
    EXPECT_TRUE(param->isMeta);

    EXPECT_EQ(graph->GetRECT(), IRECT(3, 4, 3 + bitmap.width, 4 + bitmap.height));
    EXPECT_EQ(graph->ParamIdx(), kGraphParam);
    EXPECT_EQ(graph->GetNumCurves(), 2);
    EXPECT_EQ(graph->GetNumCurveValues(), 4096);
    const char* font = graph->GetFontPath();
    ASSERT_GT(std::strlen(font), std::strlen("/resources/font.ttf"));
    EXPECT_STREQ(font + std::strlen(font) - std::strlen("/resources/font.ttf"),
                 "/resources/font.ttf");

    ASSERT_EQ(kit.ControlsLayer().GetSize(), 1);
    EXPECT_EQ(kit.ControlsLayer().Get(0), graph);
    EXPECT_EQ(kit.BitmapsLayer().GetSize(), 0);
    EXPECT_EQ(kit.TextsLayer().GetSize(), 0);

    // The background is the loaded bitmap, shown upright.
    graph->SetClearColor(255, 0, 255, 255);
    LICE_IBitmap* frame = graph->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    for (int row : {0, bitmap.height / 2, bitmap.height - 1})
        for (int x : {0, bitmap.width / 3, bitmap.width - 1})
            EXPECT_EQ(PixelDown(frame, x, row), *bitmap.bitmap->PixelAt(x, row))
                << "x=" << x << " row=" << row;
    delete graph; // the editor would own it once attached
}

TEST(GUIHelper9CreateGraphTest, GraphsOfOneBitmapShareItAndOverlapExactly)
{
    TestPlug plug;
    GUIHelper9 kit;
    GraphControl10* graphs[2];
    for (int i = 0; i < 2; ++i)
        graphs[i] = kit.CreateGraph(&plug, nullptr, 14 + i, "VectorscopeGraph", kGraphBitmapId,
                                    kGraphFile, 1, 0, 0, i, 4096, nullptr, false);
    EXPECT_EQ(graphs[0]->GetRECT(), graphs[1]->GetRECT());
    // Without the background the frame is the clear colour alone.
    LICE_IBitmap* frame = graphs[1]->RenderGL(true);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(PixelDown(frame, 5, 5), LICE_RGBA(0, 0, 0, 255));
    for (GraphControl10* g : graphs)
        delete g;
}
} // namespace
