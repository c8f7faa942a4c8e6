// Rendering through the adapter: the pull of the inputs (render callback, direct connections
// with and without a fast render procedure), bypass, output buffers, error answers and the
// transport the host callbacks report.

#include "AUTestHost.h"
#include "AUTestPlug.h"

#include "engine/Parandel.h"
#include "framework/DenormalGuard.h"
#include "hosts/au/IPlugAU.h"
#include "metering/TWCorrelationComputer.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr UInt32 kBlock = 256;

Parandel* PlugOf(AudioUnit unit)
{
    return static_cast<Parandel*>(IPlugAU::FromStorage(GetComponentInstanceStorage(unit)));
}

std::vector<float> Noise(int n, unsigned seed)
{
    const auto d = testsig::Noise(n, seed, 0.5);
    return std::vector<float>(d.begin(), d.end());
}

std::vector<float> Slice(const std::vector<float>& v, size_t start, size_t n)
{
    return std::vector<float>(v.begin() + static_cast<long>(start),
                              v.begin() + static_cast<long>(start + n));
}
} // namespace

TEST(AURender, FramesBeyondTheBlockSizeAreRefused)
{
    AUTestHost host;
    // The block size is 1024 until the host sets the maximum frames.
    EXPECT_EQ(host.Render(1025, 0.0), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(host.Render(1024, 0.0), noErr);
    ASSERT_EQ(host.SetMaxFrames(64), noErr);
    EXPECT_EQ(host.Render(65, 1024.0), kAudioUnitErr_InvalidPropertyValue);
}

TEST(AURender, BadRequestsAreRefused)
{
    AUTestHost host;
    ASSERT_EQ(host.Prepare(2, kBlock), noErr);
    EXPECT_EQ(host.Render(kBlock, 0.0, false, 1), kAudioUnitErr_InvalidPropertyValue)
        << "no second output bus";
    AudioTimeStamp ts{};
    ts.mSampleTime = 0.0; // flags say the sample time is not valid
    AudioUnitRenderActionFlags flags = 0;
    std::vector<float> l(kBlock), r(kBlock);
    struct
    {
        UInt32 n;
        AudioBuffer b[2];
    } list = {2, {{1, kBlock * 4, l.data()}, {1, kBlock * 4, r.data()}}};
    EXPECT_EQ(AudioUnitRender(host.unit, &flags, &ts, 0, kBlock,
                              reinterpret_cast<AudioBufferList*>(&list)),
              kAudioUnitErr_InvalidPropertyValue);
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    EXPECT_EQ(AudioUnitRender(host.unit, &flags, &ts, 0, kBlock, nullptr),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitRender(host.unit, &flags, nullptr, 0, kBlock,
                              reinterpret_cast<AudioBufferList*>(&list)),
              kAudioUnitErr_InvalidPropertyValue);
    // An input callback's error ends the render with that error.
    host.inputStatus = -1234;
    EXPECT_EQ(host.Render(kBlock, 512.0), -1234);
}

TEST(AURender, SameSampleTimePullsOnce)
{
    AUTestHost host;
    ASSERT_EQ(host.Prepare(2, kBlock), noErr);
    host.input = {Noise(4 * kBlock, 1), Noise(4 * kBlock, 2)};
    ASSERT_EQ(host.Render(kBlock, 0.0), noErr);
    EXPECT_EQ(host.inputPulls, 1);
    ASSERT_EQ(host.Render(kBlock, 0.0), noErr);
    EXPECT_EQ(host.inputPulls, 1) << "the same sample time does not pull again";
    ASSERT_EQ(host.Render(kBlock, kBlock), noErr);
    EXPECT_EQ(host.inputPulls, 2);
}

TEST(AURender, BypassCarriesTheInputs)
{
    for (int channels : {1, 2})
    {
        AUTestHost host(RegisterTestEffect());
        ASSERT_EQ(host.Prepare(channels, kBlock), noErr) << channels;
        AUTestPlug* plug = TestPlugOf(host.unit);
        const UInt32 on = 1;
        ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, 0, 0, on), noErr);
        host.input = {Noise(kBlock, 3), Noise(kBlock, 4)};
        ASSERT_EQ(host.Render(kBlock, 0.0), noErr);
        EXPECT_EQ(plug->processCount, 0) << "ProcessReplacing is not called while bypassed";
        EXPECT_EQ(host.output[0], host.input[0]) << "channels=" << channels;
        EXPECT_EQ(host.output[1], host.input[channels == 1 ? 0 : 1])
            << "channels=" << channels << ": input 0 on both outputs for a mono input";
    }
}

