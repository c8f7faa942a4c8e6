#include "framework/IPlugBase.h"

#include "editor/IGraphics.h"
#include "hosts/au/IPlugAU.h"
#include "support/AllocationCounter.h"
#include "support/MutexProbe.h"
#include "support/RecordingGraphics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int kNumParams = 19;
constexpr int kBlockSize = 1024;
constexpr int kUniqueId = 0x726B6A73; // "rkjs"
constexpr int kMfrId = 0x54774E6C;    // "TwNl"
constexpr int kVersion = 0x00050301;
constexpr const char* kChannelIO = "1-2-0 2-2-0";

// Parameter table of the plug-in: defaults and ranges; index 3 is never defined.
struct ParamDef
{
    const char* name;
    bool real;
    double defaultValue, minValue, maxValue, step;
    const char* label;
};
const ParamDef kParams[kNumParams] = {
    {"WidthMeter", true, 0.5, 0, 1, 0.01, ""},    {"Width", true, 0, -100, 100, 0.01, "%"},
    {"MonoToStereo", false, 0, 0, 1, 1, ""},      {nullptr, false, 0, 0, 1, 1, ""},
    {"Pan", true, 0, -100, 100, 0.01, "%"},       {"CorrelationMeter", true, 0, -1, 1, 0.01, ""},
    {"BassFocus", true, 100, 0, 500, 1, "Hz"},    {"OutGain", true, 0, -12, 12, 0.1, "dB"},
    {"MonoOut", false, 0, 0, 1, 1, ""},           {"VectorscopeMode0", false, 1, 0, 1, 1, ""},
    {"VectorscopeMode1", false, 0, 0, 1, 1, ""},  {"VectorscopeMode2", false, 0, 0, 1, 1, ""},
    {"VectorscopeMode3", false, 0, 0, 1, 1, ""},  {"VectorscopeMode4", false, 0, 0, 1, 1, ""},
    {"VectorscopeGraph0", false, 0, 0, 1, 1, ""}, {"VectorscopeGraph1", false, 0, 0, 1, 1, ""},
    {"VectorscopeGraph2", false, 0, 0, 1, 1, ""}, {"VectorscopeGraph3", false, 0, 0, 1, 1, ""},
    {"VectorscopeGraph4", false, 0, 0, 1, 1, ""},
};

IPlugInstanceInfo MakeInstanceInfo()
{
    IPlugInstanceInfo info;
    info.mOSXBundleID.Set("com.Tarnwel.audiounit.TW-Parandel");
    info.mCocoaViewFactoryClassName.Set("Parandel_View");
    return info;
}

// A plug-in with the real parameter table that records every hook the base calls. Its
// ProcessReplacing writes 2 × input 0 to output 0 and −input 1 to output 1, both exact in float.
class TestPlug : public IPlugAU
{
public:
    explicit TestPlug(const char* channelIO = kChannelIO, int nPresets = 1,
                      int nParams = kNumParams)
        : IPlugAU(MakeInstanceInfo(), nParams, channelIO, nPresets, "TW Parandel", "", "Tarnwel",
                  kVersion, kUniqueId, kMfrId, 0, false, false, false)
    {
        for (int i = 0; i < nParams && i < kNumParams; ++i)
        {
            const ParamDef& s = kParams[i];
            if (!s.name)
                continue;
            if (s.real)
                Param(i)->DefineDouble(s.name, s.defaultValue, s.minValue, s.maxValue, s.step,
                                       s.label);
            else
                Param(i)->DefineInt(s.name, static_cast<int>(s.defaultValue),
                                    static_cast<int>(s.minValue), static_cast<int>(s.maxValue));
        }
        MakeDefaultPreset("-", 1);
        LabelBusesForAPI();
        paramChanges.reserve(256);
    }

    void Reset() override
    {
        WDL_MutexLock lock(GetMutex());
        ++resetCount;
    }
    void OnParamChange(int paramIdx) override
    {
        WDL_MutexLock lock(GetMutex());
        paramChanges.push_back(paramIdx);
        if (checkMutex)
            paramChangeUnderMutex = HeldByThisThread(GetMutex());
    }
    void ProcessReplacing(double** inputs, double** outputs, int nFrames) override
    {
        ++processCount;
        lastInputs[0] = inputs[0];
        lastInputs[1] = NInChannels() > 1 ? inputs[1] : nullptr;
        for (int s = 0; s < nFrames; ++s)
        {
            outputs[0][s] = 2.0 * inputs[0][s];
            if (NOutChannels() > 1 && NInChannels() > 1)
                outputs[1][s] = -inputs[1][s];
        }
    }
    void OnEditorResize(int width, int height) override
    {
        editorResizes.push_back({width, height});
    }
    void OnWindowResize() override { ++windowResizeCount; }
    void OnHostIdentified() override { ++hostIdentifiedCount; }
    void OnPresetsChanged() override { ++presetsChangedCount; }
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override
    {
        if (checkMutex)
            informUnderMutex = HeldByThisThread(GetMutex());
        IPlugAU::InformHostOfParamChange(paramIdx, normalizedValue);
    }

    std::vector<int> paramChanges;
    std::vector<std::pair<int, int>> editorResizes;
    int resetCount = 0;
    int processCount = 0;
    int windowResizeCount = 0;
    int hostIdentifiedCount = 0;
    int presetsChangedCount = 0;
    bool checkMutex = false;
    bool paramChangeUnderMutex = false;
    bool informUnderMutex = false;
    const double* lastInputs[2] = {nullptr, nullptr};
};

// A plug-in that keeps every default hook of the base.
class PlainPlug : public IPlugAU
{
public:
    explicit PlainPlug(const char* channelIO, int nParams = 0, const char* names = "Plain")
        : IPlugAU(MakeInstanceInfo(), nParams, channelIO, 0, names, names, names, kVersion,
                  kUniqueId, kMfrId, 0, false, false, false)
    {
    }
    void OnEditorResize(int, int) override {}
};

