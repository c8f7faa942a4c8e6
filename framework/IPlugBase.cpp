#include "framework/IPlugBase.h"

#include "framework/BoundedText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
struct HostName
{
    const char* lowerSubstring;
    int hostId;
};

// Tested in this order; the first hit decides, so a name holding "live" and "logic" is 9.
constexpr HostName kHostNames[] = {
    {"cubase", 3},      {"reaper", 1},      {"nuendo", 4},
    {"cakewalk", 5},    {"samplitude", 8},  {"fruity", 7},
    {"live", 9},        {"melodyne", 12},   {"vstmanlib", 13},
    {"aulab", 14},      {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17},   {"orion", 18},
    {"sawstudio", 20},  {"logic", 21},      {"digital", 23},
    {"audiomulch", 25}, {"presonus", 26},   {"vst3plugintesthost", 27},
    {"protools", 2},    {"ardour", 28},     {"openmpt", 30},
    {"renoise", 29},    {"standalone", 24}, {"mixcraft", 31},
};

constexpr const char* kUserPresetPrefix = "user preset";
constexpr const char* kDefaultPresetName = "Empty";
constexpr const char* kEmptyPresetName = "empty";

// Case-insensitive substring test against a lower-case needle. Works on the name in place, so a
// host name of any length is handled without a copy.
bool ContainsLowerCase(const char* text, const char* lowerNeedle)
{
    for (const char* p = text; *p != '\0'; ++p)
    {
        int j = 0;
        while (lowerNeedle[j] != '\0' && p[j] != '\0' &&
               std::tolower(static_cast<unsigned char>(p[j])) == lowerNeedle[j])
            ++j;
        if (lowerNeedle[j] == '\0')
            return true;
    }
    return false;
}

// Replaces the label at idx, or adds it there, padding the list with empty labels so the index
// stays the label's bus number.
void SetLabelAt(WDL_PtrList<WDL_String>& labels, int idx, const char* label)
{
    if (WDL_String* existing = labels.Get(idx))
    {
        existing->Set(label);
        return;
    }
    while (labels.GetSize() < idx)
        labels.Add(new WDL_String(""));
    labels.Add(new WDL_String(label));
}

const char* LabelAt(const WDL_PtrList<WDL_String>& labels, int idx)
{
    const WDL_String* s = labels.Get(idx);
    return s ? s->Get() : nullptr;
}

// The channel range [first, first + count) cut to [0, nChannels), without integer overflow.
void ClipRange(int first, int count, int nChannels, int& begin, int& end)
{
    const long long b = std::max<long long>(first, 0);
    const long long e = std::min<long long>(static_cast<long long>(first) + count, nChannels);
    begin = static_cast<int>(b);
    end = static_cast<int>(std::max(b, e));
}

void FloatToDouble(const float* in, double* out, int nFrames)
{
    for (int s = 0; s < nFrames; ++s)
        out[s] = in[s];
}

void DoubleToFloat(const double* in, float* out, int nFrames)
{
    for (int s = 0; s < nFrames; ++s)
        out[s] = static_cast<float>(in[s]);
}

// Grows a scratch buffer to at least nFrames samples, zeroing the new part; never shrinks.
void GrowScratch(WDL_TypedBuf<double>& scratch, int nFrames)
{
    const int old = scratch.GetSize();
    if (old >= nFrames)
        return;
    double* p = scratch.Resize(nFrames, false);
    if (p)
        std::fill(p + old, p + nFrames, 0.0);
}
} // namespace