TEST(AURender, ProcessingFlushesDenormalsAndRestoresTheHostsSettings)
{
    AUTestHost host(RegisterTestEffect());
    ASSERT_EQ(host.Prepare(2, kBlock), noErr);
    host.input = {Noise(kBlock, 3), Noise(kBlock, 4)};
    volatile double tiny = 1e-310;
    ASSERT_NE(tiny * 1.0, 0.0) << "the test host keeps denormals";
    const uint64_t before = DenormalGuard::ControlState();
    ASSERT_EQ(host.Render(kBlock, 0.0), noErr);
    EXPECT_TRUE(TestPlugOf(host.unit)->denormalsFlushedInProcess);
    EXPECT_EQ(DenormalGuard::ControlState(), before);
    EXPECT_NE(tiny * 1.0, 0.0) << "denormals work again after the render";
}

TEST(AURender, ParandelBypassedIsExactlyTheInput)
{
    AUTestHost host;
    ASSERT_EQ(host.Prepare(1, kBlock), noErr);
    host.SetParam(Parandel::kWidth, 80.0f);
    const UInt32 on = 1;
    ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, 0, 0, on), noErr);
    host.input = {Noise(3 * kBlock, 5)};
    for (int b = 0; b < 3; ++b)
    {
        ASSERT_EQ(host.Render(kBlock, b * kBlock), noErr);
        EXPECT_EQ(host.output[0], Slice(host.input[0], b * kBlock, kBlock)) << b;
        EXPECT_EQ(host.output[1], Slice(host.input[0], b * kBlock, kBlock)) << b;
    }
}

TEST(AURender, ProcessingThroughTheCallbackMatchesTheChain)
{
    // Width −100 % makes both outputs the mid signal; the callback path must deliver it.
    AUTestHost host;
    ASSERT_EQ(host.Prepare(2, kBlock), noErr);
    host.SetParam(Parandel::kWidth, -100.0f);
    host.SetParam(Parandel::kBassFocus, 20.0f);
    host.input = {Noise(8 * kBlock, 6), Noise(8 * kBlock, 7)};
    for (int b = 0; b < 8; ++b)
        ASSERT_EQ(host.Render(kBlock, b * kBlock), noErr);
    for (UInt32 k = 0; k < kBlock; ++k)
    {
        const float mid = 0.5f * (host.input[0][7 * kBlock + k] + host.input[1][7 * kBlock + k]);
        ASSERT_NEAR(host.output[0][k], mid, 1e-5f) << k;
        ASSERT_NEAR(host.output[1][k], mid, 1e-5f) << k;
    }
}

TEST(AURender, NullOutputBuffersUseTheUnitsOwn)
{
    AUTestHost host(RegisterTestEffect());
    ASSERT_EQ(host.Prepare(2, kBlock), noErr);
    host.input = {Noise(kBlock, 8), Noise(kBlock, 9)};
    ASSERT_EQ(host.Render(kBlock, 0.0, true), noErr);
    // The test plug's ProcessReplacing copies input to output.
    EXPECT_EQ(host.output[0], host.input[0]);
    EXPECT_EQ(host.output[1], host.input[1]);
}

