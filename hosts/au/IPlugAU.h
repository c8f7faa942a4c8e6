#pragma once
// The Audio Unit (version 2) adapter: the plug-in's only host interface. The component entry
// (IPlugAUEntry) turns selector calls into the base's services and hooks; the adapter serves
// the properties, keeps the bus model (one input bus and one output bus for an effect), pulls
// audio from upstream (render callback or direct connection), converts it between the host's
// single-precision buffers and the plug-in's doubles, and reports parameter gestures.
//
// Threads: host threads enter through the entry and the fast-dispatch procedures, the audio
// thread through RenderProc; all of them hold the plug-in mutex for the whole call. RenderProc
// allocates nothing once the block size is set (the pull's buffer list lives in storage sized at
// construction, the float scratch is sized by SetBlockSize). Plug-in creation is serialised by a
// process-wide creation mutex.

#include "framework/IPlugBase.h"
#include "framework/WDL_Mutex.h"
#include "framework/WDL_PtrList.h"
#include "framework/WDL_String.h"
#include "framework/WDL_TypedBuf.h"
#include "hosts/au/AUPlatform.h"

struct IPlugInstanceInfo
{
    WDL_String mOSXBundleID;
    WDL_String mCocoaViewFactoryClassName;
};

class IPlugAU;

// How an entry makes its plug-in: the identity handed to the constructor and the constructor.
struct IPlugAUFactory
{
    const char* bundleID;
    const char* viewFactoryClassName;
    IPlugAU* (*make)(IPlugInstanceInfo instanceInfo);
};

// The component entry. Open (storage null) creates the plug-in through the factory under the
// creation mutex and stores it as the instance storage; close deletes it.
ComponentResult IPlugAUEntry(ComponentParameters* params, void* storage,
                             const IPlugAUFactory& factory);
// The Carbon view component's entry (open, create, close).
ComponentResult IPlugAUCarbonViewEntry(ComponentParameters* params, void* storage);
// The process-wide mutex under which plug-ins are created.
WDL_Mutex& IPlugAUCreationMutex();

class IPlugAU : public IPlugBase
{
public:
    static constexpr int kDefaultBlockSize = 1024;
    // Largest maximum-frames-per-slice a host may set; more would only exhaust memory.
    static constexpr UInt32 kMaxBlockSize = 1u << 16;

    enum EConnectionType
    {
        eNotConnected = 0,
        eDirectFastProc = 1,
        eDirectNoFastProc = 2,
        eRenderCallback = 3
    };

    struct BusInfo
    {
        bool connected = false;
        int hostChannels = -1; // −1 until the host sets a format
        int plugChannels = 0;
        int firstChannel = 0; // the bus's first plug-in channel
    };

    // Cleared to zero as a whole.
    struct InputConnection
    {
        void* upstreamObj; // the upstream unit's instance storage
        AudioUnit upstreamUnit;
        int upstreamBusIdx;
        AudioUnitRenderProc upstreamRenderProc; // from its fast dispatch
        AURenderCallback callbackFuncPtr;
        void* callbackRefCon;
        int connectionType; // EConnectionType
    };

    struct PropertyListener
    {
        AudioUnitPropertyID propID;
        AudioUnitPropertyListenerProc listenerProc;
        void* listenerRefCon;
    };

    struct RenderNotify
    {
        AURenderCallback func;
        void* refCon;
    };

    IPlugAU(IPlugInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
            const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
            int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
            bool plugIsInst);
    ~IPlugAU() override;

    // ---- Hooks ----
    // Each sends one parameter event (begin gesture, value change, end gesture) to the host's
    // listeners; the host reads the value back through get parameter.
    void BeginInformHostOfParamChange(int paramIdx) override;
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
    void EndInformHostOfParamChange(int paramIdx) override;
    // The defaults, then what a directly driving caller reported (SetHostTransport), then what
    // the host callbacks tell.
    bool GetTime(TimeInfo* timeInfo) override;
    // GetTime's running flag alone: the host is not asked for its beat and tempo.
    bool IsTransportRunning() override;
    // The stored host id; while undetected, detection from the host program's bundle identifier.
    int GetHost() override;
    void ResizeGraphics(int width, int height) override;
    void HostSpecificInit() override;
    bool SendMidiMessage(IMidiMsg* msg) override;
    // Tells the latency listeners first, then stores the latency.
    void SetLatency(int latencySamples) override;
    // Sizes the float scratch for n frames, then the base's buffers.
    void SetBlockSize(int blockSize) override;

