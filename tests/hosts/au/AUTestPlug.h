#pragma once
// Small plug-ins hosted through their own component entries, for what TW Parandel itself does
// not have: parameter groups, display texts, negated display, MIDI, an instrument's buses.

#include "hosts/au/IPlugAU.h"
#include "support/MutexProbe.h"

#include <thread>
#include <vector>

class AUTestPlug : public IPlugAU
{
public:
    enum
    {
        kGain = 0,  // real, dB, group "Output"
        kMode,      // enum with texts "Soft", "Hard", "Clip", group "Tone"
        kInvert,    // real, shown negated, group "Output"
        kUngrouped, // int
        kNumParams
    };

    AUTestPlug(IPlugInstanceInfo info, const char* channelIO, bool instrument)
        : IPlugAU(info, kNumParams, channelIO, 2, "Test Plug", "", "Tester", 0x00010203,
                  FourCCValue("tplg"), FourCCValue("Test"), 0, true, false, instrument)
    {
        wasCreatedUnderCreationMutex = HeldByThisThread(&IPlugAUCreationMutex());
        Param(kGain)->DefineDouble("Gain", 0.0, -24.0, 24.0, 0.1, "dB", "Output");
        Param(kMode)->DefineEnum("Mode", 1, 3, "", "Tone");
        Param(kMode)->AddDisplayText(0, "Soft");
        Param(kMode)->AddDisplayText(1, "Hard");
        Param(kMode)->AddDisplayText(2, "Clip");
        Param(kInvert)->DefineDouble("Invert", 0.0, -10.0, 10.0, 0.5, "", "Output");
        Param(kInvert)->negateDisplay = true;
        Param(kUngrouped)->DefineInt("Count", 2, 0, 8);
        Param(kUngrouped)->canAutomate = false;
        MakeDefaultPreset("first", 1);
        LabelBusesForAPI();
        ++liveCount;
    }
    ~AUTestPlug() override { --liveCount; }

    static int FourCCValue(const char (&c)[5]) { return static_cast<int>(FourCC(c)); }

    void Reset() override
    {
        resetUnderMutex = HeldByThisThread(GetMutex());
        ++resetCount;
    }
    void OnParamChange(int idx) override { paramChanges.push_back(idx); }
    void OnActivate(bool active) override { activations.push_back(active); }
    void ProcessReplacing(double** in, double** out, int n) override
    {
        ++processCount;
        // Denormal inputs read as zero (DAZ) and denormal results become zero (FTZ).
        volatile double tiny = 1e-310, small = 1e-300;
        denormalsFlushedInProcess = tiny * 1.0 == 0.0 && small * 1e-20 == 0.0;
        IPlugBase::ProcessReplacing(in, out, n);
    }
    void ProcessMidiMessage(IMidiMsg* msg) override { midi.push_back(*msg); }
    void ProcessSysEx(ISysEx* msg) override { sysex.push_back(*msg); }
    void OnHostIdentified() override { ++hostIdentified; }
    void OnEditorResize(int, int) override {}

    static int liveCount;
    bool wasCreatedUnderCreationMutex = false;
    bool resetUnderMutex = false;
    int resetCount = 0;
    int processCount = 0;
    bool denormalsFlushedInProcess = false;
    int hostIdentified = 0;
    std::vector<int> paramChanges;
    std::vector<bool> activations;
    std::vector<IMidiMsg> midi;
    std::vector<ISysEx> sysex;
};

// Registered components of the test plug: an effect ("1-2 2-2") and an instrument with four
// outputs in two stereo buses ("0-4").
Component RegisterTestEffect();
Component RegisterTestInstrument();
// The plug-in behind an open unit.
inline AUTestPlug* TestPlugOf(AudioUnit unit)
{
    return static_cast<AUTestPlug*>(IPlugAU::FromStorage(GetComponentInstanceStorage(unit)));
}