// What the host's parameter listeners hear of a plug-in driven directly. Such a plug-in has no
// component instance, so its events name no unit; the listener takes events of any unit for
// every parameter and reads the value back through the plug-in's get-parameter procedure, as a
// host does when it is told of a change.
class HostListener
{
public:
    struct Event
    {
        AudioUnitEventType type;
        AudioUnitParameterID id;
        AudioUnitParameterValue value;
    };

    explicit HostListener(IPlugAU& plug) : mPlug(plug)
    {
        EXPECT_EQ(AUEventListenerCreate(Hear, this, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode,
                                        0.0f, 0.0f, &mListener),
                  noErr);
        for (AudioUnitEventType type :
             {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
              kAudioUnitEvent_EndParameterChangeGesture})
        {
            AudioUnitEvent e{};
            e.mEventType = type;
            e.mArgument.mParameter.mParameterID = kAUParameterListener_AnyParameter;
            EXPECT_EQ(AUEventListenerAddEventType(mListener, nullptr, &e), noErr);
        }
    }
    ~HostListener() { AUListenerDispose(mListener); }
    HostListener(const HostListener&) = delete;
    HostListener& operator=(const HostListener&) = delete;

    std::vector<Event> events;

private:
    static void Hear(void* refCon, void*, const AudioUnitEvent* e, UInt64, AudioUnitParameterValue)
    {
        auto* self = static_cast<HostListener*>(refCon);
        const AudioUnitParameter& p = e->mArgument.mParameter;
        AudioUnitParameterValue value = 0.0f;
        IPlugAU::GetParamProc(&self->mPlug, p.mParameterID, kAudioUnitScope_Global, 0, &value);
        self->events.push_back({e->mEventType, p.mParameterID, value});
    }

    IPlugAU& mPlug;
    AUEventListenerRef mListener = nullptr;
};

// Decodes the little-endian double at offset, independently of StateChunk.
double ReadLittleEndianDouble(const uint8_t* bytes)
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | bytes[i];
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

std::vector<int> AllIndices(int n)
{
    std::vector<int> v;
    for (int i = 0; i < n; ++i)
        v.push_back(i);
    return v;
}
} // namespace

// ---- Construction and identity ----

TEST(IPlugBaseConstruction, CountsNamesAndDefaults)
{
    TestPlug plug;
    EXPECT_EQ(plug.ParamCount(), kNumParams);
    EXPECT_EQ(plug.Param(-1), nullptr);
    EXPECT_EQ(plug.Param(kNumParams), nullptr);
    EXPECT_EQ(plug.NChannelIO(), 2);
    EXPECT_EQ(plug.NInChannels(), 2);
    EXPECT_EQ(plug.NOutChannels(), 2);
    EXPECT_EQ(plug.NSidechainChannels(), 0);
    EXPECT_EQ(plug.GetBlockSize(), kBlockSize);
    EXPECT_EQ(plug.GetSampleRate(), 44100.0);
    EXPECT_EQ(plug.GetLatency(), 0);
    EXPECT_EQ(plug.GetAPI(), kAPIAU);
    EXPECT_EQ(plug.GetAPI(), 2);
    EXPECT_STREQ(plug.GetEffectName(), "TW Parandel");
    EXPECT_STREQ(plug.GetProductName(), "");
    EXPECT_STREQ(plug.GetMfrName(), "Tarnwel");
    EXPECT_EQ(plug.GetUniqueID(), kUniqueId);
    EXPECT_EQ(plug.GetMfrID(), kMfrId);
    EXPECT_EQ(plug.GetEffectVersion(false), 0x50301);
    EXPECT_EQ(plug.GetEffectVersion(true), 50301);
    EXPECT_FALSE(plug.IsBypassed());
    EXPECT_EQ(GetGUI(plug), nullptr);
    EXPECT_STREQ(plug.GetBundleID(), "com.Tarnwel.audiounit.TW-Parandel");
    EXPECT_STREQ(plug.GetCocoaViewFactoryClassName(), "Parandel_View");

    // The undeclared index keeps the parameter model's initial state.
    EXPECT_EQ(plug.Param(3)->Type(), IParam::ParamType::None);
    EXPECT_STREQ(plug.Param(3)->GetName(), "");

    int in = -1, out = -1, sc = -1;
    ASSERT_TRUE(plug.GetChannelIO(0, &in, &out, &sc));
    EXPECT_EQ(in, 1);
    EXPECT_EQ(out, 2);
    EXPECT_EQ(sc, 0);
    ASSERT_TRUE(plug.GetChannelIO(1, &in, &out));
    EXPECT_EQ(in, 2);
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(plug.GetChannelIO(2, &in, &out));
}

TEST(IPlugBaseConstruction, OverlongNamesAreCut)
{
    const std::string longName(300, 'x');
    PlainPlug plug("1-1", 0, longName.c_str());
    const std::string cut(IPlugBase::kNameSize - 1, 'x');
    EXPECT_EQ(std::string(plug.GetEffectName()), cut);
    EXPECT_EQ(std::string(plug.GetProductName()), cut);
    EXPECT_EQ(std::string(plug.GetMfrName()), cut);
}

TEST(IPlugBaseConstruction, BusLabels)
{
    TestPlug plug;
    EXPECT_STREQ(plug.GetInputBusLabel(0), "main input");
    EXPECT_STREQ(plug.GetInputBusLabel(1), "aux input");
    EXPECT_STREQ(plug.GetOutputBusLabel(0), "output");
    EXPECT_EQ(plug.GetOutputBusLabel(1), nullptr);

    plug.SetInputBusLabel(2, "ignored");
    EXPECT_EQ(plug.GetInputBusLabel(2), nullptr) << "input labels only for buses 0 and 1";
    plug.SetOutputBusLabel(3, "late");
    EXPECT_STREQ(plug.GetOutputBusLabel(3), "late") << "the label keeps its index";
    EXPECT_STREQ(plug.GetOutputBusLabel(1), "");
    plug.SetOutputBusLabel(0, "renamed");
    EXPECT_STREQ(plug.GetOutputBusLabel(0), "renamed");

    TestPlug sidechained("2-2-1");
    EXPECT_STREQ(sidechained.GetInputBusLabel(0), "main input");
    EXPECT_STREQ(sidechained.GetInputBusLabel(1), "sc input");
}