IPreset::IPreset()
{
    CopyBoundedText(presetName, kNameSize, kEmptyPresetName);
}

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
                     int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                     bool plugIsInst, int plugAPI)
    : mUniqueID(uniqueID), mMfrID(mfrID), mVersion(vendorVersion), mAPI(plugAPI),
      mStateChunks(plugDoesChunks), mIsInst(plugIsInst), mDoesMIDI(plugDoesMidi), mLatency(latency)
{
    for (int i = 0; i < nParams; ++i)
        mParams.Add(new IParam());
    for (int i = 0; i < nPresets; ++i)
        mPresets.Add(new IPreset());

    CopyBoundedText(mEffectName, kNameSize, effectName);
    CopyBoundedText(mProductName, kNameSize, productName);
    CopyBoundedText(mMfrName, kNameSize, mfrName);

    ParseChannelIO(channelIOStr);

    int nIn = 0;
    int nOut = 0;
    for (int i = 0; i < mChannelIO.GetSize(); ++i)
    {
        const ChannelIO* io = mChannelIO.Get(i);
        nIn = std::max(nIn, io->in);
        nOut = std::max(nOut, io->out);
        mSidechainChannels = std::max(mSidechainChannels, io->sidechain);
    }

    // The pointer arrays are sized once here, so the slot addresses held by the channels stay
    // valid for the plug-in's lifetime.
    mInData.Resize(nIn);
    mOutData.Resize(nOut);
    for (int i = 0; i < nIn; ++i)
    {
        InChannel* ch = mInChannels.Add(new InChannel());
        ch->src = mInData.Get() + i;
        *ch->src = nullptr;
    }
    for (int i = 0; i < nOut; ++i)
    {
        OutChannel* ch = mOutChannels.Add(new OutChannel());
        ch->dest = mOutData.Get() + i;
        *ch->dest = nullptr;
    }
}

IPlugBase::~IPlugBase()
{
    delete mGraphics;
    mGraphics = nullptr;
    mParams.Empty(true);
    mPresets.Empty(true);
    mInChannels.Empty(true);
    mOutChannels.Empty(true);
    mChannelIO.Empty(true);
    mInputBusLabels.Empty(true);
    mOutputBusLabels.Empty(true);
    mParamGroups.Empty(true);
}

void IPlugBase::ParseChannelIO(const char* channelIOStr)
{
    const char* p = channelIOStr;
    while (p && *p != '\0')
    {
        int nIn = 0;
        int nOut = 0;
        int nSidechain = 0;
        std::sscanf(p, "%d-%d-%d", &nIn, &nOut, &nSidechain);
        // Negative counts make no configuration; they count as none.
        nIn = std::max(nIn, 0);
        nOut = std::max(nOut, 0);
        nSidechain = std::max(nSidechain, 0);

        ChannelIO* io = mChannelIO.Add(new ChannelIO());
        io->in = nIn + nSidechain;
        io->out = nOut;
        io->sidechain = nSidechain;

        // The next configuration starts after the next space; repeated spaces are skipped so
        // that they do not repeat a configuration.
        p = std::strchr(p, ' ');
        while (p && *p == ' ')
            ++p;
    }
}

// ---- Hooks ----

void IPlugBase::Reset()
{
    WDL_MutexLock lock(&mMutex);
}

void IPlugBase::OnParamChange(int /*paramIdx*/)
{
    WDL_MutexLock lock(&mMutex);
}

void IPlugBase::ProcessReplacing(double** inputs, double** outputs, int nFrames)
{
    const int nIn = NInChannels();
    const int nOut = NOutChannels();
    if (!outputs || nFrames <= 0)
        return;
    for (int i = 0; i < nOut; ++i)
    {
        double* out = outputs[i];
        if (!out)
            continue;
        const double* in = (inputs && i < nIn) ? inputs[i] : nullptr;
        if (in)
            std::memmove(out, in, static_cast<size_t>(nFrames) * sizeof(double));
        else
            std::fill(out, out + nFrames, 0.0);
    }
}

void IPlugBase::OnActivate(bool /*active*/)
{
    WDL_MutexLock lock(&mMutex);
}

void IPlugBase::ProcessMidiMessage(IMidiMsg* msg)
{
    SendMidiMessage(msg);
}

