#include "engine/Parandel.h"

#include "editor/IGraphics.h"
#include "editor/controls/IControl.h"
#include "editor/layout/GUIHelper9.h"
#include "engine/PseudoStereoObj2.h"
#include "engine/StereoOps.h"
#include "graph/GraphControl10.h"
#include "metering/TWCorrelationComputer.h"
#include "metering/TWUpmixGraphDrawer.h"
#include "metering/TWVectorscope.h"

#include <algorithm>
#include <cmath>
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
} // namespace

IPlugInstanceInfo Parandel::DefaultInstanceInfo()
{
    IPlugInstanceInfo info;
    info.mOSXBundleID.Set(kBundleID);
    info.mCocoaViewFactoryClassName.Set(kViewFactoryClassName);
    return info;
}

Parandel::Parandel(IPlugInstanceInfo instanceInfo)
    : IPlugAU(instanceInfo, kNumParams, kChannelIO, 1, "TW Parandel", "", "Tarnwel", kVendorVersion,
              kUniqueID, kManufacturerID, 0, false, false, false),
      mWidthSmoother(kSmootherPrecision, 0.0, kSmootherCoefficient),
      mPanSmoother(kSmootherPrecision, 0.0, kSmootherCoefficient),
      mOutGainSmoother(kSmootherPrecision, 1.0, kSmootherCoefficient)
{
    const double sr = GetSampleRate();
    const double cutoff[] = {kInitialBassFocusHz};
    mCrossovers[0] = new CrossoverSplitterNBands3(2, cutoff, sr);
    mCrossovers[1] = new CrossoverSplitterNBands3(2, cutoff, sr);
    mPseudoStereo = new PseudoStereoObj2(sr, kPseudoStereoSpread);
    mCorrelation = new TWCorrelationComputer(0, sr, kCorrelationSmoothingMs);

    DeclareParametersAndDisplay();

    MakeDefaultPreset("-", 1);
    LabelBusesForAPI();
}

Parandel::~Parandel()
{
    // The graphs draw the vectorscope's drawers: they go first.
    mUnattachedControls.Empty(true);
    delete mVectorscope;
    delete mPseudoStereo;
    delete mCorrelation;
    delete mCrossovers[0];
    delete mCrossovers[1];
}

void Parandel::DeclareParametersAndDisplay()
{
    GUIHelper9 kit;
    Param(kWidth)->DefineDouble("Width", 0.0, -100.0, 100.0, 0.01, "%");
    Param(kMonoToStereo)->DefineInt("MonoToStereo", 0, 0, 1);
    Param(kPan)->DefineDouble("Pan", 0.0, -100.0, 100.0, 0.01, "%");
    for (int k = 0; k < kNumVectorscopeModes; ++k)
        Param(kVectorscopeMode0 + k)->DefineInt(kModeNames[k], k == 0 ? 1 : 0, 0, 1);

    // The vectorscope and its five graphs, stacked at the same place; the kit defines the
    // graph parameters.
    mVectorscope = new TWVectorscope(this, GetSampleRate());
    for (int k = 0; k < kNumVectorscopeModes; ++k)
    {
        GraphControl10* graph = kit.CreateGraph(
            this, GetGUI(), kVectorscopeGraph0 + k, kGraphNames[k], kGraphBitmapId, kGraphBitmap, 1,
            0, 0, TWVectorscope::GetNumCurves(k), TWVectorscope::GetNumCurveValues(k));
        graph->SetRecreatePointImage(true);
        mVectorscopeGraphs[k] = graph;
        if (!GetGUI())
            mUnattachedControls.Add(graph);
    }
    mVectorscope->SetGraphs(mVectorscopeGraphs[0], mVectorscopeGraphs[1], mVectorscopeGraphs[2],
                            mVectorscopeGraphs[3], mVectorscopeGraphs[4]);
    mUpmixDrawer = mVectorscope->GetUpmixDrawer();
    if (mUpmixDrawer)
        mUpmixDrawer->SetDepth(kUpmixDepth);

    Param(kCorrelationMeter)->DefineDouble("CorrelationMeter", 0.0, -1.0, 1.0, 0.01);
    Param(kWidthMeter)->DefineDouble("WidthMeter", 0.5, 0.0, 1.0, 0.01);
    Param(kBassFocus)->DefineDouble("BassFocus", 100.0, 0.0, 500.0, 1.0, "Hz");
    Param(kOutGain)->DefineDouble("OutGain", 0.0, -12.0, 12.0, 0.1, "dB");
    Param(kMonoOut)->DefineInt("MonoOut", 0, 0, 1);

    // Everything but the three main controls tells hosts it may change other values.
    for (int i = 0; i < kNumParams; ++i)
        Param(i)->isMeta = !(i == kWidth || i == kMonoToStereo || i == kPan || i == kUndeclared);
}

GraphControl10* Parandel::GetVectorscopeGraph(int mode) const
{
    return mode >= 0 && mode < kNumVectorscopeModes ? mVectorscopeGraphs[mode] : nullptr;
}

