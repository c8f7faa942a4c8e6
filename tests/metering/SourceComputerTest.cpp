// The SOURCE analysis: the source geometry against positions placed by hand and at random
// between two microphones, the gap filling and level scale against worked values, the point set
// against a direct DFT of the analysed frame, the analysis cadence, the frames read in place from
// a scope window, and its background drawer.

#include "metering/SourceComputer.h"
#include "editor/LICE_Bitmap.h"
#include "metering/FftProcessObj16.h"
#include "metering/ParandelGraphDrawer3.h"
#include "metering/ParandelProcessDisp.h"
#include "metering/ScopeHistory.h"
#include "metering/TWCircleGraphDrawer.h"
#include "support/AllocationCounter.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr double kPi = 3.141592653589793;
constexpr double kRate = 44100.0;
constexpr int kN = 2048;
constexpr int kBins = kN / 2;
constexpr int kHop = 512;
constexpr int kWindowSamples = 4096; // what the vectorscope passes per block
constexpr double kU = ParandelProcessDisp::kUndefinedValue;
constexpr double kSpeedOfSound = 340.0;
constexpr double kMicX = 5.0; // microphones at (−5, 0) and (+5, 0)
constexpr unsigned kSeed = 99;

struct Geometry
{
    bool defined;
    double distance, angle;
};

Geometry Source(double magnL, double magnR, double freqHz, double itdSec)
{
    Geometry g{};
    g.defined =
        ParandelProcessDisp::SourceFromBin(magnL, magnR, freqHz, itdSec, &g.distance, &g.angle);
    return g;
}

// Bin values a source at (x, y) would give: inverse-distance magnitudes and the left channel's
// delay behind the right.
Geometry SourceAt(double x, double y)
{
    const double rL = std::hypot(x + kMicX, y);
    const double rR = std::hypot(x - kMicX, y);
    return Source(1.0 / rL, 1.0 / rR, 1000.0, (rL - rR) / kSpeedOfSound);
}

std::vector<double> Fill(std::vector<double> v)
{
    SampleBuffer b = testsig::MakeBuffer(v);
    ParandelProcessDisp::FillMissingValues(b);
    return std::vector<double>(b.Get(), b.Get() + b.GetSize());
}

// Bins 0 … N/2 − 1 of the Hann-windowed frame x[start … start + N), scaled 1 / N, by a direct
// DFT.
std::vector<std::complex<double>> FrameSpectrum(const std::vector<double>& x, int start)
{
    std::vector<double> c(kN), s(kN), w(kN);
    for (int i = 0; i < kN; ++i)
    {
        c[i] = std::cos(2.0 * kPi * i / kN);
        s[i] = std::sin(2.0 * kPi * i / kN);
        w[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / (kN - 1));
    }
    std::vector<std::complex<double>> z(kBins);
    for (int k = 0; k < kBins; ++k)
    {
        double re = 0.0, im = 0.0;
        for (int n = 0; n < kN; ++n)
        {
            const int r = static_cast<int>((static_cast<long long>(k) * n) % kN);
            const double v = w[n] * x[start + n];
            re += v * c[r];
            im -= v * s[r];
        }
        z[k] = std::complex<double>(re, im) / static_cast<double>(kN);
    }
    return z;
}

std::vector<double> FrameMagnitudes(const std::vector<double>& x, int start)
{
    std::vector<double> m;
    for (const auto& z : FrameSpectrum(x, start))
        m.push_back(std::abs(z));
    return m;
}

// The level scale written out: −120 dB → 0, 0 dB → 1.
double Level(double amplitude)
{
    const double db = amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -1000.0;
    return (std::max(db, -120.0) + 120.0) / 120.0;
}

struct Points
{
    SampleBuffer x, y;
};

Points Compute(SourceComputer& sc, const std::vector<double>& l, const std::vector<double>& r,
               int start, int count)
{
    Points p;
    SampleBuffer lb, rb;
    lb.Set(l.data() + start, count);
    rb.Set(r.data() + start, count);
    sc.ComputePoints(lb, rb, p.x, p.y);
    return p;
}
} // namespace

