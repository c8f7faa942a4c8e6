// Every property of the adapter, through AudioUnitGetPropertyInfo, AudioUnitGetProperty and
// AudioUnitSetProperty, with the answers a host sees for good and bad requests.

#include "AUTestHost.h"
#include "AUTestPlug.h"

#include "editor/IGraphics.h"
#include "engine/Parandel.h"
#include "hosts/au/IPlugAU.h"
#include "support/RecordingGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace
{
constexpr int kParams = 19;

Parandel* PlugOf(AudioUnit unit)
{
    return static_cast<Parandel*>(IPlugAU::FromStorage(GetComponentInstanceStorage(unit)));
}

// Parameter table: name, minimum, maximum, unit name ("" for none), meta.
struct ParamRow
{
    const char* name;
    float minValue, maxValue;
    AudioUnitParameterUnit unit;
    const char* unitName;
    bool meta;
};
const ParamRow kRows[kParams] = {
    {"WidthMeter", 0, 1, kAudioUnitParameterUnit_Generic, "", true},
    {"Width", -100, 100, kAudioUnitParameterUnit_CustomUnit, "%", false},
    {"MonoToStereo", 0, 1, kAudioUnitParameterUnit_Indexed, "", false},
    {"", 0, 1, kAudioUnitParameterUnit_Generic, "", false},
    {"Pan", -100, 100, kAudioUnitParameterUnit_CustomUnit, "%", false},
    {"CorrelationMeter", -1, 1, kAudioUnitParameterUnit_Generic, "", true},
    {"BassFocus", 0, 500, kAudioUnitParameterUnit_CustomUnit, "Hz", true},
    {"OutGain", -12, 12, kAudioUnitParameterUnit_CustomUnit, "dB", true},
    {"MonoOut", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeMode0", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeMode1", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeMode2", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeMode3", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeMode4", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeGraph0", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeGraph1", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeGraph2", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeGraph3", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
    {"VectorscopeGraph4", 0, 1, kAudioUnitParameterUnit_Indexed, "", true},
};

// Size, writability and status of a property's info, for table checks.
struct InfoAnswer
{
    OSStatus status;
    UInt32 size;
    bool writable;
};
InfoAnswer InfoOf(AUTestHost& host, AudioUnitPropertyID id, AudioUnitScope scope = 0,
                  AudioUnitElement element = 0)
{
    InfoAnswer a{};
    a.status = host.Info(id, scope, element, a.size, a.writable);
    return a;
}
} // namespace

TEST(AUProperties, InfoTable)
{
    AUTestHost host;
    struct Row
    {
        AudioUnitPropertyID id;
        AudioUnitScope scope;
        AudioUnitElement element;
        OSStatus status;
        UInt32 size;
        bool writable;
    };
    const Row rows[] = {
        {kAudioUnitProperty_ClassInfo, 0, 0, noErr, 8, true},
        {kAudioUnitProperty_ClassInfo, 2, 5, noErr, 8, true},
        {kAudioUnitProperty_MakeConnection, 0, 0, noErr, 16, true},
        {kAudioUnitProperty_MakeConnection, 1, 0, noErr, 16, true},
        {kAudioUnitProperty_MakeConnection, 2, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_SampleRate, 1, 0, noErr, 8, true},
        {kAudioUnitProperty_ParameterList, 0, 0, noErr, 4 * kParams, false},
        {kAudioUnitProperty_ParameterList, 1, 0, noErr, 0, false},
        {kAudioUnitProperty_ParameterInfo, 0, 18, noErr, 104, false},
        {kAudioUnitProperty_ParameterInfo, 0, 19, kAudioUnitErr_InvalidElement, 0, false},
        {kAudioUnitProperty_ParameterInfo, 1, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_FastDispatch, 0, 6, noErr, 8, false},
        {kAudioUnitProperty_FastDispatch, 0, 7, noErr, 8, false},
        {kAudioUnitProperty_FastDispatch, 0, 14, noErr, 8, false},
        {kAudioUnitProperty_FastDispatch, 0, 5, kAudioUnitErr_InvalidElement, 0, false},
        {kAudioUnitProperty_StreamFormat, 1, 0, noErr, 40, true},
        {kAudioUnitProperty_StreamFormat, 2, 0, noErr, 40, true},
        {kAudioUnitProperty_StreamFormat, 0, 0, noErr, 40, true},
        {kAudioUnitProperty_StreamFormat, 1, 1, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_ElementCount, 3, 0, noErr, 4, false},
        {kAudioUnitProperty_Latency, 0, 0, noErr, 8, false},
        {kAudioUnitProperty_Latency, 2, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_SupportedNumChannels, 0, 0, noErr, 8, false},
        {kAudioUnitProperty_SupportedNumChannels, 1, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_MaximumFramesPerSlice, 0, 0, noErr, 4, true},
        {kAudioUnitProperty_ParameterValueStrings, 0, 1, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_ParameterValueStrings, 0, 19, kAudioUnitErr_InvalidElement, 0, false},
        {kAudioUnitProperty_GetUIComponentList, 0, 0, noErr, sizeof(ComponentDescription), false},
        {kAudioUnitProperty_AudioChannelLayout, 0, 0, kAudioUnitErr_InvalidPropertyValue, 0, false},
        {kAudioUnitProperty_TailTime, 0, 0, noErr, 8, false},
        {kAudioUnitProperty_BypassEffect, 0, 0, noErr, 4, true},
        {kAudioUnitProperty_BypassEffect, 1, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_LastRenderError, 0, 0, noErr, 4, false},
        {kAudioUnitProperty_SetRenderCallback, 0, 0, noErr, 16, true},
        {kAudioUnitProperty_SetRenderCallback, 1, 0, noErr, 16, true},
        {kAudioUnitProperty_SetRenderCallback, 1, 1, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_SetRenderCallback, 2, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_FactoryPresets, 0, 0, noErr, 8, false},
        {kAudioUnitProperty_HostCallbacks, 0, 0, noErr, 32, true},
        {kAudioUnitProperty_HostCallbacks, 1, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_CurrentPreset, 0, 0, noErr, 16, true},
        {kAudioUnitProperty_PresentPreset, 0, 0, noErr, 16, true},
        {kAudioUnitProperty_ElementName, 2, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_CocoaUI, 0, 0, noErr, sizeof(AudioUnitCocoaViewInfo), false},
        {kAudioUnitProperty_SupportedChannelLayoutTags, 2, 0, kAudioUnitErr_InvalidProperty, 0,
         false},
        {kAudioUnitProperty_ParameterStringFromValue, 0, 0, noErr, 24, false},
        {kAudioUnitProperty_ParameterStringFromValue, 1, 0, noErr, 24, false},
        {kAudioUnitProperty_ParameterIDName, 0, 0, noErr, 16, false},
        {kAudioUnitProperty_ParameterClumpName, 0, 0, noErr, 16, false},
        {kAudioUnitProperty_ParameterValueFromString, 0, 0, noErr, 24, false},
        {kMusicDeviceProperty_InstrumentCount, 0, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_CPULoad, 0, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_OfflineRender, 0, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_AUHostIdentifier, 0, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {999, 0, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {1001, 0, 0, kAudioUnitErr_InvalidProperty, 0, false},
    };
    for (const Row& r : rows)
    {
        const InfoAnswer a = InfoOf(host, r.id, r.scope, r.element);
        EXPECT_EQ(a.status, r.status)
            << "id=" << r.id << " scope=" << r.scope << " element=" << r.element;
        if (r.status == noErr)
        {
            EXPECT_EQ(a.size, r.size) << "id=" << r.id;
            EXPECT_EQ(a.writable, r.writable) << "id=" << r.id;
        }
    }
    // A parameter without display texts reports size 0 with its error.
    EXPECT_EQ(InfoOf(host, kAudioUnitProperty_ParameterValueStrings, 0, 1).size, 0u);
    // Null size and writability pointers are allowed.
    EXPECT_EQ(
        AudioUnitGetPropertyInfo(host.unit, kAudioUnitProperty_ClassInfo, 0, 0, nullptr, nullptr),
        noErr);
}

TEST(AUProperties, TooSmallBuffersAreRefused)
{
    AUTestHost host;
    AudioUnitParameterID ids[kParams];
    UInt32 size = sizeof(ids) - 4;
    EXPECT_EQ(AudioUnitGetProperty(host.unit, kAudioUnitProperty_ParameterList, 0, 0, ids, &size),
              kAudioUnitErr_InvalidPropertyValue);
    Float64 rate = 0;
    EXPECT_EQ(AudioUnitGetProperty(host.unit, kAudioUnitProperty_SampleRate, 0, 0, &rate, nullptr),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitSetProperty(host.unit, kAudioUnitProperty_SampleRate, 0, 0, &rate, 4),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitSetProperty(host.unit, kAudioUnitProperty_StreamFormat, 1, 0, nullptr, 40),
              kAudioUnitErr_InvalidPropertyValue);
}

TEST(AUProperties, ParameterListAndInfos)
{
    AUTestHost host;
    AudioUnitParameterID ids[kParams + 1];
    UInt32 size = sizeof(ids);
    ASSERT_EQ(AudioUnitGetProperty(host.unit, kAudioUnitProperty_ParameterList, 0, 0, ids, &size),
              noErr);
    ASSERT_EQ(size, 4u * kParams);
    for (int i = 0; i < kParams; ++i)
        EXPECT_EQ(ids[i], static_cast<AudioUnitParameterID>(i));
    size = sizeof(ids);
    EXPECT_EQ(AudioUnitGetProperty(host.unit, kAudioUnitProperty_ParameterList, 1, 0, ids, &size),
              noErr);
    EXPECT_EQ(size, 0u) << "other scopes list nothing";

    host.SetParam(Parandel::kWidth, 33.0f);
    for (int i = 0; i < kParams; ++i)
    {
        const ParamRow& row = kRows[i];
        AudioUnitParameterInfo info;
        std::memset(&info, 0xAB, sizeof(info));
        ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, 0, i, info), noErr) << i;
        EXPECT_STREQ(info.name, row.name) << i;
        EXPECT_EQ(CFText(info.cfNameString), row.name) << i;
        const UInt32 flags = row.meta ? 0xE8000010u : 0xC8000010u;
        EXPECT_EQ(info.flags, flags) << i;
        EXPECT_EQ(info.unit, row.unit) << i;
        if (row.unitName[0])
        {
            EXPECT_EQ(CFText(info.unitName), row.unitName) << i;
        }
        else
        {
            EXPECT_EQ(info.unitName, nullptr) << i;
        }
        EXPECT_EQ(info.minValue, row.minValue) << i;
        EXPECT_EQ(info.maxValue, row.maxValue) << i;
        EXPECT_EQ(info.defaultValue, host.GetParam(i)) << i << ": the current value";
        EXPECT_EQ(info.clumpID, 0u) << i;
        CFRelease(info.cfNameString);
        if (info.unitName)
            CFRelease(info.unitName);
    }
}

TEST(AUProperties, ParameterGroupsBecomeClumps)
{
    AUTestHost host(RegisterTestEffect());
    AudioUnitParameterInfo info;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, 0, AUTestPlug::kMode, info), noErr);
    EXPECT_EQ(info.clumpID, 1u) << "first group seen";
    EXPECT_TRUE(info.flags & kAudioUnitParameterFlag_HasClump);
    EXPECT_EQ(info.unit, kAudioUnitParameterUnit_Indexed);
    CFRelease(info.cfNameString);
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, 0, AUTestPlug::kGain, info), noErr);
    EXPECT_EQ(info.clumpID, 2u);
    CFRelease(info.cfNameString);
    CFRelease(info.unitName);
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, 0, AUTestPlug::kInvert, info), noErr);
    EXPECT_EQ(info.clumpID, 2u) << "same group, same clump";
    CFRelease(info.cfNameString);
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterInfo, 0, AUTestPlug::kUngrouped, info), noErr);
    EXPECT_FALSE(info.flags & kAudioUnitParameterFlag_HasClump);
    EXPECT_FALSE(info.flags & kAudioUnitParameterFlag_IsWritable) << "not automatable";
    CFRelease(info.cfNameString);

    AudioUnitParameterNameInfo clump{2, kAudioUnitParameterName_Full, nullptr};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterClumpName, 0, 0, clump), noErr);
    EXPECT_EQ(CFText(clump.outName), "Output");
    CFRelease(clump.outName);
    clump.inID = 0;
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterClumpName, 0, 0, clump),
              kAudioUnitErr_PropertyNotInUse);
    clump.inID = 3;
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterClumpName, 0, 0, clump),
              kAudioUnitErr_PropertyNotInUse)
        << "no third group";
}

