#pragma once
// The vectorscope: keeps the last 4096 samples of each output channel and turns them into the
// point set of the current display mode for that mode's graph.
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
// Work only for what is seen: while nobody looks (no view open, no command-line picture) a block
// only enters the window. While somebody does, FLAME and SOURCE, whose displays carry state from
// block to block (the held peaks, the frame analysis), update after every block; POLAR SAMPLES
// and LISSAJOUS depend on the window alone, so their points are computed when a frame is drawn
// or the points are asked for; FLAME keeps its envelopes up to date every block but turns only
// the shown ones into points; SOURCE advances its frames every block but analyses only the
// frame that is shown. Either way the points are those the per-block computation gave.
//
// The drawers live as long as the vectorscope: graphs must not render after it is gone (the
// plug-in deletes it only while tearing down, when the editor no longer draws).
//
// Threads: AddSamples on the audio thread with the plug-in mutex held (allocation free once the
// history and point buffers have grown to their size); SetMode and Reset from the plug-in's
// parameter and reset paths under the same mutex; SetGraphs on the control thread; the mouse
// operations on the editor thread, taking the plug-in mutex (through the graphs' plug-in) to
// read the mode.

#include "framework/SampleBuffer.h"
#include "graph/GraphCustomControl.h"
#include "metering/ScopeHistory.h"

#include <memory>

class ChannelList;
class GraphControl10;
class GraphCustomDrawer;
class SourceComputer;
class TWFireworks;
class TWUpmixGraphDrawer;
class TWVectorscopePlug;
class WDL_Mutex;

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
    static constexpr int kHistorySize = ScopeHistory::kWindow;
    static constexpr int kMaxCurves = 2;

    // plug is not owned and may be null.
    TWVectorscope(TWVectorscopePlug* plug, double sampleRateHz);
    ~TWVectorscope() override;

    TWVectorscope(const TWVectorscope&) = delete;
    TWVectorscope& operator=(const TWVectorscope&) = delete;

    // The window of the last samples added, for a reader of recent output (under the plug-in
    // mutex).
    const ScopeHistory& GetWindow() const { return mHistory; }

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
    // The editor's view opened or closed. Opening restarts the FLAME peaks and the SOURCE
    // analysis, as a mode switch does, unless they were running already. Under the plug-in mutex.
    void SetViewOpen(bool open);

    // One processed block; anything but exactly two channels is ignored. Channels of different
    // lengths contribute their common length.
    void AddSamples(const ChannelList& channels);
    // The same from n samples of each channel.
    void AddSamples(const double* left, const double* right, int n);

    // The GRID drawer (null before SetGraphs).
    TWUpmixGraphDrawer* GetUpmixDrawer() const { return mUpmixDrawer.get(); }
    // Background drawer of a mode (null before SetGraphs or for an unknown mode).
    GraphCustomDrawer* GetDrawer(int mode) const;

    // A copy of the window, left (0) or right (1), newest sample last. Same thread rules as
    // GetLastPoints.
    const SampleBuffer& GetHistory(int channel) const;

    // By default the scope computes only while a view is open and its mode's graph exists. A
    // host without a view that still wants pictures or points (the command line) turns this on
    // before audio starts; turning it on restarts FLAME and SOURCE as opening a view does.
    void SetComputeWithoutGraphs(bool compute);
    // Analysis: FLAME and SOURCE update after every block whatever the mode, so that one pass
    // gives the points of every mode as a pass in each mode would.
    void SetTrackAllModes(bool track) { mTrackAllModes = track; }
    // Copies the last point set computed for mode's curve, as handed to the graph (after the
    // display scaling, before the mapping to pixels). False, leaving x and y as they were, when
    // that mode/curve has computed nothing yet. Call on the thread that calls AddSamples or under
    // the plug-in mutex.
    bool GetLastPoints(int mode, int curve, SampleBuffer* x, SampleBuffer* y) const;

    // GraphCustomControl: a graph is about to draw a frame; the current mode's new points go to
    // it now. Under the plug-in mutex (the graph takes it).
    void PrepareFrame(GraphControl10* graph) override;

    // GraphCustomControl: in GRID mode passed on to the GRID drawer; otherwise a drag moves Pan
    // (sideways) or, with alt, Width (vertically); shift makes it five times finer.
    void OnMouseDown(int x, int y, const IMouseMod& mod) override;
    void OnMouseUp(int x, int y, const IMouseMod& mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;

private:
    bool IsWatched() const;
    // The per-block update of a mode that shows audio.
    void UpdateMode(int mode);
    // The points of a mode that shows audio, computed when new samples came.
    void EnsurePoints(int mode) const;
    void RestartStatefulModes();
    void ApplyCurveStyles(int mode, GraphControl10* graph);
    GraphCustomDrawer* CreateDrawer(int mode, GraphControl10* graph);
    static void ScaleValues(SampleBuffer& values, double factor);

    int mMode = kPolarSamplesMode;
    TWVectorscopePlug* mPlug;
    GraphControl10* mGraphs[kNumModes] = {};
    // Owned background drawers (the graphs point at them) and computations.
    std::unique_ptr<GraphCustomDrawer> mPolarDrawer;
    std::unique_ptr<GraphCustomDrawer> mFlameDrawer;
    std::unique_ptr<GraphCustomDrawer> mLissajousDrawer;
    std::unique_ptr<TWUpmixGraphDrawer> mUpmixDrawer;
    std::unique_ptr<GraphCustomDrawer> mSourceDrawer;
    std::unique_ptr<TWFireworks> mFireworks;
    std::unique_ptr<SourceComputer> mSourceComputer;
    ScopeHistory mHistory;
    mutable SampleBuffer mWindowCopy[2];

    bool mGraphsSet = false;
    // The plug-in mutex, taken from the graphs' plug-in by SetGraphs (null without one): the
    // mouse handlers read the mode under it.
    WDL_Mutex* mPlugMutex = nullptr;
    bool mComputeWithoutGraphs = false;
    bool mViewOpen = false;
    bool mTrackAllModes = false;
    // Last point sets per mode and curve, each filled on demand.
    mutable SampleBuffer mPointsX[kNumModes][kMaxCurves];
    mutable SampleBuffer mPointsY[kNumModes][kMaxCurves];
    bool mHasPoints[kNumModes][kMaxCurves] = {};
    // Window samples came since the points were computed (on-demand modes) or last handed to the
    // graph (all modes).
    mutable bool mWindowChanged[kNumModes] = {};
    bool mGraphOutdated[kNumModes] = {};
};
