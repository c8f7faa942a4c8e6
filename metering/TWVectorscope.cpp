#include "metering/TWVectorscope.h"

#include "framework/ChannelList.h"
#include "framework/IPlugBase.h"
#include "framework/WDL_Mutex.h"
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
    : mPlug(plug), mFireworks(std::make_unique<TWFireworks>(sampleRateHz)),
      mSourceComputer(std::make_unique<SourceComputer>(sampleRateHz)),
      mHistory(TWFireworks::kNumBins)
{
    // Point sets hold at most one point per history sample (or analysis bin).
    for (int m = 0; m < kNumModes; ++m)
        for (int c = 0; c < kMaxCurves; ++c)
        {
            mPointsX[m][c].Reserve(kHistorySize);
            mPointsY[m][c].Reserve(kHistorySize);
        }
    for (SampleBuffer& w : mWindowCopy)
        w.Reserve(kHistorySize);
}

TWVectorscope::~TWVectorscope() = default;

int TWVectorscope::GetNumCurves(int mode)
{
    return IsValidMode(mode) ? kNumCurves[mode] : -1;
}

int TWVectorscope::GetNumCurveValues(int /*mode*/)
{
    return kHistorySize;
}

GraphCustomDrawer* TWVectorscope::GetDrawer(int mode) const
{
    switch (mode)
    {
    case kPolarSamplesMode:
        return mPolarDrawer.get();
    case kLissajousMode:
        return mLissajousDrawer.get();
    case kFlameMode:
        return mFlameDrawer.get();
    case kGridMode:
        return mUpmixDrawer.get();
    case kSourceMode:
        return mSourceDrawer.get();
    default:
        return nullptr;
    }
}