TEST(AUProperties, ValueStringsOfParametersWithTexts)
{
    AUTestHost host(RegisterTestEffect());
    CFArrayRef texts = nullptr;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterValueStrings, 0, AUTestPlug::kMode, texts),
              noErr);
    ASSERT_EQ(CFArrayGetCount(texts), 3);
    EXPECT_EQ(CFText(CFArrayGetValueAtIndex(texts, 0)), "Soft");
    EXPECT_EQ(CFText(CFArrayGetValueAtIndex(texts, 2)), "Clip");
    CFRelease(texts);
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueStrings, 0, AUTestPlug::kGain, texts),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueStrings, 1, AUTestPlug::kMode, texts),
              kAudioUnitErr_InvalidProperty);
}

TEST(AUProperties, StringFromValueAndBack)
{
    AUTestHost host;
    AudioUnitParameterValue v = 12.5f;
    AudioUnitParameterStringFromValue toText{Parandel::kWidth, &v, nullptr};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, 0, 0, toText), noErr);
    EXPECT_EQ(CFText(toText.outString), "12.50");
    CFRelease(toText.outString);
    v = 250.0f;
    toText.inParamID = Parandel::kBassFocus;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, 0, 0, toText), noErr);
    EXPECT_EQ(CFText(toText.outString), "250");
    CFRelease(toText.outString);

    toText.inParamID = kParams;
    toText.outString = nullptr;
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, 0, 0, toText),
              kAudioUnitErr_InvalidParameter);
    toText.inParamID = Parandel::kWidth;
    toText.inValue = nullptr;
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, 0, 0, toText),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(toText.outString, nullptr);

    CFStringRef text = CFStr("12.5");
    AudioUnitParameterValueFromString fromText{Parandel::kWidth, text, -1.0f};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, 0, 0, fromText), noErr);
    EXPECT_EQ(fromText.outValue, 12.5f);
    fromText.inParamID = 1000;
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, 0, 0, fromText),
              kAudioUnitErr_InvalidParameter);
    fromText.inParamID = Parandel::kWidth;
    fromText.inString = nullptr;
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, 0, 0, fromText),
              kAudioUnitErr_InvalidPropertyValue);
    CFRelease(text);
}

