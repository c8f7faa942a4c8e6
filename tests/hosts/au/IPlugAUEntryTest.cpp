// The component entry as a host drives it: open and close, the selectors, listeners, render
// notifications, scheduled parameters, instrument calls, parameters and gestures.

#include "AUTestHost.h"
#include "AUTestPlug.h"

#include "editor/IGraphics.h"
#include "engine/Parandel.h"
#include "engine/ParandelEntry.h"
#include "hosts/au/IPlugAU.h"
#include "support/RecordingGraphics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace
{
constexpr int kParandelParams = 19;

Parandel* PlugOf(AudioUnit unit)
{
    return static_cast<Parandel*>(IPlugAU::FromStorage(GetComponentInstanceStorage(unit)));
}

// Calls an entry directly with a selector and no arguments.
ComponentResult CallEntry(SInt16 selector, void* storage)
{
    ComponentParameters p{};
    p.what = selector;
    return Parandel_Entry(&p, storage);
}

struct ListenerCall
{
    void* ref;
    AudioUnit unit;
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    bool underMutex;
};
std::vector<ListenerCall> gListenerCalls;

void RecordListener(void* ref, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                    AudioUnitElement element)
{
    gListenerCalls.push_back(
        {ref, unit, id, scope, element, HeldByThisThread(PlugOf(unit)->GetMutex())});
}
void OtherListener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {}

struct NotifyCall
{
    void* ref;
    AudioUnitRenderActionFlags flags;
    double sampleTime;
    UInt32 bus, frames;
    AudioBufferList* list;
};
std::vector<NotifyCall> gNotifyCalls;

OSStatus RecordNotify(void* ref, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts,
                      UInt32 bus, UInt32 frames, AudioBufferList* list)
{
    gNotifyCalls.push_back({ref, *flags, ts->mSampleTime, bus, frames, list});
    return noErr;
}
} // namespace

// ---- Open and close ----

TEST(AUEntry, OpenMakesThePlugInTheInstanceStorage)
{
    AUTestHost host;
    ASSERT_EQ(host.openStatus, noErr);
    ASSERT_NE(host.unit, nullptr);
    Parandel* plug = PlugOf(host.unit);
    ASSERT_NE(plug, nullptr);
    EXPECT_EQ(plug->GetComponentInstance(), host.unit);
    EXPECT_STREQ(plug->GetBundleID(), "com.Tarnwel.audiounit.TW-Parandel");
    EXPECT_STREQ(plug->GetCocoaViewFactoryClassName(), "Parandel_View");
    EXPECT_EQ(plug->GetHost(), kHostUnknown) << "detected at open; no host identifier here";
    EXPECT_EQ(plug->NPresets(), 1) << "the initialised default preset survives pruning";

    ComponentDescription cd{};
    ASSERT_EQ(
        GetComponentInfo(reinterpret_cast<Component>(host.unit), &cd, nullptr, nullptr, nullptr),
        noErr);
    EXPECT_EQ(cd.componentType, FourCC("aufx"));
    EXPECT_EQ(cd.componentSubType, FourCC("rkjs"));
    EXPECT_EQ(cd.componentManufacturer, FourCC("TwNl"));
    ComponentDescription looking{};
    looking.componentSubType = FourCC("rkjs");
    EXPECT_EQ(FindNextComponent(nullptr, &looking), ParandelRegisterComponent());
}

TEST(AUEntry, CreationHoldsTheCreationMutexAndCloseDeletes)
{
    const int before = AUTestPlug::liveCount;
    {
        AUTestHost host(RegisterTestEffect());
        ASSERT_EQ(host.openStatus, noErr);
        AUTestPlug* plug = TestPlugOf(host.unit);
        EXPECT_TRUE(plug->wasCreatedUnderCreationMutex);
        EXPECT_EQ(plug->hostIdentified, 1) << "HostSpecificInit at open";
        EXPECT_EQ(plug->NPresets(), 1) << "the uninitialised second preset is pruned";
        EXPECT_EQ(AUTestPlug::liveCount, before + 1);
        EXPECT_FALSE(HeldByThisThread(&IPlugAUCreationMutex()));
    }
    EXPECT_EQ(AUTestPlug::liveCount, before) << "close deletes the plug-in";
}