TEST(AURender, DirectConnectionsWithAndWithoutFastDispatch)
{
    for (bool fast : {true, false})
    {
        AUTestHost source(RegisterSourceUnit(fast));
        ASSERT_EQ(source.openStatus, noErr);
        AUTestHost host(RegisterTestEffect());
        ASSERT_EQ(host.SetMaxFrames(kBlock), noErr);
        const AudioUnitConnection c = {source.unit, 0, 0};
        SourceStats() = SourceUnitStats();
        ASSERT_EQ(host.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, c), noErr);
        const IPlugAU::InputConnection* ic = TestPlugOf(host.unit)->GetInputConnection(0);
        EXPECT_EQ(ic->connectionType, fast ? IPlugAU::eDirectFastProc : IPlugAU::eDirectNoFastProc);
        EXPECT_EQ(ic->upstreamUnit, source.unit);
        EXPECT_EQ(host.FormatChannels(kAudioUnitScope_Input, 0), 2)
            << "the source's format applied";
        ASSERT_EQ(AudioUnitInitialize(host.unit), noErr);
        const UInt32 on = 1;
        ASSERT_EQ(host.Set(kAudioUnitProperty_BypassEffect, 0, 0, on), noErr);
        ASSERT_EQ(host.Render(kBlock, 2000.0), noErr) << "fast=" << fast;
        EXPECT_EQ(SourceStats().renders, 1);
        for (UInt32 k = 0; k < kBlock; ++k)
        {
            EXPECT_EQ(host.output[0][k], static_cast<float>((2000.0 + k) / 1000.0)) << k;
            EXPECT_EQ(host.output[1][k], static_cast<float>(1 + (2000.0 + k) / 1000.0)) << k;
        }
        SourceStats().renderStatus = -777;
        EXPECT_EQ(host.Render(kBlock, 2000.0 + kBlock), -777) << "the source's error";

        // Disconnecting leaves the bus unconnected.
        const AudioUnitConnection none = {nullptr, 0, 0};
        ASSERT_EQ(host.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Global, 0, none),
                  noErr);
        EXPECT_EQ(ic->connectionType, IPlugAU::eNotConnected);
        EXPECT_FALSE(TestPlugOf(host.unit)->GetInBus(0)->connected);
    }
}

TEST(AURender, RefusedConnections)
{
    AUTestHost source(RegisterSourceUnit(true));
    AUTestHost host;
    const AudioUnitConnection c = {source.unit, 0, 0};
    EXPECT_EQ(host.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Output, 0, c),
              kAudioUnitErr_InvalidProperty);
    const AudioUnitConnection toBus1 = {source.unit, 0, 1};
    EXPECT_EQ(host.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, toBus1),
              kAudioUnitErr_InvalidProperty);
    const AudioUnitConnection fromBus3 = {source.unit, 3, 0};
    EXPECT_EQ(host.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, fromBus3),
              kAudioUnitErr_InvalidProperty)
        << "the source has no such output";
    SourceStats() = SourceUnitStats();
    SourceStats().channels = 3;
    EXPECT_EQ(host.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, c),
              kAudioUnitErr_InvalidProperty)
        << "three channels fit no configuration";
    SourceStats() = SourceUnitStats();
}

TEST(AURender, UnitsChainThroughTheirFastRenderProcedures)
{
    // A bypassed TW Parandel fed by the source, feeding a second TW Parandel in bypass.
    AUTestHost source(RegisterSourceUnit(true));
    AUTestHost first;
    AUTestHost second;
    SourceStats() = SourceUnitStats();
    const UInt32 on = 1;
    for (AUTestHost* h : {&first, &second})
    {
        ASSERT_EQ(h->SetMaxFrames(kBlock), noErr);
        ASSERT_EQ(h->Set(kAudioUnitProperty_BypassEffect, 0, 0, on), noErr);
    }
    const AudioUnitConnection a = {source.unit, 0, 0};
    const AudioUnitConnection b = {first.unit, 0, 0};
    ASSERT_EQ(first.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, a), noErr);
    ASSERT_EQ(second.Set(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, b), noErr);
    EXPECT_EQ(PlugOf(second.unit)->GetInputConnection(0)->connectionType, IPlugAU::eDirectFastProc);
    ASSERT_EQ(AudioUnitInitialize(first.unit), noErr);
    ASSERT_EQ(AudioUnitInitialize(second.unit), noErr);
    ASSERT_EQ(second.Render(kBlock, 0.0), noErr);
    for (UInt32 k = 0; k < kBlock; ++k)
        EXPECT_EQ(second.output[1][k], static_cast<float>(1 + k / 1000.0)) << k;
}