TEST(AUProperties, ValueFromStringWithTextsAndNegatedDisplay)
{
    AUTestHost host(RegisterTestEffect());
    CFStringRef clip = CFStr("Clip");
    AudioUnitParameterValueFromString req{AUTestPlug::kMode, clip, -1.0f};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, 0, 0, req), noErr);
    EXPECT_EQ(req.outValue, 2.0f);
    CFStringRef nothing = CFStr("Loud");
    req.inString = nothing;
    req.outValue = -7.0f;
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, 0, 0, req),
              kAudioUnitErr_InvalidPropertyValue)
        << "no matching text is no value";
    EXPECT_EQ(req.outValue, -7.0f);
    CFStringRef three = CFStr("3");
    req = {AUTestPlug::kInvert, three, 0.0f};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, 0, 0, req), noErr);
    EXPECT_EQ(req.outValue, -3.0f) << "negated display";
    CFRelease(clip);
    CFRelease(nothing);
    CFRelease(three);

    AudioUnitParameterValue one = 1.0f;
    AudioUnitParameterStringFromValue toText{AUTestPlug::kMode, &one, nullptr};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, 0, 0, toText), noErr);
    EXPECT_EQ(CFText(toText.outString), "Hard") << "display texts are used";
    CFRelease(toText.outString);
}

