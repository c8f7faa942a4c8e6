#include "engine/Parandel.h"

#include "editor/IGraphics.h"
#include "editor/controls/IBitmapControlAnim2.h"
#include "editor/controls/IControl.h"
#include "editor/controls/IToggleButtonControl.h"
#include "editor/controls/VuMeterControl.h"
#include "engine/PseudoStereoObj2.h"
#include "engine/StereoOps.h"
#include "graph/GraphControl10.h"
#include "kit/GUIHelper9.h"
#include "metering/TWCorrelationComputer.h"
#include "metering/TWUpmixGraphDrawer.h"
#include "metering/TWVectorscope.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{
constexpr const char* kChannelIO = "1-2-0 2-2-0";
constexpr int kVendorVersion = 0x00050301;
constexpr double kSmootherCoefficient = 0.999;
constexpr int kSmootherPrecision = 10;
constexpr double kInitialBassFocusHz = 100.0;
constexpr double kCorrelationSmoothingMs = 500.0;
constexpr double kPseudoStereoSpread = 1.0;

constexpr const char* kModeNames[] = {"VectorscopeMode0", "VectorscopeMode1", "VectorscopeMode2",
                                      "VectorscopeMode3", "VectorscopeMode4"};
constexpr int kGraphBitmapId = 128;
constexpr const char* kGraphBitmap = "resources/img/vectorscope-graph.png";
constexpr double kUpmixDepth = 0.5;

constexpr const char* kGraphNames[] = {"VectorscopeGraph0", "VectorscopeGraph1",
                                       "VectorscopeGraph2", "VectorscopeGraph3",
                                       "VectorscopeGraph4"};

// The editor: its size, bitmaps (resource id and file) and the version it shows.
constexpr int kEditorWidth = 456;
constexpr int kEditorHeight = 486;
constexpr const char* kVersionString = "5.3.1";
constexpr int kKnobFrames = 180;
constexpr int kMeterFrames = 180;
constexpr int kBackgroundId = 100;
constexpr const char* kBackgroundFile = "resources/img/background.png";
constexpr int kPluginNameId = 102;
constexpr const char* kPluginNameFile = "resources/img/plugname.png";
constexpr int kLogoId = 103;
constexpr const char* kLogoFile = "resources/img/logo-anim.png";
constexpr int kTextFieldId = 104;
constexpr const char* kTextFieldFile = "resources/img/textfield.png";
constexpr int kBigKnobId = 105;
constexpr const char* kBigKnobFile = "resources/img/blue-knob.png";
constexpr int kHelpButtonId = 108;
constexpr const char* kHelpButtonFile = "resources/img/help-button.png";
constexpr const char* kManualFile = "manual/TW-Parandel_manual-EN.pdf";
constexpr int kMonoToStereoId = 111;
constexpr const char* kCheckboxFile = "resources/img/checkbox.png";
constexpr int kModeButtonId0 = 115;
constexpr const char* kModeButtonFiles[] = {
    "resources/img/vectorscope-mode-0.png", "resources/img/vectorscope-mode-1.png",
    "resources/img/vectorscope-mode-2.png", "resources/img/vectorscope-mode-3.png",
    "resources/img/vectorscope-mode-4.png"};
constexpr int kCorrelationMeterId = 120;
constexpr const char* kCorrelationMeterFile = "resources/img/correlation-meter.png";
constexpr int kWidthMeterId = 121;
constexpr const char* kWidthMeterFile = "resources/img/width-meter.png";
constexpr int kPanKnobId = 122;
constexpr const char* kSmallKnobFile = "resources/img/blue-knob-small.png";
constexpr int kOutGainKnobId = 125;
constexpr int kBassFocusKnobId = 126;
constexpr int kMonoOutId = 127;
} // namespace

IPlugInstanceInfo Parandel::DefaultInstanceInfo()
{
    IPlugInstanceInfo info;
    info.mOSXBundleID.Set(kBundleID);
    info.mCocoaViewFactoryClassName.Set(kViewFactoryClassName);
    return info;
}

