#include "hosts/lv2/IPlugLV2.h"

#include "editor/IGraphics.h"
#include "hosts/lv2/LV2AtomReader.h"
#include "hosts/lv2/LV2Urids.h"

#include <lv2/core/lv2.h>
#include <lv2/core/lv2_util.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace
{
// A time signature is a pair of small integers: a value past this is not one.
constexpr double kMaxTimeSignatureValue = 1024.0;
} // namespace

IPlugLV2::IPlugLV2(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr,
                   int nPresets, const char* effectName, const char* productName,
                   const char* mfrName, int vendorVersion, int uniqueID, int mfrID, int latency,
                   bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion,
                uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPILV2),
      mGestures(new std::atomic<int>[nParams > 0 ? nParams : 1])
{
    mBundleID.Set(instanceInfo.mOSXBundleID.Get());
    for (int i = 0; i < nParams; ++i)
        mGestures[i] = 0;
    SetBlockSize(kDefaultBlockSize);
}

IPlugLV2::~IPlugLV2() = default;

bool IPlugLV2::Instantiate(const IPlugLV2Description& description, bool monoInput,
                           double sampleRateHz, const LV2_Feature* const* features)
{
    if (!std::isnormal(sampleRateHz) || sampleRateHz < kMinSampleRate ||
        sampleRateHz > kMaxSampleRate)
        return false;
    if (auto* map = static_cast<LV2_URID_Map*>(lv2_features_data(features, LV2_URID__map)))
        mUrids = std::make_unique<LV2Urids>(map, LV2StateKeyUri(description).c_str());
    mPorts = std::make_unique<LV2PortMap>(*this, description, monoInput);
    mPortData.assign(mPorts->Count(), nullptr);
    for (int p = 0; p < mPorts->Count(); ++p)
        TellMeterConnection(p);
    mSeen.assign(mPorts->Count(), 0.0f);
    mPieceIn.assign(mPorts->NAudioIn(), nullptr);
    mPieceOut.assign(2, nullptr);
    SyncSeenValues();

    mInlineDisplay.SetHost(static_cast<const LV2_Inline_Display*>(
        lv2_features_data(features, LV2_INLINEDISPLAY__queue_draw)));
    SetSampleRate(sampleRateHz);
    if (auto* options = static_cast<const LV2_Options_Option*>(
            lv2_features_data(features, LV2_OPTIONS__options)))
        ApplyOptions(options);
    const int nIn = mPorts->NAudioIn();
    SetInputChannelConnections(0, nIn, true);
    SetInputChannelConnections(nIn, std::max(NInChannels() - nIn, 0), false);
    SetOutputChannelConnections(0, NOutChannels(), true);
    return true;
}

void IPlugLV2::ConnectPort(unsigned port, void* data)
{
    if (port >= mPortData.size())
        return;
    mPortData[port] = data;
    TellMeterConnection(port);
}

void IPlugLV2::TellMeterConnection(unsigned port)
{
    const LV2Port& info = mPorts->Port(port);
    if (info.kind == LV2Port::Kind::MeterOut && mPorts->Description().meterConnected)
        mPorts->Description().meterConnected(this, info.paramIdx, mPortData[port] != nullptr);
}

void IPlugLV2::ApplyOptions(const LV2_Options_Option* options)
{
    // Options are keyed by URIDs: without a map there are none to read.
    if (!mUrids)
        return;
    int maxLength = 0;
    int nominalLength = 0;
    int sequenceSize = 0;
    for (const LV2_Options_Option* o = options; o && o->key; ++o)
    {
        if (o->type != mUrids->atomInt || o->size != sizeof(int32_t) || !o->value)
            continue;
        const int32_t v = *static_cast<const int32_t*>(o->value);
        if (o->key == mUrids->maxBlockLength)
            maxLength = v;
        else if (o->key == mUrids->nominalBlockLength)
            nominalLength = v;
        else if (o->key == mUrids->sequenceSize)
            sequenceSize = v;
    }
    WDL_MutexLock lock(GetMutex());
    if (sequenceSize > 0)
        mSequenceCapacity = static_cast<size_t>(sequenceSize);
    const int length = nominalLength > 0 ? nominalLength : maxLength;
    if (length <= 0)
        return;
    mHostBlockSize = std::min(length, kMaxBlockSize);
    if (mActive)
    {
        SetBlockSize(mHostBlockSize);
        Reset();
    }
}