TEST(AUProperties, ParameterIDName)
{
    AUTestHost host;
    AudioUnitParameterIDName req{Parandel::kBassFocus, 4, nullptr};
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterIDName, 0, 0, req), noErr);
    EXPECT_EQ(CFText(req.outName), "Bass");
    CFRelease(req.outName);
    req.inDesiredLength = kAudioUnitParameterName_Full;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterIDName, 0, 0, req), noErr);
    EXPECT_EQ(CFText(req.outName), "BassFocus");
    CFRelease(req.outName);
    req.inDesiredLength = 200;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ParameterIDName, 0, 0, req), noErr);
    EXPECT_EQ(CFText(req.outName), "BassFocus");
    CFRelease(req.outName);
    req.inID = kParams;
    EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterIDName, 0, 0, req),
              kAudioUnitErr_InvalidParameter);
}

TEST(AUProperties, ParameterTextRequestsOutsideTheGlobalScopeFail)
{
    AUTestHost host(RegisterTestEffect());
    AudioUnitParameterValue v = 1.0f;
    AudioUnitParameterStringFromValue toText{AUTestPlug::kGain, &v, nullptr};
    AudioUnitParameterIDName idName{AUTestPlug::kGain, kAudioUnitParameterName_Full, nullptr};
    AudioUnitParameterNameInfo clump{1, kAudioUnitParameterName_Full, nullptr};
    CFStringRef text = CFStr("3");
    AudioUnitParameterValueFromString fromText{AUTestPlug::kGain, text, -7.0f};
    for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
    {
        EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterStringFromValue, scope, 0, toText),
                  kAudioUnitErr_InvalidScope);
        EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterIDName, scope, 0, idName),
                  kAudioUnitErr_InvalidScope);
        EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterClumpName, scope, 0, clump),
                  kAudioUnitErr_InvalidScope);
        EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, scope, 0, fromText),
                  kAudioUnitErr_InvalidScope);
        // The size is still there for the asking.
        const InfoAnswer info = InfoOf(host, kAudioUnitProperty_ParameterIDName, scope);
        EXPECT_EQ(info.status, noErr);
        EXPECT_EQ(info.size, sizeof(AudioUnitParameterIDName));
    }
    EXPECT_EQ(toText.outString, nullptr);
    EXPECT_EQ(idName.outName, nullptr);
    EXPECT_EQ(clump.outName, nullptr);
    EXPECT_EQ(fromText.outValue, -7.0f);

    // A text that is no finite number is no value either.
    for (const char* bad : {"nan", "inf", "-inf", "1e300"})
    {
        CFStringRef s = CFStr(bad);
        fromText.inString = s;
        EXPECT_EQ(host.Get(kAudioUnitProperty_ParameterValueFromString, 0, 0, fromText),
                  kAudioUnitErr_InvalidPropertyValue)
            << bad;
        EXPECT_EQ(fromText.outValue, -7.0f) << bad;
        CFRelease(s);
    }
    CFRelease(text);
}

