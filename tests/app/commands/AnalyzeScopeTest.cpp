// End-to-end tests of 'parandel analyze' and 'process --scope'.

#include "app/render/OfflineRenderer.h"
#include "app/report/ScopeImage.h"
#include "editor/PngCodec.h"
#include "editor/LICE_Bitmap.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace
{
constexpr int kRate = 44100;

class AnalyzeScope : public CliTestFixture
{
protected:
    AnalyzeScope() : CliTestFixture("scope") {}
};

// Brightness (sum of R, G, B) of a pixel, top-left origin.
int Brightness(const LICE_IBitmap& b, int x, int y)
{
    const LICE_pixel p = *b.PixelAt(x, y);
    return static_cast<int>(LICE_GETR(p) + LICE_GETG(p) + LICE_GETB(p));
}

// Centre of mass of the pixels brighter than the background's brightest, within a box.
struct Blob
{
    double x = 0, y = 0;
    double covXY = 0; // of the bright pixels' positions, y counted downwards
    int count = 0;
};
Blob BrightBlob(const LICE_IBitmap& b, int threshold)
{
    Blob blob;
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            if (Brightness(b, x, y) > threshold)
            {
                blob.x += x;
                blob.y += y;
                ++blob.count;
            }
    if (blob.count)
    {
        blob.x /= blob.count;
        blob.y /= blob.count;
        for (int y = 0; y < b.getHeight(); ++y)
            for (int x = 0; x < b.getWidth(); ++x)
                if (Brightness(b, x, y) > threshold)
                    blob.covXY += (x - blob.x) * (y - blob.y) / blob.count;
    }
    return blob;
}
} // namespace