TEST(IPlugBaseConstruction, ParameterGroups)
{
    TestPlug plug;
    EXPECT_EQ(plug.NParamGroups(), 0);
    EXPECT_EQ(plug.AddParamGroup("Stereo"), 1);
    EXPECT_EQ(plug.AddParamGroup("Output"), 2);
    EXPECT_EQ(plug.AddParamGroup(nullptr), 0);
    EXPECT_EQ(plug.NParamGroups(), 2);
    EXPECT_STREQ(plug.GetParamGroupName(1), "Output");
    EXPECT_EQ(plug.GetParamGroupName(2), nullptr);
}

// ---- Channel configurations ----

TEST(IPlugBaseChannelIO, LegalIO)
{
    TestPlug plug;
    EXPECT_TRUE(plug.LegalIO(1, 2));
    EXPECT_TRUE(plug.LegalIO(2, 2));
    EXPECT_FALSE(plug.LegalIO(2, 1));
    EXPECT_TRUE(plug.LegalIO(-1, 2));
    EXPECT_TRUE(plug.LegalIO(1, -1));
    EXPECT_TRUE(plug.LegalIO(-1, -1));
    EXPECT_FALSE(plug.LegalIO(3, -1));
    EXPECT_FALSE(plug.LegalIO(0, 0));
}

TEST(IPlugBaseChannelIO, TwoNumbersMeanNoSidechain)
{
    TestPlug plug("2-2");
    EXPECT_EQ(plug.NChannelIO(), 1);
    EXPECT_EQ(plug.NSidechainChannels(), 0);
    EXPECT_EQ(plug.NInChannels(), 2);
    EXPECT_TRUE(plug.LegalIO(2, 2));
}

TEST(IPlugBaseChannelIO, ExtraSpacesAddNoConfigurations)
{
    TestPlug plug("1-2  2-2 ");
    ASSERT_EQ(plug.NChannelIO(), 2);
    int in = 0, out = 0;
    ASSERT_TRUE(plug.GetChannelIO(1, &in, &out));
    EXPECT_EQ(in, 2);
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(plug.LegalIO(0, 0));
}

TEST(IPlugBaseChannelIO, SidechainCountsAsInput)
{
    TestPlug plug("1-1-1 2-2-2");
    EXPECT_EQ(plug.NSidechainChannels(), 2);
    EXPECT_EQ(plug.NInChannels(), 4);
    EXPECT_TRUE(plug.LegalIO(2, 1)) << "in includes the sidechain channel";
    EXPECT_FALSE(plug.LegalIO(1, 1));
    EXPECT_TRUE(plug.LegalIO(4, 2));
}

// ---- Host detection ----

TEST(IPlugBaseHost, NamesHostsGiveAreRecognisedWhateverTheirCase)
{
    // Names as hosts report them, each found inside a longer text in any case.
    const std::pair<const char*, int> hosts[] = {
        {"Ardour 7.3", 28}, {"REAPER64", 1}, {"Ableton Live 11", 9},
        {"GarageBand", 22}, {"AU Lab", 0},   {"Steinberg Cubase 12", 3},
    };
    TestPlug plug;
    for (const auto& [name, id] : hosts)
    {
        plug.SetHost(name, 7);
        EXPECT_EQ(plug.GetHost(), id) << name;
    }
}

TEST(IPlugBaseHost, NamedCases)
{
    TestPlug plug;
    plug.SetHost("Logic Pro", 0x000A0200);
    EXPECT_EQ(plug.GetHost(), 21);
    EXPECT_EQ(plug.GetHostVersion(), 0x000A0200);
    plug.SetHost("live and logic", 0);
    EXPECT_EQ(plug.GetHost(), 9);
    plug.SetHost("", 0);
    EXPECT_EQ(plug.GetHost(), 0);
    plug.SetHost(nullptr, 3);
    EXPECT_EQ(plug.GetHost(), 0);
    EXPECT_EQ(plug.GetHostVersion(), 3);
    plug.SetHost("lo gic", 0);
    EXPECT_EQ(plug.GetHost(), 0);
}

TEST(IPlugBaseHost, NamesOfAnyLengthAreSafe)
{
    TestPlug plug;
    std::string name(5000, 'Z');
    name += "Reaper";
    plug.SetHost(name.c_str(), 0);
    EXPECT_EQ(plug.GetHost(), 1);
}

TEST(IPlugBaseHost, UndetectedHostIsDetectedOnFirstAskAndReported)
{
    TestPlug plug;
    plug.HostSpecificInit();
    EXPECT_EQ(plug.GetHost(), 0);
    EXPECT_EQ(plug.hostIdentifiedCount, 1);
    plug.SetHost("reaper", 0);
    plug.HostSpecificInit();
    EXPECT_EQ(plug.GetHost(), 1) << "a known host is kept";
}

// ---- Parameter routing ----