bool IPlugBase::SerializeState(StateChunk& chunk)
{
    return SerializeParams(chunk);
}

int IPlugBase::UnserializeState(const StateChunk& chunk, int startPos)
{
    return UnserializeParams(chunk, startPos);
}

void IPlugBase::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
    WDL_MutexLock lock(&mMutex);
    IParam* param = Param(paramIdx);
    if (!param || !std::isfinite(normalizedValue))
        return;
    param->SetFromNormalized(normalizedValue);
    InformHostOfParamChange(paramIdx, normalizedValue);
    OnParamChange(paramIdx);
}

void IPlugBase::AttachGraphics(IPlugEditor* graphics)
{
    if (!graphics)
        return;
    // Editor mutex first, then the plug-in's: the order the editor's drawing takes them in.
    WDL_MutexLock editorLock(graphics->GetMutex());
    WDL_MutexLock lock(&mMutex);
    for (int i = 0; i < ParamCount(); ++i)
        graphics->SetParameterFromPlug(i, Param(i)->ToNormalized(), true);
    graphics->AllocateDrawBitmaps();
    // The base owns its editor: one that is replaced is deleted here, after the plug-in has
    // let go of its controls.
    if (mGraphics && mGraphics != graphics)
    {
        OnEditorDetached();
        delete mGraphics;
    }
    mGraphics = graphics;
}

void IPlugBase::RedrawParamControls()
{
    if (!mGraphics)
        return;
    for (int i = 0; i < ParamCount(); ++i)
        mGraphics->SetParameterFromPlug(i, Param(i)->Value(), false);
}

void IPlugBase::SetBlockSize(int blockSize)
{
    blockSize = std::max(blockSize, 0);
    if (blockSize == mBlockSize)
        return;
    for (int i = 0; i < NInChannels(); ++i)
    {
        InChannel* ch = mInChannels.Get(i);
        ch->scratch.Resize(blockSize);
        ch->scratch.Zero();
        // The buffer may have moved: every slot reads its scratch again.
        *ch->src = ch->scratch.Get();
    }
    for (int i = 0; i < NOutChannels(); ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        ch->scratch.Resize(blockSize);
        ch->scratch.Zero();
        *ch->dest = ch->scratch.Get();
    }
    mBlockSize = blockSize;
}

// ---- Identity and parameters ----

int IPlugBase::GetEffectVersion(bool decimal) const
{
    if (!decimal)
        return mVersion;
    const int version = (mVersion >> 16) & 0xFFFF;
    const int revision = (mVersion >> 8) & 0xFF;
    const int bugFix = mVersion & 0xFF;
    return version * 10000 + revision * 100 + bugFix;
}

void IPlugBase::OnParamReset()
{
    for (int i = 0; i < ParamCount(); ++i)
        OnParamChange(i);
}

const char* IPlugBase::GetParamGroupName(int idx) const
{
    return LabelAt(mParamGroups, idx);
}

int IPlugBase::AddParamGroup(const char* name)
{
    if (!name)
        return 0;
    mParamGroups.Add(new WDL_String(name));
    return mParamGroups.GetSize();
}

// ---- Presets ----

void IPlugBase::MakeDefaultPreset(const char* name, int count)
{
    for (int k = 0; k < count; ++k)
    {
        IPreset* preset = nullptr;
        for (int i = 0; i < NPresets() && !preset; ++i)
            if (!mPresets.Get(i)->initialized)
                preset = mPresets.Get(i);
        if (!preset)
            return;
        preset->initialized = true;
        CopyBoundedText(preset->presetName, IPreset::kNameSize, name ? name : kDefaultPresetName);
        preset->chunk.Clear();
        SerializeState(preset->chunk);
    }
}