Parandel::Parandel(IPlugInstanceInfo instanceInfo)
    : IPlugAdapter(instanceInfo, kNumParams, kChannelIO, 1, "TW Parandel", "", "Tarnwel",
                   kVendorVersion, kUniqueID, kManufacturerID, 0, false, false, false),
      mWidthSmoother(kSmootherPrecision, 0.0, kSmootherCoefficient),
      mPanSmoother(kSmootherPrecision, 0.0, kSmootherCoefficient),
      mOutGainSmoother(kSmootherPrecision, 1.0, kSmootherCoefficient)
{
    GUIHelper9 kit;
    const double sr = GetSampleRate();
    const double cutoff[] = {kInitialBassFocusHz};
    mPseudoStereo = std::make_unique<PseudoStereoObj2>(sr, kPseudoStereoSpread);
    mCrossovers[0] = std::make_unique<CrossoverSplitterNBands3>(2, cutoff, sr);
    mCrossovers[1] = std::make_unique<CrossoverSplitterNBands3>(2, cutoff, sr);
    mCorrelation = std::make_unique<TWCorrelationComputer>(0, sr, kCorrelationSmoothingMs);
    StereoChain::Parts parts;
    parts.width = &mWidthSmoother;
    parts.pan = &mPanSmoother;
    parts.outGain = &mOutGainSmoother;
    parts.crossovers[0] = mCrossovers[0].get();
    parts.crossovers[1] = mCrossovers[1].get();
    parts.monoToStereo = mPseudoStereo.get();
    mChain.Attach(parts);

    IGraphics* gui = new IGraphics(this, kEditorWidth, kEditorHeight, 0);
    gui->SetBundleID(kBundleID);
    gui->AttachBackground(kBackgroundId, kBackgroundFile);
    BuildEditor(kit, gui);
    kit.AttachAll(gui);
    AttachGraphics(gui);

    MakeDefaultPreset("-", 1);
    LabelBusesForAPI();
}

Parandel::~Parandel()
{
    // The editor (the base's, deleted after this) must stop drawing before the drawers its
    // graphs use go with the vectorscope; the processors go with the members.
    if (IGraphics* gui = GetGUI(*this))
        gui->CloseWindow();
}

