#pragma once
// A fixture for end-to-end tests of the command-line program: each test gets a folder of its
// own (emptied first, so stale files of an earlier run cannot hide a missing write), runs the
// program there and reads or writes audio files in it.

#include "support/RunCommand.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

// An audio file's channels, de-interleaved.
struct TestAudio
{
    int channels = 0;
    int rate = 0;
    int format = 0;
    std::vector<std::vector<double>> ch;
};

class CliTestFixture : public ::testing::Test
{
protected:
    static constexpr int kTestRate = 44100;

    explicit CliTestFixture(const char* folderPrefix) : mPrefix(folderPrefix) {}

    void SetUp() override
    {
        mkdir(PARANDEL_TEST_TMP, 0777);
        dir = std::string(PARANDEL_TEST_TMP) + "/" + mPrefix + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        mkdir(dir.c_str(), 0777);
        if (DIR* d = opendir(dir.c_str()))
        {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.')
                    std::remove((dir + "/" + e->d_name).c_str());
            closedir(d);
        }
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }

    // Runs the program; with a timeout, a program still running after it is killed and the
    // exit code is −2.
    CommandResult Run(std::vector<std::string> args, double timeoutSeconds = -1) const
    {
        args.insert(args.begin(), PARANDEL_CLI);
        return RunCommand(args, dir, timeoutSeconds);
    }

    static void Write(const std::string& path, const std::vector<std::vector<double>>& ch,
                      int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT, int rate = kTestRate)
    {
        SF_INFO info{};
        info.channels = static_cast<int>(ch.size());
        info.samplerate = rate;
        info.format = format;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
        const size_t n = ch[0].size();
        std::vector<double> inter(n * ch.size());
        for (size_t k = 0; k < n; ++k)
            for (size_t c = 0; c < ch.size(); ++c)
                inter[k * ch.size() + c] = ch[c][k];
        sf_writef_double(f, inter.data(), static_cast<sf_count_t>(n));
        sf_close(f);
    }

    // The file's audio; no channels when it cannot be read.
    static TestAudio Read(const std::string& path)
    {
        TestAudio a;
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        if (!f)
            return a;
        a.channels = info.channels;
        a.rate = info.samplerate;
        a.format = info.format;
        std::vector<double> inter(info.frames * info.channels);
        sf_readf_double(f, inter.data(), info.frames);
        sf_close(f);
        a.ch.assign(info.channels, std::vector<double>(info.frames));
        for (sf_count_t k = 0; k < info.frames; ++k)
            for (int c = 0; c < info.channels; ++c)
                a.ch[c][k] = inter[k * info.channels + c];
        return a;
    }

    // Names in the folder, sorted, other than the command's captured output.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir.c_str()))
        {
            while (dirent* e = readdir(d))
            {
                const std::string n = e->d_name;
                if (n != "." && n != ".." && n.rfind("cmd-", 0) != 0)
                    names.push_back(n);
            }
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir;

private:
    std::string mPrefix;
};