TEST(IPlugBaseRouting, SetParameterFromGUIStoresInformsAndNotifiesUnderTheMutex)
{
    TestPlug plug;
    HostListener host(plug);
    plug.checkMutex = true;
    plug.SetParameterFromGUI(1, 0.75);
    EXPECT_DOUBLE_EQ(plug.Param(1)->Value(), 50.0);
    ASSERT_EQ(plug.paramChanges, std::vector<int>{1});
    ASSERT_EQ(host.events.size(), 1u) << "one value change, no gesture";
    EXPECT_EQ(host.events[0].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(host.events[0].id, 1u);
    EXPECT_EQ(host.events[0].value, 50.0f) << "stored (normalised 0.75) before the host is told";
    EXPECT_TRUE(plug.informUnderMutex);
    EXPECT_TRUE(plug.paramChangeUnderMutex);
    EXPECT_FALSE(HeldByThisThread(plug.GetMutex())) << "the mutex is released afterwards";

    // Integer parameters snap to their step.
    plug.SetParameterFromGUI(2, 0.6);
    EXPECT_EQ(plug.Param(2)->Value(), 1.0);
}

TEST(IPlugBaseRouting, InvalidIndexIsIgnored)
{
    TestPlug plug;
    HostListener host(plug);
    plug.SetParameterFromGUI(kNumParams, 0.5);
    plug.SetParameterFromGUI(-1, 0.5);
    EXPECT_TRUE(plug.paramChanges.empty());
    EXPECT_TRUE(host.events.empty());
}

TEST(IPlugBaseRouting, NonFiniteNormalisedValuesAreIgnored)
{
    TestPlug plug;
    HostListener host(plug);
    plug.Param(1)->SetValue(12.0);
    for (double n : {std::nan(""), HUGE_VAL, -HUGE_VAL})
        plug.SetParameterFromGUI(1, n);
    EXPECT_EQ(plug.Param(1)->Value(), 12.0);
    EXPECT_TRUE(plug.paramChanges.empty());
    EXPECT_TRUE(host.events.empty());
}

TEST(IPlugBaseRouting, GestureCallsReachTheHost)
{
    TestPlug plug;
    HostListener host(plug);
    plug.BeginInformHostOfParamChange(4);
    plug.EndInformHostOfParamChange(4);
    ASSERT_EQ(host.events.size(), 2u);
    EXPECT_EQ(host.events[0].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(host.events[1].type, kAudioUnitEvent_EndParameterChangeGesture);
    EXPECT_EQ(host.events[0].id, 4u);
    EXPECT_EQ(host.events[1].id, 4u);
}

TEST(IPlugBaseRouting, OnParamResetVisitsEveryIndexInOrder)
{
    TestPlug plug;
    plug.OnParamReset();
    EXPECT_EQ(plug.paramChanges, AllIndices(kNumParams));
}

TEST(IPlugBaseRouting, DefaultHooksTakeAndReleaseTheMutex)
{
    PlainPlug plug("1-1", 2);
    plug.Reset();
    plug.OnParamChange(0);
    plug.OnActivate(true);
    EXPECT_FALSE(HeldByThisThread(plug.GetMutex()));
    IMidiMsg msg;
    plug.ProcessMidiMessage(&msg); // goes to SendMidiMessage, which sends nothing
    EXPECT_FALSE(plug.SendMidiMessage(&msg));
}

// ---- Editor ----

TEST(IPlugBaseEditor, AttachGraphicsPassesNormalisedValuesInOrder)
{
    TestPlug plug;
    plug.Param(1)->SetValue(50.0);
    plug.Param(6)->SetValue(250.0);
    bool deleted = false;
    auto* gui = new RecordingGraphics(&plug, 456, 486, &deleted);
    plug.AttachGraphics(gui);
    EXPECT_EQ(GetGUI(plug), gui);
    ASSERT_EQ(gui->updates.size(), static_cast<size_t>(kNumParams));
    for (int i = 0; i < kNumParams; ++i)
    {
        EXPECT_EQ(gui->updates[i].paramIdx, i);
        EXPECT_TRUE(gui->updates[i].normalized);
    }
    EXPECT_DOUBLE_EQ(gui->updates[1].value, 0.75);
    EXPECT_DOUBLE_EQ(gui->updates[6].value, 0.5);
    EXPECT_DOUBLE_EQ(gui->updates[0].value, 0.5); // WidthMeter default 0.5 over 0..1
    EXPECT_EQ(gui->allocateCalls, 1);

    plug.AttachGraphics(nullptr);
    EXPECT_EQ(GetGUI(plug), gui) << "a null editor is ignored";

    gui->updates.clear();
    plug.RedrawParamControls();
    ASSERT_EQ(gui->updates.size(), static_cast<size_t>(kNumParams));
    EXPECT_FALSE(gui->updates[6].normalized);
    EXPECT_EQ(gui->updates[6].value, 250.0);
    EXPECT_EQ(gui->updates[18].paramIdx, 18);
}

TEST(IPlugBaseEditor, BaseDeletesItsEditor)
{
    bool deleted = false;
    {
        TestPlug plug;
        plug.AttachGraphics(new RecordingGraphics(&plug, 10, 10, &deleted));
        EXPECT_FALSE(deleted);
    }
    EXPECT_TRUE(deleted);

    // A replaced editor is deleted at once.
    bool firstDeleted = false;
    TestPlug plug;
    plug.AttachGraphics(new RecordingGraphics(&plug, 10, 10, &firstDeleted));
    plug.AttachGraphics(new RecordingGraphics(&plug, 10, 10));
    EXPECT_TRUE(firstDeleted);
}

TEST(IPlugBaseEditor, ResizeOnlyWhenTheSizeChanges)
{
    TestPlug plug;
    plug.ResizeGUI(300, 200); // no editor: nothing happens
    plug.RedrawParamControls();
    EXPECT_TRUE(plug.editorResizes.empty());
    EXPECT_EQ(plug.windowResizeCount, 0);

    auto* gui = new RecordingGraphics(&plug, 456, 486);
    plug.AttachGraphics(gui);
    plug.ResizeGUI(456, 486);
    EXPECT_TRUE(plug.editorResizes.empty());
    EXPECT_EQ(plug.windowResizeCount, 0);

    plug.ResizeGUI(500, 486);
    ASSERT_EQ(plug.editorResizes.size(), 1u);
    EXPECT_EQ(plug.editorResizes[0], std::make_pair(500, 486));
    EXPECT_EQ(gui->Width(), 500);
    EXPECT_EQ(gui->Height(), 486);
    EXPECT_EQ(plug.windowResizeCount, 1) << "the editor's resize reaches ResizeGraphics";
}

// ---- State chunk ----

TEST(IPlugBaseState, DefaultsMake152LittleEndianBytes)
{
    TestPlug plug;
    StateChunk chunk;
    ASSERT_TRUE(plug.SerializeParams(chunk));
    ASSERT_EQ(chunk.Size(), 152);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(ReadLittleEndianDouble(chunk.GetData() + 8 * i), kParams[i].defaultValue)
            << "param " << i;
    // 0.5 is 0x3FE0000000000000: the high byte comes last.
    EXPECT_EQ(chunk.GetData()[7], 0x3F);
    EXPECT_EQ(chunk.GetData()[6], 0xE0);
    EXPECT_EQ(chunk.GetData()[0], 0x00);
}

TEST(IPlugBaseState, AppendsAfterExistingBytes)
{
    TestPlug plug;
    StateChunk chunk;
    const uint8_t header[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    chunk.PutBytes(header, 10);
    ASSERT_TRUE(plug.SerializeParams(chunk));
    ASSERT_EQ(chunk.Size(), 162);
    EXPECT_EQ(std::memcmp(chunk.GetData(), header, 10), 0);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(ReadLittleEndianDouble(chunk.GetData() + 10 + 8 * i), kParams[i].defaultValue)
            << "param " << i;

    TestPlug reader;
    reader.Param(6)->SetValue(0.0);
    EXPECT_EQ(reader.UnserializeParams(chunk, 10), 162);
    EXPECT_EQ(reader.Param(6)->Value(), 100.0);
}

TEST(IPlugBaseState, RoundTripRestoresEveryValue)
{
    TestPlug plug;
    const double values[kNumParams] = {0.25, -37.5, 1, 0.75, 12.25, -0.5, 333, -6.5, 1, 0,
                                       0,    1,     0, 0,    1,     0,    1,   0,    1};
    for (int i = 0; i < kNumParams; ++i)
        plug.Param(i)->SetValue(values[i]);
    StateChunk chunk;
    ASSERT_TRUE(plug.SerializeParams(chunk));

    TestPlug other;
    other.checkMutex = true;
    EXPECT_EQ(other.UnserializeParams(chunk, 0), 152);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(other.Param(i)->Value(), values[i]) << "param " << i;
    EXPECT_EQ(other.paramChanges, AllIndices(kNumParams));
    EXPECT_TRUE(other.paramChangeUnderMutex);

    // The state hooks default to the same chunk.
    StateChunk viaHook;
    ASSERT_TRUE(other.SerializeState(viaHook));
    ASSERT_EQ(viaHook.Size(), chunk.Size());
    EXPECT_EQ(std::memcmp(viaHook.GetData(), chunk.GetData(), chunk.Size()), 0);
    EXPECT_EQ(plug.UnserializeState(viaHook, 0), 152);
}

TEST(IPlugBaseState, ShortChunksChangeNothingAndFail)
{
    TestPlug plug;
    StateChunk chunk;
    chunk.PutDouble(0.9);   // param 0
    chunk.PutDouble(-25.0); // param 1
    const uint8_t partial[4] = {0, 0, 0, 0};
    chunk.PutBytes(partial, 4);
    ASSERT_EQ(chunk.Size(), 20);
    for (int i = 0; i < kNumParams; ++i)
        plug.Param(i)->SetValue(1.0);

    EXPECT_EQ(plug.UnserializeParams(chunk, 0), -1);
    EXPECT_EQ(plug.UnserializeState(chunk, 0), -1);
    // One value short of a whole state, and a start position past the end.
    StateChunk almost;
    for (int i = 0; i < kNumParams - 1; ++i)
        almost.PutDouble(0.5);
    EXPECT_EQ(plug.UnserializeParams(almost, 0), -1);
    EXPECT_EQ(plug.UnserializeParams(chunk, 100), -1);
    EXPECT_EQ(plug.UnserializeParams(chunk, -8), -1);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(plug.Param(i)->Value(), 1.0) << "param " << i;
    EXPECT_TRUE(plug.paramChanges.empty()) << "nothing changed, so nothing is announced";
}

TEST(IPlugBaseState, NonFiniteValuesRefuseTheWholeChunk)
{
    const double bad[] = {std::nan(""), HUGE_VAL, -HUGE_VAL};
    for (double b : bad)
    {
        TestPlug source;
        source.Param(1)->SetValue(40.0);
        source.Param(4)->SetValue(b);
        StateChunk chunk;
        ASSERT_TRUE(source.SerializeParams(chunk));

        TestPlug plug;
        plug.Param(7)->SetValue(-3.0);
        EXPECT_EQ(plug.UnserializeParams(chunk, 0), -1) << b;
        EXPECT_EQ(plug.Param(1)->Value(), 0.0) << b << ": values before the bad one stay too";
        EXPECT_EQ(plug.Param(4)->Value(), 0.0) << b;
        EXPECT_EQ(plug.Param(7)->Value(), -3.0) << b;
        EXPECT_TRUE(plug.paramChanges.empty()) << b;
    }
}

TEST(IPlugBaseState, OutOfRangeValuesAreClampedOnRestore)
{
    TestPlug plug;
    plug.Param(1)->SetValue(150.0);
    plug.Param(4)->SetValue(-1000.0);
    plug.Param(6)->SetValue(499.0);
    StateChunk chunk;
    ASSERT_TRUE(plug.SerializeParams(chunk));
    EXPECT_EQ(ReadLittleEndianDouble(chunk.GetData() + 8), 150.0) << "saved as it stands";

    TestPlug other;
    EXPECT_EQ(other.UnserializeParams(chunk, 0), 152);
    EXPECT_EQ(other.Param(1)->Value(), 100.0);
    EXPECT_EQ(other.Param(4)->Value(), -100.0);
    EXPECT_EQ(other.Param(6)->Value(), 499.0);
}

TEST(IPlugBaseState, NoParametersStillSucceeds)
{
    PlainPlug plug("1-1", 0);
    StateChunk chunk;
    EXPECT_TRUE(plug.SerializeParams(chunk));
    EXPECT_EQ(chunk.Size(), 0);
    EXPECT_EQ(plug.UnserializeParams(chunk, 0), 0);
}

// ---- Presets ----

TEST(IPlugBasePresets, DefaultPresetRestoresTheDefaults)
{
    TestPlug plug;
    ASSERT_EQ(plug.NPresets(), 1);
    EXPECT_STREQ(plug.PresetName(0), "-");
    EXPECT_STREQ(plug.PresetName(1), "");

    auto* gui = new RecordingGraphics(&plug, 10, 10);
    plug.AttachGraphics(gui);
    gui->updates.clear();

    plug.Param(1)->SetValue(42.0);
    plug.Param(7)->SetValue(-3.0);
    EXPECT_TRUE(plug.RestorePreset(0));
    EXPECT_EQ(plug.Param(1)->Value(), 0.0);
    EXPECT_EQ(plug.Param(7)->Value(), 0.0);
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 0);
    EXPECT_EQ(plug.presetsChangedCount, 1);
    ASSERT_EQ(gui->updates.size(), static_cast<size_t>(kNumParams)) << "controls redrawn";
    EXPECT_FALSE(gui->updates[1].normalized);

    EXPECT_FALSE(plug.RestorePreset(1));
    EXPECT_FALSE(plug.RestorePreset(-1));
    EXPECT_EQ(plug.presetsChangedCount, 1);
}

TEST(IPlugBasePresets, EmptySlotsBecomeNumberedUserPresets)
{
    TestPlug plug(kChannelIO, 3);
    EXPECT_STREQ(plug.PresetName(0), "-");
    EXPECT_STREQ(plug.PresetName(1), "empty");

    plug.Param(1)->SetValue(20.0);
    EXPECT_TRUE(plug.RestorePreset(2));
    EXPECT_STREQ(plug.PresetName(2), "user preset 1");
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 2);
    EXPECT_EQ(plug.Param(1)->Value(), 20.0) << "recording a preset keeps the values";

    plug.Param(1)->SetValue(-60.0);
    EXPECT_TRUE(plug.RestorePreset(1));
    EXPECT_STREQ(plug.PresetName(1), "user preset 2");

    plug.Param(1)->SetValue(0.0);
    EXPECT_TRUE(plug.RestorePresetByName("user preset 1"));
    EXPECT_EQ(plug.Param(1)->Value(), 20.0);
    EXPECT_EQ(plug.GetCurrentPresetIdx(), 2);
    EXPECT_TRUE(plug.RestorePresetByName("user preset 2"));
    EXPECT_EQ(plug.Param(1)->Value(), -60.0);

    EXPECT_FALSE(plug.RestorePresetByName(""));
    EXPECT_FALSE(plug.RestorePresetByName(nullptr));
    EXPECT_FALSE(plug.RestorePresetByName("user preset"));
    EXPECT_FALSE(plug.RestorePresetByName("user preset 3"));
}

TEST(IPlugBasePresets, PruneAndDefaultNames)
{
    TestPlug plug(kChannelIO, 4);
    plug.MakeDefaultPreset(nullptr, 1);
    EXPECT_STREQ(plug.PresetName(1), "Empty");
    plug.MakeDefaultPreset("x", 10); // only the two free slots are taken
    EXPECT_STREQ(plug.PresetName(3), "x");

    TestPlug sparse(kChannelIO, 4);
    ASSERT_EQ(sparse.NPresets(), 4);
    sparse.PruneUninitializedPresets();
    ASSERT_EQ(sparse.NPresets(), 1);
    EXPECT_STREQ(sparse.PresetName(0), "-");
}

// ---- Channel plumbing ----

namespace
{
constexpr int kFrames = 64;

struct FloatBuffers
{
    std::vector<float> in0, in1, out0, out1;
    FloatBuffers() : in0(kFrames), in1(kFrames), out0(kFrames, 99.0f), out1(kFrames, 99.0f)
    {
        for (int s = 0; s < kFrames; ++s)
        {
            in0[s] = 0.25f * static_cast<float>(s - 20);
            in1[s] = 0.125f * static_cast<float>(7 - s);
        }
    }
};
} // namespace

TEST(IPlugBasePlumbing, FloatToDoubleAndBack)
{
    TestPlug plug;
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetOutputChannelConnections(0, 2, true);
    EXPECT_TRUE(plug.IsInChannelConnected(1));
    EXPECT_TRUE(plug.IsOutChannelConnected(1));
    float* ins[] = {b.in0.data(), b.in1.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};
    plug.AttachInputBuffers(0, 2, ins, kFrames);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(kFrames);
    EXPECT_EQ(plug.processCount, 1);
    for (int s = 0; s < kFrames; ++s)
    {
        EXPECT_EQ(plug.lastInputs[0][s], static_cast<double>(b.in0[s])) << "s=" << s;
        EXPECT_EQ(b.out0[s], 2.0f * b.in0[s]) << "s=" << s;
        EXPECT_EQ(b.out1[s], -b.in1[s]) << "s=" << s;
    }
}

TEST(IPlugBasePlumbing, UnconnectedChannelsConsumeNoBufferAndAreNotWritten)
{
    TestPlug plug;
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetInputChannelConnections(0, 1, false); // input 0 off, input 1 on
    plug.SetOutputChannelConnections(0, 1, true); // output 0 on, output 1 off
    EXPECT_FALSE(plug.IsInChannelConnected(0));
    EXPECT_TRUE(plug.IsInChannelConnected(1));
    EXPECT_TRUE(plug.IsOutChannelConnected(0));
    EXPECT_FALSE(plug.IsOutChannelConnected(1));
    EXPECT_FALSE(plug.IsInChannelConnected(2));
    EXPECT_FALSE(plug.IsOutChannelConnected(-1));

    // The one buffer given goes to the first connected channel, input 1.
    float* ins[] = {b.in0.data()};
    float* outs[] = {b.out0.data()};
    plug.AttachInputBuffers(0, 2, ins, kFrames);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(kFrames);
    for (int s = 0; s < kFrames; ++s)
    {
        EXPECT_EQ(plug.lastInputs[0][s], 0.0) << "unconnected input reads zeroed scratch";
        EXPECT_EQ(plug.lastInputs[1][s], static_cast<double>(b.in0[s]));
        EXPECT_EQ(b.out0[s], 0.0f);
        EXPECT_EQ(b.out1[s], 99.0f) << "an unconnected output is not written";
    }

    // An output disconnected after it had a buffer is not written either.
    plug.SetOutputChannelConnections(1, 1, true);
    float* bothOuts[] = {b.out0.data(), b.out1.data()};
    plug.AttachOutputBuffers(0, 2, bothOuts);
    plug.SetOutputChannelConnections(1, 1, false);
    plug.ProcessBuffers(kFrames);
    for (int s = 0; s < kFrames; ++s)
        ASSERT_EQ(b.out1[s], 99.0f) << "s=" << s;
}

TEST(IPlugBasePlumbing, DisconnectedChannelKeepsItsLastSamplesUntilTheBlockSizeChanges)
{
    TestPlug plug;
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetOutputChannelConnections(0, 2, true);
    float* ins[] = {b.in0.data(), b.in1.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};
    plug.AttachInputBuffers(0, 2, ins, kFrames);
    plug.SetInputChannelConnections(0, 1, false);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(kFrames);
    EXPECT_EQ(plug.lastInputs[0][5], static_cast<double>(b.in0[5]));

    plug.SetBlockSize(kBlockSize); // same size: nothing changes
    plug.ProcessBuffers(kFrames);
    EXPECT_EQ(plug.lastInputs[0][5], static_cast<double>(b.in0[5]));

    plug.SetBlockSize(512);
    EXPECT_EQ(plug.GetBlockSize(), 512);
    plug.ProcessBuffers(kFrames);
    for (int s = 0; s < kFrames; ++s)
        EXPECT_EQ(plug.lastInputs[0][s], 0.0) << "s=" << s;
}

TEST(IPlugBasePlumbing, BypassCopiesInputZeroToEveryOutputOfAMonoConfiguration)
{
    TestPlug plug("1-2-0");
    ASSERT_EQ(plug.NInChannels(), 1);
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 1, true);
    plug.SetOutputChannelConnections(0, 2, true);
    float* ins[] = {b.in0.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};
    plug.AttachInputBuffers(0, 1, ins, kFrames);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.SetBypassed(true);
    EXPECT_TRUE(plug.IsBypassed());
    plug.PassThroughBuffers(kFrames);
    EXPECT_EQ(plug.processCount, 0);
    for (int s = 0; s < kFrames; ++s)
    {
        EXPECT_EQ(b.out0[s], b.in0[s]) << "s=" << s;
        EXPECT_EQ(b.out1[s], b.in0[s]) << "s=" << s;
    }
}

