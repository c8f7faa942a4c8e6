// What anyone can hear or see stays the same when the processing is made faster: the plug-in's
// output samples, the analysis figures and the scope pictures are compared with reference files
// made by an earlier build. Outputs that no FFT reaches must be bit-identical (compared through a
// 64-bit hash of their samples); the mono-to-stereo outputs, the SOURCE points and the
// correlation (whose angle may be computed without atan2) may move by rounding only.
//
// PARANDEL_WRITE_REFERENCE=DIR writes the references into DIR instead of comparing.

#include "app/commands/AnalyzeCommand.h"
#include "app/files/AudioFile.h"
#include "app/report/ScopeImage.h"
#include "framework/MathConstants.h"
#include "support/ImageCompare.h"
#include "metering/TWVectorscope.h"
#include "support/PlugHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace
{
namespace fs = std::filesystem;

constexpr double kRate = 44100.0;
constexpr int kFrames = 44100; // one second
const std::string kRefDir = std::string(PARANDEL_SOURCE_DIR) + "/tests/app/commands/reference";

const char* WriteDir()
{
    return std::getenv("PARANDEL_WRITE_REFERENCE");
}

// A deterministic stereo mix: bass and mids with a phase offset between the channels,
// decorrelated noise, an antiphase stretch and a silent gap, so that every stage and meter state
// is visited.
void MakeMaterial(std::vector<double>& left, std::vector<double>& right)
{
    left.assign(kFrames, 0.0);
    right.assign(kFrames, 0.0);
    uint32_t seed = 12345u;
    auto noise = [&seed]()
    {
        seed = seed * 1664525u + 1013904223u;
        return (static_cast<double>(seed >> 8) / 16777216.0) * 2.0 - 1.0;
    };
    const double twoPi = kTwoPi;
    for (int k = 0; k < kFrames; ++k)
    {
        const double t = k / kRate;
        const double bass = 0.4 * std::sin(twoPi * 55.0 * t);
        const double mid = 0.25 * std::sin(twoPi * 440.0 * t);
        const double mid2 = 0.25 * std::sin(twoPi * 440.0 * t + 1.1);
        left[k] = bass + mid + 0.1 * noise();
        right[k] = bass * 0.9 + mid2 + 0.1 * noise();
        if (k >= 26000 && k < 32000)
            right[k] = -left[k];
        if (k >= 20000 && k < 21500)
            left[k] = right[k] = 0.0;
    }
}

struct Config
{
    const char* name;
    int inputs;
    std::vector<std::pair<int, double>> params;
    bool automate; // parameters and scope mode change along the way, the transport restarts
};

const std::vector<Config>& Configs()
{
    static const std::vector<Config> configs = {
        {"defaults", 2, {}, false},
        {"bass-off", 2, {{Parandel::kBassFocus, 0.0}}, false},
        {"wide-pan-gain", 2, {{Parandel::kWidth, 100.0}, {Parandel::kPan, -40.0}, {Parandel::kOutGain, 6.0}}, false},
        {"narrow-mono-out", 2, {{Parandel::kWidth, -100.0}, {Parandel::kPan, 100.0}, {Parandel::kOutGain, -12.0}, {Parandel::kMonoOut, 1.0}}, false},
        {"bass-500-width-60", 2, {{Parandel::kBassFocus, 500.0}, {Parandel::kWidth, 60.0}}, false},
        {"automated", 2, {}, true},
        {"mono-input", 1, {{Parandel::kWidth, 50.0}}, false},
        {"mono-input-bass-off", 1, {{Parandel::kBassFocus, 10.0}, {Parandel::kPan, 30.0}}, false},
        // Through the FFT: compared within rounding.
        {"mono-to-stereo", 2, {{Parandel::kMonoToStereo, 1.0}}, false},
        {"mono-to-stereo-wide", 1, {{Parandel::kMonoToStereo, 1.0}, {Parandel::kWidth, 80.0}, {Parandel::kBassFocus, 150.0}}, false},
    };
    return configs;
}

bool ThroughFft(const Config& c)
{
    for (const auto& p : c.params)
        if (p.first == Parandel::kMonoToStereo && p.second != 0.0)
            return true;
    return false;
}

// Parameter moves, a scope mode switch and a transport restart at fixed sample positions.
void Automate(PlugHarness& h, int position, int blockSize)
{
    auto at = [&](int sample) { return position <= sample && sample < position + blockSize; };
    if (at(4000))
        h.Set(Parandel::kWidth, 75.0);
    if (at(9000))
        h.Set(Parandel::kPan, 60.0);
    if (at(12000))
        h.Set(Parandel::kOutGain, -6.5);
    if (at(15000))
        h.Set(Parandel::kBassFocus, 250.0);
    if (at(17000))
        h.Set(Parandel::kVectorscopeMode0 + 2, 1.0);
    if (at(23000))
        h.Start(); // a transport restart: Reset, fade-in
    if (at(30000))
        h.Set(Parandel::kWidth, -30.0);
    if (at(34000))
        h.Set(Parandel::kMonoOut, 1.0);
    if (at(38000))
        h.Set(Parandel::kBassFocus, 15.0);
}

// Renders the material; returns interleaved (left, right) output.
std::vector<double> Render(const Config& c, int blockSize, PlugHarness* keep = nullptr)
{
    std::vector<double> left, right;
    MakeMaterial(left, right);
    PlugHarness local(c.inputs, kRate, blockSize);
    PlugHarness& h = keep ? *keep : local;
    for (const auto& p : c.params)
        h.Set(p.first, p.second);
    h.Start();
    std::vector<double> out(2 * kFrames);
    for (int pos = 0; pos < kFrames; pos += blockSize)
    {
        const int n = std::min(blockSize, kFrames - pos);
        if (c.automate)
            Automate(h, pos, n);
        std::vector<double> l(left.begin() + pos, left.begin() + pos + n);
        std::vector<double> r(right.begin() + pos, right.begin() + pos + n);
        if (c.inputs == 1)
            r.assign(n, 0.0);
        h.Process(l, r);
        for (int k = 0; k < n; ++k)
        {
            out[2 * (pos + k)] = l[k];
            out[2 * (pos + k) + 1] = r[k];
        }
    }
    return out;
}

// FNV-1a over the samples' bytes.
std::string Hash(const std::vector<double>& v)
{
    uint64_t h = 1469598103934665603ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(v.data());
    for (size_t i = 0; i < v.size() * sizeof(double); ++i)
        h = (h ^ bytes[i]) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string ReadGz(const std::string& path)
{
    std::string data;
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f)
        return data;
    char buf[65536];
    int n;
    while ((n = gzread(f, buf, sizeof buf)) > 0)
        data.append(buf, n);
    gzclose(f);
    return data;
}

void WriteGz(const std::string& path, const std::string& data)
{
    gzFile f = gzopen(path.c_str(), "wb9");
    ASSERT_TRUE(f);
    gzwrite(f, data.data(), static_cast<unsigned>(data.size()));
    gzclose(f);
}

std::string BlobOf(const std::vector<double>& v)
{
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(double));
}

