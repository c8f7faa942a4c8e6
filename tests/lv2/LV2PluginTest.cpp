// The LV2 plug-in in a lilv host: its renders against `parandel process` at several block sizes,
// state round trips, the latency and meter ports, bypass and the allocation-free run call.

#include "engine/Parandel.h"
#include "lv2/LilvHost.h"
#include "support/AllocationCounter.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <lv2/state/state.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace
{
constexpr const char* kUri = "http://tarnwel.com/plugins/tw-parandel";
constexpr const char* kMonoUri = "http://tarnwel.com/plugins/tw-parandel-mono";
constexpr int kRate = 44100;
constexpr int kFrames = 30000;
// Outputs are floats on both sides: equal within float rounding of the same double result.
constexpr double kTolerance = 1e-6;

std::vector<std::vector<float>> ToFloat(const std::vector<std::vector<double>>& ch)
{
    std::vector<std::vector<float>> out;
    for (const auto& c : ch)
        out.emplace_back(c.begin(), c.end());
    return out;
}

double MaxDifference(const std::vector<std::vector<float>>& a, const TestAudio& b)
{
    double worst = 0.0;
    for (int c = 0; c < 2; ++c)
        for (size_t k = 0; k < a[c].size(); ++k)
            worst = std::max(worst, std::fabs(a[c][k] - b.ch[c][k]));
    return worst;
}
} // namespace

class LV2PluginTest : public CliTestFixture
{
protected:
    LV2PluginTest() : CliTestFixture("lv2") {}

    std::vector<std::vector<double>> Stereo() const
    {
        std::vector<double> l = testsig::Noise(kFrames, 7, 0.3),
                            r = testsig::Sine(kFrames, 330.0, kRate, 0.4);
        for (int k = 0; k < kFrames; ++k)
            r[k] += 0.5 * l[k];
        return {l, r};
    }

    void Settle(LilvHost& host, bool monoToStereo)
    {
        host.SetControl("width", 60.0f);
        host.SetControl("pan", -25.0f);
        host.SetControl("bass_focus", 150.0f);
        host.SetControl("out_gain", 3.0f);
        host.SetControl("mono_to_stereo", monoToStereo ? 1.0f : 0.0f);
    }

    std::vector<std::string> CliSettings(bool monoToStereo) const
    {
        std::vector<std::string> args = {"--width", "60",         "--pan", "-25",    "--bass-focus",
                                         "150",     "--out-gain", "3",     "--quiet"};
        if (monoToStereo)
            args.push_back("--mono-to-stereo");
        return args;
    }

    // Renders the input with the CLI and with the lilv host at one block size; the difference.
    double Compare(const std::vector<std::vector<double>>& input, const char* uri, int block,
                   bool monoToStereo)
    {
        Write(Path("in.wav"), input);
        std::vector<std::string> args = {"process", Path("in.wav"), Path("ref.wav"), "--block-size",
                                         std::to_string(block)};
        for (const std::string& a : CliSettings(monoToStereo))
            args.push_back(a);
        const CommandResult r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const TestAudio ref = Read(Path("ref.wav"));
        LilvHost host(PARANDEL_LV2_BUNDLE, uri, kRate, block);
        EXPECT_TRUE(host.Ok());
        if (!host.Ok() || ref.channels != 2)
            return 1e9;
        Settle(host, monoToStereo);
        host.Activate();
        const auto out = host.Process(ToFloat(input), block, true);
        EXPECT_EQ(out[0].size(), ref.ch[0].size());
        return MaxDifference(out, ref);
    }
};

TEST_F(LV2PluginTest, RendersLikeTheCommandLineAtEveryBlockSize)
{
    for (int block : {64, 500, 512, 4096})
        for (bool monoToStereo : {false, true})
            EXPECT_LT(Compare(Stereo(), kUri, block, monoToStereo), kTolerance)
                << "block=" << block << " monoToStereo=" << monoToStereo;
}

TEST_F(LV2PluginTest, MonoInputPluginRendersLikeTheCommandLine)
{
    const std::vector<std::vector<double>> mono = {Stereo()[0]};
    for (int block : {500, 512})
        EXPECT_LT(Compare(mono, kMonoUri, block, true), kTolerance) << "block=" << block;
}