TEST(IPlugBasePlumbing, BypassFeedsUnconnectedInputsFromInputZero)
{
    // "1-2-0 2-2-0" has two input channels; a mono host connects only the first.
    TestPlug plug("1-2-0 2-2-0");
    ASSERT_EQ(plug.NInChannels(), 2);
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 1, true);
    plug.SetInputChannelConnections(1, 1, false);
    plug.SetOutputChannelConnections(0, 2, true);
    float* ins[] = {b.in0.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};
    plug.AttachInputBuffers(0, 2, ins, kFrames);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.PassThroughBuffers(kFrames);
    for (int s = 0; s < kFrames; ++s)
    {
        EXPECT_EQ(b.out0[s], b.in0[s]) << "s=" << s;
        EXPECT_EQ(b.out1[s], b.in0[s]) << "s=" << s;
    }
}

TEST(IPlugBasePlumbing, BypassKeepsStereoChannelsApart)
{
    TestPlug plug;
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetOutputChannelConnections(0, 2, true);
    float* ins[] = {b.in0.data(), b.in1.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};
    plug.AttachInputBuffers(0, 2, ins, kFrames);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.PassThroughBuffers(kFrames);
    for (int s = 0; s < kFrames; ++s)
    {
        EXPECT_EQ(b.out0[s], b.in0[s]) << "s=" << s;
        EXPECT_EQ(b.out1[s], b.in1[s]) << "s=" << s;
    }
}

