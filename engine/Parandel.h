#pragma once
// TW Parandel: the plug-in object the host adapter creates for each instance. It declares the 19
// parameters, owns the stereo processing chain and implements the framework hooks.
//
// Threads: ProcessReplacing runs on the audio thread with the plug-in mutex held by the adapter;
// Reset and OnParamChange take the mutex themselves (re-entry is normal); the TWVectorscopePlug
// operations come from the editor thread and end in SetParameterFromGUI. Latency is 0 unless
// mono-to-stereo runs at a host block size that is not a power of two.

#include "engine/CrossoverSplitterNBands3.h"
#include "framework/ParamSmoother.h"
#include "engine/SecureRestarter.h"
#include "engine/StereoChain.h"
#include "framework/ChannelList.h"
#include "engine/IPlugAdapter.h"
#include "framework/SilenceThreshold.h"
#include "framework/WDL_PtrList.h"
#include "metering/TWVectorscopePlug.h"

#include <memory>

class GraphControl10;
class GUIHelper9;
class IBitmapControlAnim2;
class IGraphics;
class IToggleButtonControl;
class VuMeterControl;
class PseudoStereoObj2;
class TWCorrelationComputer;
class TWUpmixGraphDrawer;
class TWVectorscope;

class Parandel : public IPlugAdapter, public TWVectorscopePlug
{
public:
    enum EParams
    {
        kWidthMeter = 0,
        kWidth = 1,
        kMonoToStereo = 2,
        kUndeclared = 3, // never declared; kept so stored states line up
        kPan = 4,
        kCorrelationMeter = 5,
        kBassFocus = 6,
        kOutGain = 7,
        kMonoOut = 8,
        kVectorscopeMode0 = 9,
        kVectorscopeMode4 = 13,
        kVectorscopeGraph0 = 14,
        kVectorscopeGraph4 = 18,
        kNumParams = 19
    };
    static constexpr int kNumVectorscopeModes = 5;
    // Bass focus is on while the frequency is strictly above this.
    static constexpr double kBassFocusOffHz = 20.0;
    // Block samples at or below this magnitude count as silence.
    static constexpr double kSilenceThreshold = ::kSilenceThreshold;

    // Audio Unit subtype 'rkjs' and manufacturer 'TwNl'.
    static constexpr int kUniqueID = 0x726B6A73;
    static constexpr int kManufacturerID = 0x54774E6C;
    // The identity the host adapter hands every instance.
    static constexpr const char* kBundleID = "com.Tarnwel.audiounit.TW-Parandel";
    static constexpr const char* kViewFactoryClassName = "Parandel_View";
    static IPlugInstanceInfo DefaultInstanceInfo();

    explicit Parandel(IPlugInstanceInfo instanceInfo);
    ~Parandel() override;

    void Reset() override;
    void OnParamChange(int paramIdx) override;
    void ProcessReplacing(double** inputs, double** outputs, int nFrames) override;
    void OnEditorResize(int /*width*/, int /*height*/) override {}
    // The editor was resized and deleted its controls: the meters, mode buttons and graphs
    // this object points at are gone.
    void OnWindowResize() override { ForgetEditorControls(); }
    void OnEditorDetached() override { ForgetEditorControls(); }
    // The vectorscope computes only while its view is open.
    void OnGUIOpen() override;
    void OnGUIClose() override;

    // TWVectorscopePlug: Pan and Width moved from the vectorscope display.
    void SetPan(double pan) override;
    void AddPan(double delta) override;
    void AddWidth(double delta) override;

