#include "engine/Parandel.h"
#include "editor/IControlTypes.h"
#include "editor/IGraphics.h"
#include "editor/controls/IControl.h"
#include "graph/GraphControl10.h"
#include "metering/TWCorrelationComputer.h"
#include "metering/TWUpmixGraphDrawer.h"
#include "metering/TWVectorscope.h"
#include "support/PlugHarness.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

struct Stereo
{
    std::vector<double> l, r;
};

// Runs a long stereo signal through the harness block by block and returns the output.
Stereo RunBlocks(PlugHarness& h, const std::vector<double>& l, const std::vector<double>& r)
{
    Stereo out;
    for (size_t start = 0; start < l.size(); start += kBlock)
    {
        const size_t n = std::min<size_t>(kBlock, l.size() - start);
        std::vector<double> bl(l.begin() + start, l.begin() + start + n);
        std::vector<double> br(r.begin() + start, r.begin() + start + n);
        h.Process(bl, br);
        out.l.insert(out.l.end(), bl.begin(), bl.end());
        out.r.insert(out.r.end(), br.begin(), br.end());
    }
    return out;
}

std::vector<double> Negated(std::vector<double> v)
{
    for (double& x : v)
        x = -x;
    return v;
}
} // namespace

TEST(Parandel, DeclaresNineteenParametersWithTheirRanges)
{
    Parandel plug(Parandel::DefaultInstanceInfo());
    ASSERT_EQ(plug.ParamCount(), 19);
    struct Expect
    {
        int idx;
        const char* name;
        double def, min, max;
        const char* label;
        bool meta;
    };
    const Expect table[] = {
        {0, "WidthMeter", 0.5, 0, 1, "", true},       {1, "Width", 0, -100, 100, "%", false},
        {2, "MonoToStereo", 0, 0, 1, "", false},      {4, "Pan", 0, -100, 100, "%", false},
        {5, "CorrelationMeter", 0, -1, 1, "", true},  {6, "BassFocus", 100, 0, 500, "Hz", true},
        {7, "OutGain", 0, -12, 12, "dB", true},       {8, "MonoOut", 0, 0, 1, "", true},
        {9, "VectorscopeMode0", 1, 0, 1, "", true},   {13, "VectorscopeMode4", 0, 0, 1, "", true},
        {14, "VectorscopeGraph0", 0, 0, 1, "", true}, {18, "VectorscopeGraph4", 0, 0, 1, "", true},
    };
    for (const Expect& e : table)
    {
        const IParam* p = plug.Param(e.idx);
        EXPECT_STREQ(p->GetName(), e.name) << e.idx;
        EXPECT_EQ(p->Value(), e.def) << e.name;
        EXPECT_EQ(p->GetMin(), e.min) << e.name;
        EXPECT_EQ(p->GetMax(), e.max) << e.name;
        EXPECT_STREQ(p->GetLabel(), e.label) << e.name;
        EXPECT_EQ(p->isMeta, e.meta) << e.name;
    }
    // Index 3 is never declared.
    EXPECT_EQ(plug.Param(3)->Type(), IParam::ParamType::None);
    EXPECT_STREQ(plug.Param(3)->GetName(), "");
    EXPECT_EQ(plug.Param(2)->Type(), IParam::ParamType::Int);
    EXPECT_EQ(plug.Param(1)->GetDisplayPrecision(), 2);
    EXPECT_EQ(plug.Param(7)->GetDisplayPrecision(), 1);
    EXPECT_EQ(plug.GetEffectVersion(false), 0x50301);
    EXPECT_EQ(plug.GetUniqueID(), 0x726B6A73);
    EXPECT_STREQ(plug.GetEffectName(), "TW Parandel");
    EXPECT_STREQ(plug.GetMfrName(), "Tarnwel");
    EXPECT_STREQ(plug.PresetName(0), "-");
    EXPECT_TRUE(plug.LegalIO(1, 2));
    EXPECT_TRUE(plug.LegalIO(2, 2));
    EXPECT_FALSE(plug.LegalIO(2, 1));
}