TEST(IPlugBasePlumbing, BypassWithoutInputsGivesSilence)
{
    PlainPlug plug("0-2");
    FloatBuffers b;
    plug.SetOutputChannelConnections(0, 2, true);
    float* outs[] = {b.out0.data(), b.out1.data()};
    plug.AttachOutputBuffers(0, 2, outs);
    plug.PassThroughBuffers(kFrames);
    for (int s = 0; s < kFrames; ++s)
        ASSERT_EQ(b.out0[s] + b.out1[s], 0.0f) << "s=" << s;
}

TEST(IPlugBasePlumbing, DefaultProcessCopiesAndZeroFills)
{
    PlainPlug plug("1-2");
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 1, true);
    plug.SetOutputChannelConnections(0, 2, true);
    float* ins[] = {b.in0.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};
    plug.AttachInputBuffers(0, 1, ins, kFrames);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(kFrames);
    for (int s = 0; s < kFrames; ++s)
    {
        EXPECT_EQ(b.out0[s], b.in0[s]) << "s=" << s;
        EXPECT_EQ(b.out1[s], 0.0f) << "s=" << s;
    }
}

TEST(IPlugBasePlumbing, RangesAreBoundedByTheChannelCount)
{
    TestPlug plug;
    plug.SetInputChannelConnections(1, 100, true);
    EXPECT_FALSE(plug.IsInChannelConnected(0));
    EXPECT_TRUE(plug.IsInChannelConnected(1));
    plug.SetOutputChannelConnections(-3, 4, true);
    EXPECT_TRUE(plug.IsOutChannelConnected(0));
    EXPECT_FALSE(plug.IsOutChannelConnected(1));
    plug.SetOutputChannelConnections(0x7FFFFFF0, 0x7FFFFFF0, true); // no overflow
    EXPECT_FALSE(plug.IsOutChannelConnected(1));
}

