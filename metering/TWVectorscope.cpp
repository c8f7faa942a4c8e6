#include "metering/TWVectorscope.h"

#include "framework/ChannelList.h"
#include "graph/GraphControl10.h"
#include "metering/LissajousSamples.h"
#include "metering/ParandelGraphDrawer3.h"
#include "metering/PolarSamples.h"
#include "metering/SourceComputer.h"
#include "metering/TWCircleGraphDrawer.h"
#include "metering/TWFireworks.h"
#include "metering/TWLissajousGraphDrawer.h"
#include "metering/TWUpmixGraphDrawer.h"
#include "metering/TWVectorscopePlug.h"

#include <algorithm>

namespace
{
const char* const kTitles[TWVectorscope::kNumModes] = {"POLAR SAMPLES", "LISSAJOUS", "FLAME",
                                                       "GRID", "SOURCE"};
constexpr int kNumCurves[TWVectorscope::kNumModes] = {1, 1, 2, 0, 1};

// Half-disc displays leave a little room above the points; the Lissajous diamond is drawn at the
// same scale as its points.
constexpr double kHalfDiscYScale = 0.95;
constexpr double kLissajousScale = 0.8;

// Normalised parameter change per pixel of drag, and the factor shift applies.
constexpr double kDragPerPixel = 0.005;
constexpr double kFineDragFactor = 0.2;

struct CurveStyle
{
    int mode;
    int curve;
    double minX, maxX, minY, maxY;
    double pointSize;
    bool rays, linked, additive, bevel;
    int r, g, b;
    double fillAlpha;
};

constexpr CurveStyle kCurveStyles[] = {
    {0, 0, -1.0, 1.0, 0.0, 1.0, 5.0, false, false, true, false, 113, 130, 182, 0.25},
    {1, 0, -1.0, 1.0, -1.0, 1.0, 2.0, false, false, true, false, 113, 130, 182, 0.25},
    // Current envelope: rays from the bottom centre.
    {2, 0, -1.0, 1.0, 0.0, 1.0, 2.0, true, true, false, false, 153, 176, 246, 1.0},
    // Peak envelope: a white polyline.
    {2, 1, -1.0, 1.0, 0.0, 1.0, 3.0, false, true, false, true, 255, 255, 255, 1.0},
    {4, 0, -1.0, 1.0, 0.0, 1.0, 5.0, false, false, true, false, 113, 130, 182, 0.25},
};

bool IsValidMode(int mode)
{
    return mode >= 0 && mode < TWVectorscope::kNumModes;
}
} // namespace

TWVectorscope::TWVectorscope(TWVectorscopePlug* plug, double sampleRateHz)
    : mPlug(plug), mFireworks(new TWFireworks(sampleRateHz)),
      mSourceComputer(new SourceComputer(sampleRateHz))
{
    // Room for the window plus a generous block, so that ordinary blocks never grow it.
    for (SampleBuffer& h : mHistory)
        h.Reserve(2 * kHistorySize);
    // Point sets hold at most one point per history sample (or analysis bin).
    for (int m = 0; m < kNumModes; ++m)
        for (int c = 0; c < kMaxCurves; ++c)
        {
            mPointsX[m][c].Reserve(kHistorySize);
            mPointsY[m][c].Reserve(kHistorySize);
        }
}

TWVectorscope::~TWVectorscope()
{
    delete mPolarDrawer;
    delete mFlameDrawer;
    delete mLissajousDrawer;
    delete mUpmixDrawer;
    delete mSourceDrawer;
    delete mFireworks;
    delete mSourceComputer;
}

int TWVectorscope::GetNumCurves(int mode)
{
    return IsValidMode(mode) ? kNumCurves[mode] : -1;
}

int TWVectorscope::GetNumCurveValues(int /*mode*/)
{
    return kHistorySize;
}

GraphControl10* TWVectorscope::GetGraph(int mode) const
{
    return IsValidMode(mode) ? mGraphs[mode] : nullptr;
}

