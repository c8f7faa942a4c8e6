#include "metering/TWCircleGraphDrawer.h"

#include "framework/BoundedText.h"
#include "graph/GraphControl10.h"
#include "graph/GraphSurface.h"

namespace
{
// cos 45°, and 1 ∓ cos 45° for the x of the circle at 135° and 45° measured from its left end.
constexpr double kCos45 = 0.707106781186548;
constexpr double kLeftAxisFraction = 0.292893218813452;
constexpr double kRightAxisFraction = 1.707106781186548;
// Labels sit this far outside the axis ends and this far above them.
constexpr double kLabelGapPx = 6.0;
constexpr double kLabelRisePx = 20.0;
} // namespace

GraphColor TWDrawerGrey()
{
    return GraphSurface::RGBA(TWDrawerText::kGrey[0], TWDrawerText::kGrey[1],
                              TWDrawerText::kGrey[2], TWDrawerText::kGrey[3]);
}

GraphColor TWDrawerFill()
{
    return GraphSurface::RGBA(0, 128, 255, 255);
}

TWDrawerTitle::TWDrawerTitle(const char* text) : hasTitle(text != nullptr)
{
    CopyBoundedText(title, kMaxBytes, text);
}

void TWDrawerTitle::Draw(GraphSurface* surface, int height) const
{
    if (!hasTitle)
        return;
    GraphControl10::DrawText(surface, title, TWDrawerText::kGrey, GRAPH_ALIGN_LEFT, GRAPH_ALIGN_TOP,
                             TWDrawerText::kTitleInsetPx, height - TWDrawerText::kTitleInsetPx,
                             TWDrawerText::kSize, TWDrawerText::kScale);
}

TWCircleGraphDrawer::TWCircleGraphDrawer(const char* title) : mTitle(title) {}

void TWCircleGraphDrawer::DrawOutline(GraphSurface* surface, int width)
{
    const double w = width;
    const double r = w / 2.0 - kMarginPx;
    surface->StrokeWidth(2.0f);
    surface->StrokeColor(TWDrawerGrey());
    surface->FillColor(TWDrawerFill());

    // Whole circle plus base line; the lower half falls outside the graph.
    surface->BeginPath();
    surface->Circle(static_cast<float>(w / 2.0), 0.0f, static_cast<float>(r));
    surface->MoveTo(kMarginPx, 1.0f);
    surface->LineTo(static_cast<float>(w - kMarginPx), 1.0f);
    surface->ClosePath();
    surface->Stroke();
}

void TWCircleGraphDrawer::DrawChannelLabels(GraphSurface* surface, int width)
{
    const double r = width / 2.0 - kMarginPx;
    const float labelY = static_cast<float>(kCos45 * r + kLabelRisePx);
    GraphControl10::DrawText(surface, "LEFT", TWDrawerText::kGrey, GRAPH_ALIGN_RIGHT,
                             GRAPH_ALIGN_MIDDLE,
                             static_cast<float>(kMarginPx + kLeftAxisFraction * r - kLabelGapPx),
                             labelY, TWDrawerText::kSize, TWDrawerText::kScale);
    GraphControl10::DrawText(surface, "RIGHT", TWDrawerText::kGrey, GRAPH_ALIGN_LEFT,
                             GRAPH_ALIGN_MIDDLE,
                             static_cast<float>(kMarginPx + kRightAxisFraction * r + kLabelGapPx),
                             labelY, TWDrawerText::kSize, TWDrawerText::kScale);
}

void TWCircleGraphDrawer::PreDraw(GraphSurface* surface, int width, int height)
{
    if (!surface)
        return;
    DrawOutline(surface, width);

    // Channel axes from the centre of the base to the circle at 135° and 45°, pulled in by one
    // pixel.
    const double w = width;
    const double r = w / 2.0 - kMarginPx;
    const float axisY = static_cast<float>(kCos45 * r);
    const float axisEndsX[2] = {static_cast<float>(kMarginPx + kLeftAxisFraction * r + 1.0),
                                static_cast<float>(kMarginPx + kRightAxisFraction * r - 1.0)};
    surface->StrokeWidth(1.0f);
    for (float endX : axisEndsX)
    {
        surface->BeginPath();
        surface->MoveTo(static_cast<float>(w / 2.0), 1.0f);
        surface->LineTo(endX, axisY);
        surface->ClosePath();
        surface->Stroke();
    }

    DrawChannelLabels(surface, width);
    mTitle.Draw(surface, height);
}