TEST(AUProperties, WriteOnlyPropertiesAreNotReadBackAsSuccess)
{
    AUTestHost host;
    // Nothing to read: an error, and the size given is left alone.
    AudioUnitConnection connection{};
    UInt32 size = 0;
    EXPECT_EQ(AudioUnitGetProperty(host.unit, kAudioUnitProperty_MakeConnection,
                                   kAudioUnitScope_Input, 0, &connection, &size),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(size, 0u);
    AURenderCallbackStruct callback{};
    size = sizeof(callback);
    EXPECT_EQ(AudioUnitGetProperty(host.unit, kAudioUnitProperty_SetRenderCallback,
                                   kAudioUnitScope_Input, 0, &callback, &size),
              kAudioUnitErr_InvalidProperty);
    // The host callbacks read back as they were set.
    ASSERT_EQ(host.InstallHostCallbacks(), noErr);
    HostCallbackInfo callbacks{};
    ASSERT_EQ(host.Get(kAudioUnitProperty_HostCallbacks, 0, 0, callbacks), noErr);
    EXPECT_EQ(callbacks.hostUserData, &host);
    EXPECT_NE(callbacks.transportStateProc, nullptr);
    size = sizeof(callbacks) - 1;
    EXPECT_EQ(AudioUnitGetProperty(host.unit, kAudioUnitProperty_HostCallbacks,
                                   kAudioUnitScope_Global, 0, &callbacks, &size),
              kAudioUnitErr_InvalidPropertyValue);
}

TEST(AUProperties, FormatsCountsAndChannels)
{
    AUTestHost host;
    AudioStreamBasicDescription f{};
    ASSERT_EQ(host.Get(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, f), noErr);
    EXPECT_EQ(f.mSampleRate, 44100.0);
    EXPECT_EQ(f.mFormatID, FourCC("lpcm"));
    EXPECT_EQ(f.mFormatFlags, 0x29u);
    EXPECT_EQ(f.mBytesPerPacket, 4u);
    EXPECT_EQ(f.mFramesPerPacket, 1u);
    EXPECT_EQ(f.mBytesPerFrame, 4u);
    EXPECT_EQ(f.mChannelsPerFrame, 2u) << "the bus's channels while the host set none";
    EXPECT_EQ(f.mBitsPerChannel, 32u);
    ASSERT_EQ(host.SetFormat(kAudioUnitScope_Input, 0, 1, 96000.0), noErr);
    EXPECT_EQ(host.FormatChannels(kAudioUnitScope_Input, 0), 1);
    ASSERT_EQ(host.Get(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, f), noErr);
    EXPECT_EQ(f.mSampleRate, 96000.0);

    for (AudioUnitScope scope : {0u, 1u, 2u, 3u})
    {
        UInt32 n = 99;
        ASSERT_EQ(host.Get(kAudioUnitProperty_ElementCount, scope, 0, n), noErr);
        EXPECT_EQ(n, scope == 3 ? 0u : 1u) << "scope " << scope;
    }

    AUChannelInfo configs[2];
    UInt32 size = sizeof(configs);
    ASSERT_EQ(AudioUnitGetProperty(host.unit, kAudioUnitProperty_SupportedNumChannels, 0, 0,
                                   configs, &size),
              noErr);
    ASSERT_EQ(size, 8u);
    EXPECT_EQ(configs[0].inChannels, 1);
    EXPECT_EQ(configs[0].outChannels, 2);
    EXPECT_EQ(configs[1].inChannels, 2);
    EXPECT_EQ(configs[1].outChannels, 2);

    UInt32 frames = 0;
    ASSERT_EQ(host.Get(kAudioUnitProperty_MaximumFramesPerSlice, 0, 0, frames), noErr);
    EXPECT_EQ(frames, 1024u);
    EXPECT_EQ(host.SetMaxFrames(0), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(host.SetMaxFrames(IPlugAU::kMaxBlockSize + 1), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(host.SetMaxFrames(333), noErr);
    ASSERT_EQ(host.Get(kAudioUnitProperty_MaximumFramesPerSlice, 0, 0, frames), noErr);
    EXPECT_EQ(frames, 333u);
    EXPECT_EQ(PlugOf(host.unit)->GetBlockSize(), 333);

    Float64 rate = 0;
    EXPECT_EQ(host.SetSampleRate(48000.0), noErr);
    ASSERT_EQ(host.Get(kAudioUnitProperty_SampleRate, 0, 0, rate), noErr);
    EXPECT_EQ(rate, 48000.0);
    EXPECT_EQ(host.SetSampleRate(0.0), kAudioUnitErr_InvalidPropertyValue);

    Float64 tail = -1;
    ASSERT_EQ(host.Get(kAudioUnitProperty_TailTime, 0, 0, tail), noErr);
    EXPECT_EQ(tail, 0.0);
    OSStatus lastError = 7;
    ASSERT_EQ(host.Get(kAudioUnitProperty_LastRenderError, 0, 0, lastError), noErr);
    EXPECT_EQ(lastError, noErr);
    AudioChannelLayoutTag tag = 0;
    EXPECT_EQ(host.Get(kAudioUnitProperty_AudioChannelLayout, 2, 0, tag),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(host.Get(kAudioUnitProperty_SupportedChannelLayoutTags, 2, 0, tag),
              kAudioUnitErr_InvalidProperty)
        << "an effect has no layout tags";
}

TEST(AUProperties, InstrumentBusesTagsAndCount)
{
    AUTestHost host(RegisterTestInstrument());
    UInt32 n = 0;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ElementCount, kAudioUnitScope_Output, 0, n), noErr);
    EXPECT_EQ(n, 2u);
    ASSERT_EQ(host.Get(kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0, n), noErr);
    EXPECT_EQ(n, 0u);
    AudioChannelLayoutTag tag = 0;
    ASSERT_EQ(host.Get(kAudioUnitProperty_SupportedChannelLayoutTags, 2, 1, tag), noErr);
    EXPECT_EQ(tag, kAudioChannelLayoutTag_Stereo);
    UInt32 count = 0;
    ASSERT_EQ(host.Get(kMusicDeviceProperty_InstrumentCount, 0, 0, count), noErr);
    EXPECT_EQ(count, 1u);
    CFStringRef name = nullptr;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 1, name), noErr);
    EXPECT_EQ(CFText(name), "output 2");
    CFRelease(name);
    EXPECT_EQ(host.FormatChannels(kAudioUnitScope_Output, 1), 2);
}

TEST(AUProperties, ElementNames)
{
    AUTestHost host;
    CFStringRef name = nullptr;
    ASSERT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 0, name), noErr);
    EXPECT_EQ(CFText(name), "output");
    CFRelease(name);
    ASSERT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 0, name), noErr);
    EXPECT_EQ(CFText(name), "main input");
    CFRelease(name);
    ASSERT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 1, name), noErr);
    EXPECT_EQ(CFText(name), "aux input");
    CFRelease(name);
    EXPECT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Input, 2, name),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Output, 1, name),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(host.Get(kAudioUnitProperty_ElementName, kAudioUnitScope_Global, 0, name),
              kAudioUnitErr_InvalidScope);
}

TEST(AUProperties, FastDispatchProceduresWork)
{
    AUTestHost host;
    void* storage = GetComponentInstanceStorage(host.unit);
    AudioUnitGetParameterProc get = nullptr;
    AudioUnitSetParameterProc set = nullptr;
    AudioUnitRenderProc render = nullptr;
    ASSERT_EQ(host.Get(kAudioUnitProperty_FastDispatch, 0, kAudioUnitGetParameterSelect, get),
              noErr);
    ASSERT_EQ(host.Get(kAudioUnitProperty_FastDispatch, 0, kAudioUnitSetParameterSelect, set),
              noErr);
    ASSERT_EQ(host.Get(kAudioUnitProperty_FastDispatch, 0, kAudioUnitRenderSelect, render), noErr);
    ASSERT_EQ(set(storage, Parandel::kPan, kAudioUnitScope_Global, 0, -40.0f, 0), noErr);
    AudioUnitParameterValue v = 0;
    ASSERT_EQ(get(storage, Parandel::kPan, kAudioUnitScope_Global, 0, &v), noErr);
    EXPECT_EQ(v, -40.0f);
    AudioTimeStamp ts{};
    EXPECT_EQ(render(storage, nullptr, &ts, 0, 16, nullptr), kAudioUnitErr_InvalidPropertyValue)
        << "no valid sample time";
}