GraphCustomDrawer* TWVectorscope::GetDrawer(int mode) const
{
    switch (mode)
    {
    case kPolarSamplesMode:
        return mPolarDrawer;
    case kLissajousMode:
        return mLissajousDrawer;
    case kFlameMode:
        return mFlameDrawer;
    case kGridMode:
        return mUpmixDrawer;
    case kSourceMode:
        return mSourceDrawer;
    default:
        return nullptr;
    }
}

GraphCustomDrawer* TWVectorscope::CreateDrawer(int mode, GraphControl10* graph)
{
    switch (mode)
    {
    case kPolarSamplesMode:
        return mPolarDrawer = new TWCircleGraphDrawer(kTitles[mode]);
    case kLissajousMode:
        return mLissajousDrawer = new TWLissajousGraphDrawer(kTitles[mode], kLissajousScale);
    case kFlameMode:
        return mFlameDrawer = new TWCircleGraphDrawer(kTitles[mode]);
    case kGridMode:
        return mUpmixDrawer = new TWUpmixGraphDrawer(mPlug, graph, kTitles[mode]);
    case kSourceMode:
        return mSourceDrawer = new ParandelGraphDrawer3(kTitles[mode]);
    default:
        return nullptr;
    }
}

void TWVectorscope::ApplyCurveStyles(int mode, GraphControl10* graph)
{
    for (const CurveStyle& s : kCurveStyles)
    {
        if (s.mode != mode)
            continue;
        graph->SetCurveXScale(s.curve, false, s.minX, s.maxX);
        graph->SetCurveYScale(s.curve, false, s.minY, s.maxY);
        graph->SetCurvePointSize(s.curve, s.pointSize);
        graph->SetCurvePointStyle(s.curve, true, s.rays, s.linked);
        graph->SetCurveAdditive(s.curve, s.additive);
        graph->SetCurveBevel(s.curve, s.bevel);
        graph->SetCurveColor(s.curve, s.r, s.g, s.b);
        graph->SetCurveFillAlpha(s.curve, s.fillAlpha);
    }
}

void TWVectorscope::SetGraphs(GraphControl10* graph0, GraphControl10* graph1,
                              GraphControl10* graph2, GraphControl10* graph3,
                              GraphControl10* graph4)
{
    if (mGraphsSet)
        return;
    mGraphsSet = true;
    GraphControl10* const graphs[kNumModes] = {graph0, graph1, graph2, graph3, graph4};
    for (int i = 0; i < kNumModes; ++i)
        mGraphs[i] = graphs[i];
    for (GraphControl10* g : mGraphs)
        if (g)
            g->AddCustomControl(this);
    for (int mode = 0; mode < kNumModes; ++mode)
    {
        GraphControl10* g = mGraphs[mode];
        if (!g)
            continue;
        g->SetBounds(0.0, 0.0, 1.0, 1.0);
        g->SetClearColor(0, 0, 0, 255);
        g->AddCustomDrawer(CreateDrawer(mode, g));
        ApplyCurveStyles(mode, g);
        g->SetPointsCentered(true);
    }
    SetMode(mMode);
}

void TWVectorscope::ForgetGraphs()
{
    for (GraphControl10*& g : mGraphs)
        g = nullptr;
    if (mUpmixDrawer)
        mUpmixDrawer->ForgetGraph();
}

void TWVectorscope::SetMode(int mode)
{
    if (!IsValidMode(mode))
        return;
    mMode = mode;
    for (int i = 0; i < kNumModes; ++i)
    {
        GraphControl10* g = mGraphs[i];
        if (!g)
            continue;
        g->SetEnabled(i == mode);
        g->SetMouseTransparent(i != mode);
        g->SetDirty(false);
        g->SetNeedsRender(true);
    }
    mFireworks->Reset();
    mSourceComputer->Reset();
}

void TWVectorscope::Reset(double sampleRateHz)
{
    mFireworks->Reset(sampleRateHz);
    mSourceComputer->Reset(sampleRateHz);
}

void TWVectorscope::AppendToHistory(const ChannelList& channels)
{
    // Only the common length is taken, so that left and right stay sample-aligned.
    const int n = std::min(channels[0].GetSize(), channels[1].GetSize());
    for (int c = 0; c < 2; ++c)
    {
        SampleBuffer& h = mHistory[c];
        if (n > 0)
            h.Add(channels[c].Get(), n);
        const int excess = h.GetSize() - kHistorySize;
        if (excess > 0)
            h.Delete(0, excess);
    }
}