bool IPlugBase::RestorePreset(int idx)
{
    IPreset* preset = mPresets.Get(idx);
    if (!preset)
        return false;

    bool restored = false;
    if (!preset->initialized)
    {
        // An empty slot becomes a user preset holding the current values.
        int nUserPresets = 0;
        for (int i = 0; i < NPresets(); ++i)
            if (std::strstr(mPresets.Get(i)->presetName, kUserPresetPrefix))
                ++nUserPresets;
        preset->initialized = true;
        std::snprintf(preset->presetName, IPreset::kNameSize, "%s %d", kUserPresetPrefix,
                      nUserPresets + 1);
        preset->chunk.Clear();
        restored = SerializeState(preset->chunk);
    }
    else
    {
        restored = UnserializeState(preset->chunk, 0) > 0;
    }

    if (restored)
    {
        mCurrentPresetIdx = idx;
        OnPresetsChanged();
        RedrawParamControls();
    }
    return restored;
}

bool IPlugBase::RestorePresetByName(const char* name)
{
    if (!name || name[0] == '\0')
        return false;
    for (int i = 0; i < NPresets(); ++i)
        if (std::strcmp(mPresets.Get(i)->presetName, name) == 0)
            return RestorePreset(i);
    return false;
}

const char* IPlugBase::PresetName(int idx) const
{
    const IPreset* preset = mPresets.Get(idx);
    return preset ? preset->presetName : "";
}

void IPlugBase::PruneUninitializedPresets()
{
    for (int i = NPresets() - 1; i >= 0; --i)
        if (!mPresets.Get(i)->initialized)
            mPresets.Delete(i, true);
}

// ---- State chunk ----

bool IPlugBase::SerializeParams(StateChunk& chunk)
{
    WDL_MutexLock lock(&mMutex);
    bool ok = true;
    for (int i = 0; i < ParamCount(); ++i)
        ok = chunk.PutDouble(Param(i)->Value()) > 0 && ok;
    return ok;
}

int IPlugBase::ReadParamsChunk(const StateChunk& chunk, int startPos, double* values) const
{
    int pos = startPos;
    for (int i = 0; i < ParamCount() && pos >= 0; ++i)
    {
        double v = 0.0;
        pos = chunk.GetDouble(&v, pos);
        if (!std::isfinite(v))
            return -1;
        if (values)
            values[i] = v;
    }
    return pos;
}

bool IPlugBase::IsValidParamsChunk(const StateChunk& chunk, int startPos) const
{
    return ReadParamsChunk(chunk, startPos, nullptr) >= 0;
}

int IPlugBase::UnserializeParams(const StateChunk& chunk, int startPos)
{
    WDL_MutexLock lock(&mMutex);
    // Everything is read and checked before anything is stored, so that a short or damaged
    // chunk cannot leave a mixture of old, new and made-up values behind.
    std::vector<double> values(static_cast<size_t>(ParamCount()));
    const int pos = ReadParamsChunk(chunk, startPos, values.data());
    if (pos < 0)
        return -1;
    for (int i = 0; i < ParamCount(); ++i)
        Param(i)->SetValue(Param(i)->Clamp(values[i]));
    OnParamReset();
    return pos;
}

// ---- Channel configurations ----

bool IPlugBase::LegalIO(int nIn, int nOut) const
{
    for (int i = 0; i < mChannelIO.GetSize(); ++i)
    {
        const ChannelIO* io = mChannelIO.Get(i);
        if ((nIn < 0 || io->in == nIn) && (nOut < 0 || io->out == nOut))
            return true;
    }
    return false;
}

bool IPlugBase::GetChannelIO(int idx, int* nIn, int* nOut, int* nSidechain) const
{
    const ChannelIO* io = mChannelIO.Get(idx);
    if (!io)
        return false;
    if (nIn)
        *nIn = io->in;
    if (nOut)
        *nOut = io->out;
    if (nSidechain)
        *nSidechain = io->sidechain;
    return true;
}

// ---- Host ----

