#include "framework/IPlugBase.h"

#include "framework/BoundedText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

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
} // namespace

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

// ---- Bus labels ----

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
