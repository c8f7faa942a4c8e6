// End-to-end tests of `parandel preset save|show` and `parandel process --preset`.

#include "support/BinaryPlistBuilder.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int kRate = 44100;
constexpr int kStateBytes = 152; // 19 parameters × 8 bytes

std::string Base64(const std::vector<unsigned char>& bytes)
{
    static const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3)
    {
        const unsigned v = (bytes[i] << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += table[(v >> 18) & 63];
        out += table[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? table[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? table[v & 63] : '=';
    }
    return out;
}

// The state of 19 parameters with Width (index 1) set, as little-endian doubles.
std::vector<unsigned char> StateBytes(double width, int nBytes = kStateBytes)
{
    std::vector<double> values = {0.5, width, 0, 0, 0, 0, 100, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<unsigned char> bytes(8 * values.size());
    for (size_t i = 0; i < values.size(); ++i)
    {
        uint64_t bits;
        std::memcpy(&bits, &values[i], 8);
        for (int b = 0; b < 8; ++b)
            bytes[8 * i + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
    bytes.resize(nBytes);
    return bytes;
}

struct PresetFields
{
    long long version = 0x50301;
    long long type = 0x61756678;         // 'aufx'
    long long subtype = 0x726B6A73;      // 'rkjs'
    long long manufacturer = 0x54774E6C; // 'TwNl'
    std::string name = "hand made";
    std::vector<unsigned char> data = StateBytes(25.0);
    std::string omit; // a key left out
};

std::string PresetXml(const PresetFields& f)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    auto num = [&](const char* key, long long v)
    {
        if (f.omit != key)
            x +=
                std::string("<key>") + key + "</key><integer>" + std::to_string(v) + "</integer>\n";
    };
    num("version", f.version);
    num("type", f.type);
    num("subtype", f.subtype);
    num("manufacturer", f.manufacturer);
    if (f.omit != "name")
        x += "<key>name</key><string>" + f.name + "</string>\n";
    if (f.omit != "data")
        x += "<key>data</key><data>" + Base64(f.data) + "</data>\n";
    return x + "</dict>\n</plist>\n";
}

class PresetCommand : public CliTestFixture
{
protected:
    PresetCommand() : CliTestFixture("preset") {}

    void WriteText(const std::string& name, const std::string& text) const
    {
        FILE* f = std::fopen(Path(name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    void WriteStereoNoise(const std::string& name, int frames) const
    {
        SF_INFO info{};
        info.channels = 2;
        info.samplerate = kRate;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* f = sf_open(Path(name).c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        const auto l = testsig::Noise(frames, 31, 0.5);
        const auto r = testsig::Noise(frames, 32, 0.5);
        std::vector<float> inter(2 * frames);
        for (int k = 0; k < frames; ++k)
        {
            inter[2 * k] = static_cast<float>(l[k]);
            inter[2 * k + 1] = static_cast<float>(r[k]);
        }
        sf_writef_float(f, inter.data(), frames);
        sf_close(f);
    }

    // The samples of an audio file, interleaved; empty when it cannot be read.
    std::vector<float> Samples(const std::string& name) const
    {
        SF_INFO info{};
        SNDFILE* f = sf_open(Path(name).c_str(), SFM_READ, &info);
        if (!f)
            return {};
        std::vector<float> v(info.frames * info.channels);
        sf_readf_float(f, v.data(), info.frames);
        sf_close(f);
        return v;
    }

    bool Exists(const std::string& name) const
    {
        struct stat st;
        return stat(Path(name).c_str(), &st) == 0;
    }
};

bool HavePython()
{
    struct stat st;
    return stat("/usr/bin/python3", &st) == 0;
}
} // namespace

TEST_F(PresetCommand, SaveWritesAnXmlPropertyListThatPlistlibReads)
{
    auto r = Run({"preset", "save", Path("wide.aupreset"), "--width", "40", "--pan", "-30",
                  "--name", "Wide left"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string text = ReadWholeFile(Path("wide.aupreset"));
    EXPECT_EQ(text.rfind("<?xml", 0), 0u) << "an XML property list";
    EXPECT_NE(text.find("<plist"), std::string::npos);
    EXPECT_EQ(Files(), std::vector<std::string>{"wide.aupreset"}) << "no temporary left behind";

    if (!HavePython())
        GTEST_SKIP() << "python3 is not installed";
    const std::string script =
        "import plistlib,struct,sys\n"
        "d=plistlib.load(open(sys.argv[1],'rb'))\n"
        "v=struct.unpack('<19d',d['data'])\n"
        "print(d['name'],len(d['data']),hex(d['version']),d['type'].to_bytes(4,'big').decode(),"
        "d['subtype'].to_bytes(4,'big').decode(),d['manufacturer'].to_bytes(4,'big').decode(),"
        "v[1],v[4],v[6])\n";
    r = RunCommand({"/usr/bin/python3", "-c", script, Path("wide.aupreset")}, dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Wide left 152 0x50301 aufx rkjs TwNl 40.0 -30.0 100.0\n");
}

TEST_F(PresetCommand, DefaultNameIsTheFileName)
{
    auto r = Run({"preset", "save", Path("My Sound.aupreset")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"preset", "show", Path("My Sound.aupreset")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("preset \"My Sound\" (TW Parandel 5.3.1)\n", 0), 0u) << r.out;
}

TEST_F(PresetCommand, ShowPrintsEveryParameterWithTextAndUnit)
{
    WriteText("hand.aupreset", PresetXml(PresetFields{}));
    const auto r = Run({"preset", "show", Path("hand.aupreset")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("preset \"hand made\""), std::string::npos) << r.out;
    // One line per parameter after the two header lines.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2 + 19) << r.out;
    auto line = [&](const std::string& start)
    {
        const size_t p = r.out.find("\n" + start);
        return p == std::string::npos ? std::string()
                                      : r.out.substr(p + 1, r.out.find('\n', p + 1) - p - 1);
    };
    EXPECT_EQ(line("1 "), "1     Width              25           25.00      %");
    EXPECT_EQ(line("6 "), "6     BassFocus          100          100        Hz");
    EXPECT_EQ(line("9 "), "9     VectorscopeMode0   1            1          -");
}

TEST_F(PresetCommand, ProcessWithPresetEqualsTheSameOptions)
{
    WriteStereoNoise("in.wav", 30000);
    auto r = Run({"preset", "save", Path("p.aupreset"), "--width", "37.5", "--pan", "-20",
                  "--bass-focus", "150", "--mono-to-stereo", "--out-gain", "-2.5"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"process", Path("in.wav"), Path("a.wav"), "--quiet", "--preset", Path("p.aupreset")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"process", Path("in.wav"), Path("b.wav"), "--quiet", "--width", "37.5", "--pan", "-20",
             "--bass-focus", "150", "--mono-to-stereo", "--out-gain", "-2.5"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto a = Samples("a.wav");
    const auto b = Samples("b.wav");
    ASSERT_EQ(a.size(), 2u * 30000);
    EXPECT_TRUE(a == b) << "preset and options render differently";

    // Without the preset the output differs, so the preset did act.
    r = Run({"process", Path("in.wav"), Path("c.wav"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(Samples("c.wav") == a);
}

TEST_F(PresetCommand, ParameterOptionsOverrideThePreset)
{
    WriteStereoNoise("in.wav", 20000);
    auto r = Run({"preset", "save", Path("p.aupreset"), "--width", "40", "--pan", "-30"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"process", Path("in.wav"), Path("a.wav"), "--quiet", "--preset", Path("p.aupreset"),
             "--width", "-50"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run(
        {"process", Path("in.wav"), Path("b.wav"), "--quiet", "--width", "-50", "--pan", "-30"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto a = Samples("a.wav");
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == Samples("b.wav")) << "Width from the option, Pan from the preset";
}

TEST_F(PresetCommand, SaveReplacesOnlyPresetsUnlessForced)
{
    auto r = Run({"preset", "save", Path("p.aupreset"), "--width", "10"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"preset", "save", Path("p.aupreset"), "--width", "20"});
    ASSERT_EQ(r.exitCode, 0) << "a preset of TW Parandel is replaced: " << r.err;
    EXPECT_NE(ReadWholeFile(Path("p.aupreset")).find("<plist"), std::string::npos);
    WriteText("empty.aupreset", "");
    EXPECT_EQ(Run({"preset", "save", Path("empty.aupreset")}).exitCode, 0) << "nothing to lose";

    // Plain text and another program's property list are kept, unless --force.
    const std::string others[] = {
        "old contents", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Volume</key>"
                        "<integer>3</integer></dict></plist>"};
    for (const std::string& text : others)
    {
        WriteText("other.aupreset", text);
        r = Run({"preset", "save", Path("other.aupreset"), "--width", "10"});
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(ReadWholeFile(Path("other.aupreset")), text);
        r = Run({"preset", "save", Path("other.aupreset"), "--width", "10", "--force"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(ReadWholeFile(Path("other.aupreset")).find("<plist"), std::string::npos);
    }
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"empty.aupreset", "other.aupreset", "p.aupreset"}));
}

TEST_F(PresetCommand, ShowEscapesControlCharactersInTheName)
{
    // A name holding an escape sequence, a line break, a C1 control and a stray byte.
    auto r =
        Run({"preset", "save", Path("odd.aupreset"), "--name", "a\x1b[31mred\nb\\\"q\xc2\x9b\xff"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"preset", "show", Path("odd.aupreset")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "preset \"a\\x1B[31mred\\nb\\\\\\\"q\\u009B\\xFF\" (TW Parandel 5.3.1)");
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
}

TEST_F(PresetCommand, SaveChecksItsOptions)
{
    auto r = Run({"preset", "save", Path("p.aupreset"), "--width", "300"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(Exists("p.aupreset"));
    r = Run({"preset", "save", Path("no-such-folder/p.aupreset")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    r = Run({"preset"});
    EXPECT_EQ(r.exitCode, 2) << "a preset command needs save or show";
}

TEST_F(PresetCommand, BadPresetsAreRefusedWithOneLineAndChangeNothing)
{
    WriteStereoNoise("in.wav", 5000);
    WriteText("out.wav", "previous output");
    struct BadCase
    {
        const char* name;
        std::string contents;
        const char* expected; // in the message
    };
    PresetFields noData;
    noData.omit = "data";
    PresetFields noSubtype;
    noSubtype.omit = "subtype";
    PresetFields other;
    other.subtype = 0x61626364; // 'abcd'
    PresetFields shortData;
    shortData.data = StateBytes(10.0, 100);
    PresetFields textName;
    textName.omit = "name";
    PresetFields wideType;
    wideType.type = 4294967296LL;
    std::string realType = PresetXml(PresetFields{});
    realType.replace(realType.find("<integer>1635083896</integer>"), 29, "<real>1.5</real>");
    const BadCase cases[] = {
        {"not-plist", "Width=40\nPan=-30\n", "is not a property list"},
        {"array",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer>"
         "</array></plist>",
         "holds no dictionary"},
        {"no-data", PresetXml(noData), "the key \"data\" is missing"},
        {"no-subtype", PresetXml(noSubtype), "the key \"subtype\" is missing"},
        {"no-name", PresetXml(textName), "the key \"name\" is missing"},
        {"other-plugin", PresetXml(other), "another plug-in (aufx abcd TwNl)"},
        {"short-data", PresetXml(shortData), "\"data\" has 100 bytes"},
        {"wide-type", PresetXml(wideType), "another plug-in (4294967296 rkjs TwNl)"},
        {"real-type", realType, "another plug-in (1.5 rkjs TwNl)"},
    };
    for (const BadCase& c : cases)
    {
        const std::string file = std::string(c.name) + ".aupreset";
        WriteText(file, c.contents);
        for (const char* command : {"show", "process"})
        {
            const CommandResult r = std::string(command) == "show"
                                        ? Run({"preset", "show", Path(file)})
                                        : Run({"process", Path("in.wav"), Path("out.wav"),
                                               "--quiet", "--preset", Path(file)});
            EXPECT_EQ(r.exitCode, 1) << c.name << " " << command;
            EXPECT_NE(r.err.find(c.expected), std::string::npos)
                << c.name << " " << command << ": " << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1)
                << c.name << " " << command << ": " << r.err;
            EXPECT_EQ(r.out, "") << c.name << " " << command;
        }
        EXPECT_EQ(ReadWholeFile(Path("out.wav")), "previous output") << c.name;
        EXPECT_EQ(ReadWholeFile(Path(file)), c.contents) << c.name;
    }

    const auto r = Run({"preset", "show", Path("missing.aupreset")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
}

TEST_F(PresetCommand, NoPresetFileCanAbortOrExhaustTheProgram)
{
    using namespace std::string_literals;
    WriteStereoNoise("in.wav", 5000);
    // A binary property list whose dictionary key is UTF-16 "a" U+0000, which libplist asserts on.
    const std::string trailer = "\0\0\0\0\0\0\x01\x01"s + "\0\0\0\0\0\0\0\x03"s +
                                "\0\0\0\0\0\0\0\0"s + "\0\0\0\0\0\0\0\x12"s;
    WriteText("nul.aupreset",
              "bplist00\xD1\x01\x02\x62\x00\x61\x00\x00\x10\x05\x08\x0B\x10"s + trailer);
    ASSERT_EQ(ReadWholeFile(Path("nul.aupreset")).size(), 53u);
    // A sound file two megabytes long.
    WriteStereoNoise("big.aupreset", 1 << 18);
    PresetFields nan;
    nan.data = StateBytes(std::nan(""));
    WriteText("nan.aupreset", PresetXml(nan));
    struct Case
    {
        std::string file;
        const char* expected;
    };
    // Nesting that overflowed libplist's stack, and references that expand to 10^9 objects.
    WriteText("deep.aupreset", NestedArrays(100000));
    WriteText("nested.aupreset", NestedArrays(1000));
    WriteText("laughs.aupreset", SharedArrays(9, 10));
    const Case cases[] = {{Path("nul.aupreset"), "holds a string with a NUL character"},
                          {Path("deep.aupreset"), "is refused: the property list"},
                          {Path("nested.aupreset"), "nests deeper than 512 levels"},
                          {Path("laughs.aupreset"), "holds more than 65536 objects"},
                          {Path("big.aupreset"), "bytes"},
                          {"/dev/zero", "not a regular file"},
                          {Path("nan.aupreset"), "(Width) is not a finite number"}};
    for (const Case& c : cases)
    {
        for (const char* command : {"show", "process"})
        {
            const CommandResult r = std::string(command) == "show"
                                        ? Run({"preset", "show", c.file}, 30)
                                        : Run({"process", Path("in.wav"), Path("out.wav"),
                                               "--quiet", "--preset", c.file},
                                              30);
            EXPECT_EQ(r.exitCode, 1) << c.file << " " << command << ": " << r.err;
            EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.file << " " << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
    }
    EXPECT_FALSE(Exists("out.wav"));
}