TEST(AUEntry, CallsWithoutAPlugInAreRefused)
{
    EXPECT_EQ(CallEntry(kAudioUnitInitializeSelect, nullptr), badComponentSelector);
    EXPECT_EQ(CallEntry(kComponentCloseSelect, nullptr), badComponentSelector);
    EXPECT_EQ(Parandel_Entry(nullptr, nullptr), badComponentSelector);
    EXPECT_EQ(AudioUnitInitialize(nullptr), badComponentSelector);
}

// ---- Selectors ----

TEST(AUEntry, CanDoAnswersTheTable)
{
    AUTestHost host;
    for (int s = -5; s <= 300; ++s)
    {
        const bool expected = (s >= 1 && s <= 7) || (s >= 9 && s <= 11) || (s >= 14 && s <= 17);
        EXPECT_EQ(CallComponentCanDo(host.unit, static_cast<SInt16>(s)), expected ? 1 : 0)
            << "selector " << s;
    }
    EXPECT_EQ(CallComponentCanDo(host.unit, kAudioUnitRemovePropertyListenerWithUserDataSelect), 0)
        << "18 is handled but not announced";
}

TEST(AUEntry, VersionAndUnknownSelectors)
{
    AUTestHost host;
    EXPECT_EQ(CallComponentVersion(host.unit), 0x50301);
    void* storage = GetComponentInstanceStorage(host.unit);
    for (SInt16 s : {SInt16(8), SInt16(12), SInt16(13), SInt16(19), SInt16(0x0107),
                     SInt16(kAudioUnitCarbonViewCreateSelect), SInt16(-5)})
        EXPECT_EQ(CallEntry(s, storage), badComponentSelector) << "selector " << s;
}

TEST(AUEntry, InitialiseNeedsALegalConfiguration)
{
    AUTestHost host(RegisterTestEffect());
    AUTestPlug* plug = TestPlugOf(host.unit);
    ASSERT_EQ(AudioUnitInitialize(host.unit), noErr) << "no formats set: any configuration";
    EXPECT_TRUE(plug->IsActive());
    EXPECT_EQ(plug->paramChanges, (std::vector<int>{0, 1, 2, 3})) << "OnParamReset";
    EXPECT_EQ(plug->activations, std::vector<bool>{true});
    EXPECT_EQ(AudioUnitUninitialize(host.unit), noErr);
    EXPECT_FALSE(plug->IsActive());
    EXPECT_EQ(plug->activations, (std::vector<bool>{true, false}));

    // 3 input channels fit no configuration: the bus is left at 0 host channels.
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 3), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(host.FormatChannels(kAudioUnitScope_Input, 0), 0);
    EXPECT_EQ(AudioUnitInitialize(host.unit), badComponentSelector);
    EXPECT_FALSE(plug->IsActive());
    ASSERT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 1), noErr);
    EXPECT_EQ(AudioUnitInitialize(host.unit), noErr);
}