TEST_F(LV2PluginTest, StateRestoresEveryValueInAFreshInstance)
{
    LilvHost a(PARANDEL_LV2_BUNDLE, kUri, kRate, 512);
    ASSERT_TRUE(a.Ok());
    Settle(a, true);
    a.SetControl("vectorscope_mode", 3.0f);
    a.Activate();
    a.Process(ToFloat(Stereo()), 512, false);
    const std::vector<uint8_t> saved = a.SavedChunk();
    ASSERT_EQ(saved.size(), 8u * Parandel::kNumParams);
    auto value = [&](const std::vector<uint8_t>& chunk, int idx)
    {
        double v;
        std::memcpy(&v, chunk.data() + 8 * idx, 8);
        return v;
    };
    EXPECT_EQ(value(saved, Parandel::kWidth), 60.0);
    EXPECT_EQ(value(saved, Parandel::kMonoToStereo), 1.0);
    EXPECT_EQ(value(saved, Parandel::kVectorscopeMode0 + 3), 1.0);
    EXPECT_EQ(value(saved, Parandel::kVectorscopeMode0), 0.0);

    LilvState* state = a.SaveState();
    ASSERT_NE(state, nullptr);
    LilvHost b(PARANDEL_LV2_BUNDLE, kUri, kRate, 512);
    ASSERT_TRUE(b.Ok());
    b.RestoreState(state);
    lilv_state_free(state);
    b.Activate();
    b.Process(ToFloat(Stereo()), 512, false);
    EXPECT_EQ(b.SavedChunk(), saved);
    EXPECT_EQ(b.Control("width"), 60.0f);
    EXPECT_EQ(b.Control("vectorscope_mode"), 3.0f);
}

TEST_F(LV2PluginTest, RestoreRejectsAForeignChunkType)
{
    LilvHost host(PARANDEL_LV2_BUNDLE, kUri, kRate, 512);
    ASSERT_TRUE(host.Ok());
    host.Activate();
    const auto* iface = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(host.Instance(), LV2_STATE__interface));
    ASSERT_NE(iface, nullptr);
    struct Bad
    {
        static const void* Retrieve(LV2_State_Handle, uint32_t, size_t* size, uint32_t* type,
                                    uint32_t* flags)
        {
            static const char text[] = "not a chunk";
            *size = 3; // shorter than one value
            *type = 1;
            *flags = 0;
            return text;
        }
    };
    EXPECT_NE(iface->restore(lilv_instance_get_handle(host.Instance()), Bad::Retrieve, nullptr, 0,
                             nullptr),
              LV2_STATE_SUCCESS);
    // Nothing changed: the chunk still holds the defaults.
    const std::vector<uint8_t> chunk = host.SavedChunk();
    ASSERT_EQ(chunk.size(), 8u * Parandel::kNumParams);
    double bassFocus;
    std::memcpy(&bassFocus, chunk.data() + 8 * Parandel::kBassFocus, 8);
    EXPECT_EQ(bassFocus, 100.0);
}

TEST_F(LV2PluginTest, LatencyPortMatchesThePlugInAtTheHostBlockSize)
{
    for (int block : {500, 512})
    {
        Parandel reference(Parandel::DefaultInstanceInfo());
        reference.SetBlockSize(block);
        reference.Param(Parandel::kMonoToStereo)->SetValue(1.0);
        reference.OnParamChange(Parandel::kMonoToStereo);
        reference.Reset();

        LilvHost host(PARANDEL_LV2_BUNDLE, kUri, kRate, block);
        ASSERT_TRUE(host.Ok());
        host.SetControl("mono_to_stereo", 1.0f);
        host.Activate();
        EXPECT_EQ(host.Control("latency"), static_cast<float>(reference.GetLatency()))
            << "block=" << block;
    }
}

TEST_F(LV2PluginTest, MeterPortsShowCorrelationWhileRollingAndTheWidthSetting)
{
    const std::vector<double> s = testsig::Sine(kFrames, 440.0, kRate, 0.5);
    std::vector<double> inverted(s);
    for (double& x : inverted)
        x = -x;
    struct Case
    {
        std::vector<std::vector<double>> input;
        bool transport;
        float low, high;
    } cases[] = {{{s, s}, true, 0.9f, 1.0f},
                 {{s, inverted}, true, -1.0f, -0.9f},
                 {{s, s}, false, 0.0f, 0.0f}};
    for (const Case& c : cases)
    {
        LilvHost host(PARANDEL_LV2_BUNDLE, kUri, kRate, 512);
        ASSERT_TRUE(host.Ok());
        host.SetControl("width", 60.0f);
        host.SetControl("bass_focus", 0.0f);
        host.Activate();
        host.Process(ToFloat(c.input), 512, c.transport);
        const float corr = host.Control("correlation_meter");
        EXPECT_GE(corr, c.low) << "transport=" << c.transport;
        EXPECT_LE(corr, c.high) << "transport=" << c.transport;
        EXPECT_FLOAT_EQ(host.Control("width_meter"), 0.8f);
    }
}