TEST(SourceGeometryTest, HandPlacedSourceAtFiveTwelve)
{
    // (5, 12) stands 12 from the right microphone, √244 from the left and 13 from the midpoint.
    Geometry g = SourceAt(5.0, 12.0);
    ASSERT_TRUE(g.defined);
    EXPECT_NEAR(g.distance, 13.0, 1e-9);
    EXPECT_NEAR(std::cos(g.angle), 5.0 / 13.0, 1e-9);
    EXPECT_NEAR(g.angle, std::atan2(12.0, 5.0), 1e-9);
    // Mirrored, the louder channel is the left one.
    g = SourceAt(-5.0, 12.0);
    ASSERT_TRUE(g.defined);
    EXPECT_NEAR(g.distance, 13.0, 1e-9);
    EXPECT_NEAR(g.angle, kPi - std::atan2(12.0, 5.0), 1e-9);
}

TEST(SourceGeometryTest, RandomPositionsAreRecoveredFromLevelsAndDelay)
{
    std::mt19937 rng(kSeed);
    std::uniform_real_distribution<double> dx(-40.0, 40.0), dy(0.5, 40.0);
    for (int i = 0; i < 2000; ++i)
    {
        const double x = dx(rng), y = dy(rng);
        if (std::fabs(x) < 0.01)
            continue; // on the bisector both levels are equal: no direction by design
        const Geometry g = SourceAt(x, y);
        ASSERT_TRUE(g.defined) << "seed " << kSeed << " case " << i << " at " << x << ", " << y;
        EXPECT_NEAR(g.distance, std::hypot(x, y), 1e-6 * std::hypot(x, y))
            << "seed " << kSeed << " case " << i << " at " << x << ", " << y;
        EXPECT_NEAR(g.angle, std::atan2(y, x), 1e-6)
            << "seed " << kSeed << " case " << i << " at " << x << ", " << y;
    }
}

TEST(SourceGeometryTest, DegenerateBinsAreAtTheOriginOrUndefined)
{
    const struct
    {
        const char* name;
        double mL, mR, f, itd;
        bool defined;
    } cases[] = {
        {"DC bin", 0.3, 0.1, 0.0, 0.001, true},
        {"silent left", 0.0, 0.5, 100.0, 0.001, true},
        {"silent right", 0.5, 1e-9, 100.0, 0.001, true},
        {"equal levels", 0.25, 0.25, 100.0, 0.001, true},
        {"level difference without delay", 0.5, 1.0, 100.0, 0.0, false},
        {"delay pointing the wrong way", 0.5, 1.0, 100.0, -0.05, false},
    };
    for (const auto& c : cases)
    {
        const Geometry g = Source(c.mL, c.mR, c.f, c.itd);
        EXPECT_EQ(g.defined, c.defined) << c.name;
        EXPECT_EQ(g.distance, c.defined ? 0.0 : kU) << c.name;
        EXPECT_EQ(g.angle, c.defined ? 0.0 : kU) << c.name;
    }
    // Levels 1 : 4 with this delay put the source exactly on the midpoint (D = 0), where the
    // cosine is 0 / 0: no direction, rather than a NaN angle.
    const Geometry mid = Source(1.0, 4.0, 1000.0, 0.015132228100809605);
    EXPECT_FALSE(mid.defined);
    EXPECT_EQ(mid.angle, kU);
}

TEST(SourceGeometryTest, AnyInputGivesAFiniteDirectionOrNone)
{
    std::mt19937 rng(kSeed + 1);
    std::uniform_real_distribution<double> mag(0.0, 1.0), itd(-0.1, 0.1), f(0.0, 22050.0);
    for (int i = 0; i < 20000; ++i)
    {
        const double a = mag(rng), b = mag(rng), d = itd(rng);
        const Geometry g = Source(a, b, f(rng), d);
        if (!g.defined)
            continue;
        ASSERT_TRUE(std::isfinite(g.distance) && g.distance >= 0.0)
            << "seed " << kSeed + 1 << " case " << i;
        ASSERT_TRUE(g.angle >= 0.0 && g.angle <= kPi) << "seed " << kSeed + 1 << " case " << i;
    }
}