TEST(IPlugBasePlumbing, LongerBlockGrowsTheScratchOnce)
{
    TestPlug plug;
    plug.SetBlockSize(16);
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetOutputChannelConnections(0, 2, true);
    float* ins[] = {b.in0.data(), b.in1.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};

    plug.AttachInputBuffers(0, 2, ins, kFrames); // 64 > 16: grows here
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(kFrames);
    for (int s = 0; s < kFrames; ++s)
        EXPECT_EQ(b.out1[s], -b.in1[s]) << "s=" << s;

    AllocationCounter::Start();
    plug.AttachInputBuffers(0, 2, ins, kFrames);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(kFrames);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0) << "the second long block allocates nothing";
}

TEST(IPlugBasePlumbing, AudioPathAllocatesNothingAfterSetUp)
{
    TestPlug plug("1-1-1 2-2-2");
    plug.SetHost("logic", 0);
    plug.SetHostTransport(true, 100.0);
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 4, true);
    plug.SetOutputChannelConnections(0, 2, true);
    float* ins[] = {b.in0.data(), b.in1.data(), b.in0.data(), b.in1.data()};
    float* outs[] = {b.out0.data(), b.out1.data()};

    // The counter does see allocations.
    AllocationCounter::Start();
    int* volatile probe = new int(1); // volatile: the pair may not be elided
    delete probe;
    AllocationCounter::Stop();
    ASSERT_GT(AllocationCounter::Count(), 0);

    AllocationCounter::Start();
    for (int block = 0; block < 4; ++block)
    {
        plug.ResetOnTransportStart();
        plug.AttachInputBuffers(0, 4, ins, kFrames);
        plug.MarkSidechainDuplicates(kFrames);
        plug.AttachOutputBuffers(0, 2, outs);
        plug.ProcessBuffers(kFrames);
        plug.PassThroughBuffers(kFrames);
        (void)plug.IsTransportRunning();
    }
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
}