TEST(Parandel, StateChunkRoundTripsAndIgnoresIndexThree)
{
    PlugHarness a;
    a.Set(Parandel::kWidth, 37.5);
    a.Set(Parandel::kBassFocus, 250);
    a.Set(Parandel::kMonoOut, 1);
    StateChunk chunk;
    ASSERT_TRUE(a.plug->SerializeState(chunk));
    EXPECT_EQ(chunk.Size(), 152);

    PlugHarness b;
    EXPECT_EQ(b.plug->UnserializeState(chunk, 0), 152);
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(b.plug->Param(i)->Value(), a.plug->Param(i)->Value()) << i;
    // One noise block through two started instances; the two outputs, left then right.
    const auto outputsOf = [](PlugHarness& x, PlugHarness& y)
    {
        x.Start();
        y.Start();
        std::vector<std::vector<double>> out = {testsig::Noise(kBlock, 11),
                                                testsig::Noise(kBlock, 12)};
        out.push_back(out[0]);
        out.push_back(out[1]);
        x.Process(out[0], out[1]);
        y.Process(out[2], out[3]);
        return out;
    };
    // The restored instance sounds as the stored one: the same output, mono as stored.
    const auto restored = outputsOf(a, b);
    EXPECT_EQ(restored[2], restored[0]);
    EXPECT_EQ(restored[3], restored[1]);
    EXPECT_EQ(restored[2], restored[3]);

    // A state whose index 3 holds a value restores without effect on the sound.
    StateChunk with3;
    for (int i = 0; i < 19; ++i)
        with3.PutDouble(i == 3 ? 0.7 : a.plug->Param(i)->Value());
    PlugHarness c, d;
    c.plug->UnserializeState(with3, 0);
    d.plug->UnserializeState(chunk, 0);
    const auto with3Out = outputsOf(c, d);
    EXPECT_EQ(with3Out[0], with3Out[2]);
    EXPECT_EQ(with3Out[1], with3Out[3]);

    // A short chunk: −1 and nothing restored, not even the values it covers.
    StateChunk shortChunk;
    shortChunk.PutDouble(0.25);
    shortChunk.PutDouble(-50.0);
    shortChunk.PutBytes("xxxx", 4);
    PlugHarness e;
    e.Set(Parandel::kPan, 30.0);
    EXPECT_EQ(e.plug->UnserializeState(shortChunk, 0), -1);
    EXPECT_EQ(e.plug->Param(Parandel::kWidthMeter)->Value(), 0.5);
    EXPECT_EQ(e.plug->Param(Parandel::kWidth)->Value(), 0.0);
    EXPECT_EQ(e.plug->Param(Parandel::kPan)->Value(), 30.0);
}

TEST(Parandel, MonoInputGivesTwoEqualChannelsEqualToTheInput)
{
    PlugHarness h(1);
    h.Set(Parandel::kBassFocus, 20.0);
    h.Start();
    const auto x = testsig::Noise(4 * kBlock, 21, 0.5);
    const Stereo out = RunBlocks(h, x, std::vector<double>(x.size(), 0.0));
    for (size_t k = kBlock; k < x.size(); ++k)
    {
        ASSERT_NEAR(out.l[k], x[k], 4e-16) << k;
        ASSERT_NEAR(out.r[k], x[k], 4e-16) << k;
    }
    // The first half of the first block fades in from silence.
    EXPECT_EQ(out.l[0], 0.0);
    EXPECT_NEAR(out.l[kBlock / 2], x[kBlock / 2], 4e-16);

    // With bass focus at its default the channels still match each other.
    PlugHarness m(1);
    m.Start();
    const Stereo o2 = RunBlocks(m, x, std::vector<double>(x.size(), 0.0));
    for (size_t k = 0; k < x.size(); ++k)
        ASSERT_NEAR(o2.l[k], o2.r[k], 1e-15) << k;
}

TEST(Parandel, WidthMinusHundredGivesIdenticalChannels)
{
    for (double bassFocus : {20.0, 100.0})
    {
        PlugHarness h;
        h.Set(Parandel::kWidth, -100.0);
        h.Set(Parandel::kBassFocus, bassFocus);
        h.Start();
        const auto l = testsig::Noise(4 * kBlock, 31), r = testsig::Noise(4 * kBlock, 32);
        const Stereo out = RunBlocks(h, l, r);
        for (size_t k = 0; k < l.size(); ++k)
            ASSERT_NEAR(out.l[k], out.r[k], 1e-15) << "bassFocus=" << bassFocus << " k=" << k;
        if (bassFocus <= 20.0)
        {
            for (size_t k = kBlock; k < l.size(); ++k)
                ASSERT_NEAR(out.l[k], (l[k] + r[k]) / 2, 1e-15) << k;
        }
    }
}