void IPlugLV2::Activate()
{
    WDL_MutexLock lock(GetMutex());
    HostUpdate update(*this);
    SetBlockSize(mHostBlockSize);
    mActive = true;
    OnParamReset();
    // The host sets its ports before activating: Reset must see them (the latency depends on
    // mono-to-stereo).
    ReadControlPorts();
    OnActivate(true);
    Reset();
    mInlineDisplay.Reset(GetSampleRate());
    if (int p = mPorts->Find(LV2Port::Kind::Latency); p >= 0 && mPortData[p])
        *static_cast<float*>(mPortData[p]) = static_cast<float>(GetLatency());
}

void IPlugLV2::Deactivate()
{
    WDL_MutexLock lock(GetMutex());
    mActive = false;
    OnActivate(false);
}

void IPlugLV2::SyncSeenValues()
{
    for (int p = 0; p < mPorts->Count(); ++p)
        mSeen[p] = PortValue(p);
}

int IPlugLV2::PortForParam(int paramIdx) const
{
    if (!mPorts)
        return -1;
    const IPlugLV2Description& d = mPorts->Description();
    for (int p = 0; p < mPorts->Count(); ++p)
    {
        const LV2Port& info = mPorts->Port(p);
        if (info.kind == LV2Port::Kind::ControlIn && info.paramIdx == paramIdx)
            return p;
        if (info.kind == LV2Port::Kind::RadioIn && paramIdx >= info.paramIdx &&
            paramIdx < info.paramIdx + d.radioCount)
            return p;
    }
    return -1;
}

float IPlugLV2::PortValue(int port) const
{
    const LV2Port& info = mPorts->Port(port);
    switch (info.kind)
    {
    case LV2Port::Kind::ControlIn:
    case LV2Port::Kind::RadioIn:
        return mPorts->ParamPortValue(*this, port);
    case LV2Port::Kind::Enabled:
        return IsBypassed() ? 0.0f : 1.0f;
    case LV2Port::Kind::MeterOut:
    {
        auto meter = mPorts->Description().meterValue;
        return meter ? static_cast<float>(meter(const_cast<IPlugLV2*>(this), info.paramIdx))
                     : static_cast<float>(Param(info.paramIdx)->Value());
    }
    case LV2Port::Kind::Latency:
        return static_cast<float>(GetLatency());
    default:
        return 0.0f;
    }
}

void IPlugLV2::ApplyControl(int port, float value)
{
    const LV2Port& info = mPorts->Port(port);
    if (info.kind == LV2Port::Kind::Enabled)
    {
        // Coming back from bypass restarts as a reset does, fading in from silence; at the
        // rate and block size of the last reset this allocates nothing.
        const bool bypass = value < 0.5f;
        if (bypass != IsBypassed())
        {
            SetBypassed(bypass);
            OnActivate(!bypass);
            if (!bypass && mActive)
                Reset();
        }
        return;
    }
    int idx = info.paramIdx;
    double v = value;
    if (info.kind == LV2Port::Kind::RadioIn)
    {
        const int last = mPorts->Description().radioCount - 1;
        idx += std::min(std::max(static_cast<int>(std::lround(value)), 0), last);
        v = 1.0;
    }
    IParam* p = Param(idx);
    double minValue, maxValue;
    p->Bounds(minValue, maxValue);
    // The same path as the Audio Unit's set parameter: store clamped, tell the editor, react.
    p->SetValue(std::min(std::max(v, minValue), maxValue));
    if (IGraphics* gui = GetGUI(*this))
        gui->SetParameterFromPlug(idx, v, false);
    OnParamChange(idx);
}