    // ---- Host boundary ----
    // Serves a property. With data null only the size and writability are reported. With data,
    // *dataSize is the capacity on entry (too small: kAudioUnitErr_InvalidPropertyValue) and the
    // size written on return. dataSize and writable may be null.
    ComponentResult GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                AudioUnitElement element, UInt32* dataSize, Boolean* writable,
                                void* data);
    // Calls the listeners of propID, then sets the property from dataSize bytes at data.
    ComponentResult SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                AudioUnitElement element, UInt32 dataSize, const void* data);
    // The fast-dispatch procedures; storage is the IPlugAU.
    static ComponentResult GetParamProc(void* storage, AudioUnitParameterID paramID,
                                        AudioUnitScope scope, AudioUnitElement element,
                                        AudioUnitParameterValue* value);
    static ComponentResult SetParamProc(void* storage, AudioUnitParameterID paramID,
                                        AudioUnitScope scope, AudioUnitElement element,
                                        AudioUnitParameterValue value, UInt32 bufferOffset);
    static ComponentResult RenderProc(void* storage, AudioUnitRenderActionFlags* ioActionFlags,
                                      const AudioTimeStamp* timeStamp, UInt32 outputBusIdx,
                                      UInt32 nFrames, AudioBufferList* bufferList);

    // ---- For hosts and tests ----
    // Transport for callers that drive the plug-in object directly rather than through the
    // entry: running flag and sample position. Host callbacks, when set, take precedence.
    void SetHostTransport(bool running, double samplePos);
    const char* GetBundleID() const { return mOSXBundleID.Get(); }
    const char* GetCocoaViewFactoryClassName() const { return mCocoaViewFactoryClassName.Get(); }
    AudioUnit GetComponentInstance() const { return mCI; }
    bool IsActive() const { return mActive; }
    int NInBuses() const { return mInBuses.GetSize(); }
    int NOutBuses() const { return mOutBuses.GetSize(); }
    const BusInfo* GetInBus(int idx) const { return mInBuses.Get(idx); }
    const InputConnection* GetInputConnection(int idx) const { return mInBusConnections.Get(idx); }
    // The plug-in behind a unit's instance storage, or null.
    static IPlugAU* FromStorage(void* storage) { return static_cast<IPlugAU*>(storage); }