TEST(Parandel, BassFocusSwitchesOnStrictlyAboveTwentyHertz)
{
    const auto l = testsig::Noise(4 * kBlock, 41), r = testsig::Noise(4 * kBlock, 42);
    PlugHarness off;
    off.Set(Parandel::kBassFocus, 20.0);
    off.Start();
    const Stereo a = RunBlocks(off, l, r);
    for (size_t k = kBlock; k < l.size(); ++k)
        ASSERT_NEAR(a.l[k], l[k], 4e-16) << k;

    PlugHarness on;
    on.Set(Parandel::kBassFocus, 20.5);
    on.Start();
    const Stereo b = RunBlocks(on, l, r);
    double diff = 0;
    for (size_t k = kBlock; k < l.size(); ++k)
        diff = std::max(diff, std::fabs(b.l[k] - l[k]));
    EXPECT_GT(diff, 1e-4); // the crossover's phase turn is there
}

TEST(Parandel, BassFocusMakesTheLowBandMono)
{
    const int n = 44100;
    // 30 Hz in opposite phase nearly cancels below a 100 Hz bass focus...
    const auto low = testsig::Sine(n, 30.0, kRate, 0.5);
    PlugHarness h;
    h.Start();
    const Stereo o = RunBlocks(h, low, Negated(low));
    const double lowOut = testsig::ToneAmplitude(o.l.data() + n / 2, n / 2, 30.0, kRate);
    EXPECT_LT(testsig::ToDb(lowOut / 0.5), -20.0);
    // ...while 1 kHz in opposite phase passes.
    const auto high = testsig::Sine(n, 1000.0, kRate, 0.5);
    PlugHarness g;
    g.Start();
    const Stereo p = RunBlocks(g, high, Negated(high));
    const double highOut = testsig::ToneAmplitude(p.l.data() + n / 2, n / 2, 1000.0, kRate);
    EXPECT_NEAR(testsig::ToDb(highOut / 0.5), 0.0, 0.1);
}

TEST(Parandel, PanHardLeftWithBassFocusKeepsTheLowBandCentred)
{
    const int n = 44100;
    PlugHarness h;
    h.Set(Parandel::kPan, -100.0);
    h.Start();
    // A 1 kHz tone moves to the left; a 30 Hz tone stays in both channels.
    const auto high = testsig::Sine(n, 1000.0, kRate, 0.5);
    const Stereo o = RunBlocks(h, high, high);
    EXPECT_LT(testsig::Rms(o.r.data() + n / 2, n / 2), 1e-3);
    EXPECT_NEAR(testsig::ToneAmplitude(o.l.data() + n / 2, n / 2, 1000.0, kRate),
                0.5 * std::sqrt(2.0), 0.01);

    PlugHarness g;
    g.Set(Parandel::kPan, -100.0);
    g.Start();
    const auto low = testsig::Sine(n, 30.0, kRate, 0.5);
    const Stereo p = RunBlocks(g, low, low);
    const double r30 = testsig::ToneAmplitude(p.r.data() + n / 2, n / 2, 30.0, kRate);
    EXPECT_GT(r30, 0.4);

    // Without bass focus, hard left silences the right channel completely.
    PlugHarness f;
    f.Set(Parandel::kPan, -100.0);
    f.Set(Parandel::kBassFocus, 20.0);
    f.Start();
    const Stereo q = RunBlocks(f, low, low);
    for (double x : q.r)
        ASSERT_EQ(x, 0.0);
}

TEST(Parandel, OutputGainAndMonoOut)
{
    PlugHarness h;
    h.Set(Parandel::kOutGain, -6.0);
    h.Set(Parandel::kBassFocus, 20.0);
    h.Start();
    const auto l = testsig::Noise(2 * kBlock, 51), r = testsig::Noise(2 * kBlock, 52);
    const Stereo o = RunBlocks(h, l, r);
    // The first target is taken at once (nothing processed yet).
    const double g = std::pow(10.0, -6.0 / 20.0);
    for (size_t k = kBlock; k < l.size(); ++k)
        ASSERT_NEAR(o.l[k], g * l[k], 1e-12) << k;

    PlugHarness m;
    m.Set(Parandel::kMonoOut, 1.0);
    m.Start();
    const Stereo mo = RunBlocks(m, l, r);
    for (size_t k = 0; k < l.size(); ++k)
        ASSERT_EQ(mo.l[k], mo.r[k]) << k;
}