void IPlugLV2::ReadControlPorts()
{
    HostUpdate update(*this);
    for (int p = 0; p < mPorts->Count(); ++p)
    {
        const LV2Port::Kind kind = mPorts->Port(p).kind;
        if (kind != LV2Port::Kind::ControlIn && kind != LV2Port::Kind::RadioIn &&
            kind != LV2Port::Kind::Enabled)
            continue;
        if (!mPortData[p])
            continue;
        const float v = *static_cast<const float*>(mPortData[p]);
        if (!std::isfinite(v) || v == mSeen[p])
            continue;
        mSeen[p] = v;
        ApplyControl(p, v);
    }
}

void IPlugLV2::ReadTimeEvents()
{
    const int port = mPorts->Find(LV2Port::Kind::TimeIn);
    const auto* seq = static_cast<const LV2_Atom_Sequence*>(mPortData[port]);
    if (!seq || !mUrids)
        return;
    const LV2Urids& u = *mUrids;
    LV2AtomSequenceReader events(seq, mSequenceCapacity, u.atomSequence);
    while (const LV2_Atom* event = events.Next())
    {
        if (LV2AtomObjectType(event, u) != u.timePosition)
            continue;
        // A field that is absent, malformed or not a finite number leaves its value alone.
        auto field = [&](LV2_URID key, double* value) {
            return LV2AtomNumber(LV2AtomObjectValue(event, key, u), u, value) &&
                   std::isfinite(*value);
        };
        double v = 0.0;
        if (field(u.timeSpeed, &v))
            mTransportRunning = v != 0.0;
        if (field(u.timeFrame, &v))
            mSamplePos = v;
        if (field(u.timeBpm, &v) && v > 0.0)
            mTempo = v;
        if (field(u.timeBar, &v))
            mBar = v;
        if (field(u.timeBarBeat, &v))
            mBarBeat = v;
        if (field(u.timeBeatsPerBar, &v) && v > 0.0 && v <= kMaxTimeSignatureValue)
            mBeatsPerBar = v;
        if (field(u.timeBeatUnit, &v) && v > 0.0 && v <= kMaxTimeSignatureValue)
            mBeatUnit = v;
    }
}

bool IPlugLV2::GetTime(TimeInfo* timeInfo)
{
    *timeInfo = TimeInfo();
    timeInfo->tempo = mTempo;
    timeInfo->samplePos = mSamplePos;
    timeInfo->transportIsRunning = mTransportRunning;
    timeInfo->numerator = static_cast<int32_t>(mBeatsPerBar);
    timeInfo->denominator = static_cast<int32_t>(mBeatUnit);
    if (mBar >= 0.0 && mBarBeat >= 0.0)
    {
        const double quartersPerBeat = 4.0 / mBeatUnit;
        timeInfo->lastBarPos = mBar * mBeatsPerBar * quartersPerBeat;
        timeInfo->ppqPos = timeInfo->lastBarPos + mBarBeat * quartersPerBeat;
    }
    return true;
}

void IPlugLV2::ProcessPiece(int offset, int nFrames)
{
    int in = 0, out = 0;
    for (int p = 0; p < mPorts->Count(); ++p)
    {
        float* data = static_cast<float*>(mPortData[p]);
        if (mPorts->Port(p).kind == LV2Port::Kind::AudioIn)
            mPieceIn[in++] = data + offset;
        else if (mPorts->Port(p).kind == LV2Port::Kind::AudioOut)
            mPieceOut[out++] = data + offset;
    }
    AttachInputBuffers(0, in, mPieceIn.data(), nFrames);
    AttachOutputBuffers(0, out, mPieceOut.data());
    if (IsBypassed())
        PassThroughBuffers(nFrames);
    else
        ProcessBuffers(nFrames);
}

void IPlugLV2::WriteOutputPorts()
{
    for (int p = 0; p < mPorts->Count(); ++p)
    {
        const LV2Port::Kind kind = mPorts->Port(p).kind;
        if ((kind == LV2Port::Kind::MeterOut || kind == LV2Port::Kind::Latency) && mPortData[p])
            *static_cast<float*>(mPortData[p]) = PortValue(p);
    }
}