// A host that leaves the correlation port unconnected gets no measurement (it costs nothing);
// connected later, the meter starts afresh at the first sample, as after activation, instead of
// carrying on from what went by unread.
TEST_F(LV2PluginTest, CorrelationIsMeasuredOnlyWhileItsPortIsConnected)
{
    const std::vector<double> s = testsig::Sine(kFrames, 440.0, kRate, 0.5);
    std::vector<double> inverted(s);
    for (double& x : inverted)
        x = -x;
    LilvHost host(PARANDEL_LV2_BUNDLE, kUri, kRate, 512);
    ASSERT_TRUE(host.Ok());
    host.SetControl("bass_focus", 0.0f);
    const uint32_t port = host.PortIndex("correlation_meter");
    lilv_instance_connect_port(host.Instance(), port, nullptr);
    host.Activate();
    host.Process(ToFloat({s, inverted}), 512, true); // opposite phase, unread
    float meter = 0.0f;
    lilv_instance_connect_port(host.Instance(), port, &meter);
    std::vector<float> l(512), r(512);
    const std::vector<double> next = testsig::Sine(512, 440.0, kRate, 0.5, 0.3); // no zero first
    for (int k = 0; k < 512; ++k)
        l[k] = r[k] = static_cast<float>(next[k]);
    host.Run({l.data(), r.data()}, {l.data(), r.data()}, 512);
    EXPECT_GT(meter, 0.99f); // in phase from its first sample on, not climbing from −1
}

TEST_F(LV2PluginTest, DisabledPassesTheInputThrough)
{
    LilvHost host(PARANDEL_LV2_BUNDLE, kMonoUri, kRate, 512);
    ASSERT_TRUE(host.Ok());
    Settle(host, true);
    host.SetControl("enabled", 0.0f);
    host.Activate();
    const auto in = ToFloat({Stereo()[0]});
    const auto out = host.Process(in, 512, false);
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < kFrames; ++k)
            ASSERT_EQ(out[c][k], in[0][k]) << "c=" << c << " k=" << k;
}

TEST_F(LV2PluginTest, RunAllocatesNothingForAnyLengthUpToTheMaximum)
{
    constexpr int kMax = 4096;
    LilvHost host(PARANDEL_LV2_BUNDLE, kUri, kRate, kMax);
    ASSERT_TRUE(host.Ok());
    Settle(host, true);
    host.Activate();
    const auto in = ToFloat(Stereo());
    std::vector<float> outL(kMax), outR(kMax);
    std::vector<float*> inPtr = {const_cast<float*>(in[0].data()),
                                 const_cast<float*>(in[1].data())};
    std::vector<float*> outPtr = {outL.data(), outR.data()};
    host.Run(inPtr, outPtr, kMax); // the first block may set things up
    AllocationCounter::Start();
    for (int n : {1, 17, 500, 512, kMax})
        host.Run(inPtr, outPtr, n);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);

    // Control changes reach the plug-in inside the run call, and allocate nothing either (the
    // test host's symbol lookups stay outside the count).
    host.SetControl("width", -40.0f);
    host.SetControl("vectorscope_mode", 2.0f);
    AllocationCounter::Start();
    host.Run(inPtr, outPtr, 256);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);

    // Bypass and back: re-enabling resets on the audio thread, without allocating.
    for (float enabled : {0.0f, 1.0f})
    {
        host.SetControl("enabled", enabled);
        AllocationCounter::Start();
        host.Run(inPtr, outPtr, 512);
        AllocationCounter::Stop();
        EXPECT_EQ(AllocationCounter::Count(), 0) << "enabled=" << enabled;
    }
}