TEST(Parandel, SilentBlocksPassThroughAndFreezeTheSmoothers)
{
    PlugHarness h;
    h.Set(Parandel::kBassFocus, 20.0);
    h.Start();
    // A first block of sound disarms the fade-in and starts the smoothers gliding.
    auto l = testsig::Noise(kBlock, 61), r = testsig::Noise(kBlock, 62);
    h.Process(l, r);
    h.Set(Parandel::kOutGain, -12.0);

    // Silence in, with output buffers holding silence: outputs are the inputs, untouched.
    std::vector<double> sl(kBlock, 0.0), sr(kBlock, 1e-17);
    std::vector<double> initL(kBlock, 0.0), initR(kBlock, 0.0);
    auto al = sl, ar = sr;
    h.Process(al, ar, &initL, &initR);
    EXPECT_EQ(al, sl);
    EXPECT_EQ(ar, sr);

    // The pending gain change glides only now: the first sample moves by 0.1 % of the step.
    std::vector<double> ones(kBlock, 1.0);
    auto bl = ones, br = ones;
    h.Process(bl, br);
    const double target = std::pow(10.0, -12.0 / 20.0);
    EXPECT_NEAR(bl[0], 1.0 + 0.001 * (target - 1.0), 1e-9);
}

TEST(Parandel, SilentMonoBlockWritesBothOutputs)
{
    // Panned hard right, a tone leaves the left output silent; the host's right buffer still
    // holds the last tone block when silence follows.
    PlugHarness h(1);
    h.Set(Parandel::kPan, 100.0);
    h.Set(Parandel::kBassFocus, 20.0);
    h.Start();
    auto left = testsig::Sine(kBlock, 440.0, kRate, 0.5), right = left;
    h.Process(left, right);
    for (double x : left)
        ASSERT_LE(std::fabs(x), Parandel::kSilenceThreshold);
    ASSERT_GT(testsig::Rms(right.data(), kBlock), 0.1);
    const std::vector<double> lastRight = right;

    std::vector<double> l(kBlock, 0.0), r(kBlock, 0.0), silentLeft(kBlock, 0.0);
    h.Process(l, r, &silentLeft, &lastRight);
    EXPECT_EQ(l, std::vector<double>(kBlock, 0.0));
    EXPECT_EQ(r, std::vector<double>(kBlock, 0.0)) << "the right output replays the last block";
}

TEST(Parandel, ResetArmsTheFadeIn)
{
    PlugHarness h;
    h.Set(Parandel::kBassFocus, 20.0);
    h.Start();
    std::vector<double> ones(kBlock, 1.0);
    auto l = ones, r = ones;
    h.Process(l, r);
    l = ones, r = ones;
    h.Process(l, r);
    EXPECT_NEAR(l[0], 1.0, 1e-15);
    h.plug->Reset();
    l = ones, r = ones;
    h.Process(l, r);
    EXPECT_EQ(l[0], 0.0);
    EXPECT_NEAR(l[kBlock / 4], 0.5 * (1 - std::cos(2 * M_PI * (kBlock / 4) / (kBlock - 1))), 1e-12);
    EXPECT_NEAR(l[kBlock - 1], 1.0, 1e-15);
    EXPECT_EQ(h.plug->GetLatency(), 0);
}

TEST(Parandel, ModeParametersActAsRadioButtons)
{
    PlugHarness h;
    h.Start();
    EXPECT_EQ(h.plug->Param(9)->Value(), 1.0);
    h.plug->SetParameterFromGUI(11, 1.0);
    for (int i = 9; i <= 13; ++i)
        EXPECT_EQ(h.plug->Param(i)->Value(), i == 11 ? 1.0 : 0.0) << i;
    EXPECT_EQ(h.plug->GetVectorscope()->GetMode(), 2);
    // Turning the active one off leaves all five off and the mode as it was.
    h.plug->SetParameterFromGUI(11, 0.0);
    for (int i = 9; i <= 13; ++i)
        EXPECT_EQ(h.plug->Param(i)->Value(), 0.0) << i;
    EXPECT_EQ(h.plug->GetVectorscope()->GetMode(), 2);
    // Only the selected mode's graph is enabled.
    for (int m = 0; m < 5; ++m)
        EXPECT_EQ(h.plug->GetVectorscopeGraph(m)->IsEnabled(), m == 2) << m;
}