const int kBlockSizes[] = {512, 32, 333};
// Frames of the mono-to-stereo outputs kept as samples (the convolution runs the same way all
// through; a quarter second keeps the reference files small).
constexpr int kStoredFrames = 11025;

TEST(ReferenceIdentity, OutputSamplesMatchTheReferenceBuild)
{
    std::map<std::string, std::string> hashes;
    std::ifstream in(kRefDir + "/output-hashes.txt");
    for (std::string key, value; in >> key >> value;)
        hashes[key] = value;
    std::ostringstream written;
    for (const Config& c : Configs())
        for (int block : kBlockSizes)
        {
            const std::string key = std::string(c.name) + "@" + std::to_string(block);
            const std::string blobPath = kRefDir + "/" + key + ".f64.gz";
            std::vector<double> out = Render(c, block);
            if (ThroughFft(c))
                out.resize(2 * kStoredFrames);
            if (WriteDir())
            {
                if (ThroughFft(c))
                    WriteGz(std::string(WriteDir()) + "/" + key + ".f64.gz", BlobOf(out));
                else
                    written << key << " " << Hash(out) << "\n";
                continue;
            }
            if (!ThroughFft(c))
            {
                ASSERT_TRUE(hashes.count(key)) << key;
                EXPECT_EQ(Hash(out), hashes[key]) << key << ": output samples changed";
                continue;
            }
            const std::string blob = ReadGz(blobPath);
            ASSERT_EQ(blob.size(), out.size() * sizeof(double)) << blobPath;
            std::vector<double> ref(out.size());
            std::memcpy(ref.data(), blob.data(), blob.size());
            double peak = 0.0, worst = 0.0;
            for (size_t i = 0; i < ref.size(); ++i)
            {
                peak = std::max(peak, std::fabs(ref[i]));
                worst = std::max(worst, std::fabs(out[i] - ref[i]));
            }
            EXPECT_GT(peak, 0.1) << key;
            EXPECT_LE(worst, 1e-12 * peak) << key;
        }
    if (WriteDir())
        std::ofstream(std::string(WriteDir()) + "/output-hashes.txt") << written.str();
}

