#pragma once
// The host adapter's plug-in side: supplies the hooks that the plug-in base leaves to the host
// binding. This build keeps the adapter small: parameter gestures are counted rather than sent,
// and the transport is what SetHostTransport last reported.

#include "framework/IPlugBase.h"
#include "framework/WDL_String.h"

struct IPlugInstanceInfo
{
    WDL_String mOSXBundleID;
    WDL_String mCocoaViewFactoryClassName;
};

class IPlugAU : public IPlugBase
{
public:
    static constexpr int kDefaultBlockSize = 1024;

    IPlugAU(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
            const char* effectName, const char* productName, const char* mfrName,
            int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
            bool plugDoesChunks, bool plugIsInst);

    // Gestures: counted, and the last one remembered, so callers can be checked.
    void BeginInformHostOfParamChange(int paramIdx) override;
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
    void EndInformHostOfParamChange(int paramIdx) override;
    // The TimeInfo defaults with the transport state the host last reported.
    bool GetTime(TimeInfo* timeInfo) override;
    // The stored host id; detects it from an empty name while still undetected.
    int GetHost() override;
    // OnWindowResize when an editor exists.
    void ResizeGraphics(int width, int height) override;
    // GetHost, then OnHostIdentified.
    void HostSpecificInit() override;
    // The adapter sends no MIDI.
    bool SendMidiMessage(IMidiMsg* msg) override;

    // Host-side transport report (running flag and sample position).
    void SetHostTransport(bool running, double samplePos);

    const char* GetBundleID() const { return mOSXBundleID.Get(); }
    const char* GetCocoaViewFactoryClassName() const { return mCocoaViewFactoryClassName.Get(); }

    // Gesture record.
    int beginInformCount = 0;
    int informCount = 0;
    int endInformCount = 0;
    int lastInformedParam = -1;
    double lastInformedValue = 0.0;

private:
    WDL_String mOSXBundleID;
    WDL_String mCocoaViewFactoryClassName;
    bool mHostTransportKnown = false;
    bool mHostTransportRunning = false;
    double mHostSamplePos = -1.0;
};