TEST(Parandel, DraggingTheVectorscopeMovesPanAndWidth)
{
    PlugHarness h;
    h.Start();
    TWVectorscope* scope = h.plug->GetVectorscope();
    const double pan0 = h.plug->Param(Parandel::kPan)->ToNormalized();
    scope->OnMouseDrag(100, 100, 10, 0, IMouseMod(true));
    EXPECT_NEAR(h.plug->Param(Parandel::kPan)->ToNormalized(), pan0 + 0.05, 1e-12);
    scope->OnMouseDrag(100, 100, 10, 0, IMouseMod(true, false, true)); // shift: five times finer
    EXPECT_NEAR(h.plug->Param(Parandel::kPan)->ToNormalized(), pan0 + 0.06, 1e-12);
    const double width0 = h.plug->Param(Parandel::kWidth)->ToNormalized();
    scope->OnMouseDrag(100, 100, 0, -10, IMouseMod(true, false, false, false, true)); // alt, up
    EXPECT_NEAR(h.plug->Param(Parandel::kWidth)->ToNormalized(), width0 + 0.05, 1e-12);
    // The GRID display shows the values the plug-in hands it.
    ASSERT_NE(scope->GetUpmixDrawer(), nullptr);
    EXPECT_NEAR(scope->GetUpmixDrawer()->GetPan(), h.plug->Param(Parandel::kPan)->Value() / 100,
                1e-12);
}

TEST(Parandel, VectorscopePlugMovesPanAndWidth)
{
    PlugHarness h;
    h.Start();
    h.plug->SetPan(0.5);
    EXPECT_NEAR(h.plug->Param(Parandel::kPan)->Value(), 50.0, 1e-12);
    h.plug->SetPan(3.0); // bounded by the normalisation
    EXPECT_NEAR(h.plug->Param(Parandel::kPan)->Value(), 100.0, 1e-12);
    h.plug->SetPan(0.0);
    h.plug->AddPan(0.05);
    EXPECT_NEAR(h.plug->Param(Parandel::kPan)->ToNormalized(), 0.55, 1e-12);
    h.plug->AddPan(-2.0);
    EXPECT_EQ(h.plug->Param(Parandel::kPan)->Value(), -100.0);
    h.plug->AddWidth(0.05);
    EXPECT_NEAR(h.plug->Param(Parandel::kWidth)->Value(), 10.0, 1e-9);
    h.plug->AddWidth(5.0);
    EXPECT_EQ(h.plug->Param(Parandel::kWidth)->Value(), 100.0);
}

TEST(Parandel, UnusableChannelsLeaveTheOutputsAlone)
{
    PlugHarness h;
    h.Start();
    h.plug->SetInputChannelConnections(0, 2, false);
    std::vector<double> l(kBlock, 0.5), r(kBlock, 0.5);
    std::vector<double> initL(kBlock, 0.25), initR(kBlock, 0.25);
    h.Process(l, r, &initL, &initR);
    EXPECT_EQ(l, initL);
    EXPECT_EQ(r, initR);
}

TEST(Parandel, MonoToStereoLatencyIsReportedAtTheNextReset)
{
    for (int block : {512, 500})
    {
        PlugHarness h(2, kRate, block);
        h.Start();
        EXPECT_EQ(h.plug->GetLatency(), 0);
        h.Set(Parandel::kMonoToStereo, 1.0);
        EXPECT_EQ(h.plug->GetLatency(), 0) << "block=" << block; // not before the reset
        h.plug->Reset();
        EXPECT_EQ(h.plug->GetLatency(), block == 512 ? 0 : 500) << "block=" << block;
        h.Set(Parandel::kMonoToStereo, 0.0);
        h.plug->Reset();
        EXPECT_EQ(h.plug->GetLatency(), 0);
    }
}