TEST(AUEntry, ChannelNegotiation)
{
    AUTestHost host;
    // Mono in, then stereo out: (1, 2).
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 1), noErr);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 0, 2), noErr);
    EXPECT_EQ(AudioUnitInitialize(host.unit), noErr);
    // While active, the other side's channels count: 1 output does not fit 1 input.
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 0, 1), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Output, 0, 2), noErr);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 2), noErr);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 0), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 2, 44100.0, 0),
              kAudioUnitErr_InvalidProperty)
        << "neither float nor packed";
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 2, 44100.0, AUTestHost::kDefaultFlags,
                             FourCC("aac ")),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 2, 44100.0, kAudioFormatFlagIsPacked), noErr)
        << "packed alone will do";
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Input, 1, 2), kAudioUnitErr_InvalidProperty)
        << "no second input bus";
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Group, 0, 2), kAudioUnitErr_InvalidProperty);
    // The global scope means the output bus; its rate becomes the unit's.
    EXPECT_EQ(host.SetFormat(kAudioUnitScope_Global, 0, 2, 48000.0), noErr);
    EXPECT_EQ(PlugOf(host.unit)->GetSampleRate(), 48000.0);
}

TEST(AUEntry, ResetSelectorResetsUnderTheMutex)
{
    AUTestHost host(RegisterTestEffect());
    AUTestPlug* plug = TestPlugOf(host.unit);
    const int before = plug->resetCount;
    EXPECT_EQ(AudioUnitReset(host.unit, kAudioUnitScope_Global, 0), noErr);
    EXPECT_EQ(plug->resetCount, before + 1);
    EXPECT_TRUE(plug->resetUnderMutex);
}

// ---- Property listeners ----

TEST(AUEntry, PropertyListenersAreCalledBeforeTheChange)
{
    AUTestHost host;
    gListenerCalls.clear();
    int refA = 0, refB = 0;
    ASSERT_EQ(AudioUnitAddPropertyListener(host.unit, kAudioUnitProperty_SampleRate, RecordListener,
                                           &refA),
              noErr);
    // The same ID and procedure again is not listed twice.
    ASSERT_EQ(AudioUnitAddPropertyListener(host.unit, kAudioUnitProperty_SampleRate, RecordListener,
                                           &refB),
              noErr);
    ASSERT_EQ(AudioUnitAddPropertyListener(host.unit, kAudioUnitProperty_BypassEffect,
                                           RecordListener, &refB),
              noErr);
    ASSERT_EQ(host.SetSampleRate(48000.0), noErr);
    ASSERT_EQ(gListenerCalls.size(), 1u);
    EXPECT_EQ(gListenerCalls[0].ref, &refA);
    EXPECT_EQ(gListenerCalls[0].unit, host.unit);
    EXPECT_EQ(gListenerCalls[0].id, kAudioUnitProperty_SampleRate);
    EXPECT_EQ(gListenerCalls[0].scope, kAudioUnitScope_Global);
    EXPECT_EQ(gListenerCalls[0].element, 0u);
    EXPECT_TRUE(gListenerCalls[0].underMutex);

    // Even a refused set tells the listeners first.
    gListenerCalls.clear();
    const Float64 bad = -1.0;
    EXPECT_NE(host.Set(kAudioUnitProperty_SampleRate, kAudioUnitScope_Input, 0, bad), noErr);
    EXPECT_EQ(gListenerCalls.size(), 1u);
    EXPECT_EQ(gListenerCalls[0].scope, kAudioUnitScope_Input);

    // Removal by ID and procedure; with user data only the matching reference.
    gListenerCalls.clear();
    EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(
                  host.unit, kAudioUnitProperty_BypassEffect, RecordListener, &refA),
              noErr);
    const UInt32 on = 1;
    host.Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, on);
    EXPECT_EQ(gListenerCalls.size(), 1u) << "other reference: still listed";
    EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(
                  host.unit, kAudioUnitProperty_BypassEffect, RecordListener, &refB),
              noErr);
    EXPECT_EQ(
        AudioUnitRemovePropertyListener(host.unit, kAudioUnitProperty_SampleRate, OtherListener),
        noErr);
    host.Set(kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, on);
    host.SetSampleRate(44100.0);
    EXPECT_EQ(gListenerCalls.size(), 2u) << "bypass listener gone, rate listener kept";
    EXPECT_EQ(
        AudioUnitRemovePropertyListener(host.unit, kAudioUnitProperty_SampleRate, RecordListener),
        noErr);
    host.SetSampleRate(48000.0);
    EXPECT_EQ(gListenerCalls.size(), 2u);
    EXPECT_EQ(
        AudioUnitAddPropertyListener(host.unit, kAudioUnitProperty_SampleRate, nullptr, nullptr),
        kAudioUnitErr_InvalidPropertyValue);
}

