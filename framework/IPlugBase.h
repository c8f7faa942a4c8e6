#pragma once
// The host-independent half of every plug-in: parameters, presets, legal channel configurations,
// the per-channel plumbing between the host's single-precision buffers and ProcessReplacing,
// the state chunk, host detection and the plug-in mutex.
//
// Threads: the host adapter calls the services from host threads and the audio thread, the
// editor calls SetParameterFromGUI; the recursive mutex (GetMutex) keeps them apart. The audio
// path (AttachInputBuffers, AttachOutputBuffers, ProcessBuffers, PassThroughBuffers,
// ResetOnTransportStart, MarkSidechainDuplicates) allocates nothing once SetBlockSize has sized
// the scratch buffers; a block longer than the block size grows them once.

#include "framework/IParam.h"
#include "framework/IPlugEditor.h"
#include "framework/IPlugStructs.h"
#include "framework/StateChunk.h"
#include "framework/WDL_Mutex.h"
#include "framework/WDL_PtrList.h"
#include "framework/WDL_String.h"
#include "framework/WDL_TypedBuf.h"

class IPlugBase
{
public:
    static constexpr int kNameSize = 128; // effect, product and maker names, terminator included

    // One legal channel configuration; in counts main plus sidechain channels.
    struct ChannelIO
    {
        int in = 0;
        int out = 0;
        int sidechain = 0;
    };

    struct InChannel
    {
        bool connected = false;
        double** src = nullptr; // this channel's slot in the input pointer array
        WDL_TypedBuf<double> scratch;
        WDL_String label;
        bool duplicateOfMain = false;
    };

    struct OutChannel
    {
        bool connected = false;
        double** dest = nullptr;    // this channel's slot in the output pointer array
        float* floatDest = nullptr; // the host's buffer for the current block
        WDL_TypedBuf<double> scratch;
        WDL_String label;
    };

    IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
              const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
              int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
              int plugAPI);
    // Deletes the editor first, then parameters, presets, channels and labels.
    virtual ~IPlugBase();

    IPlugBase(const IPlugBase&) = delete;
    IPlugBase& operator=(const IPlugBase&) = delete;

    // ---- Hooks, in slot order ----
    // Default: takes and releases the mutex.
    virtual void Reset();
    // Default: takes and releases the mutex.
    virtual void OnParamChange(int paramIdx);
    // Default: copies input i to output i below both counts, zero-fills the other outputs.
    virtual void ProcessReplacing(double** inputs, double** outputs, int nFrames);
    virtual void OnEditorOpen() {}
    // Default: takes and releases the mutex.
    virtual void OnActivate(bool active);
    // Default: forwards the message to SendMidiMessage.
    virtual void ProcessMidiMessage(IMidiMsg* msg);
    virtual void ProcessSysEx(ISysEx* /*msg*/) {}
    // Default: SerializeParams.
    virtual bool SerializeState(StateChunk& chunk);
    // Default: UnserializeParams; the position after the data, or −1 for a chunk it refuses.
    virtual int UnserializeState(const StateChunk& chunk, int startPos);
    virtual void OnWindowResize() {}
    // The editor is about to be deleted (replaced by another): pointers into its controls must
    // go.
    virtual void OnEditorDetached() {}
    // The editor's view (on screen or offscreen) opened or closed: displays that only matter
    // while seen can start or stop their work. Called by the editor on its thread.
    virtual void OnGUIOpen() {}
    virtual void OnGUIClose() {}
    virtual void OnHostIdentified() {}
    // Every plug-in supplies its own reaction to an editor resize.
    virtual void OnEditorResize(int width, int height) = 0;
    // Stores a normalised value from the editor, informs the host and calls OnParamChange, all
    // under the mutex. An index outside the list and a non-finite value are ignored.
    virtual void SetParameterFromGUI(int paramIdx, double normalizedValue);
    virtual void BeginInformHostOfParamChange(int paramIdx) = 0;
    virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) = 0;
    virtual void EndInformHostOfParamChange(int paramIdx) = 0;
    virtual bool GetTime(TimeInfo* timeInfo) = 0;
    virtual int GetHost() { return mHost; }
    virtual int GetAPI() { return mAPI; }
    virtual void ResizeGraphics(int width, int height) = 0;
    virtual void HostSpecificInit() {}
    // Takes ownership of the editor and passes it every parameter's normalised value.
    virtual void AttachGraphics(IPlugEditor* graphics);
    virtual void SetLatency(int latencySamples) { mLatency = latencySamples; }
    virtual bool SendMidiMessage(IMidiMsg* msg) = 0;
    // Passes every parameter's real value to the editor, when there is one; takes no lock.
    virtual void RedrawParamControls();
    virtual void OnPresetsChanged() {}
    // Resizes and zeroes every channel's scratch buffer when the size changes.
    virtual void SetBlockSize(int blockSize);

    // ---- Identity ----
    const char* GetEffectName() const { return mEffectName; }
    const char* GetProductName() const { return mProductName; }
    const char* GetMfrName() const { return mMfrName; }
    int GetUniqueID() const { return mUniqueID; }
    int GetMfrID() const { return mMfrID; }
    // The vendor version 0xVVVVRRMM, or VVVV×10000 + RR×100 + MM when decimal.
    int GetEffectVersion(bool decimal) const;
    bool DoesMIDI() const { return mDoesMIDI; }
    bool DoesStateChunks() const { return mStateChunks; }
    bool IsInst() const { return mIsInst; }

    // ---- Parameters ----
    int ParamCount() const { return mParams.GetSize(); }
    IParam* Param(int paramIdx) const { return mParams.Get(paramIdx); }
    // OnParamChange for every index in ascending order.
    void OnParamReset();
    // Group names the adapter has turned into parameter clumps, in order of first sight.
    int NParamGroups() const { return mParamGroups.GetSize(); }
    // The name at index, or null outside the list.
    const char* GetParamGroupName(int idx) const;
    // Appends a copy of the name; returns the new count (the group's 1-based position), or 0
    // for a null name.
    int AddParamGroup(const char* name);

    // ---- Audio settings ----
    void SetSampleRate(double sampleRateHz) { mSampleRate = sampleRateHz; }
    double GetSampleRate() const { return mSampleRate; }
    int GetBlockSize() const { return mBlockSize; }
    int GetLatency() const { return mLatency; }
    unsigned GetTailSize() const { return mTailSize; }
    bool IsBypassed() const { return mIsBypassed; }
    void SetBypassed(bool bypassed) { mIsBypassed = bypassed; }

    // ---- Presets ----
    void MakeDefaultPreset(const char* name, int count);
    bool RestorePreset(int idx);
    bool RestorePresetByName(const char* name);
    // The name, or "" outside the list.
    const char* PresetName(int idx) const;
    void PruneUninitializedPresets();
    int NPresets() const { return mPresets.GetSize(); }
    int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }

    // ---- State chunk: 8 bytes per parameter, little-endian doubles, no header ----
    // Appends every value in index order; true when every append succeeded.
    bool SerializeParams(StateChunk& chunk);
    // Reads the values back clamped to each range, then OnParamReset. Returns the position after
    // the data. A chunk that is short or holds a non-finite value is refused whole: nothing
    // changes, no OnParamChange runs, and the result is −1.
    int UnserializeParams(const StateChunk& chunk, int startPos);
    // Whether UnserializeParams would take the chunk, without changing anything.
    bool IsValidParamsChunk(const StateChunk& chunk, int startPos) const;

    // ---- Channel configurations ----
    // True when some configuration matches; a negative count matches any.
    bool LegalIO(int nIn, int nOut) const;
    int NChannelIO() const { return mChannelIO.GetSize(); }
    // The counts of configuration idx; false (outputs untouched) outside the list.
    bool GetChannelIO(int idx, int* nIn, int* nOut, int* nSidechain = nullptr) const;
    int NInChannels() const { return mInChannels.GetSize(); }
    int NOutChannels() const { return mOutChannels.GetSize(); }
    int NSidechainChannels() const { return mSidechainChannels; }

    // ---- Host ----
    // Detects the host from its name (case-insensitive substrings) and stores the version.
    void SetHost(const char* name, int version);
    int GetHostVersion() const { return mHostVersion; }

    // ---- Channel plumbing (audio thread) ----
    void SetInputChannelConnections(int first, int count, bool connected);
    void SetOutputChannelConnections(int first, int count, bool connected);
    // Converts the next float buffer into each connected input channel of the range.
    void AttachInputBuffers(int first, int count, float* const* buffers, int nFrames);
    // Takes the next float buffer as destination of each connected output channel of the range.
    void AttachOutputBuffers(int first, int count, float* const* buffers);
    // ProcessReplacing, then the connected outputs back to floats.
    void ProcessBuffers(int nFrames);
    // Bypass: each output carries its input (input 0 past the inputs), then back to floats.
    void PassThroughBuffers(int nFrames);
    // Inline: the audio path asks for every channel of every block.
    bool IsInChannelConnected(int chIdx) const
    {
        const InChannel* ch = mInChannels.Get(chIdx);
        return ch && ch->connected && !ch->duplicateOfMain;
    }
    bool IsOutChannelConnected(int chIdx) const
    {
        const OutChannel* ch = mOutChannels.Get(chIdx);
        return ch && ch->connected;
    }
    void SetInputBusLabel(int idx, const char* label);
    void SetOutputBusLabel(int idx, const char* label);
    // The label at idx, or null when none was set there.
    const char* GetInputBusLabel(int idx) const;
    const char* GetOutputBusLabel(int idx) const;
    void LabelBusesForAPI();

    // ---- Transport ----
    // The running flag of a freshly filled TimeInfo; an adapter that can tell it without filling
    // the rest (asked every block) says so faster.
    virtual bool IsTransportRunning();
    // Calls Reset when the transport runs now and did not at the previous call; returns whether
    // it runs now (for the rest of the block, without asking the host again).
    bool ResetOnTransportStart();
    // Marks sidechain inputs that repeat the main input byte for byte (one host only). Inline:
    // without sidechain channels, as in most plug-ins and hosts, there is nothing to mark.
    void MarkSidechainDuplicates(int nFrames)
    {
        if (mSidechainChannels > 0)
            MarkSidechainChannels(nFrames);
    }

    // ---- Editor ----
    // Tells the plug-in and resizes the editor when the size differs; nothing without an editor.
    void ResizeGUI(int width, int height);
    // The editor (null without one); the layers above reach it as IGraphics through GetGUI
    // (editor/IGraphics.h).
    IPlugEditor* GetEditor() const { return mGraphics; }

    WDL_Mutex* GetMutex() { return &mMutex; }

