// The built bundle read by Debian's LV2 tools: lv2ls lists both plug-ins, lv2info reads them
// without complaint, the Turtle parses and validates against the LV2 schemas, and lv2file
// renders a file exactly as `parandel process` does.

#include "support/BinaryPlistBuilder.h"
#include "lv2/LilvHost.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <glob.h>
#include <unistd.h>

namespace
{
constexpr const char* kUri = "http://tarnwel.com/plugins/tw-parandel";
constexpr const char* kMonoUri = "http://tarnwel.com/plugins/tw-parandel-mono";

bool HaveTool(const char* name)
{
    const std::string path = std::string("/usr/bin/") + name;
    return access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> Glob(const std::string& pattern)
{
    std::vector<std::string> out;
    glob_t g{};
    if (glob(pattern.c_str(), 0, nullptr, &g) == 0)
        for (size_t i = 0; i < g.gl_pathc; ++i)
            out.push_back(g.gl_pathv[i]);
    globfree(&g);
    return out;
}
} // namespace

class LV2BundleTest : public CliTestFixture
{
protected:
    LV2BundleTest() : CliTestFixture("lv2-bundle") {}

    void SetUp() override
    {
        CliTestFixture::SetUp();
        // A search path holding only the build's bundles and the system's, so that an installed
        // copy in ~/.lv2 cannot stand in for the one under test. The editor bench's bundle is
        // there too, as in a search path holding the build's folder: hosts that scan every
        // plug-in must take it as well.
        const std::string dirs = Path("path");
        mkdir(dirs.c_str(), 0777);
        unlink((dirs + "/parandel.lv2").c_str());
        unlink((dirs + "/bench-empty-ui.lv2").c_str());
        ASSERT_EQ(symlink(PARANDEL_LV2_BUNDLE, (dirs + "/parandel.lv2").c_str()), 0);
        ASSERT_EQ(symlink(PARANDEL_BENCH_UI_BUNDLE, (dirs + "/bench-empty-ui.lv2").c_str()), 0);
        setenv("LV2_PATH", (dirs + ":/usr/lib/lv2").c_str(), 1);
    }