TEST(AUEntry, LatencyListenersHearOfTheGeneratorLatency)
{
    AUTestHost host;
    gListenerCalls.clear();
    ASSERT_EQ(AudioUnitAddPropertyListener(host.unit, kAudioUnitProperty_Latency, RecordListener,
                                           nullptr),
              noErr);
    ASSERT_EQ(host.SetMaxFrames(500), noErr);
    ASSERT_EQ(host.SetParam(Parandel::kMonoToStereo, 1.0f), noErr);
    Float64 latency = -1.0;
    ASSERT_EQ(host.Get(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, latency), noErr);
    EXPECT_EQ(latency, 0.0) << "the latency changes only at the next reset";
    gListenerCalls.clear();
    ASSERT_EQ(AudioUnitReset(host.unit, kAudioUnitScope_Global, 0), noErr);
    ASSERT_FALSE(gListenerCalls.empty());
    EXPECT_EQ(gListenerCalls.back().id, kAudioUnitProperty_Latency);
    EXPECT_EQ(gListenerCalls.back().scope, kAudioUnitScope_Global);
    ASSERT_EQ(host.Get(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, latency), noErr);
    EXPECT_DOUBLE_EQ(latency, 500.0 / 44100.0) << "one host block";
    EXPECT_EQ(host.Get(kAudioUnitProperty_Latency, kAudioUnitScope_Input, 0, latency),
              kAudioUnitErr_InvalidProperty);

    // At a power-of-two block size the generator adds nothing.
    ASSERT_EQ(host.SetMaxFrames(512), noErr);
    ASSERT_EQ(host.Get(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, latency), noErr);
    EXPECT_EQ(latency, 0.0);
}

// ---- Render notifications ----

TEST(AUEntry, RenderNotificationsBracketEveryRender)
{
    AUTestHost host;
    ASSERT_EQ(host.Prepare(2, 256), noErr);
    gNotifyCalls.clear();
    int refA = 0, refB = 0;
    ASSERT_EQ(AudioUnitAddRenderNotify(host.unit, RecordNotify, &refA), noErr);
    ASSERT_EQ(AudioUnitAddRenderNotify(host.unit, RecordNotify, &refB), noErr)
        << "no duplicate check";
    ASSERT_EQ(host.Render(128, 1000.0), noErr);
    ASSERT_EQ(gNotifyCalls.size(), 4u);
    for (int i = 0; i < 4; ++i)
    {
        const AudioUnitRenderActionFlags want =
            i < 2 ? kAudioUnitRenderAction_PreRender : kAudioUnitRenderAction_PostRender;
        EXPECT_EQ(gNotifyCalls[i].flags, want) << i;
        EXPECT_EQ(gNotifyCalls[i].sampleTime, 1000.0);
        EXPECT_EQ(gNotifyCalls[i].frames, 128u);
        EXPECT_EQ(gNotifyCalls[i].bus, 0u);
        EXPECT_NE(gNotifyCalls[i].list, nullptr);
    }
    EXPECT_EQ(gNotifyCalls[0].ref, &refA);
    EXPECT_EQ(gNotifyCalls[1].ref, &refB);

    // Removal takes the first entry with that procedure.
    ASSERT_EQ(AudioUnitRemoveRenderNotify(host.unit, RecordNotify, &refB), noErr);
    gNotifyCalls.clear();
    ASSERT_EQ(host.Render(128, 1128.0), noErr);
    ASSERT_EQ(gNotifyCalls.size(), 2u);
    EXPECT_EQ(gNotifyCalls[0].ref, &refB);
    ASSERT_EQ(AudioUnitRemoveRenderNotify(host.unit, RecordNotify, nullptr), noErr);
    gNotifyCalls.clear();
    ASSERT_EQ(host.Render(128, 1256.0), noErr);
    EXPECT_TRUE(gNotifyCalls.empty());
}

