#include "framework/au/IPlugAU.h"

IPlugAU::IPlugAU(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr,
                 int nPresets, const char* effectName, const char* productName,
                 const char* mfrName, int vendorVersion, int uniqueID, int mfrID, int latency,
                 bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName,
                vendorVersion, uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks,
                plugIsInst, kAPIAU),
      mOSXBundleID(instanceInfo.mOSXBundleID),
      mCocoaViewFactoryClassName(instanceInfo.mCocoaViewFactoryClassName)
{
    // Bus names as the host sees them before the plug-in relabels them.
    if (NInChannels() > 0)
    {
        SetInputBusLabel(0, NSidechainChannels() > 0 ? "main input" : "input");
        SetInputBusLabel(1, "aux input");
    }
    if (NOutChannels() > 0)
        SetOutputBusLabel(0, "output");

    SetBlockSize(kDefaultBlockSize);
}

void IPlugAU::BeginInformHostOfParamChange(int paramIdx)
{
    ++beginInformCount;
    lastInformedParam = paramIdx;
}

void IPlugAU::InformHostOfParamChange(int paramIdx, double normalizedValue)
{
    ++informCount;
    lastInformedParam = paramIdx;
    lastInformedValue = normalizedValue;
}

void IPlugAU::EndInformHostOfParamChange(int paramIdx)
{
    ++endInformCount;
    lastInformedParam = paramIdx;
}

bool IPlugAU::GetTime(TimeInfo* timeInfo)
{
    if (!timeInfo)
        return false;
    *timeInfo = TimeInfo();
    if (mHostTransportKnown)
    {
        if (mHostSamplePos > 0.0)
            timeInfo->samplePos = mHostSamplePos;
        timeInfo->transportIsRunning = mHostTransportRunning;
    }
    return true;
}

int IPlugAU::GetHost()
{
    if (StoredHost() == kHostUndetected)
        SetHost("", 0); // no host identifier is available to this build
    return StoredHost();
}

void IPlugAU::ResizeGraphics(int /*width*/, int /*height*/)
{
    if (GetGUI())
        OnWindowResize();
}

void IPlugAU::HostSpecificInit()
{
    GetHost();
    OnHostIdentified();
}

bool IPlugAU::SendMidiMessage(IMidiMsg* /*msg*/)
{
    return false;
}

void IPlugAU::SetHostTransport(bool running, double samplePos)
{
    mHostTransportKnown = true;
    mHostTransportRunning = running;
    mHostSamplePos = samplePos;
}