void Parandel::BuildEditor(GUIHelper9& kit, IGraphics* gui)
{
    Param(kWidth)->DefineDouble("Width", 0.0, -100.0, 100.0, 0.01, "%");
    kit.CreateKnob(this, gui, kBigKnobId, kBigKnobFile, kKnobFrames, 1.0, 192, 322, kWidth, "WIDTH",
                   kTextFieldId, kTextFieldFile, 1);
    Param(kMonoToStereo)->DefineInt("MonoToStereo", 0, 0, 1);
    kit.CreateToggleButton(this, gui, kMonoToStereoId, kCheckboxFile, 2, 87, 322, kMonoToStereo,
                           "MO->ST", 1);
    Param(kPan)->DefineDouble("Pan", 0.0, -100.0, 100.0, 0.01, "%");
    kit.CreateKnob(this, gui, kPanKnobId, kSmallKnobFile, kKnobFrames, 1.0, 301, 358, kPan, "PAN",
                   kTextFieldId, kTextFieldFile, 1);

    // The scope's mode buttons, then the scope and its five graphs stacked at the same place;
    // the kit defines the graph parameters.
    for (int k = 0; k < kNumVectorscopeModes; ++k)
    {
        Param(kVectorscopeMode0 + k)->DefineInt(kModeNames[k], k == 0 ? 1 : 0, 0, 1);
        mModeButtons.Add(kit.CreateToggleButton(this, gui, kModeButtonId0 + k, kModeButtonFiles[k],
                                                2, 10 + 20 * k, 271, kVectorscopeMode0 + k, "", 0,
                                                0, 0, GUIHelper9::kCaptionAbove, true));
    }
    mVectorscope = std::make_unique<TWVectorscope>(this, GetSampleRate());
    for (int k = 0; k < kNumVectorscopeModes; ++k)
    {
        GraphControl10* graph = kit.CreateGraph(
            this, gui, kVectorscopeGraph0 + k, kGraphNames[k], kGraphBitmapId, kGraphBitmap, 1, 0,
            0, TWVectorscope::GetNumCurves(k), TWVectorscope::GetNumCurveValues(k));
        graph->SetRecreatePointImage(true);
        mVectorscopeGraphs[k] = graph;
    }
    mVectorscope->SetGraphs(mVectorscopeGraphs[0], mVectorscopeGraphs[1], mVectorscopeGraphs[2],
                            mVectorscopeGraphs[3], mVectorscopeGraphs[4]);
    mUpmixDrawer = mVectorscope->GetUpmixDrawer();
    if (mUpmixDrawer)
        mUpmixDrawer->SetDepth(kUpmixDepth);

    Param(kCorrelationMeter)->DefineDouble("CorrelationMeter", 0.0, -1.0, 1.0, 0.01);
    mCorrelationMeter =
        kit.CreateMeter(this, gui, kCorrelationMeterId, kCorrelationMeterFile, kMeterFrames, 5, 243,
                        kCorrelationMeter, "", true, false, false);
    Param(kWidthMeter)->DefineDouble("WidthMeter", 0.5, 0.0, 1.0, 0.01);
    mWidthMeter = kit.CreateMeter(this, gui, kWidthMeterId, kWidthMeterFile, kMeterFrames, 6, 261,
                                  kWidthMeter, "", true, false, false);
    Param(kBassFocus)->DefineDouble("BassFocus", 100.0, 0.0, 500.0, 1.0, "Hz");
    kit.CreateKnob(this, gui, kBassFocusKnobId, kSmallKnobFile, kKnobFrames, 1.0, 77, 372,
                   kBassFocus, "BASS FOCUS", kTextFieldId, kTextFieldFile, 1);
    Param(kOutGain)->DefineDouble("OutGain", 0.0, -12.0, 12.0, 0.1, "dB");
    kit.CreateKnob(this, gui, kOutGainKnobId, kSmallKnobFile, kKnobFrames, 1.0, 375, 372, kOutGain,
                   "OUT GAIN", kTextFieldId, kTextFieldFile, 1);
    Param(kMonoOut)->DefineInt("MonoOut", 0, 0, 1);
    kit.CreateToggleButton(this, gui, kMonoOutId, kCheckboxFile, 2, 385, 322, kMonoOut, "MONO OUT",
                           1);

    // Everything but the three main controls tells hosts it may change other values.
    for (int i = 0; i < kNumParams; ++i)
        Param(i)->isMeta = !(i == kWidth || i == kMonoToStereo || i == kPan || i == kUndeclared);

    kit.CreateVersionText(this, gui, kVersionString, GUIHelper9::kPlacementBottom);
    mLogo = kit.CreateLogoAnimation(this, gui, kLogoId, kLogoFile, GUIHelper9::kPlacementBottom);
    mLogo->SetRestsInSilence(true);
    kit.CreatePluginName(this, gui, kPluginNameId, kPluginNameFile, GUIHelper9::kPlacementBottom);
    kit.CreateHelpButton(this, gui, kHelpButtonId, kHelpButtonFile, kManualFile,
                         GUIHelper9::kPlacementBottom);
}

GraphControl10* Parandel::GetVectorscopeGraph(int mode) const
{
    return mode >= 0 && mode < kNumVectorscopeModes ? mVectorscopeGraphs[mode] : nullptr;
}

void Parandel::ForgetEditorControls()
{
    WDL_MutexLock lock(GetMutex());
    mWidthMeter = nullptr;
    mCorrelationMeter = nullptr;
    mLogo = nullptr;
    mModeButtons.Empty(false);
    for (GraphControl10*& graph : mVectorscopeGraphs)
        graph = nullptr;
    mVectorscope->ForgetGraphs();
}

void Parandel::OnGUIOpen()
{
    WDL_MutexLock lock(GetMutex());
    mEditorOpen = true;
    mVectorscope->SetViewOpen(true);
}

void Parandel::OnGUIClose()
{
    WDL_MutexLock lock(GetMutex());
    mEditorOpen = false;
    mVectorscope->SetViewOpen(false);
}