void TWVectorscope::ScaleValues(SampleBuffer& values, double factor)
{
    double* v = values.Get();
    for (int i = 0; i < values.GetSize(); ++i)
        v[i] *= factor;
}

void TWVectorscope::AddSamples(const ChannelList& channels)
{
    if (channels.GetSize() != 2)
        return;
    AppendToHistory(channels);

    GraphControl10* graph = mGraphs[mMode];
    if (!graph && !mComputeWithoutGraphs)
        return;
    const SampleBuffer& left = mHistory[0];
    const SampleBuffer& right = mHistory[1];
    SampleBuffer* x = mPointsX[mMode];
    SampleBuffer* y = mPointsY[mMode];
    switch (mMode)
    {
    case kPolarSamplesMode:
        PolarSamples(left, right, x[0], y[0]);
        ScaleValues(y[0], kHalfDiscYScale);
        if (graph)
            graph->SetCurvePoints(0, x[0], y[0]);
        mHasPoints[mMode][0] = true;
        break;
    case kLissajousMode:
        LissajousSamples(left, right, true, x[0], y[0]);
        ScaleValues(x[0], kLissajousScale);
        ScaleValues(y[0], kLissajousScale);
        // Both axes on the graph's height, the square centred horizontally.
        if (graph)
            graph->SetCurvePointsSquare(0, x[0], y[0], true, false, true);
        mHasPoints[mMode][0] = true;
        break;
    case kFlameMode:
        mFireworks->ComputePoints(left, right, x[0], y[0], x[1], y[1]);
        ScaleValues(y[0], kHalfDiscYScale);
        ScaleValues(y[1], kHalfDiscYScale);
        if (graph)
        {
            graph->SetCurvePoints(0, x[0], y[0]);
            graph->SetCurvePoints(1, x[1], y[1]);
        }
        mHasPoints[mMode][0] = mHasPoints[mMode][1] = true;
        break;
    case kSourceMode:
        mSourceComputer->ComputePoints(left, right, x[0], y[0]);
        ScaleValues(y[0], kHalfDiscYScale);
        if (graph)
            graph->SetCurvePoints(0, x[0], y[0]);
        mHasPoints[mMode][0] = true;
        break;
    default: // GRID shows no audio
        break;
    }
}

bool TWVectorscope::GetLastPoints(int mode, int curve, SampleBuffer* x, SampleBuffer* y) const
{
    if (!IsValidMode(mode) || curve < 0 || curve >= kMaxCurves || !mHasPoints[mode][curve])
        return false;
    if (x)
        x->Set(mPointsX[mode][curve].Get(), mPointsX[mode][curve].GetSize());
    if (y)
        y->Set(mPointsY[mode][curve].Get(), mPointsY[mode][curve].GetSize());
    return true;
}

void TWVectorscope::OnMouseDown(int x, int y, const IMouseMod& mod)
{
    if (mMode == kGridMode && mUpmixDrawer)
        mUpmixDrawer->OnMouseDown(x, y, mod);
}

void TWVectorscope::OnMouseUp(int x, int y, const IMouseMod& mod)
{
    if (mMode == kGridMode && mUpmixDrawer)
        mUpmixDrawer->OnMouseUp(x, y, mod);
}

void TWVectorscope::OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod)
{
    if (mMode == kGridMode)
    {
        if (mUpmixDrawer)
            mUpmixDrawer->OnMouseDrag(x, y, dX, dY, mod);
        return;
    }
    double panDelta = 0.0;
    double widthDelta = 0.0;
    if (mod.A)
        widthDelta = -kDragPerPixel * dY; // y grows downward: dragging up widens
    else
        panDelta = kDragPerPixel * dX;
    if (mod.S)
    {
        panDelta *= kFineDragFactor;
        widthDelta *= kFineDragFactor;
    }
    if (!mPlug)
        return;
    mPlug->AddPan(panDelta);
    mPlug->AddWidth(widthDelta);
}