TEST(Parandel, MonoToStereoSumIsTheScaledMonoSignal)
{
    PlugHarness h(1);
    h.Set(Parandel::kMonoToStereo, 1.0);
    h.Set(Parandel::kBassFocus, 20.0);
    h.Start();
    const auto x = testsig::Noise(16 * kBlock, 81, 0.25);
    const Stereo out = RunBlocks(h, x, std::vector<double>(x.size(), 0.0));
    const double g = std::exp(6 * 0.1151292546497);
    double side = 0, mid = 0;
    for (size_t k = kBlock; k < x.size(); ++k)
    {
        ASSERT_NEAR(out.l[k] + out.r[k], g * x[k], 1e-12) << k;
        side += (out.l[k] - out.r[k]) * (out.l[k] - out.r[k]);
        mid += (out.l[k] + out.r[k]) * (out.l[k] + out.r[k]);
    }
    // A decorrelated side signal well below the mid.
    const double sideDb = 10 * std::log10(side / mid);
    EXPECT_LT(sideDb, -10.0);
    EXPECT_GT(sideDb, -30.0);
}

TEST(Parandel, CorrelationFollowsTheOutputOnlyWhileTheTransportRuns)
{
    PlugHarness h;
    h.Set(Parandel::kBassFocus, 20.0); // no crossover memories ringing into the next block
    h.Start(false);
    auto l = testsig::Noise(kBlock, 101), r = l;
    h.Process(l, r);
    EXPECT_EQ(h.plug->GetCorrelationComputer()->GetCorrelation(), 0.0);
    // The vectorscope is fed all the same.
    EXPECT_EQ(h.plug->GetVectorscope()->GetHistory(0).GetSize(), kBlock);

    // The transport starts: the plug-in resets (the block fades in again) and measures.
    h.plug->SetHostTransport(true, 0.0);
    std::vector<double> ones(kBlock, 0.5);
    auto a = ones, b = ones;
    h.Process(a, b);
    EXPECT_EQ(a[0], 0.0); // faded in after the transport-start reset
    // The faded-in first sample (0, 0) starts the meter at 0; 511 in-phase samples follow.
    const double fb = std::exp(-2 * M_PI / (0.5 * 44100.0));
    EXPECT_NEAR(h.plug->GetCorrelationComputer()->GetCorrelation(), 1 - std::pow(fb, 511), 1e-12);
}

TEST(Parandel, ShortBlocksAreMeteredABatchAtATimeWithTheReadingsOfLongOnes)
{
    // Short blocks wait in the vectorscope's window and are measured together. Whenever the
    // correlation is read, and whenever the transport stops, it is the reading of 512-sample
    // blocks, and the meter shows it.
    const int n = 24 * kBlock;
    const auto l = testsig::Noise(n, 107);
    auto r = testsig::Noise(n, 108);
    for (int k = 0; k < n; ++k)
        r[k] += 0.7 * l[k];
    PlugHarness longs, shorts;
    longs.Start();
    shorts.Start();
    IControl* meter = nullptr;
    IGraphics* gui = GetGUI(*shorts.plug);
    for (int i = 0; gui && i < gui->NControls(); ++i)
        if (gui->GetControl(i)->ParamIdx() == Parandel::kCorrelationMeter)
            meter = gui->GetControl(i);
    ASSERT_NE(meter, nullptr);
    // 512 in all: whole blocks where the transport starts, as they fade in over their length,
    // and only short ones while it is stopped.
    const int sizes[] = {300, 32, 17, 100, 63};
    const int whole[] = {kBlock};
    const int quarters[] = {128, 128, 128, 128};
    for (int start = 0; start < n; start += kBlock)
    {
        const bool running = start < 12 * kBlock || start >= 14 * kBlock;
        const bool starts = start == 0 || start == 14 * kBlock;
        longs.plug->SetHostTransport(running, 0.0);
        shorts.plug->SetHostTransport(running, 0.0);
        std::vector<double> a(l.begin() + start, l.begin() + start + kBlock);
        std::vector<double> b(r.begin() + start, r.begin() + start + kBlock);
        longs.Process(a, b);
        const int* blocks = starts ? whole : running ? sizes : quarters;
        for (int k = start, i = 0; k < start + kBlock; k += blocks[i++])
        {
            std::vector<double> x(l.begin() + k, l.begin() + k + blocks[i]);
            std::vector<double> y(r.begin() + k, r.begin() + k + blocks[i]);
            shorts.Process(x, y);
        }
        if (!running) // a stopped block catches up: the meter shows every measured sample
        {
            EXPECT_EQ(meter->GetValue(),
                      (longs.plug->GetCorrelationComputer()->GetCorrelation() + 1.0) * 0.5);
        }
        if (start == 11 * kBlock)
            continue; // unread, so that samples still wait when the transport stops
        const double c = shorts.plug->GetCorrelationComputer()->GetCorrelation();
        ASSERT_EQ(c, longs.plug->GetCorrelationComputer()->GetCorrelation()) << "at " << start;
        EXPECT_EQ(meter->GetValue(), (c + 1.0) * 0.5) << "at " << start;
    }
}