TEST_F(LV2PluginTest, ReEnablingRestartsLikeAFreshInstance)
{
    // After bypass the plug-in starts again from silence with the reset's fade-in: what it
    // plays equals a fresh instance fed the same audio from that moment.
    constexpr int kBlock = 512;
    const auto in = ToFloat(Stereo());
    LilvHost a(PARANDEL_LV2_BUNDLE, kUri, kRate, kBlock),
        b(PARANDEL_LV2_BUNDLE, kUri, kRate, kBlock);
    ASSERT_TRUE(a.Ok() && b.Ok());
    Settle(a, false);
    Settle(b, false);
    a.Activate();
    b.Activate();
    std::vector<float> aL(kBlock), aR(kBlock), bL(kBlock), bR(kBlock);
    auto run = [&](LilvHost& host, std::vector<float>& l, std::vector<float>& r, int block)
    {
        host.Run({const_cast<float*>(in[0].data()) + block * kBlock,
                  const_cast<float*>(in[1].data()) + block * kBlock},
                 {l.data(), r.data()}, kBlock);
    };
    for (int block = 0; block < 20; ++block)
    {
        a.SetControl("enabled", block >= 8 && block < 12 ? 0.0f : 1.0f);
        run(a, aL, aR, block);
        if (block < 12)
            continue;
        run(b, bL, bR, block);
        if (block == 12)
        {
            EXPECT_EQ(aL[0], 0.0f) << "the fade-in starts from silence";
        }
        for (int k = 0; k < kBlock; ++k)
        {
            ASSERT_NEAR(aL[k], bL[k], kTolerance) << "block=" << block << " k=" << k;
            ASSERT_NEAR(aR[k], bR[k], kTolerance) << "block=" << block << " k=" << k;
        }
    }
}

TEST_F(LV2PluginTest, InstantiatesWithoutFeaturesButNotAtAnUnusableRate)
{
    LilvHost host(PARANDEL_LV2_BUNDLE, kUri, kRate, 512);
    ASSERT_TRUE(host.Ok());
    // ecasound passes no features at all: no urid:map, so no transport and no options.
    LilvInstance* bare = lilv_plugin_instantiate(host.Plugin(), kRate, nullptr);
    EXPECT_NE(bare, nullptr);
    if (bare)
        lilv_instance_free(bare);
    for (double rate : {-44100.0, 0.0, std::nan(""), 1e-310, HUGE_VAL, 1e300, 0.5})
    {
        LilvInstance* instance = lilv_plugin_instantiate(host.Plugin(), rate, nullptr);
        EXPECT_EQ(instance, nullptr) << "rate=" << rate;
        if (instance)
            lilv_instance_free(instance);
    }
}

TEST_F(LV2PluginTest, RestoredStateOutlivesPortsTheHostLeftAlone)
{
    LilvHost a(PARANDEL_LV2_BUNDLE, kUri, kRate, 512);
    ASSERT_TRUE(a.Ok());
    Settle(a, false);
    a.Activate();
    a.Process(ToFloat(Stereo()), 512, false);
    static std::vector<uint8_t> saved;
    saved = a.SavedChunk();

    // A host that restores the plug-in's state but not its port values: the ports keep their
    // defaults, and the next run calls must not undo the restore with them.
    LilvHost b(PARANDEL_LV2_BUNDLE, kUri, kRate, 512);
    ASSERT_TRUE(b.Ok());
    b.Activate();
    static uint32_t chunkType;
    chunkType = b.Map(LV2_ATOM__Chunk);
    struct Store
    {
        static const void* Retrieve(LV2_State_Handle, uint32_t, size_t* size, uint32_t* type,
                                    uint32_t* flags)
        {
            *size = saved.size();
            *type = chunkType;
            *flags = LV2_STATE_IS_POD;
            return saved.data();
        }
    };
    const auto* iface = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(b.Instance(), LV2_STATE__interface));
    ASSERT_NE(iface, nullptr);
    ASSERT_EQ(iface->restore(lilv_instance_get_handle(b.Instance()), Store::Retrieve, nullptr, 0,
                             nullptr),
              LV2_STATE_SUCCESS);
    b.Process(ToFloat(Stereo()), 512, false);
    EXPECT_EQ(b.SavedChunk(), saved);
    // A port the host does move afterwards still takes effect.
    b.SetControl("pan", 40.0f);
    b.Process(ToFloat(Stereo()), 512, false);
    const std::vector<uint8_t> moved = b.SavedChunk();
    double pan = 0.0;
    std::memcpy(&pan, moved.data() + 8 * Parandel::kPan, 8);
    EXPECT_EQ(pan, 40.0);
}