private:
    // What the host's transport callback tells; false when it has none or it fails.
    struct HostTransport
    {
        Boolean playing = false, changed = false, cycling = false;
        Float64 samplePos = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
    };
    bool AskHostTransport(HostTransport& t) const;

    friend ComponentResult IPlugAUEntry(ComponentParameters* params, void* storage,
                                        const IPlugAUFactory& factory);

    // ---- Entry (IPlugAUEntry.cpp) ----
    // Dispatches one selector (not open or close) with the plug-in mutex held.
    ComponentResult Dispatch(ComponentParameters* params);
    // One handler per selector; params holds the selector's arguments.
    using SelectorHandler = ComponentResult (IPlugAU::*)(ComponentParameters* params);
    struct SelectorEntry
    {
        SInt16 what;
        SelectorHandler handler;
    };
    static const SelectorEntry kSelectors[];
    ComponentResult CanDo(ComponentParameters* params);
    ComponentResult Version(ComponentParameters* params);
    ComponentResult Initialize(ComponentParameters* params);
    ComponentResult Uninitialize(ComponentParameters* params);
    ComponentResult DispatchGetPropertyInfo(ComponentParameters* params);
    ComponentResult DispatchGetProperty(ComponentParameters* params);
    ComponentResult DispatchSetProperty(ComponentParameters* params);
    ComponentResult DispatchGetParameter(ComponentParameters* params);
    ComponentResult DispatchSetParameter(ComponentParameters* params);
    ComponentResult DispatchReset(ComponentParameters* params);
    ComponentResult AddPropertyListener(ComponentParameters* params);
    ComponentResult RemovePropertyListener(ComponentParameters* params);
    ComponentResult DispatchRender(ComponentParameters* params);
    ComponentResult AddRenderNotify(ComponentParameters* params);
    ComponentResult RemoveRenderNotify(ComponentParameters* params);
    ComponentResult ScheduleParameters(ComponentParameters* params);
    ComponentResult MidiEvent(ComponentParameters* params);
    ComponentResult SysEx(ComponentParameters* params);
    ComponentResult Accept(ComponentParameters* params);
    ComponentResult StartNote(ComponentParameters* params);

    // ---- Buses and connections (IPlugAU.cpp) ----
    void SendGesture(AudioUnitEventType type, int paramIdx);
    BusInfo* GetBus(AudioUnitScope scope, AudioUnitElement element);
    int NHostChannelsConnected(WDL_PtrList<BusInfo>& buses, BusInfo* excludeBus = nullptr);
    bool CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels);
    bool CheckLegalIO();
    void AssessInputConnections();
    void ClearConnections();
    void CallPropertyListeners(AudioUnitPropertyID propID, AudioUnitScope scope);
    ComponentResult SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription* asbd);
    ComponentResult SetConnection(const AudioUnitConnection* connection);

    // ---- Property table (IPlugAUProperties.cpp) ----
    // Where a property may be read or written; anywhere else it answers
    // kAudioUnitErr_InvalidProperty.
    enum class Where
    {
        Nowhere,
        Anywhere,
        Global,
        GlobalOrInput,
        InputBus,        // the input scope, the element an input bus
        GlobalOrInputBus // the global or the input scope, the element an input bus
    };
    struct PropertyAddress
    {
        AudioUnitScope scope;
        AudioUnitElement element;
        int elementIdx; // the element as an index; −1 when it is too large for one
        bool reading;   // the value is asked for, not only its size
    };
    // What a read reports before the value: the size, the writability, and a status that ends
    // the call once they are reported.
    struct PropertyInfo
    {
        UInt32 size;
        bool writable;
        ComponentResult status;
    };
    using PropertyDescriber = ComponentResult (IPlugAU::*)(const PropertyAddress&, PropertyInfo*);
    using PropertyGetter = ComponentResult (IPlugAU::*)(const PropertyAddress&, void* data);
    using PropertySetter = ComponentResult (IPlugAU::*)(const PropertyAddress&, const void* data);
    struct PropertyHandler;
    static const PropertyHandler kPropertyHandlers[];
    // The handler of a property, or null for one the adapter does not serve.
    static const PropertyHandler* FindPropertyHandler(AudioUnitPropertyID propID);
    bool IsAt(Where where, AudioUnitScope scope, int elementIdx) const;

    // The handlers. A describer checks the address further (an error ends the call before
    // anything is reported) and may change the size, writability and status the table gives; a
    // getter writes the value into data, which has room for the size; a setter reads the value
    // from data, which holds at least the bytes the table names.
    ComponentResult GetClassInfo(const PropertyAddress& a, void* data);
    ComponentResult SetClassInfo(const PropertyAddress& a, const void* data);
    ComponentResult SetMakeConnection(const PropertyAddress& a, const void* data);
    ComponentResult GetSampleRateProperty(const PropertyAddress& a, void* data);
    ComponentResult SetSampleRateProperty(const PropertyAddress& a, const void* data);
    ComponentResult DescribeFastDispatch(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetFastDispatch(const PropertyAddress& a, void* data);
    ComponentResult DescribeStreamFormat(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetStreamFormat(const PropertyAddress& a, void* data);
    ComponentResult SetStreamFormatProperty(const PropertyAddress& a, const void* data);
    ComponentResult GetElementCount(const PropertyAddress& a, void* data);
    ComponentResult GetLatencyProperty(const PropertyAddress& a, void* data);
    ComponentResult DescribeSupportedNumChannels(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetSupportedNumChannels(const PropertyAddress& a, void* data);
    ComponentResult GetMaxFramesPerSlice(const PropertyAddress& a, void* data);
    ComponentResult SetMaxFramesPerSlice(const PropertyAddress& a, const void* data);
    ComponentResult DescribeUIComponentList(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetUIComponentList(const PropertyAddress& a, void* data);
    ComponentResult DescribeAudioChannelLayout(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult DescribeTailTime(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetTailTime(const PropertyAddress& a, void* data);
    ComponentResult GetBypass(const PropertyAddress& a, void* data);
    ComponentResult SetBypass(const PropertyAddress& a, const void* data);
    ComponentResult GetLastRenderError(const PropertyAddress& a, void* data);
    ComponentResult SetRenderCallback(const PropertyAddress& a, const void* data);
    ComponentResult GetFactoryPresets(const PropertyAddress& a, void* data);
    ComponentResult GetHostCallbacks(const PropertyAddress& a, void* data);
    ComponentResult SetHostCallbacks(const PropertyAddress& a, const void* data);
    ComponentResult GetCurrentPreset(const PropertyAddress& a, void* data);
    ComponentResult SetCurrentPreset(const PropertyAddress& a, const void* data);
    ComponentResult DescribeElementName(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetElementName(const PropertyAddress& a, void* data);
    ComponentResult DescribeCocoaUI(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetCocoaUI(const PropertyAddress& a, void* data);
    ComponentResult DescribeChannelLayoutTags(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetChannelLayoutTags(const PropertyAddress& a, void* data);
    ComponentResult SetOfflineRender(const PropertyAddress& a, const void* data);
    ComponentResult SetHostIdentifier(const PropertyAddress& a, const void* data);
    ComponentResult DescribeInstrumentCount(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetInstrumentCount(const PropertyAddress& a, void* data);

    // ---- Parameters (IPlugAUParameters.cpp) ----
    // The parameter a host's 32-bit ID names, or null for an ID at or above the count.
    IParam* ParamFromID(AudioUnitParameterID paramID) const;
    void FillParameterInfo(int paramIdx, AudioUnitParameterInfo* info);
    ComponentResult DescribeParameterList(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetParameterList(const PropertyAddress& a, void* data);
    ComponentResult DescribeParameterElement(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetParameterInfo(const PropertyAddress& a, void* data);
    ComponentResult DescribeValueStrings(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetValueStrings(const PropertyAddress& a, void* data);
    ComponentResult DescribeParameterRequest(const PropertyAddress& a, PropertyInfo* info);
    ComponentResult GetStringFromValue(const PropertyAddress& a, void* data);
    ComponentResult GetParameterIDName(const PropertyAddress& a, void* data);
    ComponentResult GetClumpName(const PropertyAddress& a, void* data);
    ComponentResult GetValueFromString(const PropertyAddress& a, void* data);

    // ---- State (IPlugAUState.cpp) ----
    ComponentResult GetState(CFPropertyListRef* plist);
    ComponentResult SetState(CFPropertyListRef plist);
    CFArrayRef MakeFactoryPresets();

    // ---- Render (IPlugAURender.cpp) ----
    ComponentResult PullInputs(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                               UInt32 nFrames);
    ComponentResult PullInput(int busIdx, AudioUnitRenderActionFlags* flags,
                              const AudioTimeStamp* timeStamp, UInt32 nFrames);
    void AttachOutputs(BusInfo* bus, UInt32 nFrames, AudioBufferList* bufferList);
    void ProcessIfLastBus(UInt32 outputBusIdx, UInt32 nFrames);
    void CallRenderNotifications(AudioUnitRenderActionFlags flag,
                                 AudioUnitRenderActionFlags* ioActionFlags,
                                 const AudioTimeStamp* timeStamp, UInt32 outputBusIdx,
                                 UInt32 nFrames, AudioBufferList* bufferList);

    WDL_String mOSXBundleID;
    WDL_String mCocoaViewFactoryClassName;
    char mParamValueString[IParam::kTextSize] = {};
    AudioUnit mCI = nullptr;
    bool mActive = false;
    double mRenderTimestamp = -1.0;
    HostCallbackInfo mHostCallbacks = {};
    WDL_TypedBuf<float> mInScratchBuf;
    WDL_TypedBuf<float> mOutScratchBuf;
    WDL_PtrList<RenderNotify> mRenderNotify;
    WDL_PtrList<BusInfo> mInBuses;
    WDL_PtrList<BusInfo> mOutBuses;
    WDL_PtrList<InputConnection> mInBusConnections;
    WDL_PtrList<PropertyListener> mPropertyListeners;
    // Storage for the buffer list of one input bus's pull, sized for every input channel.
    WDL_TypedBuf<AudioBuffer> mPullBufferStorage;
    // Transport reported by SetHostTransport.
    bool mHostTransportKnown = false;
    bool mHostTransportRunning = false;
    double mHostSamplePos = -1.0;
};