TEST(Parandel, MonoToStereoOfMonoMaterialNeverReadsAsAntiphase)
{
    // The faded-in first sample is an exact zero; through the convolver it must stay one, not
    // come out as rounding residue in opposite phase (which grows with the level) and start the
    // meter at −1. Every level, block size, mono or stereo input, with and without bass focus.
    const int n = 16 * kBlock;
    for (double level : {1e-6, 0.5, 0.9, 1e30})
        for (int block : {32, 128, 333, 512})
            for (int signal = 0; signal < 3; ++signal) // noise, a 440 Hz sine, Nyquist
                for (int inputs : {1, 2})
                    for (double bassFocus : {20.0, 100.0})
                    {
                        std::vector<double> x = signal == 0
                                                    ? testsig::Noise(n, 111, level)
                                                    : testsig::Sine(n, 440.0, 44100.0, level);
                        for (int k = 0; signal == 2 && k < n; ++k)
                            x[k] = k % 2 ? -level : level;
                        PlugHarness h(inputs, 44100.0, block);
                        h.Set(Parandel::kMonoToStereo, 1.0);
                        h.Set(Parandel::kBassFocus, bassFocus);
                        h.Start();
                        double lowest = 1.0;
                        for (int start = 0; start + block <= n; start += block)
                        {
                            std::vector<double> l(x.begin() + start, x.begin() + start + block);
                            std::vector<double> r = l;
                            h.Process(l, r);
                            lowest = std::min(lowest,
                                              h.plug->GetCorrelationComputer()->GetCorrelation());
                        }
                        EXPECT_GE(lowest, 0.0)
                            << "level=" << level << " block=" << block << " signal=" << signal
                            << " inputs=" << inputs << " bass=" << bassFocus;
                    }
}

TEST(Parandel, VectorscopeIsNotFedWhileNothingLooksAtIt)
{
    PlugHarness h;
    h.plug->SetScopeRead(false);
    h.Start();
    auto l = testsig::Noise(kBlock, 104), r = l;
    h.Process(l, r);
    EXPECT_EQ(h.plug->GetVectorscope()->GetHistory(0).GetSize(), 0);
    h.plug->OnGUIOpen(); // an open editor looks at it
    h.Process(l, r);
    EXPECT_EQ(h.plug->GetVectorscope()->GetHistory(0).GetSize(), kBlock);
    h.plug->OnGUIClose();
    h.plug->SetScopeRead(true);
    h.Process(l, r);
    EXPECT_EQ(h.plug->GetVectorscope()->GetHistory(0).GetSize(), 2 * kBlock);
}

TEST(Parandel, CorrelationIsNotMeasuredWhileNothingReadsIt)
{
    PlugHarness h;
    h.Set(Parandel::kBassFocus, 20.0);
    h.plug->SetCorrelationRead(false);
    h.Start();
    auto l = testsig::Noise(kBlock, 102), r = l;
    for (double& x : r)
        x = -x;
    h.Process(l, r);
    EXPECT_EQ(h.plug->GetCorrelationComputer()->GetCorrelation(), 0.0);
    // Read again, it starts afresh: the first in-phase sample sets it to 1 at once (instead of
    // climbing from the opposite phase that went by).
    h.plug->SetCorrelationRead(true);
    auto a = testsig::Noise(kBlock, 103), b = a;
    h.Process(a, b);
    EXPECT_NEAR(h.plug->GetCorrelationComputer()->GetCorrelation(), 1.0, 1e-12);
}