GraphCustomDrawer* TWVectorscope::CreateDrawer(int mode, GraphControl10* graph)
{
    switch (mode)
    {
    case kPolarSamplesMode:
        mPolarDrawer = std::make_unique<TWCircleGraphDrawer>(kTitles[mode]);
        return mPolarDrawer.get();
    case kLissajousMode:
        mLissajousDrawer = std::make_unique<TWLissajousGraphDrawer>(kTitles[mode], kLissajousScale);
        return mLissajousDrawer.get();
    case kFlameMode:
        mFlameDrawer = std::make_unique<TWCircleGraphDrawer>(kTitles[mode]);
        return mFlameDrawer.get();
    case kGridMode:
        mUpmixDrawer = std::make_unique<TWUpmixGraphDrawer>(mPlug, graph, kTitles[mode]);
        return mUpmixDrawer.get();
    case kSourceMode:
        mSourceDrawer = std::make_unique<ParandelGraphDrawer3>(kTitles[mode]);
        return mSourceDrawer.get();
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
        {
            g->AddCustomControl(this);
            // Kept when the graphs go: it is the plug-in's, which outlives this vectorscope.
            if (!mPlugMutex && g->GetPlug())
                mPlugMutex = g->GetPlug()->GetMutex();
        }
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
    RestartStatefulModes();
}

void TWVectorscope::RestartStatefulModes()
{
    mFireworks->Reset();
    mSourceComputer->Reset();
}

void TWVectorscope::Reset(double sampleRateHz)
{
    mFireworks->Reset(sampleRateHz);
    mSourceComputer->Reset(sampleRateHz);
}

void TWVectorscope::SetViewOpen(bool open)
{
    const bool watched = IsWatched();
    mViewOpen = open;
    if (!watched && IsWatched())
        RestartStatefulModes();
}

void TWVectorscope::SetComputeWithoutGraphs(bool compute)
{
    const bool watched = IsWatched();
    mComputeWithoutGraphs = compute;
    if (!watched && IsWatched())
        RestartStatefulModes();
}

bool TWVectorscope::IsWatched() const
{
    return mComputeWithoutGraphs || (mViewOpen && mGraphs[mMode]);
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
    // Only the common length is taken, so that left and right stay sample-aligned.
    AddSamples(channels[0].Get(), channels[1].Get(),
               std::min(channels[0].GetSize(), channels[1].GetSize()));
}

void TWVectorscope::AddSamples(const double* left, const double* right, int n)
{
    // SOURCE reads its last frame and carried samples in the window: the append may move or
    // drop them.
    mSourceComputer->BeforeAppend(mHistory, n);
    mHistory.Append(left, right, n);
    if (!IsWatched())
        return;
    if (mTrackAllModes)
    {
        for (int mode = 0; mode < kNumModes; ++mode)
            UpdateMode(mode);
    }
    else
    {
        UpdateMode(mMode);
    }
    if (GraphControl10* graph = mGraphs[mMode]; graph && mMode != kGridMode)
        graph->SetPointsArrived();
}

void TWVectorscope::UpdateMode(int mode)
{
    switch (mode)
    {
    case kPolarSamplesMode:
    case kLissajousMode:
        mHasPoints[mode][0] = true;
        break;
    case kFlameMode:
        // The envelopes and held peaks follow every block; the points wait until looked at.
        mHistory.UpdateDirections();
        mFireworks->Update(mHistory.Bins(), mHistory.Radii(), mHistory.Size(),
                           mHistory.BinCounts());
        mHasPoints[mode][0] = mHasPoints[mode][1] = true;
        break;
    case kSourceMode:
        // The frames advance now; the analysis waits until the points are looked at.
        mSourceComputer->AddWindow(mHistory);
        mHasPoints[mode][0] = true;
        break;
    default: // GRID shows no audio
        return;
    }
    mWindowChanged[mode] = true;
    mGraphOutdated[mode] = true;
}

void TWVectorscope::EnsurePoints(int mode) const
{
    if (!mWindowChanged[mode] || mode == kGridMode)
        return;
    mWindowChanged[mode] = false;
    if (mode == kFlameMode)
    {
        SampleBuffer* x = mPointsX[mode];
        SampleBuffer* y = mPointsY[mode];
        mFireworks->GetPoints(x[0], y[0], x[1], y[1]);
        ScaleValues(y[0], kHalfDiscYScale);
        ScaleValues(y[1], kHalfDiscYScale);
        return;
    }
    if (mode == kSourceMode)
    {
        mSourceComputer->GetPoints(mPointsX[mode][0], mPointsY[mode][0]);
        ScaleValues(mPointsY[mode][0], kHalfDiscYScale);
        return;
    }
    GetHistory(0);
    GetHistory(1);
    SampleBuffer& x = mPointsX[mode][0];
    SampleBuffer& y = mPointsY[mode][0];
    if (mode == kPolarSamplesMode)
    {
        PolarSamples(mWindowCopy[0], mWindowCopy[1], x, y);
        ScaleValues(y, kHalfDiscYScale);
    }
    else
    {
        LissajousSamples(mWindowCopy[0], mWindowCopy[1], true, x, y);
        ScaleValues(x, kLissajousScale);
        ScaleValues(y, kLissajousScale);
    }
}

void TWVectorscope::PrepareFrame(GraphControl10* graph)
{
    const int mode = mMode;
    if (!graph || graph != mGraphs[mode] || !mGraphOutdated[mode])
        return;
    mGraphOutdated[mode] = false;
    EnsurePoints(mode);
    SampleBuffer* x = mPointsX[mode];
    SampleBuffer* y = mPointsY[mode];
    switch (mode)
    {
    case kLissajousMode:
        // Both axes on the graph's height, the square centred horizontally.
        graph->SetCurvePointsSquare(0, x[0], y[0], true, false, true);
        break;
    case kFlameMode:
        graph->SetCurvePoints(0, x[0], y[0]);
        graph->SetCurvePoints(1, x[1], y[1]);
        break;
    case kPolarSamplesMode:
    case kSourceMode:
        graph->SetCurvePoints(0, x[0], y[0]);
        break;
    default:
        break;
    }
}

const SampleBuffer& TWVectorscope::GetHistory(int channel) const
{
    SampleBuffer& copy = mWindowCopy[channel == 0 ? 0 : 1];
    copy.Set(channel == 0 ? mHistory.Left() : mHistory.Right(), mHistory.Size(), false);
    return copy;
}

bool TWVectorscope::GetLastPoints(int mode, int curve, SampleBuffer* x, SampleBuffer* y) const
{
    if (!IsValidMode(mode) || curve < 0 || curve >= kMaxCurves || !mHasPoints[mode][curve])
        return false;
    EnsurePoints(mode);
    if (x)
        x->Set(mPointsX[mode][curve].Get(), mPointsX[mode][curve].GetSize());
    if (y)
        y->Set(mPointsY[mode][curve].Get(), mPointsY[mode][curve].GetSize());
    return true;
}

// The mouse arrives on the editor thread while the mode changes under the plug-in mutex: the
// handlers read it under that mutex too.
void TWVectorscope::OnMouseDown(int x, int y, const IMouseMod& mod)
{
    WDL_MutexLock lock(mPlugMutex);
    if (mMode == kGridMode && mUpmixDrawer)
        mUpmixDrawer->OnMouseDown(x, y, mod);
}

void TWVectorscope::OnMouseUp(int x, int y, const IMouseMod& mod)
{
    WDL_MutexLock lock(mPlugMutex);
    if (mMode == kGridMode && mUpmixDrawer)
        mUpmixDrawer->OnMouseUp(x, y, mod);
}

void TWVectorscope::OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod)
{
    WDL_MutexLock lock(mPlugMutex);
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
