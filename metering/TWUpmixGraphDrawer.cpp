#include "metering/TWUpmixGraphDrawer.h"

#include "framework/IPlugBase.h"
#include "framework/MathConstants.h"
#include "framework/WDL_Mutex.h"
#include "graph/GraphControl10.h"
#include "graph/GraphSurface.h"
#include "metering/TWVectorscopePlug.h"

#include <cmath>

TWUpmixGraphDrawer::TWUpmixGraphDrawer(TWVectorscopePlug* plug, GraphControl10* graph,
                                       const char* title)
    : mPlug(plug), mGraph(graph),
      mPlugMutex(graph && graph->GetPlug() ? graph->GetPlug()->GetMutex() : nullptr), mTitle(title)
{
}

void TWUpmixGraphDrawer::SetWidth(double normalisedWidth)
{
    mWidth = normalisedWidth;
    MarkGraph();
}

void TWUpmixGraphDrawer::SetPan(double pan)
{
    mPan = pan;
    MarkGraph();
}

void TWUpmixGraphDrawer::SetDepth(double depth)
{
    mDepth = depth;
    MarkGraph();
}

void TWUpmixGraphDrawer::MarkGraph()
{
    if (!mGraph)
        return;
    mGraph->SetNeedsRender(true);
    mGraph->SetDirty(false);
}

TWUpmixGraphDrawer::Ball TWUpmixGraphDrawer::ComputeBall(int width, int height) const
{
    const double h = height;
    const double cx = width / 2.0;
    const double cy = kListenerY * h;
    const double angle = kPi / 2.0 - kHalfSpreadRad * mPan;
    const double distance = (kInnerRadius + kDepthSpan * mDepth) * h;
    return {cx + distance * std::cos(angle), cy + distance * std::sin(angle), kCoreRadius * h,
            (kHaloRadius + kHaloRadius * mWidth) * h};
}

void TWUpmixGraphDrawer::GetBall(double* centreX, double* centreY, double* haloRadius) const
{
    const Ball b = ComputeBall(mLastWidth, mLastHeight);
    if (centreX)
        *centreX = b.x;
    if (centreY)
        *centreY = b.y;
    if (haloRadius)
        *haloRadius = b.haloRadius;
}

void TWUpmixGraphDrawer::PreDraw(GraphSurface* surface, int width, int height)
{
    mLastWidth = width;
    mLastHeight = height;
    if (!surface)
        return;

    const double h = height;
    const float cx = static_cast<float>(width / 2.0);
    const float cy = static_cast<float>(kListenerY * h);
    const double a0 = kPi / 2.0 - kHalfSpreadRad;
    const double a1 = kPi / 2.0 + kHalfSpreadRad;

    surface->StrokeWidth(2.0f);
    surface->StrokeColor(TWDrawerGrey());
    for (int k = 0; k < kNumArcs; ++k)
    {
        surface->BeginPath();
        surface->Arc(cx, cy, static_cast<float>((kInnerRadius + kArcStep * k) * h),
                     static_cast<float>(a0), static_cast<float>(a1), GRAPH_CW);
        surface->Stroke();
    }
    const double inner = kInnerRadius * h;
    const double outer = (kInnerRadius + kArcStep * (kNumArcs - 1)) * h;
    for (int k = 0; k < kNumRadials; ++k)
    {
        const double a = a0 + 2.0 * kHalfSpreadRad * k / (kNumRadials - 1);
        surface->BeginPath();
        surface->MoveTo(static_cast<float>(cx + inner * std::cos(a)),
                        static_cast<float>(cy + inner * std::sin(a)));
        surface->LineTo(static_cast<float>(cx + outer * std::cos(a)),
                        static_cast<float>(cy + outer * std::sin(a)));
        surface->Stroke();
    }

    const Ball b = ComputeBall(width, height);
    const float bx = static_cast<float>(b.x);
    const float by = static_cast<float>(b.y);
    surface->FillColor(GraphSurface::RGBA(153, 176, 246, 255));
    surface->BeginPath();
    surface->Circle(bx, by, static_cast<float>(b.coreRadius));
    surface->Fill();
    surface->FillColor(GraphSurface::RGBA(193, 229, 237, 64));
    surface->BeginPath();
    surface->Circle(bx, by, static_cast<float>(b.haloRadius));
    surface->Fill();
    surface->StrokeWidth(2.0f);
    surface->StrokeColor(GraphSurface::RGBA(153, 176, 246, 200));
    surface->BeginPath();
    surface->Circle(bx, by, static_cast<float>(b.coreRadius));
    surface->Stroke();
    surface->StrokeColor(GraphSurface::RGBA(255, 255, 255, 255));
    surface->BeginPath();
    surface->Circle(bx, by, static_cast<float>(b.haloRadius));
    surface->Stroke();

    mTitle.Draw(surface, height);
}

// The handlers read pan, width and the drawn size, which the plug-in's parameter changes and the
// graph's render write under the plug-in mutex: they read under it too.
void TWUpmixGraphDrawer::OnMouseDown(int x, int y, const IMouseMod& /*mod*/)
{
    WDL_MutexLock lock(mPlugMutex);
    const Ball b = ComputeBall(mLastWidth, mLastHeight);
    const double dx = x - b.x;
    const double dy = (mLastHeight - y) - b.y;
    if (dx * dx + dy * dy <= b.haloRadius * b.haloRadius)
        mDragging = true;
}

void TWUpmixGraphDrawer::OnMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/)
{
    WDL_MutexLock lock(mPlugMutex);
    mDragging = false;
}

void TWUpmixGraphDrawer::OnMouseDrag(int x, int y, int /*dX*/, int dY, const IMouseMod& mod)
{
    WDL_MutexLock lock(mPlugMutex);
    // Before the first draw the stage has no size, and a drag would divide by a zero height.
    if (!mDragging || mLastHeight <= 0)
        return;
    const double h = mLastHeight;
    if (mod.A)
    {
        if (mPlug)
            mPlug->AddWidth(-dY / h);
    }
    else
    {
        // Only the pointer's direction from the listening point matters.
        const double a = std::atan2((h - y) - kListenerY * h, x - mLastWidth / 2.0);
        if (mPlug)
            mPlug->SetPan((kPi / 2.0 - a) / kHalfSpreadRad);
    }
    MarkGraph();
}