void Parandel::Reset()
{
    WDL_MutexLock lock(GetMutex());
    mRestarter.Arm();
    const double sr = GetSampleRate();
    mPseudoStereo->Reset(GetBlockSize(), sr);
    mCorrelation->Reset(sr);
    mCorrelationIdle = false;
    mCorrelationBehind = 0;
    mCrossovers[0]->Reset(sr);
    mCrossovers[1]->Reset(sr);
    // Audio restarts from silence (the fade-in hides the step): nothing of the old signal, nor
    // any value that may have poisoned the filters, rings on into the new start.
    mCrossovers[0]->ClearMemories();
    mCrossovers[1]->ClearMemories();
    mVectorscope->Reset(sr);

    // Working buffers take the host block size now, so no block allocates.
    const int block = std::max(GetBlockSize(), 0);
    mIn.Reserve(block);
    mChain.Reserve(block);
    mRestarter.Reserve(block);

    // Switching mono-to-stereo changes the latency at the next reset, not before.
    SetLatency(mMonoToStereo ? mPseudoStereo->GetLatency() : 0);
}

void Parandel::RefreshControls(int paramIdx)
{
    if (IGraphics* gui = GetGUI(*this))
        gui->SetParameterFromPlug(paramIdx, Param(paramIdx)->Value(), false);
}

void Parandel::OnParamChange(int paramIdx)
{
    WDL_MutexLock lock(GetMutex());
    IParam* param = Param(paramIdx);
    if (!param)
        return;
    const double value = param->Value();
    switch (paramIdx)
    {
    case kWidth:
        mWidthSmoother.SetTarget(value / 100.0);
        // The width meter shows the setting: −100 % at 0, 0 at 0.5, +100 % at 1.
        if (mWidthMeter)
            mWidthMeter->SetValueFromPlugin((value / 100.0 + 1.0) * 0.5);
        if (mUpmixDrawer)
            mUpmixDrawer->SetWidth((value / 100.0 + 1.0) * 0.5);
        RefreshControls(paramIdx);
        break;
    case kMonoToStereo:
        mMonoToStereo = value != 0.0;
        RefreshControls(paramIdx);
        break;
    case kPan:
        mPanSmoother.SetTarget(value / 100.0);
        if (mUpmixDrawer)
            mUpmixDrawer->SetPan(value / 100.0);
        RefreshControls(paramIdx);
        break;
    case kBassFocus:
        mBassFocusHz = value;
        // At 20 Hz or less bass focus is off and the crossovers keep their last cutoff.
        if (value > kBassFocusOffHz)
        {
            mCrossovers[0]->SetCutoffFreq(0, value);
            mCrossovers[1]->SetCutoffFreq(0, value);
        }
        break;
    case kOutGain:
        mOutGainSmoother.SetTarget(param->DBToAmp());
        RefreshControls(paramIdx);
        break;
    case kMonoOut:
        mMonoOut = static_cast<int>(value) == 1;
        RefreshControls(paramIdx);
        break;
    default:
        if (paramIdx >= kVectorscopeMode0 && paramIdx <= kVectorscopeMode4)
        {
            // The five mode parameters act as radio buttons; turning the active one off
            // leaves the mode as it is.
            if (static_cast<int>(value) == 1)
            {
                mVectorscope->SetMode(paramIdx - kVectorscopeMode0);
                for (int i = kVectorscopeMode0; i <= kVectorscopeMode4; ++i)
                    if (i != paramIdx)
                        SetParameterFromGUI(i, 0.0);
            }
            RefreshControls(paramIdx);
        }
        break;
    }
}

namespace
{
// The number of samples before the first that is sound (a magnitude above the threshold, or
// NaN): n for a silent channel. NaN is not silence here: the host's arrays are tested before NaN
// becomes 0.
inline int SilentLength(const double* x, int n)
{
    for (int k = 0; k < n; ++k)
        if (!(std::fabs(x[k]) <= kSilenceThreshold))
            return k;
    return n;
}

// Whether out may be written a run of samples after that run of in was read: the same array, or
// no sample shared (the distance between the two, either way, at least n samples).
bool SafeToWriteOver(const double* out, const double* in, int n)
{
    const std::uintptr_t bytes = sizeof(double) * static_cast<std::uintptr_t>(n);
    const std::uintptr_t d = reinterpret_cast<std::uintptr_t>(out) -
                             reinterpret_cast<std::uintptr_t>(in) + (bytes - 1);
    return d == bytes - 1 || d >= 2 * bytes - 1;
}
} // namespace

