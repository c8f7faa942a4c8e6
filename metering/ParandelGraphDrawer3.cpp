#include "metering/ParandelGraphDrawer3.h"

#include "graph/GraphControl10.h"
#include "graph/GraphSurface.h"

namespace
{
// The labels stand where the polar background's channel axes end: at 135° and 45° on the circle,
// whose x measured from its left end is r × (1 ∓ cos 45°), and at height r × cos 45°.
constexpr double kCos45 = 0.707106781186548;
constexpr double kLeftLabelFraction = 0.292893218813452;
constexpr double kRightLabelFraction = 1.707106781186548;
// Labels sit this far outside those points and this far above them.
constexpr double kLabelGapPx = 6.0;
constexpr double kLabelRisePx = 20.0;
constexpr float kOutlineWidthPx = 2.0f;
} // namespace

ParandelGraphDrawer3::ParandelGraphDrawer3(const char* title) : mTitle(title) {}

void ParandelGraphDrawer3::PreDraw(GraphSurface* surface, int width, int height)
{
    if (!surface)
        return;
    const double margin = TWCircleGraphDrawer::kMarginPx;
    const double w = width;
    const double r = w / 2.0 - margin;
    surface->StrokeWidth(kOutlineWidthPx);
    surface->StrokeColor(TWDrawerGrey());
    surface->FillColor(TWDrawerFill());

    // Whole circle plus base line; the lower half falls outside the graph.
    surface->BeginPath();
    surface->Circle(static_cast<float>(w / 2.0), 0.0f, static_cast<float>(r));
    surface->MoveTo(static_cast<float>(margin), 1.0f);
    surface->LineTo(static_cast<float>(w - margin), 1.0f);
    surface->ClosePath();
    surface->Stroke();

    const float labelY = static_cast<float>(kCos45 * r + kLabelRisePx);
    GraphControl10::DrawText(surface, "LEFT", TWDrawerText::kGrey, GRAPH_ALIGN_RIGHT,
                             GRAPH_ALIGN_MIDDLE,
                             static_cast<float>(margin + kLeftLabelFraction * r - kLabelGapPx),
                             labelY, TWDrawerText::kSize, TWDrawerText::kScale);
    GraphControl10::DrawText(surface, "RIGHT", TWDrawerText::kGrey, GRAPH_ALIGN_LEFT,
                             GRAPH_ALIGN_MIDDLE,
                             static_cast<float>(margin + kRightLabelFraction * r + kLabelGapPx),
                             labelY, TWDrawerText::kSize, TWDrawerText::kScale);

    mTitle.Draw(surface, height);
}