    // The meters and the scope's graphs, for the program's own pictures and reports and for
    // the LV2 wrapper's meter ports.
    TWVectorscope* GetVectorscope() const { return mVectorscope.get(); }
    GraphControl10* GetVectorscopeGraph(int mode) const;
    // The correlation computer, having measured every block metered so far (short blocks wait
    // to be measured a batch at a time). Audio thread or under the plug-in mutex.
    TWCorrelationComputer* GetCorrelationComputer()
    {
        CatchUpCorrelation();
        return mCorrelation.get();
    }
    // The width setting on the width meter's scale (−100 % at 0, 0 at 0.5, +100 % at 1).
    double WidthMeterValue() const;
    // Whether anything besides an open editor reads the correlation (a host's meter port, an
    // analysis); on by default. While nothing does and no editor is open, the correlation is not
    // computed; it starts afresh, as after Reset, once something reads it again. Audio thread or
    // under the plug-in mutex.
    void SetCorrelationRead(bool read) { mCorrelationRead = read; }
    // Whether anything besides an open editor reads the vectorscope (a picture, an analysis, a
    // host's inline display); on by default. While nothing does and no editor is open, the
    // vectorscope is not fed, not even its sample window. Audio thread or under the plug-in mutex.
    void SetScopeRead(bool read) { mScopeRead = read; }

private:
    // Declares the parameters, each followed by its editor controls, in the editor's
    // construction order, and builds the vectorscope with its five graphs on the way.
    void BuildEditor(GUIHelper9& kit, IGraphics* gui);
    // The editor's controls bound to the parameter show its current real value.
    void RefreshControls(int paramIdx);
    // The silence test of a block whose in and out hold inCount and outCount channels; kUnsure
    // when what decides is a NaN or infinite input sample, which counts as silence once copied.
    enum class BlockSound
    {
        kSilent,
        kSound,
        kUnsure
    };
    static BlockSound TestSilence(const double* const* in, int inCount, const double* const* out,
                                  int outCount, int n);
    // The finished block reaches the vectorscope and, while the transport runs, the correlation
    // meter.
    void Observe(const double* left, const double* right, int n, bool transportRunning);
    // Measures the samples waiting in the vectorscope's window and moves the meter.
    void CatchUpCorrelation();
    void ShowCorrelation();
    // The editor deleted its controls: the meters, mode buttons and graphs pointed at are gone.
    void ForgetEditorControls();

    ParamSmoother mWidthSmoother;
    ParamSmoother mPanSmoother;
    bool mMonoOut = false;
    bool mMonoToStereo = false;
    ParamSmoother mOutGainSmoother;
    double mBassFocusHz = 100.0;
    // Owned processors; declared before the chain that points at them, so they go after it.
    std::unique_ptr<CrossoverSplitterNBands3> mCrossovers[2];
    std::unique_ptr<PseudoStereoObj2> mPseudoStereo;
    WDL_PtrList<IToggleButtonControl> mModeButtons; // not owned; filled while the editor is built
    VuMeterControl* mWidthMeter = nullptr;          // not owned
    VuMeterControl* mCorrelationMeter = nullptr;    // not owned
    IBitmapControlAnim2* mLogo = nullptr;           // not owned; swings while sound passes
    std::unique_ptr<TWCorrelationComputer> mCorrelation;
    bool mCorrelationRead = true;
    bool mScopeRead = true;
    bool mEditorOpen = false;
    bool mCorrelationIdle = false; // blocks went by unmeasured since the last measured one
    // Blocks shorter than this are metered a batch at a time, from the vectorscope's window
    // that keeps them anyway: the same values for much less work per block.
    static constexpr int kCorrelationBatch = 256;
    // The last samples of the vectorscope's window that the correlation has yet to measure.
    int mCorrelationBehind = 0;
    std::unique_ptr<TWVectorscope> mVectorscope;
    GraphControl10* mVectorscopeGraphs[kNumVectorscopeModes] = {}; // not owned
    TWUpmixGraphDrawer* mUpmixDrawer = nullptr;                    // owned by the vectorscope
    SecureRestarter mRestarter;
    // Bass focus, mono-to-stereo, width, pan, output gain and mono output on the members above.
    StereoChain mChain;

    // Working list of the block, kept so that a block allocates nothing.
    ChannelList mIn;
};