Parandel::BlockSound Parandel::TestSilence(const double* const* in, int inCount,
                                           const double* const* out, int outCount, int n)
{
    // Channel 0 of both, and channel 1 of both when both have two; the first channel that is not
    // silent decides. Outputs stay as they are until the result is written, and an input's finite
    // sound stays in its copy; only a NaN or infinite input sample may turn out to be silence.
    const int channels = inCount >= 2 && outCount >= 2 ? 2 : 1;
    for (int c = 0; c < channels; ++c)
    {
        const int k = SilentLength(in[c], n);
        if (k < n)
            return std::isfinite(in[c][k]) ? BlockSound::kSound : BlockSound::kUnsure;
        if (SilentLength(out[c], n) < n)
            return BlockSound::kSound;
    }
    return BlockSound::kSilent;
}

void Parandel::ProcessReplacing(double** inputs, double** outputs, int nFrames)
{
    const bool transportRunning = ResetOnTransportStart();
    MarkSidechainDuplicates(nFrames);

    // The first two connected input channels and the first two connected output channels (the
    // outputs are only looked at for silence until the result is written).
    const double* inList[2] = {nullptr, nullptr};
    double* outPtr[2] = {nullptr, nullptr};
    const double* outList[2] = {nullptr, nullptr};
    int inCount = 0;
    int outCount = 0;
    for (int c = 0; c < 2; ++c)
    {
        if (c < NInChannels() && IsInChannelConnected(c) && inputs && inputs[c])
            inList[inCount++] = inputs[c];
        if (c < NOutChannels() && IsOutChannelConnected(c) && outputs && outputs[c])
        {
            outPtr[c] = outputs[c];
            outList[outCount++] = outputs[c];
        }
    }
    if (outCount == 1)
        outPtr[1] = nullptr;
    if (inCount == 0 || outCount == 0)
        return;

    // Silent blocks pass straight through: nothing advances, an armed fade-in stays armed. Every
    // usable output is written, input 0 on both for a mono input as bypass does: an output left
    // alone would replay whatever the host's buffer held from the last block. Tested on the
    // host's arrays first, so that a silent block (an idle track) is not copied on the way; a
    // block whose only sound is NaN or infinity is silent once those count as silence, below.
    const auto passThrough = [&](const double* const* from)
    {
        for (int c = 0; c < 2; ++c)
            if (outPtr[c])
                std::memmove(outPtr[c], from[c < inCount ? c : 0], sizeof(double) * nFrames);
    };
    const BlockSound sound = TestSilence(inList, inCount, outList, outCount, nFrames);
    if (sound == BlockSound::kSilent)
    {
        passThrough(inList);
        return;
    }

    StereoChain::Settings settings;
    settings.bassFocus = mBassFocusHz > kBassFocusOffHz;
    settings.monoToStereo = mMonoToStereo;
    settings.monoOut = mMonoOut;
    // The result goes straight to two distinct outputs; with one output (or one buffer for both)
    // it is made in the block's own channels and copied.
    const bool direct = outPtr[0] && outPtr[1] && outPtr[0] != outPtr[1];

    // A stereo block of sound with no fade-in to apply and settled controls is worked straight
    // from the host's arrays into its outputs, each NaN or infinite input sample taken as
    // silence on the way, as the copies below have it.
    if (sound == BlockSound::kSound && inCount == 2 && direct && !mRestarter.IsArmed())
    {
        bool safe = true;
        for (const double* out : outPtr)
            for (const double* in : inList)
                safe = safe && SafeToWriteOver(out, in, nFrames);
        if (safe &&
            mChain.ProcessSettled(inList[0], inList[1], nFrames, settings, outPtr[0], outPtr[1]))
        {
            if (mLogo)
                mLogo->NoteSound();
            Observe(outPtr[0], outPtr[1], nFrames, transportRunning);
            return;
        }
    }

    // Copies of the inputs: a NaN or infinite input sample counts as silence: it costs that
    // sample only, instead of poisoning the filters and convolvers that remember it. Copied and
    // checked in one pass.
    mIn.Clear();
    for (int c = 0; c < inCount; ++c)
        CopyFinite(inList[c], mIn.AddSized(nFrames)->Get(), nFrames);
    const double* copies[2] = {mIn[0].Get(), inCount == 2 ? mIn[1].Get() : nullptr};
    if (sound == BlockSound::kUnsure &&
        TestSilence(copies, inCount, outList, outCount, nFrames) == BlockSound::kSilent)
    {
        passThrough(copies);
        return;
    }
    if (mLogo)
        mLogo->NoteSound();

    mRestarter.Process(mIn);
    if (mIn.GetSize() == 1)
        mIn.Add(mIn[0]);

    // Only enormous finite input can overflow into infinity or NaN in the chain; it hands
    // meters and host zeros instead.
    double* const result[2] = {direct ? outPtr[0] : mIn[0].Get(),
                               direct ? outPtr[1] : mIn[1].Get()};
    mChain.Process(mIn, settings, result[0], result[1]);
    Observe(result[0], result[1], nFrames, transportRunning);

    if (!direct)
        for (int c = 0; c < 2; ++c)
            if (outPtr[c])
                std::memcpy(outPtr[c], result[c], sizeof(double) * nFrames);
}