TEST(SourceGeometryTest, FillMissingValuesInterpolatesAndHolds)
{
    EXPECT_EQ(Fill({0, kU, kU, 3}), (std::vector<double>{0, 1, 2, 3}));
    EXPECT_EQ(Fill({0, 5, kU, kU}), (std::vector<double>{0, 5, 5, 5}));
    EXPECT_EQ(Fill({2, kU, 4, kU, kU, kU, 0}), (std::vector<double>{2, 3, 4, 3, 2, 1, 0}));
    EXPECT_EQ(Fill({kU, kU, 7, 8}), (std::vector<double>{7, 7, 7, 8}));
    EXPECT_EQ(Fill({1, 2, 3}), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(Fill({kU, kU}), (std::vector<double>{kU, kU}));
    EXPECT_EQ(Fill({}), std::vector<double>{});
}

TEST(SourceGeometryTest, LevelScaleRunsFromMinus120DbToZeroDb)
{
    const double floor = ParandelProcessDisp::kLevelFloorDb;
    EXPECT_NEAR(ParandelProcessDisp::AmpToDBNorm(1.0, floor), 1.0, 1e-15);
    EXPECT_NEAR(ParandelProcessDisp::AmpToDBNorm(1e-3, floor), 0.5, 1e-12);
    EXPECT_NEAR(ParandelProcessDisp::AmpToDBNorm(-1e-3, floor), 0.5, 1e-12);
    EXPECT_NEAR(ParandelProcessDisp::AmpToDBNorm(1e-6, floor), 0.0, 1e-12);
    EXPECT_EQ(ParandelProcessDisp::AmpToDBNorm(1e-7, floor), 0.0);
    EXPECT_EQ(ParandelProcessDisp::AmpToDBNorm(0.0, floor), 0.0);
    EXPECT_NEAR(ParandelProcessDisp::AmpToDBNorm(10.0, floor), 1.0 + 20.0 / 120.0, 1e-12);
    EXPECT_NEAR(ParandelProcessDisp::AmpToDBNorm(0.5, -60.0), Level(0.5) * 2.0 - 1.0, 1e-12);
}

TEST(SourceComputerTest, NoPointsUntilTheFourthFrameAfterAReset)
{
    const std::vector<double> x = testsig::Noise(4 * kWindowSamples, kSeed);
    SourceComputer sc(kRate);
    Points p = Compute(sc, x, x, 0, kN - 1);
    EXPECT_EQ(p.x.GetSize(), 0);
    EXPECT_EQ(p.y.GetSize(), 0);
    p = Compute(sc, x, x, 0, kWindowSamples); // frames 1 … 4 complete inside this block
    EXPECT_EQ(p.x.GetSize(), kBins);
    EXPECT_EQ(p.y.GetSize(), kBins);

    for (int variant = 0; variant < 2; ++variant)
    {
        if (variant == 0)
            sc.Reset();
        else
            sc.Reset(48000.0);
        p = Compute(sc, x, x, 0, kN); // frame 1
        EXPECT_EQ(p.x.GetSize(), 0) << "variant " << variant;
        p = Compute(sc, x, x, kN, 2 * kHop); // frames 2, 3
        EXPECT_EQ(p.x.GetSize(), 0) << "variant " << variant;
        p = Compute(sc, x, x, kN + 2 * kHop, kHop); // frame 4
        EXPECT_EQ(p.x.GetSize(), kBins) << "variant " << variant;
    }
    EXPECT_EQ(sc.GetDisplayProcessor().GetFrameCounter(), 4);

    // A list that is not a stereo pair gives no points.
    ChannelList mono;
    mono.Add(testsig::MakeBuffer(x));
    SampleBuffer px, py;
    sc.ComputePoints(mono, px, py);
    EXPECT_EQ(px.GetSize(), 0);
}

TEST(SourceComputerTest, IdenticalChannelsStandOnTheVerticalAxisAtTheirLevels)
{
    const std::vector<double> x = testsig::Noise(2 * kWindowSamples, kSeed + 2, 0.8);
    SourceComputer sc(kRate);
    // Each window block of 4096 runs frames up to the one starting 2048 before its end; the
    // analysed ones are the 4th (start 1536) and then the 8th and 12th (start 5632).
    const struct
    {
        int blockStart, analysedFrameStart;
    } steps[] = {{0, 3 * kHop}, {kWindowSamples, 11 * kHop}};
    for (const auto& step : steps)
    {
        const Points p = Compute(sc, x, x, step.blockStart, kWindowSamples);
        ASSERT_EQ(p.x.GetSize(), kBins);
        const std::vector<double> m = FrameMagnitudes(x, step.analysedFrameStart);
        for (int k = 0; k < kBins; ++k)
        {
            ASSERT_EQ(p.x[k], 0.0) << "frame at " << step.analysedFrameStart << " bin " << k;
            ASSERT_NEAR(p.y[k], Level(m[k]), 1e-9)
                << "frame at " << step.analysedFrameStart << " bin " << k;
        }
    }
}

TEST(SourceComputerTest, GainScaledCopyAndSilenceLeaveEveryPointAtTheOrigin)
{
    const std::vector<double> r = testsig::Noise(kWindowSamples, kSeed + 3);
    std::vector<double> l(r);
    for (double& v : l)
        v *= 0.5; // exact in binary: the phases agree bit for bit, so every time difference is 0
    const std::vector<double> silence(kWindowSamples, 0.0);
    const struct
    {
        const char* name;
        const std::vector<double>& l;
        const std::vector<double>& r;
    } cases[] = {{"left = 0.5 × right", l, r}, {"silence", silence, silence}};
    for (const auto& c : cases)
    {
        SourceComputer sc(kRate);
        const Points p = Compute(sc, c.l, c.r, 0, kWindowSamples);
        ASSERT_EQ(p.x.GetSize(), kBins) << c.name;
        for (int k = 0; k < kBins; ++k)
        {
            ASSERT_EQ(p.x[k], 0.0) << c.name << " bin " << k;
            ASSERT_EQ(p.y[k], 0.0) << c.name << " bin " << k;
        }
    }
}

TEST(SourceComputerTest, SwappingTheChannelsMirrorsThePoints)
{
    const int n = kWindowSamples;
    const std::vector<double> a = testsig::Noise(n + 8, kSeed + 4);
    const std::vector<double> b = testsig::Noise(n, kSeed + 5);
    std::vector<double> l(n), r(n);
    for (int i = 0; i < n; ++i)
    {
        l[i] = a[i + 8];
        r[i] = 0.6 * a[i + 5] + 0.2 * b[i]; // quieter, three samples late, partly independent
    }
    SourceComputer forward(kRate), swapped(kRate);
    const Points p = Compute(forward, l, r, 0, n);
    const Points q = Compute(swapped, r, l, 0, n);
    ASSERT_EQ(p.x.GetSize(), kBins);
    ASSERT_EQ(q.x.GetSize(), kBins);

    // Bin 0 has the fixed angle 0 whichever channel is louder, and the gap after it is filled
    // towards that angle; from the first bin with a direction of its own the picture mirrors.
    // Find that bin from the analysed frame (the 4th, starting at 1536).
    const std::vector<std::complex<double>> zl = FrameSpectrum(l, 3 * kHop);
    const std::vector<std::complex<double>> zr = FrameSpectrum(r, 3 * kHop);
    auto slope = [](const std::vector<std::complex<double>>& z, int k)
    {
        double d = std::arg(z[k]) - std::arg(z[k - 1]);
        if (d < 0.0)
            d += 2.0 * kPi;
        return d * kBins / (2.0 * kPi);
    };
    int first = kBins;
    for (int k = 1; k < kBins && first == kBins; ++k)
    {
        const double itd = (slope(zr, k) - slope(zl, k)) / kRate;
        if (Source(std::abs(zl[k]), std::abs(zr[k]), k * kRate / kN, itd).defined)
            first = k;
    }
    ASSERT_LT(first, kBins / 4) << "the test signal should give directions early on";

    int off = 0;
    for (int k = 0; k < kBins; ++k)
    {
        EXPECT_TRUE(std::isfinite(p.x[k]) && std::isfinite(p.y[k])) << "bin " << k;
        EXPECT_GE(p.y[k], 0.0) << "bin " << k;
        if (k < first)
            continue;
        EXPECT_NEAR(q.x[k], -p.x[k], 1e-6)
            << "bin " << k << " (first direction at " << first << ")";
        EXPECT_NEAR(q.y[k], p.y[k], 1e-6) << "bin " << k << " (first direction at " << first << ")";
        off += std::fabs(p.x[k]) > 0.01;
    }
    EXPECT_GT(off, 0) << "a stereo signal should put some bins off the vertical axis";
}

// Whether two point sources (a display processor or a computer) give the same points, bit for
// bit (a failure when not); true when there are points.
template <class Expected, class Actual>
bool SamePoints(Expected& expected, Actual& actual)
{
    SampleBuffer ex, ey, ax, ay;
    expected.GetPoints(ex, ey);
    actual.GetPoints(ax, ay);
    const auto values = [](const SampleBuffer& b) {
        return std::vector<double>(b.Get(), b.Get() + b.GetSize());
    };
    EXPECT_EQ(values(ex), values(ax));
    EXPECT_EQ(values(ey), values(ay));
    return ex.GetSize() > 0;
}

// The computer transforms only the frame it shows, when it is shown; a frame processor that
// transforms every analysed frame as it comes gives the same points, bit for bit.
TEST(SourceComputerTest, TransformingOnlyWhenLookedAtGivesThePointsOfEveryFrameTransformed)
{
    SourceComputer lazy(kRate);
    FftProcessObj16 eager(WDL_PtrList<ProcessObj>(), 2, 0, kN, 4, kRate, 1);
    eager.SetSkipIFft(-1, true);
    eager.SetSpectraOnly(-1, true);
    eager.SetAnalysisWindow(-1, WindowType::Hann);
    eager.SetSynthesisWindow(-1, WindowType::Hann);
    eager.SetKeepEnergy(-1, false);
    ParandelProcessDisp display(kN, 4, 1, kRate);
    eager.AddMultichannelProcess(&display);
    const std::vector<double> l = testsig::Noise(30000, kSeed + 6);
    const std::vector<double> r = testsig::Noise(30000, kSeed + 7);
    int looks = 0;
    for (int start = 0, n = 700; start + n <= 30000; start += n, n = n * 7 % 3001 + 1)
    {
        ChannelList in;
        in.Add(l.data() + start, n);
        in.Add(r.data() + start, n);
        eager.Process(in, ChannelList(), nullptr);
        lazy.AddSamples(l.data() + start, r.data() + start, n);
        if (start % 3 == 0)
            continue; // points nobody looks at
        looks += SamePoints(display, lazy);
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_GT(looks, 3);
}

// From a scope window the computer reads the kept frame and the carried samples in place while
// they stay in it: through blocks of many sizes (some longer than the window), blocks it does not
// follow and looks between blocks, its points are those of a computer given a copy of each
// window, bit for bit.
TEST(SourceComputerTest, FollowingAWindowInPlaceGivesThePointsOfCopiedWindows)
{
    const int length = 150000;
    const std::vector<double> l = testsig::Noise(length, kSeed + 8);
    const std::vector<double> r = testsig::Noise(length, kSeed + 9);
    ScopeHistory history(0);
    SourceComputer inPlace(kRate), copied(kRate);
    std::mt19937 rng(11);
    const int sizes[] = {1, 64, 512, 1500, 2600, 3000, 4096, 5000};
    std::uniform_int_distribution<int> pick(0, 7), chance(0, 4);
    int looks = 0;
    for (int start = 0, n = 512; start + n <= length; start += n, n = sizes[pick(rng)])
    {
        inPlace.BeforeAppend(history, n);
        history.Append(l.data() + start, r.data() + start, n);
        if (chance(rng) > 0)
        {
            const std::vector<double> wl(history.Left(), history.Left() + history.Size());
            const std::vector<double> wr(history.Right(), history.Right() + history.Size());
            inPlace.AddWindow(history);
            copied.AddSamples(wl.data(), wr.data(), history.Size());
        }
        if (chance(rng) > 1)
            continue; // points nobody looks at
        looks += SamePoints(copied, inPlace);
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_GT(looks, 20);
}

TEST(SourceComputerTest, ComputePointsAllocatesNothingFromTheFirstBlock)
{
    const std::vector<double> l = testsig::Noise(kWindowSamples, kSeed + 6);
    const std::vector<double> r = testsig::Noise(kWindowSamples, kSeed + 7);
    SampleBuffer lb, rb, x, y;
    lb.Reserve(kWindowSamples);
    rb.Reserve(kWindowSamples);
    x.Reserve(kBins);
    y.Reserve(kBins);
    SourceComputer sc(kRate);
    AllocationCounter::Start();
    // The window fills block by block, as the vectorscope's history does, then stays full.
    for (int n = 512; n <= 3 * kWindowSamples; n += 512)
    {
        const int size = std::min(n, kWindowSamples);
        lb.Set(l.data(), size, false);
        rb.Set(r.data(), size, false);
        sc.ComputePoints(lb, rb, x, y);
    }
    sc.Reset(); // a mode change
    sc.ComputePoints(lb, rb, x, y);
    AllocationCounter::Stop();
    EXPECT_EQ(AllocationCounter::Count(), 0);
    EXPECT_EQ(x.GetSize(), kBins);
}

namespace
{
constexpr int kDrawW = 200;
constexpr int kDrawH = 120;

// Renders a drawer into a fresh bitmap and returns it.
std::unique_ptr<LICE_MemBitmap> Render(GraphCustomDrawer& drawer)
{
    auto target = std::make_unique<LICE_MemBitmap>(kDrawW, kDrawH);
    std::unique_ptr<GraphSurface> surface(GraphSurface::Create(GRAPH_ANTIALIAS));
    EXPECT_NE(surface, nullptr);
    if (!surface || !surface->BindRenderTarget(target.get()))
        return target;
    surface->ClearRenderTarget(0, 0, 0, 0);
    surface->BeginFrame(kDrawW, kDrawH, 1.0f);
    drawer.PreDraw(surface.get(), kDrawW, kDrawH);
    surface->EndFrame();
    return target;
}

// Alpha of the pixel whose square starts at (x, y) in the graph's y-up coordinates.
unsigned AlphaUp(const LICE_MemBitmap& b, int x, int y)
{
    const LICE_pixel* p = b.PixelAt(x, b.getHeight() - 1 - y);
    return p ? LICE_GETA(*p) : 0;
}
} // namespace

TEST(ParandelGraphDrawer3Test, HalfCircleAndBaseLineWithoutChannelAxes)
{
    ParandelGraphDrawer3 drawer("SOURCE");
    EXPECT_TRUE(drawer.HasTitle());
    EXPECT_STREQ(drawer.GetTitle(), "SOURCE");
    const auto bitmap = Render(drawer);
    const double r = kDrawW / 2.0 - 8.0; // 92
    // Top of the circle, a point at 45° on it, and the base line.
    EXPECT_GT(AlphaUp(*bitmap, kDrawW / 2, static_cast<int>(r) - 1), 100u);
    const int x45 = static_cast<int>(kDrawW / 2 + r * std::cos(kPi / 4));
    const int y45 = static_cast<int>(r * std::sin(kPi / 4));
    EXPECT_GT(AlphaUp(*bitmap, x45, y45) + AlphaUp(*bitmap, x45 - 1, y45 - 1) +
                  AlphaUp(*bitmap, x45, y45 - 1),
              100u);
    EXPECT_GT(AlphaUp(*bitmap, 50, 0) + AlphaUp(*bitmap, 50, 1), 100u);
    // Halfway along the 45° axis the polar background has its axis line; here it stays empty.
    const int xm = static_cast<int>(kDrawW / 2 + 0.5 * r * std::cos(kPi / 4));
    const int ym = static_cast<int>(0.5 * r * std::sin(kPi / 4));
    EXPECT_EQ(AlphaUp(*bitmap, xm, ym), 0u);
    TWCircleGraphDrawer polar("POLAR SAMPLES");
    const auto polarBitmap = Render(polar);
    EXPECT_GT(AlphaUp(*polarBitmap, xm, ym) + AlphaUp(*polarBitmap, xm, ym - 1) +
                  AlphaUp(*polarBitmap, xm - 1, ym),
              0u);

    ParandelGraphDrawer3 untitled(nullptr);
    EXPECT_FALSE(untitled.HasTitle());
    const std::string longTitle(400, 'x');
    ParandelGraphDrawer3 bounded(longTitle.c_str());
    EXPECT_EQ(std::string(bounded.GetTitle()).size(), 255u);
}