void IPlugLV2::Run(unsigned nFrames)
{
    if (!mPorts)
        return;
    for (int p = 0; p < mPorts->Count(); ++p)
    {
        const LV2Port::Kind kind = mPorts->Port(p).kind;
        if ((kind == LV2Port::Kind::AudioIn || kind == LV2Port::Kind::AudioOut) && !mPortData[p])
            return;
    }
    WDL_MutexLock lock(GetMutex());
    ReadTimeEvents();
    ReadControlPorts();
    // Blocks longer than the size the buffers were made for run in pieces: nothing grows here.
    const int piece = std::max(GetBlockSize(), 1);
    for (int offset = 0; offset < static_cast<int>(nFrames); offset += piece)
        ProcessPiece(offset, std::min(piece, static_cast<int>(nFrames) - offset));
    if (mTransportRunning && mSamplePos >= 0.0)
        mSamplePos += nFrames;
    WriteOutputPorts();
    const int out = mPorts->Find(LV2Port::Kind::AudioOut);
    mInlineDisplay.Push(static_cast<const float*>(mPortData[out]),
                        static_cast<const float*>(mPortData[out + 1]), static_cast<int>(nFrames));
}

int IPlugLV2::SaveState(void* store, void* handle, int /*flags*/,
                        const LV2_Feature* const* /*features*/)
{
    if (!mUrids)
        return LV2_STATE_ERR_NO_FEATURE;
    auto storeFn = reinterpret_cast<LV2_State_Store_Function>(store);
    StateChunk chunk;
    {
        WDL_MutexLock lock(GetMutex());
        if (!SerializeState(chunk))
            return LV2_STATE_ERR_UNKNOWN;
    }
    return storeFn(handle, mUrids->stateKey, chunk.GetData(), chunk.Size(), mUrids->atomChunk,
                   LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

int IPlugLV2::RestoreState(void* retrieve, void* handle, int /*flags*/,
                           const LV2_Feature* const* /*features*/)
{
    if (!mUrids)
        return LV2_STATE_ERR_NO_FEATURE;
    auto retrieveFn = reinterpret_cast<LV2_State_Retrieve_Function>(retrieve);
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* data = retrieveFn(handle, mUrids->stateKey, &size, &type, &flags);
    if (!data)
        return LV2_STATE_ERR_NO_PROPERTY;
    if (type != mUrids->atomChunk)
        return LV2_STATE_ERR_BAD_TYPE;
    StateChunk chunk;
    if (chunk.PutBytes(data, static_cast<int>(size)) != static_cast<int>(size))
        return LV2_STATE_ERR_UNKNOWN;
    WDL_MutexLock lock(GetMutex());
    HostUpdate update(*this);
    if (UnserializeState(chunk, 0) <= 0)
        return LV2_STATE_ERR_UNKNOWN;
    RedrawParamControls();
    // The ports' last seen values stay as they were: a host that restores port values too
    // (as lilv does) changes them and they apply at the next run; one that leaves them alone
    // does not undo the restored state with its stale ports.
    return LV2_STATE_SUCCESS;
}

void IPlugLV2::QueueGesture(int paramIdx, int bits)
{
    if (paramIdx < 0 || paramIdx >= ParamCount())
        return;
    WDL_MutexLock lock(GetMutex());
    if (!mHostUpdate)
        mGestures[paramIdx].fetch_or(bits);
}

void IPlugLV2::BeginInformHostOfParamChange(int paramIdx)
{
    QueueGesture(paramIdx, kGestureBegin);
}

void IPlugLV2::InformHostOfParamChange(int paramIdx, double /*normalizedValue*/)
{
    QueueGesture(paramIdx, kGestureChange);
}

void IPlugLV2::EndInformHostOfParamChange(int paramIdx)
{
    QueueGesture(paramIdx, kGestureEnd);
}

int IPlugLV2::TakeGesture(int paramIdx)
{
    if (paramIdx < 0 || paramIdx >= ParamCount())
        return 0;
    return mGestures[paramIdx].exchange(0);
}

void IPlugLV2::ResizeGraphics(int /*width*/, int /*height*/)
{
    if (GetGUI(*this))
        OnWindowResize();
}