// ---- Transport and sidechain ----

TEST(IPlugBaseTransport, GetTimeDefaults)
{
    TestPlug plug;
    TimeInfo t;
    t.tempo = 0.0;
    t.numerator = 0;
    ASSERT_TRUE(plug.GetTime(&t));
    EXPECT_EQ(t.tempo, 120.0);
    EXPECT_EQ(t.samplePos, -1.0);
    EXPECT_EQ(t.ppqPos, -1.0);
    EXPECT_EQ(t.lastBarPos, -1.0);
    EXPECT_EQ(t.cycleStartPos, -1.0);
    EXPECT_EQ(t.cycleEndPos, -1.0);
    EXPECT_EQ(t.numerator, 4);
    EXPECT_EQ(t.denominator, 4);
    EXPECT_FALSE(t.transportIsRunning);
    EXPECT_FALSE(t.transportLoopEnabled);
    EXPECT_FALSE(plug.IsTransportRunning());

    plug.SetHostTransport(true, 4096.0);
    ASSERT_TRUE(plug.GetTime(&t));
    EXPECT_TRUE(t.transportIsRunning);
    EXPECT_EQ(t.samplePos, 4096.0);
    EXPECT_TRUE(plug.IsTransportRunning());
}

TEST(IPlugBaseTransport, ResetOnlyOnAStoppedToRunningEdge)
{
    TestPlug plug;
    plug.ResetOnTransportStart();
    EXPECT_EQ(plug.resetCount, 0) << "stopped";
    plug.SetHostTransport(true, 0.0);
    plug.ResetOnTransportStart();
    EXPECT_EQ(plug.resetCount, 1) << "stopped -> running";
    plug.ResetOnTransportStart();
    EXPECT_EQ(plug.resetCount, 1) << "running -> running";
    plug.SetHostTransport(false, 0.0);
    plug.ResetOnTransportStart();
    EXPECT_EQ(plug.resetCount, 1) << "running -> stopped";
    plug.SetHostTransport(true, 0.0);
    plug.ResetOnTransportStart();
    EXPECT_EQ(plug.resetCount, 2) << "stopped -> running again";
}

TEST(IPlugBaseSidechain, DuplicatesAreMarkedOnlyForOneHost)
{
    TestPlug plug("2-2-2");
    ASSERT_EQ(plug.NInChannels(), 4);
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 4, true);
    float* same[] = {b.in0.data(), b.in1.data(), b.in0.data(), b.in1.data()};
    plug.AttachInputBuffers(0, 4, same, kFrames);

    plug.SetHost("another host", 0);
    plug.MarkSidechainDuplicates(kFrames);
    EXPECT_TRUE(plug.IsInChannelConnected(2));
    EXPECT_TRUE(plug.IsInChannelConnected(3));

    plug.SetHost("Logic Pro", 0);
    plug.MarkSidechainDuplicates(kFrames);
    EXPECT_TRUE(plug.IsInChannelConnected(0));
    EXPECT_TRUE(plug.IsInChannelConnected(1));
    EXPECT_FALSE(plug.IsInChannelConnected(2));
    EXPECT_FALSE(plug.IsInChannelConnected(3));

    // One differing sample is enough to count as a real sidechain.
    std::vector<float> changed = b.in1;
    changed[kFrames - 1] += 1.0f;
    float* different[] = {b.in0.data(), b.in1.data(), b.in0.data(), changed.data()};
    plug.AttachInputBuffers(0, 4, different, kFrames);
    plug.MarkSidechainDuplicates(kFrames);
    EXPECT_FALSE(plug.IsInChannelConnected(2));
    EXPECT_TRUE(plug.IsInChannelConnected(3));
}

TEST(IPlugBaseSidechain, NothingIsMarkedWithoutSidechainChannels)
{
    TestPlug plug;
    FloatBuffers b;
    plug.SetInputChannelConnections(0, 2, true);
    float* same[] = {b.in0.data(), b.in0.data()};
    plug.AttachInputBuffers(0, 2, same, kFrames);
    plug.SetHost("logic", 0);
    plug.MarkSidechainDuplicates(kFrames);
    EXPECT_TRUE(plug.IsInChannelConnected(0));
    EXPECT_TRUE(plug.IsInChannelConnected(1));
}