void IPlugBase::SetHost(const char* name, int version)
{
    mHost = kHostUnknown;
    if (name)
    {
        for (const HostName& h : kHostNames)
        {
            if (ContainsLowerCase(name, h.lowerSubstring))
            {
                mHost = h.hostId;
                break;
            }
        }
    }
    mHostVersion = version;
}

// ---- Channel plumbing ----

void IPlugBase::SetInputChannelConnections(int first, int count, bool connected)
{
    int begin, end;
    ClipRange(first, count, NInChannels(), begin, end);
    for (int i = begin; i < end; ++i)
    {
        InChannel* ch = mInChannels.Get(i);
        ch->connected = connected;
        if (!connected)
            *ch->src = ch->scratch.Get();
    }
}

void IPlugBase::SetOutputChannelConnections(int first, int count, bool connected)
{
    int begin, end;
    ClipRange(first, count, NOutChannels(), begin, end);
    for (int i = begin; i < end; ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        ch->connected = connected;
        if (!connected)
            *ch->dest = ch->scratch.Get();
    }
}

void IPlugBase::EnsureScratch(int nFrames)
{
    for (int i = 0; i < NInChannels(); ++i)
    {
        InChannel* ch = mInChannels.Get(i);
        if (ch->scratch.GetSize() < nFrames)
        {
            GrowScratch(ch->scratch, nFrames);
            *ch->src = ch->scratch.Get();
        }
    }
    for (int i = 0; i < NOutChannels(); ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        if (ch->scratch.GetSize() < nFrames)
        {
            GrowScratch(ch->scratch, nFrames);
            *ch->dest = ch->scratch.Get();
        }
    }
}

void IPlugBase::AttachInputBuffers(int first, int count, float* const* buffers, int nFrames)
{
    if (nFrames < 0)
        return;
    EnsureScratch(nFrames);
    int begin, end;
    ClipRange(first, count, NInChannels(), begin, end);
    int bufIdx = 0;
    for (int i = begin; i < end; ++i)
    {
        InChannel* ch = mInChannels.Get(i);
        if (!ch->connected)
            continue;
        const float* in = buffers ? buffers[bufIdx] : nullptr;
        ++bufIdx;
        double* scratch = ch->scratch.Get();
        if (in)
            FloatToDouble(in, scratch, nFrames);
        else if (nFrames > 0)
            std::fill(scratch, scratch + nFrames, 0.0); // a missing host buffer reads as silence
        *ch->src = scratch;
    }
}

void IPlugBase::AttachOutputBuffers(int first, int count, float* const* buffers)
{
    int begin, end;
    ClipRange(first, count, NOutChannels(), begin, end);
    int bufIdx = 0;
    for (int i = begin; i < end; ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        if (!ch->connected)
            continue;
        ch->floatDest = buffers ? buffers[bufIdx] : nullptr;
        ++bufIdx;
        *ch->dest = ch->scratch.Get();
    }
}

void IPlugBase::WriteOutputsToFloat(int nFrames)
{
    for (int i = 0; i < NOutChannels(); ++i)
    {
        OutChannel* ch = mOutChannels.Get(i);
        if (ch->connected && ch->floatDest)
            DoubleToFloat(*ch->dest, ch->floatDest, nFrames);
    }
}

void IPlugBase::ProcessBuffers(int nFrames)
{
    if (nFrames < 0)
        return;
    EnsureScratch(nFrames);
    ProcessReplacing(mInData.Get(), mOutData.Get(), nFrames);
    WriteOutputsToFloat(nFrames);
}