    CommandResult Tool(std::vector<std::string> args) const { return RunCommand(args, dir); }
};

TEST_F(LV2BundleTest, Lv2lsListsBothPlugins)
{
    if (!HaveTool("lv2ls"))
        GTEST_SKIP() << "lv2ls is not installed (lilv-utils)";
    const CommandResult r = Tool({"/usr/bin/lv2ls"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find(std::string(kUri) + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string(kMonoUri) + "\n"), std::string::npos) << r.out;
}

TEST_F(LV2BundleTest, Lv2infoReadsThePluginsWithoutWarnings)
{
    if (!HaveTool("lv2info"))
        GTEST_SKIP() << "lv2info is not installed (lilv-utils)";
    for (const char* uri : {kUri, kMonoUri})
    {
        const CommandResult r = Tool({"/usr/bin/lv2info", uri});
        EXPECT_EQ(r.exitCode, 0) << uri;
        EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("error"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("reported by port"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("X11UI"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Designation: http://lv2plug.in/ns/lv2core#enabled"),
                  std::string::npos);
    }
}

TEST_F(LV2BundleTest, TurtleParsesAndValidatesAgainstTheSchemas)
{
    if (!HaveTool("serdi") || !HaveTool("sord_validate"))
        GTEST_SKIP() << "serdi or sord_validate is not installed";
    const std::string bundle = PARANDEL_LV2_BUNDLE;
    // The bundle's own files and the factory presets.
    std::vector<std::string> files = Glob(bundle + "/preset-*.ttl");
    EXPECT_EQ(files.size(), 5u);
    files.push_back(bundle + "/manifest.ttl");
    files.push_back(bundle + "/parandel.ttl");
    for (const std::string& file : files)
    {
        const CommandResult r = Tool({"/usr/bin/serdi", "-i", "turtle", "-o", "ntriples", file});
        EXPECT_EQ(r.exitCode, 0) << file << ": " << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
    std::vector<std::string> args = {"/usr/bin/sord_validate"};
    for (const char* vocabulary :
         {"schemas", "core", "atom", "ui", "units", "time", "options", "buf-size", "state",
          "port-props", "urid", "instance-access", "presets"})
        for (const std::string& f : Glob(std::string("/usr/lib/lv2/") + vocabulary + ".lv2/*.ttl"))
            args.push_back(f);
    args.insert(args.end(), files.begin(), files.end());
    const CommandResult r = Tool(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Found 0 errors"), std::string::npos) << r.out << r.err;
}

TEST_F(LV2BundleTest, Lv2fileRendersLikeTheCommandLine)
{
    if (!HaveTool("lv2file"))
        GTEST_SKIP() << "lv2file is not installed";
    const int n = 20000;
    std::vector<double> l = testsig::Noise(n, 11, 0.3), r = testsig::Sine(n, 220.0, kTestRate, 0.4);
    Write(Path("in.wav"), {l, r});
    const CommandResult ref =
        Run({"process", Path("in.wav"), Path("ref.wav"), "--width", "-40", "--pan", "30",
             "--bass-focus", "200", "--out-gain", "-6", "--quiet"});
    ASSERT_EQ(ref.exitCode, 0) << ref.err;
    const CommandResult lv2 = Tool({"/usr/bin/lv2file", "-i", Path("in.wav"), "-o", Path("lv2.wav"),
                                    "-p", "width:-40", "-p", "pan:30", "-p", "bass_focus:200", "-p",
                                    "out_gain:-6", "--ignore-clipping", kUri});
    ASSERT_EQ(lv2.exitCode, 0) << lv2.err << lv2.out;
    const TestAudio a = Read(Path("ref.wav")), b = Read(Path("lv2.wav"));
    ASSERT_EQ(a.channels, 2);
    ASSERT_EQ(b.channels, 2);
    ASSERT_EQ(a.ch[0].size(), b.ch[0].size());
    double worst = 0.0;
    for (int c = 0; c < 2; ++c)
        for (size_t k = 0; k < a.ch[c].size(); ++k)
            worst = std::max(worst, std::fabs(a.ch[c][k] - b.ch[c][k]));
    EXPECT_LT(worst, 1e-6);
}

TEST_F(LV2BundleTest, AupresetConvertsToAPresetLv2fileLoads)
{
    if (!HaveTool("lv2file"))
        GTEST_SKIP() << "lv2file is not installed";
    const CommandResult saved =
        Run({"preset", "save", Path("wide.aupreset"), "--name", "Wide Mix", "--width", "70",
             "--pan", "-15", "--out-gain", "2", "--set", "VectorscopeMode2=1"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const std::string presets = Path("path");
    const CommandResult converted =
        Tool({PARANDEL_LV2_PRESET_TOOL, Path("wide.aupreset"), presets});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    const std::vector<std::string> ttls = Glob(presets + "/wide-mix-*.preset.lv2/wide-mix-*.ttl");
    ASSERT_EQ(ttls.size(), 1u);
    const std::string ttl = ReadWholeFile(ttls[0]);
    EXPECT_NE(ttl.find("lv2:symbol \"width\" ; pset:value 70"), std::string::npos) << ttl;
    EXPECT_NE(ttl.find("lv2:symbol \"vectorscope_mode\" ; pset:value 2"), std::string::npos);

    const int n = 15000;
    Write(Path("in.wav"), {testsig::Noise(n, 3, 0.3), testsig::Sine(n, 500.0, kTestRate, 0.3)});
    const CommandResult ref = Run(
        {"process", Path("in.wav"), Path("ref.wav"), "--preset", Path("wide.aupreset"), "--quiet"});
    ASSERT_EQ(ref.exitCode, 0) << ref.err;
    const CommandResult lv2 = Tool({"/usr/bin/lv2file", "-i", Path("in.wav"), "-o", Path("lv2.wav"),
                                    "-P", "Wide Mix", "--ignore-clipping", kUri});
    ASSERT_EQ(lv2.exitCode, 0) << lv2.err << lv2.out;
    const TestAudio a = Read(Path("ref.wav")), b = Read(Path("lv2.wav"));
    ASSERT_EQ(b.channels, 2);
    ASSERT_EQ(a.ch[0].size(), b.ch[0].size());
    double worst = 0.0;
    for (int c = 0; c < 2; ++c)
        for (size_t k = 0; k < a.ch[c].size(); ++k)
            worst = std::max(worst, std::fabs(a.ch[c][k] - b.ch[c][k]));
    EXPECT_LT(worst, 1e-6);
}

TEST_F(LV2BundleTest, PresetConverterRejectsABrokenFile)
{
    std::ofstream(Path("broken.aupreset")) << "<plist><dict><key>name</key></dict>";
    const CommandResult r = Tool({PARANDEL_LV2_PRESET_TOOL, Path("broken.aupreset"), Path("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.empty());
    // Nesting that overflowed libplist's stack is refused before it is read.
    std::ofstream(Path("deep.aupreset")) << NestedArrays(100000);
    const CommandResult deep = Tool({PARANDEL_LV2_PRESET_TOOL, Path("deep.aupreset"), Path("out")});
    EXPECT_EQ(deep.exitCode, 1);
    EXPECT_NE(deep.err.find("is refused: the property list"), std::string::npos) << deep.err;
    struct stat st;
    EXPECT_NE(stat(Path("out").c_str(), &st), 0) << "nothing is written for a broken preset";
}

TEST_F(LV2BundleTest, PresetConverterKeepsEveryNameApartAndWritesValidTurtle)
{
    if (!HaveTool("serdi") || !HaveTool("lv2info"))
        GTEST_SKIP() << "serdi or lv2info is not installed";
    const std::vector<std::string> names = {
        "Wide Mix", "wide mix",
        "Wide-Mix", "wide-mix",
        "Größe",    "Grösse",
        "Звук",     "Шум",
        "!!!",      "two\nlines \"quoted\" back\\slash\ttab\x01\x1b[0m"};
    const std::string presets = Path("path");
    std::vector<std::string> bundles;
    for (size_t i = 0; i < names.size(); ++i)
    {
        const std::string file = Path("p" + std::to_string(i) + ".aupreset");
        const CommandResult saved = Run({"preset", "save", file, "--name", names[i]});
        ASSERT_EQ(saved.exitCode, 0) << saved.err;
        const CommandResult r = Tool({PARANDEL_LV2_PRESET_TOOL, file, presets});
        ASSERT_EQ(r.exitCode, 0) << names[i] << ": " << r.err;
        bundles.push_back(r.out);
        for (const std::string& ttl : Glob(r.out.substr(0, r.out.size() - 1) + "/*.ttl"))
        {
            const CommandResult parsed =
                Tool({"/usr/bin/serdi", "-i", "turtle", "-o", "ntriples", ttl});
            EXPECT_EQ(parsed.exitCode, 0) << ttl << ": " << parsed.err;
            EXPECT_EQ(parsed.err, "") << ttl;
        }
    }
    std::sort(bundles.begin(), bundles.end());
    EXPECT_EQ(std::unique(bundles.begin(), bundles.end()), bundles.end()) << "a bundle was shared";
    EXPECT_EQ(Glob(presets + "/*.preset.lv2").size(), names.size());
    EXPECT_EQ(Glob(presets + "/wide-mix.preset.lv2").size(), 1u) << "a plain name is kept as is";
    EXPECT_EQ(Glob(presets + "/звук-*.preset.lv2").size(), 1u) << "letters are kept";

    // A host finds every preset under its own name, the one with a line break too.
    const CommandResult info = Tool({"/usr/bin/lv2info", kUri});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (const char* label : {"Größe", "Grösse", "Звук", "Шум", "wide mix", "two\nlines"})
        EXPECT_NE(info.out.find(label), std::string::npos) << label << "\n" << info.out;
}

TEST_F(LV2BundleTest, PresetConverterReplacesAnotherBundleOnlyWhenForced)
{
    const CommandResult saved = Run({"preset", "save", Path("w.aupreset"), "--name", "wide"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const std::string bundle = Path("out/wide.preset.lv2");
    ASSERT_EQ(system(("mkdir -p '" + bundle + "'").c_str()), 0);
    std::ofstream(bundle + "/manifest.ttl") << "# made by hand\n";

    CommandResult r = Tool({PARANDEL_LV2_PRESET_TOOL, Path("w.aupreset"), Path("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_EQ(ReadWholeFile(bundle + "/manifest.ttl"), "# made by hand\n");
    r = Tool({PARANDEL_LV2_PRESET_TOOL, "--force", Path("w.aupreset"), Path("out")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(ReadWholeFile(bundle + "/manifest.ttl").find("pset:Preset"), std::string::npos);
    // The same preset again replaces its own bundle without being told.
    r = Tool({PARANDEL_LV2_PRESET_TOOL, Path("w.aupreset"), Path("out")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(LV2BundleTest, EcasoundRendersBothPluginsLikeTheCommandLine)
{
    // ecasound passes no features and leaves the atom port unconnected. It sets every control
    // it is not given to 0 (not to the default), so all eight inputs are given, "enabled" last.
    if (!HaveTool("ecasound"))
        GTEST_SKIP() << "ecasound is not installed";
    setenv("LV2_PATH", Path("path").c_str(), 1); // the system's bundles only slow it down
    constexpr int kEcasoundBlock = 1024;
    const int n = 20000;
    const std::vector<double> l = testsig::Noise(n, 5, 0.3),
                              r = testsig::Sine(n, 330.0, kTestRate, 0.4);
    for (const auto& [uri, input] : {std::make_pair(kUri, std::vector<std::vector<double>>{l, r}),
                                     std::make_pair(kMonoUri, std::vector<std::vector<double>>{l})})
    {
        Write(Path("in.wav"), input);
        std::remove(Path("eca.wav").c_str()); // ecasound updates an existing output in place
        const CommandResult ref =
            Run({"process", Path("in.wav"), Path("ref.wav"), "--width", "37.5", "--pan", "-20",
                 "--bass-focus", "150", "--out-gain", "-3", "--block-size",
                 std::to_string(kEcasoundBlock), "--quiet"});
        ASSERT_EQ(ref.exitCode, 0) << ref.err;
        const CommandResult eca =
            Tool({"/usr/bin/ecasound", "-q", "-b:" + std::to_string(kEcasoundBlock),
                  "-f:f32_le,2,44100", "-i", Path("in.wav"), "-o", Path("eca.wav"),
                  std::string("-elv2:") + uri + ",37.5,0,-20,150,-3,0,0,1"});
        ASSERT_EQ(eca.exitCode, 0) << eca.err << eca.out;
        const TestAudio a = Read(Path("ref.wav")), b = Read(Path("eca.wav"));
        ASSERT_EQ(a.channels, 2) << uri;
        ASSERT_EQ(b.channels, 2) << uri << ": " << eca.out << eca.err;
        ASSERT_EQ(a.ch[0].size(), b.ch[0].size()) << uri;
        double worst = 0.0;
        for (int c = 0; c < 2; ++c)
            for (size_t k = 0; k < a.ch[c].size(); ++k)
                worst = std::max(worst, std::fabs(a.ch[c][k] - b.ch[c][k]));
        EXPECT_LT(worst, 1e-6) << uri;
    }
}

TEST_F(LV2BundleTest, FactoryPresetsAreListedAndLoadTheirValues)
{
    struct Preset
    {
        const char* slug;
        const char* label;
        const char* symbol;
        float value;
    } presets[] = {{"mono-bass-120-hz", "Mono bass 120 Hz", "bass_focus", 120.0f},
                   {"wide-plus-50", "Wide +50 %", "width", 50.0f},
                   {"narrow-minus-50", "Narrow \u221250 %", "width", -50.0f},
                   {"mono-check", "Mono check", "mono_out", 1.0f},
                   {"mono-to-stereo", "Mono to stereo", "mono_to_stereo", 1.0f}};
    const std::string bundle = PARANDEL_LV2_BUNDLE;
    if (HaveTool("lv2info"))
        for (const char* uri : {kUri, kMonoUri})
        {
            const CommandResult r = Tool({"/usr/bin/lv2info", uri});
            for (const Preset& p : presets)
                EXPECT_NE(r.out.find(p.label), std::string::npos) << uri << ": " << r.out;
        }
    // Restored as a host restores a preset: the ports and the plug-in's own state both carry
    // the preset's value, and the rest stay at their defaults.
    for (const Preset& p : presets)
    {
        LilvHost host(bundle, kUri, kTestRate, 512);
        ASSERT_TRUE(host.Ok());
        host.Activate();
        LilvState* state = host.LoadPreset(std::string(kUri) + "#preset-" + p.slug);
        ASSERT_NE(state, nullptr) << p.slug;
        EXPECT_STREQ(lilv_state_get_label(state), p.label);
        host.RestoreState(state);
        lilv_state_free(state);
        EXPECT_EQ(host.Control(p.symbol), p.value) << p.slug;
        const std::vector<uint8_t> chunk = host.SavedChunk();
        LilvHost fresh(bundle, kUri, kTestRate, 512);
        ASSERT_TRUE(fresh.Ok());
        const std::vector<uint8_t> defaults = fresh.SavedChunk();
        ASSERT_EQ(chunk.size(), defaults.size());
        int differing = 0;
        for (size_t k = 0; k + 8 <= chunk.size(); k += 8)
            differing += std::memcmp(chunk.data() + k, defaults.data() + k, 8) != 0;
        EXPECT_EQ(differing, 1) << p.slug;
    }
}