void Parandel::Reset()
{
    WDL_MutexLock lock(GetMutex());
    mRestarter.Arm();
    const double sr = GetSampleRate();
    mPseudoStereo->Reset(GetBlockSize(), sr);
    mCorrelation->Reset(sr);
    mCrossovers[0]->Reset(sr);
    mCrossovers[1]->Reset(sr);
    // Audio restarts from silence (the fade-in hides the step): nothing of the old signal, nor
    // any value that may have poisoned the filters, rings on into the new start.
    mCrossovers[0]->ClearMemories();
    mCrossovers[1]->ClearMemories();
    mVectorscope->Reset(sr);

    // Working buffers take the host block size now, so no block allocates.
    const int block = std::max(GetBlockSize(), 0);
    for (ChannelList* list : {&mIn, &mOut, &mLow, &mHigh, &mSum})
        list->Reserve(block);
    mVectorscope->ReserveForBlockSize(block);
    mRestarter.Reserve(block);

    // Switching mono-to-stereo changes the latency at the next reset, not before.
    SetLatency(mMonoToStereo ? mPseudoStereo->GetLatency() : 0);
}

void Parandel::RefreshControls(int paramIdx)
{
    if (IGraphics* gui = GetGUI())
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

bool Parandel::IsSilent(const SampleBuffer& channel)
{
    const double* x = channel.Get();
    const int n = channel.GetSize();
    for (int k = 0; k < n; ++k)
        if (std::fabs(x[k]) > kSilenceThreshold)
            return false;
    return true;
}

void Parandel::ProcessStereoStage(ChannelList& channels)
{
    if (channels.IsEmpty())
        return;
    if (mMonoToStereo)
        mPseudoStereo->Process(channels);
    if (channels.GetSize() < 2)
        return;
    ApplyWidth(channels[0], channels[1], mWidthSmoother);
    ApplyPan(channels[0], channels[1], mPanSmoother);
}

void Parandel::ProcessBassFocus()
{
    const int nChannels = mIn.GetSize();
    mLow.Clear();
    mHigh.Clear();
    for (int i = 0; i < nChannels; ++i)
    {
        SampleBuffer* bands[] = {mLow.Add(nullptr, 0), mHigh.Add(nullptr, 0)};
        mCrossovers[i]->Split(mIn[i], bands);
    }
    if (mLow.GetSize() == 2)
    {
        double* l = mLow[0].Get();
        double* r = mLow[1].Get();
        const int n = mLow[0].GetSize();
        for (int k = 0; k < n; ++k)
            l[k] = r[k] = (l[k] + r[k]) * 0.5;
    }
    ProcessStereoStage(mHigh);
    mSum.Clear();
    for (int i = 0; i < nChannels; ++i)
        AddChannels(mLow[i], mHigh[i], *mSum.Add(nullptr, 0));
}

void Parandel::ProcessReplacing(double** inputs, double** outputs, int nFrames)
{
    ResetOnTransportStart();
    MarkSidechainDuplicates(nFrames);

    // Gather copies of the first two connected input and output channels.
    double* outPtr[2] = {nullptr, nullptr};
    mIn.Clear();
    mOut.Clear();
    for (int c = 0; c < 2; ++c)
    {
        if (c < NInChannels() && IsInChannelConnected(c) && inputs && inputs[c])
        {
            // A NaN or infinite input sample counts as silence: it costs that sample only,
            // instead of poisoning the filters and convolvers that remember it.
            ZeroNonFinite(*mIn.Add(inputs[c], nFrames));
        }
        if (c < NOutChannels() && IsOutChannelConnected(c) && outputs && outputs[c])
        {
            outPtr[c] = outputs[c];
            mOut.Add(outputs[c], nFrames);
        }
    }
    if (mOut.GetSize() == 1)
        outPtr[1] = nullptr;
    if (mIn.IsEmpty() || mOut.IsEmpty())
        return;

    // Silent blocks pass straight through: nothing advances, an armed fade-in stays armed.
    bool silent = IsSilent(mIn[0]) && IsSilent(mOut[0]);
    if (silent && mIn.GetSize() == 2 && mOut.GetSize() == 2)
        silent = IsSilent(mIn[1]) && IsSilent(mOut[1]);
    if (silent)
    {
        // Every usable output is written, input 0 on both for a mono input as bypass does: an
        // output left alone would replay whatever the host's buffer held from the last block.
        for (int c = 0; c < 2; ++c)
            if (outPtr[c])
                std::memcpy(outPtr[c], mIn[c < mIn.GetSize() ? c : 0].Get(),
                            sizeof(double) * nFrames);
        return;
    }

    mRestarter.Process(mIn);
    if (mIn.GetSize() == 1)
        mIn.Add(mIn[0]);

    ChannelList* out = &mIn;
    if (mBassFocusHz > kBassFocusOffHz)
    {
        ProcessBassFocus();
        out = &mSum;
    }
    else
    {
        ProcessStereoStage(mIn);
    }

    ApplyGain((*out)[0], out->GetSize() >= 2 ? &(*out)[1] : nullptr, mOutGainSmoother);
    if (mMonoOut && out->GetSize() >= 2)
    {
        MakeMono(*out);
    }
    // Only overflow of enormous finite input can get here; meters and host still get numbers.
    for (int c = 0; c < out->GetSize(); ++c)
        ZeroNonFinite((*out)[c]);

    // The vectorscope sees every processed block, whatever the transport does.
    mVectorscope->AddSamples(*out);

    // The correlation meter follows the output only while the host transport runs.
    if (out->GetSize() == 2 && IsTransportRunning())
    {
        mCorrelation->Process((*out)[0], (*out)[1], false);
        const double c = mCorrelation->GetCorrelation();
        if (mCorrelationMeter)
            mCorrelationMeter->SetValueFromPlugin((c + 1.0) * 0.5);
    }

    for (int c = 0; c < out->GetSize() && c < 2; ++c)
        if (outPtr[c] && (*out)[c].GetSize() == nFrames)
            std::memcpy(outPtr[c], (*out)[c].Get(), sizeof(double) * nFrames);
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