void Parandel::Observe(const double* left, const double* right, int n, bool transportRunning)
{
    // The vectorscope sees every processed block, whatever the transport does, while anything
    // may look at it. The correlation meter follows the output only while the host transport
    // runs, and only while something reads it; a short block waits in the vectorscope's window
    // to be measured with the next ones, and anything else measures what waits there first,
    // while the window still holds it.
    const bool scopeFed = mScopeRead || mEditorOpen;
    const bool read = mCorrelationRead || mEditorOpen;
    const bool wait =
        scopeFed && read && transportRunning && !mCorrelationIdle && n < kCorrelationBatch;
    if (!wait)
        CatchUpCorrelation();
    if (scopeFed)
        mVectorscope->AddSamples(left, right, n);

    if (!read)
    {
        mCorrelationIdle = true;
        return;
    }
    if (!transportRunning)
        return;
    if (wait)
    {
        mCorrelationBehind += n;
        if (mCorrelationBehind >= kCorrelationBatch)
            CatchUpCorrelation();
        return;
    }
    if (mCorrelationIdle)
        mCorrelation->Reset(GetSampleRate());
    mCorrelationIdle = false;
    mCorrelation->Process(left, right, n, false);
    ShowCorrelation();
}

void Parandel::CatchUpCorrelation()
{
    if (mCorrelationBehind == 0)
        return;
    const ScopeHistory& window = mVectorscope->GetWindow();
    const long long first = window.Appended() - mCorrelationBehind;
    mCorrelation->Process(window.LeftAt(first), window.RightAt(first), mCorrelationBehind, false);
    mCorrelationBehind = 0;
    ShowCorrelation();
}

void Parandel::ShowCorrelation()
{
    if (mCorrelationMeter)
        mCorrelationMeter->SetValueFromPlugin((mCorrelation->GetCorrelation() + 1.0) * 0.5);
}

void Parandel::SetPan(double pan)
{
    WDL_MutexLock lock(GetMutex());
    IParam* p = Param(kPan);
    p->SetValue(100.0 * pan);
    SetParameterFromGUI(kPan, p->ToNormalized());
}

void Parandel::AddPan(double delta)
{
    WDL_MutexLock lock(GetMutex());
    const double n = std::min(std::max(Param(kPan)->ToNormalized() + delta, 0.0), 1.0);
    SetParameterFromGUI(kPan, n);
}

void Parandel::AddWidth(double delta)
{
    WDL_MutexLock lock(GetMutex());
    const double n = std::min(std::max(Param(kWidth)->ToNormalized() + delta, 0.0), 1.0);
    SetParameterFromGUI(kWidth, n);
}

double Parandel::WidthMeterValue() const
{
    return (Param(kWidth)->Value() / 100.0 + 1.0) * 0.5;
}