TEST(AUProperties, BypassHostCallbacksAndIdentity)
{
    AUTestHost host(RegisterTestEffect());
    AUTestPlug* plug = TestPlugOf(host.unit);
    const int resets = plug->resetCount;
    UInt32 on = 1;
    ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, 0, 0, on), noErr);
    EXPECT_TRUE(plug->IsBypassed());
    EXPECT_EQ(plug->activations.back(), false);
    EXPECT_EQ(plug->resetCount, resets + 1);
    UInt32 got = 0;
    ASSERT_EQ(host.Get(kAudioUnitProperty_BypassEffect, 0, 0, got), noErr);
    EXPECT_EQ(got, 1u);
    on = 0;
    ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, 0, 0, on), noErr);
    EXPECT_FALSE(plug->IsBypassed());
    EXPECT_EQ(plug->activations.back(), true);

    HostCallbackInfo callbacks{};
    EXPECT_EQ(host.Set(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Input, 0, callbacks),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(host.Set(kAudioUnitProperty_HostCallbacks, 0, 0, callbacks), noErr);
    const UInt32 offline = 1;
    EXPECT_EQ(host.Set(kAudioUnitProperty_OfflineRender, 0, 0, offline), noErr);

    AUHostIdentifier id{};
    id.hostName = CFStr("Logic Pro X");
    id.hostVersion.majorRev = 10;
    id.hostVersion.minorAndBugRev = 0x42; // 4.2
    const int identified = plug->hostIdentified;
    ASSERT_EQ(host.Set(kAudioUnitProperty_AUHostIdentifier, 0, 0, id), noErr);
    EXPECT_EQ(plug->GetHost(), kHostLogic);
    EXPECT_EQ(plug->GetHostVersion(), 0x000A0402);
    EXPECT_EQ(plug->hostIdentified, identified + 1);
    CFRelease(id.hostName);

    EXPECT_EQ(host.Set(kAudioUnitProperty_Latency, 0, 0, 1.0), kAudioUnitErr_InvalidProperty)
        << "read-only";
    EXPECT_EQ(host.Set(static_cast<AudioUnitPropertyID>(999), 0, 0, on),
              kAudioUnitErr_InvalidProperty);
}

TEST(AUProperties, PresetsFactoryCurrentAndPresent)
{
    AUTestHost host;
    CFArrayRef presets = nullptr;
    ASSERT_EQ(host.Get(kAudioUnitProperty_FactoryPresets, 0, 0, presets), noErr);
    ASSERT_EQ(CFArrayGetCount(presets), 1);
    const auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, 0));
    EXPECT_EQ(preset->presetNumber, 0);
    EXPECT_EQ(CFText(preset->presetName), "-");
    CFStringRef description = CFCopyDescription(presets);
    EXPECT_NE(CFText(description).find("AUPreset:\npreset number = 0\npreset name = -"),
              std::string::npos)
        << CFText(description);
    CFRelease(description);
    // Releasing the array releases the record, and the record its name.
    CFStringRef name = preset->presetName;
    CFRetain(name);
    EXPECT_EQ(CFGetRetainCount(name), 2);
    CFRelease(presets);
    EXPECT_EQ(CFGetRetainCount(name), 1) << "the record released its name";
    CFRelease(name);

    // Current preset: change a value, restore preset 0, read the name back.
    host.SetParam(Parandel::kWidth, 70.0f);
    AUPreset current{5, nullptr};
    ASSERT_EQ(host.Set(kAudioUnitProperty_PresentPreset, 0, 0, current), noErr)
        << "noErr whatever the outcome";
    EXPECT_EQ(host.GetParam(Parandel::kWidth), 70.0f);
    current.presetNumber = 0;
    ASSERT_EQ(host.Set(kAudioUnitProperty_CurrentPreset, 0, 0, current), noErr);
    EXPECT_EQ(host.GetParam(Parandel::kWidth), 0.0f) << "the default preset restored";
    for (AudioUnitPropertyID id :
         {kAudioUnitProperty_CurrentPreset, kAudioUnitProperty_PresentPreset})
    {
        AUPreset got{-1, nullptr};
        ASSERT_EQ(host.Get(id, 0, 0, got), noErr);
        EXPECT_EQ(got.presetNumber, 0);
        EXPECT_EQ(CFText(got.presetName), "-");
        CFRelease(got.presetName);
    }
}