TEST_F(AnalyzeScope, MonoReportsPlusOneAndOppositePhaseMinusOne)
{
    const auto x = testsig::Noise(3 * kRate, 3, 0.5);
    std::vector<double> neg(x);
    for (double& v : neg)
        v = -v;
    Write(Path("mono.wav"), {x});
    Write(Path("anti.wav"), {x, neg});
    const auto r =
        Run({"analyze", Path("mono.wav"), Path("anti.wav"), "--json", Path("a.json"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // One row per file after the header.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;

    const auto j = nlohmann::json::parse(ReadWholeFile(Path("a.json")));
    ASSERT_TRUE(j.is_array());
    ASSERT_EQ(j.size(), 2u);
    // The meter starts from the faded-in first sample (0) and settles with its 500 ms
    // smoothing: after three seconds it reads 1 (and −1) to within 1 − e^(−2π·5.9).
    const auto& mono = j[0]["correlation"];
    EXPECT_EQ(j[0]["sample_rate"], kRate);
    EXPECT_NEAR(mono["final"].get<double>(), 1.0, 1e-12);
    EXPECT_GT(mono["min"].get<double>(), -1e-12);
    EXPECT_GT(mono["mean"].get<double>(), 0.9);
    ASSERT_EQ(mono["every_100ms"].size(), 30u);
    // The series rises monotonically towards 1 like the smoother's step response.
    for (size_t k = 1; k < 30; ++k)
        EXPECT_GE(mono["every_100ms"][k].get<double>(), mono["every_100ms"][k - 1].get<double>());
    const auto& anti = j[1]["correlation"];
    EXPECT_NEAR(anti["final"].get<double>(), -1.0, 1e-12);
    EXPECT_LT(anti["mean"].get<double>(), -0.9);
    EXPECT_NE(r.out.find("+1.000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-1.000"), std::string::npos) << r.out;

    // Every mode's final point set, as handed to the graphs.
    const auto& scope = j[0]["scope"];
    EXPECT_EQ(scope["polar"]["x"].size(), 4096u);
    EXPECT_EQ(scope["lissajous"]["y"].size(), 4096u);
    EXPECT_EQ(scope["flame"]["current"]["x"].size(), scope["flame"]["peak"]["x"].size());
    EXPECT_FALSE(scope["source"]["x"].empty());
    // Mono: polar points on the vertical axis, never above radius 0.95 × 0.95.
    for (size_t k = 0; k < 4096; ++k)
    {
        ASSERT_NEAR(scope["polar"]["x"][k].get<double>(), 0.0, 1e-9) << k;
        ASSERT_LE(scope["polar"]["y"][k].get<double>(), 0.95 * 0.95 + 1e-12) << k;
        ASSERT_GE(scope["polar"]["y"][k].get<double>(), 0.0) << k;
        ASSERT_NEAR(scope["lissajous"]["x"][k].get<double>(), 0.0, 1e-9) << k;
    }
    // A single file gives a single object.
    const auto one = Run({"analyze", Path("mono.wav"), "--json", Path("b.json"), "--quiet"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_TRUE(nlohmann::json::parse(ReadWholeFile(Path("b.json"))).is_object());
}

TEST_F(AnalyzeScope, BadInputIsReported)
{
    auto r = Run({"analyze", Path("missing.wav"), "--quiet"});
    EXPECT_EQ(r.exitCode, 1);
    r = Run({"analyze", "--quiet"});
    EXPECT_EQ(r.exitCode, 2);
    Write(Path("in.wav"), {testsig::Noise(1000, 1)});
    r = Run({"process", Path("in.wav"), Path("out.wav"), "--scope", Path("s.png"), "--scope-mode",
             "sideways"});
    EXPECT_EQ(r.exitCode, 2);
}

TEST_F(AnalyzeScope, ScopeImagesShowEachModeTheRightWayUp)
{
    // A source on the left: the right channel is the left at half the level, 600 samples
    // (13.6 ms, a 4.6-unit path difference) later.
    // The half-disc modes lean up-left; Lissajous points lie along the diagonal from top left to
    // bottom right; the GRID ball sits in the middle (Pan 0).
    const int n = kRate / 2;
    const auto l = testsig::Noise(n, 9, 0.5);
    std::vector<double> r(n, 0.0);
    for (int k = 600; k < n; ++k)
        r[k] = 0.5 * l[k - 600];
    Write(Path("left.wav"), {l, r});
    struct Case
    {
        const char* mode;
        double expectSide; // sign of the blob's x offset from the centre (0: centred)
    };
    for (const Case c : {Case{"polar", -1}, Case{"lissajous", 0}, Case{"flame", -1},
                         Case{"grid", 0}, Case{"source", -1}})
    {
        const std::string png = Path(std::string(c.mode) + ".png");
        const auto res = Run({"process", Path("left.wav"), Path("out.wav"), "--bass-focus", "20",
                              "--scope", png, "--scope-mode", c.mode, "--quiet"});
        ASSERT_EQ(res.exitCode, 0) << c.mode << ": " << res.err;
        std::unique_ptr<LICE_IBitmap> bmp(LoadPngFile(png.c_str()));
        ASSERT_TRUE(bmp) << c.mode;
        EXPECT_EQ(bmp->getWidth(), 456) << c.mode;
        EXPECT_EQ(bmp->getHeight(), 243) << c.mode;
        // The drawn points are far brighter than the dark background and grey drawing.
        const Blob blob = BrightBlob(*bmp, 600);
        ASSERT_GT(blob.count, 0) << c.mode;
        const double dx = blob.x - bmp->getWidth() / 2.0;
        if (c.expectSide < 0)
            EXPECT_LT(dx, -8.0) << c.mode; // a mirrored image would lean right
        else
            EXPECT_NEAR(dx, 0.0, 10.0) << c.mode;
        // Upward from the bottom edge (the half-disc modes) or around the middle (Lissajous).
        EXPECT_LT(blob.y, bmp->getHeight() - 10.0) << c.mode;
        if (std::string(c.mode) == "lissajous")
        {
            EXPECT_GT(blob.covXY, 100.0) << "top-left to bottom-right diagonal";
        }
    }
}

TEST_F(AnalyzeScope, TheReportEndsWithTheFilesOwnLastSample)
{
    // Anti-phase noise whose length ends 30 % into a block of 8192: the padding after it must
    // not pull the meter towards 0. (Without bass focus no filter rings into the padding, so
    // the padding is exact silence.)
    const int block = 8192;
    const int n = 10 * block + 3 * block / 10;
    const auto x = testsig::Noise(n, 21, 0.5);
    std::vector<double> neg(x);
    for (double& v : neg)
        v = -v;
    Write(Path("anti.wav"), {x, neg});
    const auto r = Run({"analyze", Path("anti.wav"), "--block-size", std::to_string(block),
                        "--bass-focus", "0", "--json", Path("a.json"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(ReadWholeFile(Path("a.json")));
    EXPECT_LT(j["correlation"]["final"].get<double>(), -0.99);
    EXPECT_LT(j["correlation"]["min"].get<double>(), -0.99);
    // 100 ms of input per entry, up to the file's end.
    EXPECT_EQ(j["correlation"]["every_100ms"].size(), static_cast<size_t>(n / 4410));
}

TEST(ScopeImage, LibpngKeepsItsMessagesToItself)
{
    // libpng's default handlers print to stderr; a failing write must come back as one reason.
    // A file size limit makes the write fail.
    app::OfflineRenderer unit(kRate, 2, 512);
    unit.Start();
    std::vector<float> in(512, 0.25f), out0(512), out1(512);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    unit.Process(inputs, outputs, 512);
    const std::string path = std::string(PARANDEL_TEST_TMP) + "/limited.png";
    std::remove(path.c_str());
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    testing::internal::CaptureStderr();
    std::string error;
    const bool written = app::WriteScopePng(unit.Plugin(), 0, path, error);
    const std::string printed = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(printed, "");
    EXPECT_NE(error.find("limited.png"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    struct stat st;
    EXPECT_NE(stat(path.c_str(), &st), 0);
}