protected:
    // The host id as stored, without detection (−1 while undetected).
    int StoredHost() const { return mHost; }

private:
    void ParseChannelIO(const char* channelIOStr);
    // Reads one finite value per parameter into values (when given); the position after them,
    // or −1 when the chunk is short or a value is not finite.
    int ReadParamsChunk(const StateChunk& chunk, int startPos, double* values) const;
    // Makes every scratch buffer hold at least nFrames samples and re-points the slots at them.
    void EnsureScratch(int nFrames);
    // MarkSidechainDuplicates with sidechain channels.
    void MarkSidechainChannels(int nFrames);
    void WriteOutputsToFloat(int nFrames);

    WDL_PtrList<ChannelIO> mChannelIO;
    WDL_Mutex mMutex;
    char mEffectName[kNameSize];
    char mProductName[kNameSize];
    char mMfrName[kNameSize];
    int mUniqueID;
    int mMfrID;
    int mVersion;
    int mAPI;
    int mHost = kHostUndetected;
    int mHostVersion = 0;
    bool mStateChunks;
    bool mIsInst;
    bool mDoesMIDI;
    bool mIsBypassed = false;
    int mCurrentPresetIdx = 0;
    double mSampleRate = 44100.0;
    int mBlockSize = 0;
    // Every channel's scratch holds at least this many frames.
    int mScratchFrames = 0;
    int mLatency;
    unsigned mTailSize = 0;
    WDL_PtrList<WDL_String> mParamGroups;
    int mSidechainChannels = 0;
    IPlugEditor* mGraphics = nullptr;
    WDL_PtrList<IParam> mParams;
    WDL_PtrList<IPreset> mPresets;
    WDL_TypedBuf<double*> mInData;
    WDL_TypedBuf<double*> mOutData;
    WDL_PtrList<WDL_String> mInputBusLabels;
    WDL_PtrList<WDL_String> mOutputBusLabels;
    WDL_PtrList<InChannel> mInChannels;
    WDL_PtrList<OutChannel> mOutChannels;
    bool mTransportWasRunning = false;
};