// ---- Parameters ----

TEST(AUEntry, ParametersAreClampedAndReachTheChain)
{
    AUTestHost host;
    ASSERT_EQ(host.Prepare(2, 256), noErr);
    EXPECT_EQ(host.SetParam(Parandel::kWidth, 150.0f), noErr);
    EXPECT_EQ(host.GetParam(Parandel::kWidth), 100.0f) << "clamped to the range";
    // Mono output set by the host is heard: different inputs come out as one signal.
    EXPECT_EQ(host.SetParam(Parandel::kMonoOut, 1.0f), noErr);
    host.input = {std::vector<float>(256, 0.5f), std::vector<float>(256, -0.25f)};
    ASSERT_EQ(host.Render(256, 0.0), noErr);
    EXPECT_EQ(host.output[0], host.output[1]);
    EXPECT_NE(host.output[0][255], 0.0f);

    AudioUnitParameterValue v = 7.0f;
    EXPECT_EQ(AudioUnitGetParameter(host.unit, Parandel::kWidth, kAudioUnitScope_Input, 0, &v),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(AudioUnitSetParameter(host.unit, Parandel::kWidth, kAudioUnitScope_Output, 0, 1, 0),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(AudioUnitGetParameter(host.unit, kParandelParams, kAudioUnitScope_Global, 0, &v),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitSetParameter(host.unit, 1000, kAudioUnitScope_Global, 0, 1, 0),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitGetParameter(host.unit, 0, kAudioUnitScope_Global, 0, nullptr),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(host.SetParam(Parandel::kWidth, std::nanf("")), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(host.GetParam(Parandel::kWidth), 100.0f) << "a refused value changes nothing";
}

TEST(AUEntry, SetParameterPassesTheUnclampedValueToTheEditor)
{
    AUTestHost host(RegisterTestEffect());
    AUTestPlug* plug = TestPlugOf(host.unit);
    auto* editor = new RecordingGraphics(plug);
    plug->AttachGraphics(editor);
    editor->updates.clear();
    plug->paramChanges.clear();
    ASSERT_EQ(host.SetParam(AUTestPlug::kGain, 30.0f), noErr);
    ASSERT_EQ(editor->updates.size(), 1u);
    EXPECT_EQ(editor->updates[0].paramIdx, AUTestPlug::kGain);
    EXPECT_EQ(editor->updates[0].value, 30.0);
    EXPECT_FALSE(editor->updates[0].normalized);
    EXPECT_EQ(plug->Param(AUTestPlug::kGain)->Value(), 24.0);
    EXPECT_EQ(plug->paramChanges, std::vector<int>{AUTestPlug::kGain});
}

TEST(AUEntry, ScheduledParametersApplyImmediateEventsInOrder)
{
    AUTestHost host;
    AudioUnitParameterEvent events[4] = {};
    events[0].scope = kAudioUnitScope_Global;
    events[0].parameter = Parandel::kWidth;
    events[0].eventType = kParameterEvent_Immediate;
    events[0].eventValues.immediate.value = 30.0f;
    events[1] = events[0];
    events[1].parameter = Parandel::kPan;
    events[1].eventType = kParameterEvent_Ramped;
    events[1].eventValues.ramp.endValue = 50.0f;
    events[2] = events[0];
    events[2].parameter = 99; // unknown: stops the loop
    events[3] = events[0];
    events[3].parameter = Parandel::kOutGain;
    events[3].eventValues.immediate.value = 6.0f;
    EXPECT_EQ(AudioUnitScheduleParameters(host.unit, events, 4), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(host.GetParam(Parandel::kWidth), 30.0f);
    EXPECT_EQ(host.GetParam(Parandel::kPan), 0.0f) << "ramped events are skipped";
    EXPECT_EQ(host.GetParam(Parandel::kOutGain), 0.0f) << "nothing after the error";
    EXPECT_EQ(AudioUnitScheduleParameters(host.unit, events + 3, 1), noErr);
    EXPECT_EQ(host.GetParam(Parandel::kOutGain), 6.0f);
    EXPECT_EQ(AudioUnitScheduleParameters(host.unit, nullptr, 0), noErr);
}

// ---- Gestures ----

namespace
{
struct Heard
{
    AudioUnitEventType type;
    AudioUnit unit;
    AudioUnitParameterID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    float value;
};
std::vector<Heard> gHeard;

void Hear(void*, void*, const AudioUnitEvent* e, UInt64, AudioUnitParameterValue value)
{
    const AudioUnitParameter& p = e->mArgument.mParameter;
    gHeard.push_back({e->mEventType, p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, value});
}
} // namespace

TEST(AUEntry, GesturesReachTheHostsEventListeners)
{
    AUTestHost host;
    AUTestHost other;
    AUEventListenerRef listener = nullptr;
    ASSERT_EQ(AUEventListenerCreate(Hear, nullptr, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode,
                                    0.0f, 0.0f, &listener),
              noErr);
    for (AudioUnitEventType type :
         {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
          kAudioUnitEvent_EndParameterChangeGesture})
    {
        AudioUnitEvent e{};
        e.mEventType = type;
        e.mArgument.mParameter.mAudioUnit = host.unit;
        e.mArgument.mParameter.mParameterID = kAUParameterListener_AnyParameter;
        ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &e), noErr);
    }
    gHeard.clear();
    Parandel* plug = PlugOf(host.unit);
    plug->BeginInformHostOfParamChange(Parandel::kPan);
    plug->SetParameterFromGUI(Parandel::kPan, 0.75); // Pan 50 %
    plug->EndInformHostOfParamChange(Parandel::kPan);
    PlugOf(other.unit)->SetParameterFromGUI(Parandel::kPan, 0.25); // another unit: not heard

    ASSERT_EQ(gHeard.size(), 3u);
    const AudioUnitEventType order[] = {kAudioUnitEvent_BeginParameterChangeGesture,
                                        kAudioUnitEvent_ParameterValueChange,
                                        kAudioUnitEvent_EndParameterChangeGesture};
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(gHeard[i].type, order[i]) << i;
        EXPECT_EQ(gHeard[i].unit, host.unit) << i;
        EXPECT_EQ(gHeard[i].id, static_cast<AudioUnitParameterID>(Parandel::kPan)) << i;
        EXPECT_EQ(gHeard[i].scope, kAudioUnitScope_Global) << i;
        EXPECT_EQ(gHeard[i].element, 0u) << i;
    }
    EXPECT_EQ(gHeard[1].value, 50.0f) << "the host reads the value back";
    EXPECT_EQ(AUListenerDispose(listener), noErr);
    gHeard.clear();
    plug->BeginInformHostOfParamChange(Parandel::kPan);
    EXPECT_TRUE(gHeard.empty());
}

// ---- Instrument calls ----

TEST(AUEntry, MidiAndNoteCalls)
{
    AUTestHost host(RegisterTestInstrument());
    AUTestPlug* plug = TestPlugOf(host.unit);
    EXPECT_EQ(MusicDeviceMIDIEvent(host.unit, 0x90, 60, 100, 17), noErr);
    ASSERT_EQ(plug->midi.size(), 1u);
    EXPECT_EQ(plug->midi[0].status, 0x90);
    EXPECT_EQ(plug->midi[0].data1, 60);
    EXPECT_EQ(plug->midi[0].data2, 100);
    EXPECT_EQ(plug->midi[0].offset, 17);
    const UInt8 bytes[] = {0xF0, 0x7E, 0xF7};
    EXPECT_EQ(MusicDeviceSysEx(host.unit, bytes, 3), noErr);
    ASSERT_EQ(plug->sysex.size(), 1u);
    EXPECT_EQ(plug->sysex[0].data, bytes);
    EXPECT_EQ(plug->sysex[0].size, 3);
    EXPECT_EQ(plug->sysex[0].offset, 0);
    EXPECT_EQ(MusicDevicePrepareInstrument(host.unit, 1), noErr);
    EXPECT_EQ(MusicDeviceReleaseInstrument(host.unit, 1), noErr);
    MusicDeviceNoteParams note{};
    note.argCount = 2;
    note.mPitch = 64.7f;
    note.mVelocity = 90.0f;
    NoteInstanceID id = 0;
    EXPECT_EQ(MusicDeviceStartNote(host.unit, 0, 0, &id, 0, &note), noErr);
    EXPECT_EQ(id, 64u) << "the pitch truncated";
    EXPECT_EQ(MusicDeviceStopNote(host.unit, 0, id, 0), noErr);
}

// ---- Views ----

namespace
{
Component RegisterCarbonView()
{
    ComponentDescription cd{};
    cd.componentType = kAudioUnitCarbonViewComponentType;
    cd.componentSubType = FourCC("rkjs");
    cd.componentManufacturer = FourCC("TwNl");
    return RegisterComponent(&cd, Parandel_ViewEntry, 0, nullptr, nullptr, nullptr);
}

} // namespace

TEST(AUViews, CarbonViewNeedsAPlugInWithAnEditor)
{
    AUTestHost host;
    ComponentInstance view = nullptr;
    ASSERT_EQ(OpenAComponent(RegisterCarbonView(), &view), noErr);
    ASSERT_NE(GetComponentInstanceStorage(view), nullptr) << "the view's record";
    const Float32Point where = {0, 0}, size = {456, 486};
    int sentinel = 0;
    ControlRef control = reinterpret_cast<ControlRef>(&sentinel);
    EXPECT_EQ(AudioUnitCarbonViewCreate(view, nullptr, nullptr, nullptr, &where, &size, &control),
              badComponentSelector)
        << "no plug-in";
    EXPECT_EQ(AudioUnitCarbonViewCreate(view, host.unit, nullptr, nullptr, &where, &size, &control),
              noErr);
    EXPECT_EQ(control, nullptr) << "the editor makes no Carbon control";
    EXPECT_EQ(CallComponentVersion(view), badComponentSelector);
    EXPECT_EQ(CloseComponent(view), noErr);
}

// ---- Threads ----

TEST(AUEntry, RenderingAndHostTrafficDoNotOverlap)
{
    // The audio thread renders while a host thread sets parameters and moves state; the
    // plug-in mutex keeps them apart, so every render succeeds and the state stays whole.
    AUTestHost host;
    ASSERT_EQ(host.Prepare(2, 256), noErr);
    host.input = {std::vector<float>(256 * 200, 0.25f), std::vector<float>(256 * 200, -0.25f)};
    host.playing = true;
    std::atomic<int> failures{0};
    std::thread audio(
        [&]
        {
            for (int b = 0; b < 200; ++b)
                if (host.Render(256, b * 256.0) != noErr)
                    ++failures;
        });
    for (int i = 0; i < 200; ++i)
    {
        host.SetParam(Parandel::kWidth, static_cast<float>(i % 100));
        host.SetParam(Parandel::kMonoToStereo, static_cast<float>(i % 2));
        CFPropertyListRef state = host.CopyClassInfo();
        if (!state || host.SetClassInfo(state) != noErr)
            ++failures;
        if (state)
            CFRelease(state);
    }
    audio.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(host.GetParam(Parandel::kWidth), 99.0f);
}
