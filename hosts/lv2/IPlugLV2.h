#pragma once
// The LV2 adapter: the Linux host interface beside the Audio Unit one, over the same base.
// Control ports reach OnParamChange the way the Audio Unit set-parameter path does; audio passes
// through the base's channel plumbing; time:Position drives the transport; the state extension
// holds the base's parameter chunk; the options give the block size before Reset.
//
// Threads: the host's audio thread calls Run, holding the plug-in mutex for the whole call; it
// allocates nothing once Activate has sized the buffers for the block size, and a host block
// longer than that is processed in pieces. Activate, state and options come from other host
// threads and take the mutex too. Gestures the editor makes are queued in atomics for the UI,
// which forwards them to the host; changes the host itself made are never queued.

#include "framework/IPlugBase.h"
#include "framework/WDL_String.h"
#include "hosts/lv2/LV2InlineDisplay.h"
#include "hosts/lv2/LV2PortMap.h"

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>

#include <atomic>
#include <memory>
#include <vector>

struct IPlugInstanceInfo
{
    WDL_String mOSXBundleID;
    WDL_String mCocoaViewFactoryClassName;
};

class LV2Urids;

// Plug-in API identifier of the LV2 adapter.
constexpr int kAPILV2 = 8;

class IPlugLV2 : public IPlugBase
{
public:
    static constexpr int kDefaultBlockSize = 1024;
    // Largest block size an option may set; more would only exhaust memory.
    static constexpr int kMaxBlockSize = 1 << 16;
    // Sample rates the plug-in instantiates at; the filters need no more, and less is no audio.
    static constexpr double kMinSampleRate = 1000.0;
    static constexpr double kMaxSampleRate = 4.0e6;

    IPlugLV2(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
             const char* effectName, const char* productName, const char* mfrName,
             int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
             bool plugDoesChunks, bool plugIsInst);
    ~IPlugLV2() override;

    // ---- Hooks ----
    // The editor's gestures, queued for the UI (which tells the host through its touch and
    // write functions).
    void BeginInformHostOfParamChange(int paramIdx) override;
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
    void EndInformHostOfParamChange(int paramIdx) override;
    // The defaults, then what the last time:Position said.
    bool GetTime(TimeInfo* timeInfo) override;
    void ResizeGraphics(int width, int height) override;
    bool SendMidiMessage(IMidiMsg* /*msg*/) override { return false; }

    // ---- Host boundary ----
    // Binds the ports and reads urid:map and the options. False for a sample rate the plug-in
    // cannot run at (not finite, not normal, or not above zero). Without urid:map (ecasound
    // passes no features) the time port and state are ignored.
    bool Instantiate(const IPlugLV2Description& description, bool monoInput, double sampleRateHz,
                     const LV2_Feature* const* features);
    void ConnectPort(unsigned port, void* data);
    // Sizes the buffers for the block size, parameters to the plug-in, Reset, latency port.
    void Activate();
    void Run(unsigned nFrames);
    // bufsz:maxBlockLength and bufsz:nominalBlockLength (the nominal length wins when given),
    // and bufsz:sequenceSize, beyond which no atom is read.
    void ApplyOptions(const LV2_Options_Option* options);
    // Writes the parameter chunk as one atom:Chunk property; 0 or an LV2 state status.
    int SaveState(void* store, void* handle, int flags, const LV2_Feature* const* features);
    int RestoreState(void* retrieve, void* handle, int flags, const LV2_Feature* const* features);

    // The inline display's picture (the host's drawing thread).
    LV2_Inline_Display_Image_Surface* RenderInlineDisplay(uint32_t w, uint32_t maxHeight)
    {
        return mInlineDisplay.Render(w, maxHeight);
    }

    // ---- For the UI and tests ----
    const LV2PortMap& Ports() const { return *mPorts; }
    // The control port showing a parameter (the radio port for a radio member), or −1.
    int PortForParam(int paramIdx) const;
    // The value the port shows for the parameter's current state.
    float PortValue(int port) const;
    // The bits of a gesture the editor made on a parameter.
    static constexpr int kGestureBegin = 1;
    static constexpr int kGestureChange = 2;
    static constexpr int kGestureEnd = 4;
    // Takes the gesture bits the editor set on the parameter since the last call.
    int TakeGesture(int paramIdx);
    const char* GetBundleID() const { return mBundleID.Get(); }
    // Whether the plug-in is between activate and deactivate.
    bool IsActive() const { return mActive; }
    void Deactivate();

private:
    // Marks a host-driven change (ports, state, activation) for its scope, under the mutex:
    // what the plug-in reports as a parameter change meanwhile is not the user's and never goes
    // back to the host.
    class HostUpdate
    {
    public:
        explicit HostUpdate(IPlugLV2& plug) : mPlug(plug), mWas(plug.mHostUpdate)
        {
            plug.mHostUpdate = true;
        }
        ~HostUpdate() { mPlug.mHostUpdate = mWas; }
        HostUpdate(const HostUpdate&) = delete;
        HostUpdate& operator=(const HostUpdate&) = delete;

    private:
        IPlugLV2& mPlug;
        bool mWas;
    };

    void QueueGesture(int paramIdx, int bits);
    void ReadControlPorts();
    void ApplyControl(int port, float value);
    void ReadTimeEvents();
    void WriteOutputPorts();
    // Passes a meter port's connection (or its absence) on to the description's hook.
    void TellMeterConnection(unsigned port);
    void ProcessPiece(int offset, int nFrames);
    // The ports' last seen values follow the parameters (at instantiate, when the ports hold
    // the defaults the Turtle gives).
    void SyncSeenValues();

    WDL_String mBundleID;
    std::unique_ptr<LV2PortMap> mPorts;
    std::unique_ptr<LV2Urids> mUrids;
    std::vector<void*> mPortData;
    std::vector<float> mSeen;     // last value read from each control input port
    std::vector<float*> mPieceIn; // per-piece audio pointers, sized at Instantiate
    std::vector<float*> mPieceOut;
    std::unique_ptr<std::atomic<int>[]> mGestures; // one per parameter
    LV2InlineDisplay mInlineDisplay;
    int mHostBlockSize = kDefaultBlockSize;
    size_t mSequenceCapacity = 0; // the atom port buffer's size from bufsz:sequenceSize, or 0
    bool mActive = false;
    bool mHostUpdate = false; // under the mutex
    // Transport from time:Position: speed ≠ 0 is running.
    bool mTransportRunning = false;
    double mSamplePos = -1.0;
    double mTempo = 120.0;
    double mBeatsPerBar = 4.0;
    double mBeatUnit = 4.0;
    double mBarBeat = -1.0;
    double mBar = -1.0;
};