TEST(AURender, RenderCallbackCanBeRemoved)
{
    AUTestHost host;
    ASSERT_EQ(host.Prepare(2, kBlock), noErr);
    const AURenderCallbackStruct none = {nullptr, nullptr};
    EXPECT_EQ(host.Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Global, 0, none),
              kAudioUnitErr_InvalidProperty)
        << "only the input scope is set";
    EXPECT_EQ(host.Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 1, none),
              kAudioUnitErr_InvalidProperty);
    ASSERT_EQ(host.Set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, none),
              noErr);
    EXPECT_EQ(PlugOf(host.unit)->GetInputConnection(0)->connectionType, IPlugAU::eNotConnected);
    EXPECT_FALSE(PlugOf(host.unit)->IsInChannelConnected(0));
    const int pulls = host.inputPulls;
    ASSERT_EQ(host.Render(kBlock, 0.0), noErr);
    EXPECT_EQ(host.inputPulls, pulls);
}

TEST(AURender, TransportComesFromTheHostCallbacks)
{
    AUTestHost host;
    ASSERT_EQ(host.Prepare(2, kBlock), noErr);
    Parandel* plug = PlugOf(host.unit);
    TimeInfo t;
    ASSERT_TRUE(plug->GetTime(&t));
    EXPECT_FALSE(t.transportIsRunning);
    EXPECT_EQ(t.tempo, 120.0) << "a tempo of 0 is not taken";
    EXPECT_EQ(t.samplePos, -1.0);

    host.playing = true;
    host.cycling = true;
    host.tempo = 98.5;
    host.beat = 12.25;
    host.samplePosition = 44100.0;
    host.cycleStart = 8.0;
    host.cycleEnd = 16.0;
    host.numerator = 7.0f;
    host.denominator = 8;
    host.barStart = 10.5;
    ASSERT_TRUE(plug->GetTime(&t));
    EXPECT_TRUE(t.transportIsRunning);
    EXPECT_TRUE(t.transportLoopEnabled);
    EXPECT_EQ(t.tempo, 98.5);
    EXPECT_EQ(t.ppqPos, 12.25);
    EXPECT_EQ(t.samplePos, 44100.0);
    EXPECT_EQ(t.cycleStartPos, 8.0);
    EXPECT_EQ(t.cycleEndPos, 16.0);
    EXPECT_EQ(t.numerator, 7);
    EXPECT_EQ(t.denominator, 8);
    EXPECT_EQ(t.lastBarPos, 10.5);
    EXPECT_TRUE(plug->IsTransportRunning());

    // The correlation meter runs only while the transport does.
    host.input = {Noise(40 * kBlock, 10), Noise(40 * kBlock, 10)};
    host.playing = false;
    const double before = plug->GetCorrelationComputer()->GetCorrelation();
    for (int b = 0; b < 4; ++b)
        ASSERT_EQ(host.Render(kBlock, b * kBlock), noErr);
    EXPECT_EQ(plug->GetCorrelationComputer()->GetCorrelation(), before);
    host.playing = true;
    for (int b = 4; b < 40; ++b)
        ASSERT_EQ(host.Render(kBlock, b * kBlock), noErr);
    EXPECT_GT(plug->GetCorrelationComputer()->GetCorrelation(), 0.5)
        << "identical channels correlate";
}