void IPlugBase::PassThroughBuffers(int nFrames)
{
    if (nFrames < 0)
        return;
    EnsureScratch(nFrames);
    const int nIn = NInChannels();
    for (int i = 0; i < NOutChannels(); ++i)
    {
        double* out = *mOutChannels.Get(i)->dest;
        if (nIn > 0)
        {
            // Output i carries input i; past the inputs, and where the host feeds no input i
            // (the second channel of a mono input), it carries input 0.
            const bool own = i < nIn && mInChannels.Get(i)->connected;
            const double* in = *mInChannels.Get(own ? i : 0)->src;
            std::memmove(out, in, static_cast<size_t>(nFrames) * sizeof(double));
        }
        else
        {
            std::fill(out, out + nFrames, 0.0);
        }
    }
    WriteOutputsToFloat(nFrames);
}

bool IPlugBase::IsInChannelConnected(int chIdx) const
{
    const InChannel* ch = mInChannels.Get(chIdx);
    return ch && ch->connected && !ch->duplicateOfMain;
}

bool IPlugBase::IsOutChannelConnected(int chIdx) const
{
    const OutChannel* ch = mOutChannels.Get(chIdx);
    return ch && ch->connected;
}

void IPlugBase::SetInputBusLabel(int idx, const char* label)
{
    if (idx < 0 || idx > 1)
        return;
    SetLabelAt(mInputBusLabels, idx, label);
}

void IPlugBase::SetOutputBusLabel(int idx, const char* label)
{
    if (idx < 0)
        return;
    SetLabelAt(mOutputBusLabels, idx, label);
}

const char* IPlugBase::GetInputBusLabel(int idx) const
{
    return LabelAt(mInputBusLabels, idx);
}

const char* IPlugBase::GetOutputBusLabel(int idx) const
{
    return LabelAt(mOutputBusLabels, idx);
}

void IPlugBase::LabelBusesForAPI()
{
    if (GetAPI() != kAPIAU)
        return;
    if (NInChannels() - NSidechainChannels() > 0)
        SetInputBusLabel(0, "main input");
    if (NSidechainChannels() > 0)
        SetInputBusLabel(1, "sc input");
    if (NOutChannels() > 0)
        SetOutputBusLabel(0, "output");
}

// ---- Transport ----

bool IPlugBase::IsTransportRunning()
{
    TimeInfo timeInfo;
    GetTime(&timeInfo);
    return timeInfo.transportIsRunning;
}

void IPlugBase::ResetOnTransportStart()
{
    TimeInfo timeInfo;
    GetTime(&timeInfo);
    if (timeInfo.transportIsRunning && !mTransportWasRunning)
        Reset();
    mTransportWasRunning = timeInfo.transportIsRunning;
}

void IPlugBase::MarkSidechainDuplicates(int nFrames)
{
    if (GetHost() != kHostLogic || nFrames <= 0)
        return;
    const int nIn = NInChannels();
    const int nSidechain = NSidechainChannels();
    const int nMain = std::max(nIn - nSidechain, 1);

    // A sidechain channel is a duplicate when its samples repeat the main channel's exactly.
    auto mark = [this, nFrames](int sidechainIdx, int mainIdx)
    {
        InChannel* sc = mInChannels.Get(sidechainIdx);
        const InChannel* main = mInChannels.Get(mainIdx);
        if (!sc || !main)
            return;
        const double* a = *sc->src;
        const double* b = *main->src;
        // Only samples both buffers hold are compared; a shorter buffer is never a duplicate.
        const bool comparable =
            a && b && sc->scratch.GetSize() >= nFrames && main->scratch.GetSize() >= nFrames;
        sc->duplicateOfMain =
            comparable && std::memcmp(a, b, static_cast<size_t>(nFrames) * sizeof(double)) == 0;
    };

    if (nSidechain >= 1)
        mark(nMain, 0);
    if (nMain >= 2 && nSidechain >= 2)
        mark(nMain + 1, 1);
}

// ---- Editor ----

void IPlugBase::ResizeGUI(int width, int height)
{
    if (!mGraphics)
        return;
    if (width != mGraphics->Width() || height != mGraphics->Height())
    {
        OnEditorResize(width, height);
        mGraphics->Resize(width, height);
    }
}
