#pragma once
// The vectorscope: keeps the last 4096 samples of each output channel and, after every block,
// turns them into the point set of the current display mode and hands it to that mode's graph.
//
//   mode 0 "POLAR SAMPLES"  polar points          one curve
//   mode 1 "LISSAJOUS"      goniometer points     one curve
//   mode 2 "FLAME"          direction envelopes   two curves (current, peak)
//   mode 3 "GRID"           Pan/Width stage       no curves; its drawer handles the mouse
//   mode 4 "SOURCE"         per-bin source map    one curve
//
// It owns the background drawers of all modes and the computations of modes 2 and 4, and turns
// mouse drags on the display into Pan and Width changes through TWVectorscopePlug.
//
// The drawers live as long as the vectorscope: graphs must not render after it is gone (the
// plug-in deletes it only while tearing down, when the editor no longer draws).
//
// Threads: AddSamples on the audio thread with the plug-in mutex held (allocation free once the
// history and point buffers have grown to their size); SetMode and Reset from the plug-in's
// parameter and reset paths under the same mutex; SetGraphs on the control thread; the mouse
// operations on the editor thread.

#include "framework/SampleBuffer.h"
#include "graph/GraphCustomControl.h"

class ChannelList;
class GraphControl10;
class GraphCustomDrawer;
class SourceComputer;
class TWFireworks;
class TWUpmixGraphDrawer;
class TWVectorscopePlug;

class TWVectorscope : public GraphCustomControl
{
public:
    static constexpr int kNumModes = 5;
    static constexpr int kPolarSamplesMode = 0;
    static constexpr int kLissajousMode = 1;
    static constexpr int kFlameMode = 2;
    static constexpr int kGridMode = 3;
    static constexpr int kSourceMode = 4;
    // Samples kept per channel, and points per curve.
    static constexpr int kHistorySize = 4096;
    static constexpr int kMaxCurves = 2;

    // plug is not owned and may be null.
    TWVectorscope(TWVectorscopePlug* plug, double sampleRateHz);
    ~TWVectorscope() override;

    TWVectorscope(const TWVectorscope&) = delete;
    TWVectorscope& operator=(const TWVectorscope&) = delete;

    // Curves of mode's graph (−1 for an unknown mode), and values per curve.
    static int GetNumCurves(int mode);
    static int GetNumCurveValues(int mode);

    // Takes the five graphs (not owned; any may be null), registers itself as their custom
    // control, gives each its background drawer and curve styles and applies the current mode.
    // Called once; later calls are ignored, since the graphs already hold this vectorscope and
    // its drawers and replacing them would leave those pointers dangling.
    void SetGraphs(GraphControl10* graph0, GraphControl10* graph1, GraphControl10* graph2,
                   GraphControl10* graph3, GraphControl10* graph4);
    // The graphs are gone (their editor deleted them): points are no longer handed on.
    // Call under the plug-in mutex.
    void ForgetGraphs();
    // Enables only mode's graph and restarts the FLAME peaks and the SOURCE analysis; the history
    // stays. A mode outside 0 … 4 is ignored.
    void SetMode(int mode);
    int GetMode() const { return mMode; }
    // New sample rate for the mode 2 and 4 computations; the history stays.
    void Reset(double sampleRateHz);

    // One processed block; anything but exactly two channels is ignored. Channels of different
    // lengths contribute their common length.
    void AddSamples(const ChannelList& channels);

    // The GRID drawer (null before SetGraphs).
    TWUpmixGraphDrawer* GetUpmixDrawer() const { return mUpmixDrawer; }
    // Background drawer of a mode (null before SetGraphs or for an unknown mode).
    GraphCustomDrawer* GetDrawer(int mode) const;
    GraphControl10* GetGraph(int mode) const;

    // The history, left (0) or right (1), newest sample last.
    const SampleBuffer& GetHistory(int channel) const { return mHistory[channel == 0 ? 0 : 1]; }

    // By default a mode without a graph computes nothing. A host without an editor (the command
    // line) turns this on to compute every mode's points anyway.
    void SetComputeWithoutGraphs(bool compute) { mComputeWithoutGraphs = compute; }
    // Copies the last point set computed for mode's curve, as handed to the graph (after the
    // display scaling, before the mapping to pixels). False, leaving x and y as they were, when
    // that mode/curve has computed nothing yet. Call on the thread that calls AddSamples or under
    // the plug-in mutex.
    bool GetLastPoints(int mode, int curve, SampleBuffer* x, SampleBuffer* y) const;

    // GraphCustomControl: in GRID mode passed on to the GRID drawer; otherwise a drag moves Pan
    // (sideways) or, with alt, Width (vertically); shift makes it five times finer.
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void OnMouseUp(int x, int y, const IMouseMod& mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;

private:
    void AppendToHistory(const ChannelList& channels);
    void ApplyCurveStyles(int mode, GraphControl10* graph);
    GraphCustomDrawer* CreateDrawer(int mode, GraphControl10* graph);
    static void ScaleValues(SampleBuffer& values, double factor);

    int mMode = kPolarSamplesMode;
    TWVectorscopePlug* mPlug;
    GraphControl10* mGraphs[kNumModes] = {};
    // Owned background drawers.
    GraphCustomDrawer* mPolarDrawer = nullptr;
    GraphCustomDrawer* mFlameDrawer = nullptr;
    GraphCustomDrawer* mLissajousDrawer = nullptr;
    TWUpmixGraphDrawer* mUpmixDrawer = nullptr;
    GraphCustomDrawer* mSourceDrawer = nullptr;
    TWFireworks* mFireworks;
    SourceComputer* mSourceComputer;
    SampleBuffer mHistory[2];

    bool mGraphsSet = false;
    bool mComputeWithoutGraphs = false;
    // Last point sets per mode and curve, reused every block.
    SampleBuffer mPointsX[kNumModes][kMaxCurves];
    SampleBuffer mPointsY[kNumModes][kMaxCurves];
    bool mHasPoints[kNumModes][kMaxCurves] = {};
};