TEST(AUProperties, EditorPropertiesNeedAnEditorAndItsBundle)
{
    AUTestHost host;
    ComponentDescription view{};
    // The plug-in builds its editor itself.
    ASSERT_EQ(host.Get(kAudioUnitProperty_GetUIComponentList, 0, 0, view), noErr);
    EXPECT_EQ(view.componentType, FourCC("auvw"));
    EXPECT_EQ(view.componentSubType, FourCC("rkjs"));
    EXPECT_EQ(view.componentManufacturer, FourCC("TwNl"));
    EXPECT_EQ(view.componentFlags, 0u);
    EXPECT_EQ(view.componentFlagsMask, 0u);

    AudioUnitCocoaViewInfo cocoa{};
    EXPECT_EQ(host.Get(kAudioUnitProperty_CocoaUI, 0, 0, cocoa), kAudioUnitErr_InvalidProperty)
        << "the bundle is not known yet";

    // A bundle folder with the plug-in's identifier.
    mkdir(PARANDEL_TEST_TMP, 0777);
    const std::string folder = std::string(PARANDEL_TEST_TMP) + "/TW-Parandel.component";
    mkdir(folder.c_str(), 0777);
    mkdir((folder + "/Contents").c_str(), 0777);
    std::ofstream(folder + "/Contents/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleIdentifier</key><string>com.Tarnwel.audiounit.TW-Parandel</string>"
           "</dict></plist>\n";
    CFStringRef path = CFStr(folder.c_str());
    CFURLRef url =
        CFURLCreateWithFileSystemPath(kCFAllocatorDefault, path, kCFURLPOSIXPathStyle, true);
    CFBundleRef bundle = CFBundleCreate(kCFAllocatorDefault, url);
    ASSERT_NE(bundle, nullptr);
    ASSERT_EQ(host.Get(kAudioUnitProperty_CocoaUI, 0, 0, cocoa), noErr);
    CFStringRef location =
        CFURLCopyFileSystemPath(cocoa.mCocoaAUViewBundleLocation, kCFURLPOSIXPathStyle);
    EXPECT_EQ(CFText(location), folder);
    EXPECT_EQ(CFText(cocoa.mCocoaAUViewClass[0]), "Parandel_View");
    CFRelease(location);
    CFRelease(cocoa.mCocoaAUViewBundleLocation);
    CFRelease(cocoa.mCocoaAUViewClass[0]);
    CFRelease(bundle);
    CFRelease(url);
    CFRelease(path);
}

// ---- Class info ----

namespace
{
CFTypeRef Value(CFPropertyListRef dict, const char* key)
{
    CFStringRef k = CFStr(key);
    CFTypeRef v = CFDictionaryGetValue(static_cast<CFDictionaryRef>(dict), k);
    CFRelease(k);
    return v;
}

SInt32 Number(CFPropertyListRef dict, const char* key)
{
    SInt32 v = -1;
    CFNumberGetValue(static_cast<CFNumberRef>(Value(dict, key)), kCFNumberSInt32Type, &v);
    return v;
}

// A mutable copy of the dictionary with one entry replaced (or removed when value is null).
CFMutableDictionaryRef With(CFPropertyListRef dict, const char* key, CFTypeRef value)
{
    const CFIndex n = CFDictionaryGetCount(static_cast<CFDictionaryRef>(dict));
    std::vector<const void*> keys(n), values(n);
    CFDictionaryGetKeysAndValues(static_cast<CFDictionaryRef>(dict), keys.data(), values.data());
    CFMutableDictionaryRef copy = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (CFIndex i = 0; i < n; ++i)
        CFDictionarySetValue(copy, keys[i], values[i]);
    CFStringRef k = CFStr(key);
    if (value)
        CFDictionarySetValue(copy, k, value);
    else
        CFDictionaryRemoveValue(copy, k);
    CFRelease(k);
    return copy;
}

std::vector<float> AllValues(AUTestHost& host)
{
    std::vector<float> v;
    for (int i = 0; i < kParams; ++i)
        v.push_back(host.GetParam(i));
    return v;
}
} // namespace

TEST(AUClassInfo, RoundTripRestoresEveryValueAndRedraws)
{
    AUTestHost host;
    const float values[kParams] = {0.25f, 40, 1, 0, -30, 0.5f, 150, -3.5f, 1, 0,
                                   0,     1,  0, 0, 0,   1,    0,   0,     1};
    for (int i = 0; i < kParams; ++i)
        host.SetParam(i, values[i]);
    CFPropertyListRef state = host.CopyClassInfo();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(CFGetTypeID(state), CFDictionaryGetTypeID());
    EXPECT_EQ(Number(state, "version"), 0x50301);
    EXPECT_EQ(static_cast<UInt32>(Number(state, "type")), FourCC("aufx"));
    EXPECT_EQ(static_cast<UInt32>(Number(state, "subtype")), FourCC("rkjs"));
    EXPECT_EQ(static_cast<UInt32>(Number(state, "manufacturer")), FourCC("TwNl"));
    EXPECT_EQ(CFText(Value(state, "name")), "-");
    CFTypeRef data = Value(state, "data");
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(CFDataGetLength(static_cast<CFDataRef>(data)), 152);
    // Width at offset 8 as a little-endian double.
    const UInt8* bytes = CFDataGetBytePtr(static_cast<CFDataRef>(data));
    uint64_t bits = 0;
    for (int b = 7; b >= 0; --b)
        bits = (bits << 8) | bytes[8 + b];
    double width;
    std::memcpy(&width, &bits, 8);
    EXPECT_EQ(width, 40.0);

    // A second instance takes the whole state, and its editor is redrawn with real values.
    AUTestHost other;
    auto* editor = new RecordingGraphics(PlugOf(other.unit));
    PlugOf(other.unit)->AttachGraphics(editor);
    editor->updates.clear();
    ASSERT_EQ(other.SetClassInfo(state), noErr);
    EXPECT_EQ(AllValues(other), AllValues(host));
    ASSERT_GE(editor->updates.size(), static_cast<size_t>(kParams));
    const size_t first = editor->updates.size() - kParams;
    for (int i = 0; i < kParams; ++i)
    {
        EXPECT_EQ(editor->updates[first + i].paramIdx, i);
        EXPECT_FALSE(editor->updates[first + i].normalized);
        EXPECT_EQ(editor->updates[first + i].value, static_cast<double>(other.GetParam(i))) << i;
    }
    CFRelease(state);
}

TEST(AUClassInfo, ForeignOrIncompleteStatesChangeNothing)
{
    AUTestHost source;
    source.SetParam(Parandel::kWidth, 55.0f);
    CFPropertyListRef state = source.CopyClassInfo();
    ASSERT_NE(state, nullptr);

    AUTestHost host;
    host.SetParam(Parandel::kPan, 20.0f);
    const std::vector<float> before = AllValues(host);

    SInt32 otherSubtype = static_cast<SInt32>(FourCC("abcd"));
    CFNumberRef subtype = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &otherSubtype);
    const UInt8 shortBytes[100] = {};
    CFDataRef shortData = CFDataCreate(kCFAllocatorDefault, shortBytes, sizeof(shortBytes));
    CFStringRef notANumber = CFStr("aufx");
    struct Bad
    {
        const char* what;
        CFMutableDictionaryRef dict;
    };
    const Bad bad[] = {
        {"other subtype", With(state, "subtype", subtype)},
        {"no version", With(state, "version", nullptr)},
        {"no name", With(state, "name", nullptr)},
        {"no data", With(state, "data", nullptr)},
        {"short data", With(state, "data", shortData)},
        {"type as text", With(state, "type", notANumber)},
    };
    for (const Bad& b : bad)
    {
        EXPECT_EQ(host.SetClassInfo(b.dict), kAudioUnitErr_InvalidPropertyValue) << b.what;
        EXPECT_EQ(AllValues(host), before) << b.what;
        CFRelease(b.dict);
    }
    CFStringRef notADictionary = CFStr("state");
    EXPECT_EQ(host.SetClassInfo(notADictionary), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(host.SetClassInfo(nullptr), kAudioUnitErr_InvalidPropertyValue);
    CFRelease(notADictionary);
    CFRelease(subtype);
    CFRelease(shortData);
    CFRelease(notANumber);

    // The same identity restores.
    ASSERT_EQ(host.SetClassInfo(state), noErr);
    EXPECT_EQ(host.GetParam(Parandel::kWidth), 55.0f);
    EXPECT_EQ(host.GetParam(Parandel::kPan), 0.0f);
    CFRelease(state);
}

TEST(AUClassInfo, NonFiniteOrShortDataRestoresNothingNotEvenThePreset)
{
    AUTestHost source;
    CFPropertyListRef state = source.CopyClassInfo(); // named "-", the default preset
    ASSERT_NE(state, nullptr);
    ASSERT_EQ(CFText(Value(state, "name")), "-");
    CFDataRef good = static_cast<CFDataRef>(Value(state, "data"));
    std::vector<UInt8> bytes(CFDataGetBytePtr(good), CFDataGetBytePtr(good) + 152);

    AUTestHost host;
    host.SetParam(Parandel::kPan, 20.0f);
    host.SetParam(Parandel::kOutGain, -4.0f);
    const std::vector<float> before = AllValues(host);
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL})
    {
        std::vector<UInt8> b = bytes;
        uint64_t bits;
        std::memcpy(&bits, &bad, 8);
        for (int k = 0; k < 8; ++k)
            b[8 * Parandel::kWidth + k] = static_cast<UInt8>(bits >> (8 * k));
        CFDataRef data = CFDataCreate(kCFAllocatorDefault, b.data(), 152);
        CFMutableDictionaryRef dict = With(state, "data", data);
        EXPECT_EQ(host.SetClassInfo(dict), kAudioUnitErr_InvalidPropertyValue) << bad;
        EXPECT_EQ(AllValues(host), before) << bad;
        CFRelease(dict);
        CFRelease(data);
    }
    CFDataRef shortData = CFDataCreate(kCFAllocatorDefault, bytes.data(), 144);
    CFMutableDictionaryRef dict = With(state, "data", shortData);
    EXPECT_EQ(host.SetClassInfo(dict), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AllValues(host), before);
    CFRelease(dict);
    CFRelease(shortData);
    CFRelease(state);
}

