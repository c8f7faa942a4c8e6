// Inputs as they come: streams whose header gives no length (a FLAC written to a pipe, an OGG read
// from one) are read to their end; files whose header gives a length they do not hold are refused
// in every container; a header's claim never sizes a buffer.

#include "app/playback/LoopSource.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kFrames = 30000;

class InputStreams : public CliTestFixture
{
protected:
    InputStreams() : CliTestFixture("streams") {}

    void WriteNoise(const std::string& name, int format) const
    {
        Write(Path(name), {testsig::Noise(kFrames, 3, 0.5), testsig::Noise(kFrames, 4, 0.5)},
              format);
    }

    static void WriteBytes(const std::string& path, const std::string& bytes)
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    // A copy of a FLAC file whose STREAMINFO gives `total` samples (0: unknown, as an encoder
    // writing to a pipe leaves it) and no MD5 signature.
    void FlacClaiming(const std::string& from, const std::string& to,
                      unsigned long long total) const
    {
        std::string b = ReadWholeFile(Path(from));
        ASSERT_EQ(b.substr(0, 4), "fLaC");
        // The 36-bit total follows rate, channels and bits in the 8 bytes at offset 18.
        b[21] = static_cast<char>((b[21] & 0xF0) | ((total >> 32) & 0x0F));
        for (int i = 0; i < 4; ++i)
            b[22 + i] = static_cast<char>(total >> (24 - 8 * i));
        std::fill(b.begin() + 26, b.begin() + 42, '\0');
        WriteBytes(Path(to), b);
    }
};
} // namespace

TEST_F(InputStreams, AFlacOfUnknownLengthIsProcessedAndAnalysedCompletely)
{
    WriteNoise("known.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    FlacClaiming("known.flac", "unknown.flac", 0);
    for (const char* block : {"500", "512", "97"})
    {
        auto a =
            Run({"process", Path("known.flac"), Path("a.wav"), "--block-size", block, "--quiet"});
        auto b = Run(
            {"process", Path("unknown.flac"), Path("b.wav"), "--block-size", block, "--quiet"}, 60);
        ASSERT_EQ(a.exitCode, 0) << a.err;
        ASSERT_EQ(b.exitCode, 0) << block << ": " << b.err;
        const TestAudio out = Read(Path("b.wav"));
        ASSERT_EQ(out.ch.size(), 2u);
        EXPECT_EQ(out.ch[0].size(), static_cast<size_t>(kFrames)) << block;
        EXPECT_EQ(out.ch, Read(Path("a.wav")).ch) << block;

        a = Run({"analyze", Path("known.flac"), "--json", Path("a.json"), "--block-size", block,
                 "--quiet"});
        b = Run({"analyze", Path("unknown.flac"), "--json", Path("b.json"), "--block-size", block,
                 "--quiet"},
                60);
        ASSERT_EQ(b.exitCode, 0) << block << ": " << b.err;
        auto ja = nlohmann::json::parse(ReadWholeFile(Path("a.json")));
        auto jb = nlohmann::json::parse(ReadWholeFile(Path("b.json")));
        ja.erase("file");
        jb.erase("file");
        EXPECT_EQ(ja, jb) << block;
    }
    // The player holds the whole stream, not "too long".
    app::LoopSource source;
    std::string error;
    ASSERT_TRUE(source.Load(Path("unknown.flac"), error)) << error;
    EXPECT_EQ(source.Frames(), kFrames);
}

TEST_F(InputStreams, OggAndFlacReadFromAPipeAreProcessedAndAnalysedToTheirEnd)
{
    WriteNoise("in.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    WriteNoise("in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
    // The program's run with the file, then with the same bytes through the pipe.
    const auto fileAndPipe = [&](std::vector<std::string> args, const std::string& ext)
    {
        const std::string bytes = ReadWholeFile(args[1]);
        args.insert(args.end(), {Path("file." + ext), "--quiet"});
        EXPECT_EQ(Run(args).exitCode, 0) << args[0];
        std::thread writer(
            [&]
            {
                const int fd = open(Path("pipe").c_str(), O_WRONLY);
                for (size_t done = 0; fd >= 0 && done < bytes.size();)
                {
                    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
                    if (n <= 0)
                        break;
                    done += static_cast<size_t>(n);
                }
                if (fd >= 0)
                    close(fd);
            });
        args[1] = Path("pipe");
        args[args.size() - 2] = Path("pipe." + ext);
        const auto r = Run(args, 60);
        writer.join();
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
    };
    for (const char* in : {"in.ogg", "in.flac"})
    {
        fileAndPipe({"process", Path(in)}, "wav");
        EXPECT_EQ(Read(Path("pipe.wav")).ch, Read(Path("file.wav")).ch) << in;
        fileAndPipe({"analyze", Path(in), "--json"}, "json");
        auto fromFile = nlohmann::json::parse(ReadWholeFile(Path("file.json")));
        auto fromPipe = nlohmann::json::parse(ReadWholeFile(Path("pipe.json")));
        fromFile.erase("file");
        fromPipe.erase("file");
        EXPECT_EQ(fromFile, fromPipe) << in;
    }
}

TEST_F(InputStreams, EveryContainerCutShortIsAReadError)
{
    for (const auto& [ext, format] :
         std::vector<std::pair<std::string, int>>{{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                                                  {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
                                                  {"w64", SF_FORMAT_W64 | SF_FORMAT_PCM_24},
                                                  {"au", SF_FORMAT_AU | SF_FORMAT_PCM_24},
                                                  {"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_24}})
    {
        WriteNoise("full." + ext, format);
        const std::string bytes = ReadWholeFile(Path("full." + ext));
        WriteBytes(Path("cut." + ext), bytes.substr(0, bytes.size() / 2));
        auto r = Run({"process", Path("full." + ext), Path("out.wav"), "--quiet"});
        EXPECT_EQ(r.exitCode, 0) << ext << ": " << r.err;
        std::remove(Path("out.wav").c_str());
        for (const char* command : {"process", "analyze"})
        {
            r = Run(command == std::string("process")
                        ? std::vector<std::string>{command, Path("cut." + ext), Path("out.wav"),
                                                   "--quiet"}
                        : std::vector<std::string>{command, Path("cut." + ext), "--quiet"});
            EXPECT_EQ(r.exitCode, 1) << command << " " << ext << ": " << r.err;
            EXPECT_NE(r.err.find("truncated"), std::string::npos) << ext << ": " << r.err;
        }
        EXPECT_FALSE(Read(Path("out.wav")).channels) << ext;
    }
}

TEST_F(InputStreams, ASnapshotNeverSizesABufferFromTheHeader)
{
    // 30,000 frames that claim 2^31: holding the claim would take 16 GB.
    WriteNoise("small.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    FlacClaiming("small.flac", "claims.flac", 1ULL << 31);
    auto r = Run({"snapshot", Path("s.png"), Path("claims.flac")}, 60);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
    FlacClaiming("small.flac", "unknown.flac", 0);
    r = Run({"snapshot", Path("s.png"), Path("unknown.flac")}, 60);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadWholeFile(Path("s.png")).substr(1, 3), "PNG");
}