std::string MaterialFile()
{
    std::vector<double> left, right;
    MakeMaterial(left, right);
    fs::create_directories(PARANDEL_TEST_TMP);
    const std::string path = std::string(PARANDEL_TEST_TMP) + "/reference-material.wav";
    app::AudioFileWriter w;
    std::vector<float> inter(2 * kFrames);
    for (int k = 0; k < kFrames; ++k)
    {
        inter[2 * k] = static_cast<float>(left[k]);
        inter[2 * k + 1] = static_cast<float>(right[k]);
    }
    EXPECT_TRUE(w.Create(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, static_cast<int>(kRate)))
        << w.error();
    EXPECT_TRUE(w.Write(inter.data(), kFrames));
    EXPECT_TRUE(w.Commit()) << w.error();
    return path;
}

void ExpectClose(const nlohmann::json& ref, const nlohmann::json& got, double tol,
                 const std::string& what)
{
    ASSERT_EQ(ref.size(), got.size()) << what;
    double worst = 0.0;
    for (size_t i = 0; i < ref.size(); ++i)
        worst = std::max(worst, std::fabs(ref[i].get<double>() - got[i].get<double>()));
    EXPECT_LE(worst, tol) << what;
}

TEST(ReferenceIdentity, AnalysisMatchesTheReferenceBuild)
{
    const std::string material = MaterialFile();
    for (int block : {512, 32})
    {
        app::RenderOptions options;
        options.blockSize = block;
        options.showProgress = false;
        app::FileAnalysis a;
        ASSERT_EQ(app::AnalyzeFile(material, options, a).exitCode, 0);
        a.file = "material";
        const std::string json = app::AnalysisToJson({a});
        const std::string name = "analysis@" + std::to_string(block) + ".json.gz";
        if (WriteDir())
        {
            WriteGz(std::string(WriteDir()) + "/" + name, json);
            continue;
        }
        const nlohmann::json ref = nlohmann::json::parse(ReadGz(kRefDir + "/" + name));
        const nlohmann::json got = nlohmann::json::parse(json);
        const auto& rc = ref["correlation"];
        const auto& gc = got["correlation"];
        ExpectClose(rc["every_100ms"], gc["every_100ms"], 1e-12, "every_100ms");
        for (const char* k : {"min", "mean", "final"})
            EXPECT_NEAR(rc[k].get<double>(), gc[k].get<double>(), 1e-12) << k;
        const auto& rs = ref["scope"];
        const auto& gs = got["scope"];
        // Points that come from the samples alone stay exact.
        EXPECT_EQ(rs["polar"], gs["polar"]);
        EXPECT_EQ(rs["lissajous"], gs["lissajous"]);
        EXPECT_EQ(rs["flame"], gs["flame"]);
        for (const char* axis : {"x", "y"})
            ExpectClose(rs["source"][axis], gs["source"][axis], 1e-9, "source");
    }
}

TEST(ReferenceIdentity, ScopePicturesMatchTheReferenceBuild)
{
    for (int mode = 0; mode < TWVectorscope::kNumModes; ++mode)
    {
        PlugHarness h(2, kRate, 512);
        h.Set(Parandel::kVectorscopeMode0 + mode, 1.0);
        // As the command line does for a picture: the scope works as for a viewer.
        h.plug->GetVectorscope()->SetComputeWithoutGraphs(true);
        Render(Configs()[0], 512, &h);
        const std::string name = std::string("scope-") + app::kScopeModeNames[mode] + ".png";
        std::string error;
        if (WriteDir())
        {
            ASSERT_TRUE(app::WriteScopePng(*h.plug, mode, std::string(WriteDir()) + "/" + name,
                                           error))
                << error;
            continue;
        }
        fs::create_directories(PARANDEL_TEST_TMP);
        const std::string path = std::string(PARANDEL_TEST_TMP) + "/" + name;
        ASSERT_TRUE(app::WriteScopePng(*h.plug, mode, path, error)) << error;
        auto expected = LoadPicture(kRefDir + "/" + name);
        auto actual = LoadPicture(path);
        ASSERT_TRUE(expected && actual) << name;
        // SOURCE points may move by rounding, which can flip a pixel's last bit.
        const int tolerance = mode == TWVectorscope::kSourceMode ? 2 : 0;
        const ImageDifference d = CompareImages(*expected, *actual, tolerance, path + ".diff.png");
        EXPECT_TRUE(d.sameSize) << name;
        EXPECT_EQ(d.differing, 0) << name << " first at " << d.firstX << "," << d.firstY;
    }
}
} // namespace