TEST(AUClassInfo, TravelsThroughAnXmlPropertyList)
{
    AUTestHost host;
    host.SetParam(Parandel::kOutGain, -7.5f);
    CFPropertyListRef state = host.CopyClassInfo();
    CFDataRef xml = CFPropertyListCreateData(kCFAllocatorDefault, state,
                                             kCFPropertyListXMLFormat_v1_0, 0, nullptr);
    ASSERT_NE(xml, nullptr);
    const std::string text(reinterpret_cast<const char*>(CFDataGetBytePtr(xml)),
                           static_cast<size_t>(CFDataGetLength(xml)));
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    EXPECT_NE(text.find("<key>manufacturer</key>"), std::string::npos);
    EXPECT_NE(text.find("<integer>1417105004</integer>"), std::string::npos) << "'TwNl'";
    CFPropertyListFormat format = 0;
    CFPropertyListRef back =
        CFPropertyListCreateWithData(kCFAllocatorDefault, xml, 0, &format, nullptr);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(format, kCFPropertyListXMLFormat_v1_0);
    EXPECT_TRUE(CFEqual(back, state));
    AUTestHost other;
    ASSERT_EQ(other.SetClassInfo(back), noErr);
    EXPECT_EQ(other.GetParam(Parandel::kOutGain), -7.5f);
    CFRelease(back);
    CFRelease(xml);
    CFRelease(state);
}
