// Replays every stored input of the fuzz targets (the seed corpora and the inputs of earlier
// findings) through the same entry functions libFuzzer calls. A broken invariant ends the
// program with its reason, which fails the test; each input is named on stderr before it runs.

#include "fuzz/FuzzTargets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using Entry = int (*)(const uint8_t*, size_t);

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    if (DIR* d = opendir(folder.c_str()))
    {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                files.push_back(folder + "/" + e->d_name);
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The number of inputs replayed.
size_t Replay(const std::string& target, Entry entry)
{
    size_t n = 0;
    for (const char* kind : {"corpus", "regression"})
    {
        for (const std::string& file :
             FilesIn(std::string(PARANDEL_FUZZ_DIR) + "/" + kind + "/" + target))
        {
            std::ifstream f(file, std::ios::binary);
            std::stringstream ss;
            ss << f.rdbuf();
            const std::string bytes = ss.str();
            std::fprintf(stderr, "replaying %s\n", file.c_str());
            EXPECT_EQ(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0)
                << file;
            ++n;
        }
    }
    return n;
}
} // namespace

TEST(FuzzRegression, StateChunk)
{
    EXPECT_GT(Replay("state_chunk", fuzz::FuzzStateChunk), 0u);
}

TEST(FuzzRegression, PropertyList)
{
    EXPECT_GT(Replay("property_list", fuzz::FuzzPropertyList), 0u);
}

TEST(FuzzRegression, BinaryPlist)
{
    EXPECT_GT(Replay("binary_plist", fuzz::FuzzBinaryPlist), 0u);
}

TEST(FuzzRegression, AdapterCalls)
{
    EXPECT_GT(Replay("adapter_calls", fuzz::FuzzAdapterCalls), 0u);
}

TEST(FuzzRegression, AudioPath)
{
    EXPECT_GT(Replay("audio_path", fuzz::FuzzAudioPath), 0u);
}

TEST(FuzzRegression, EmptyInputsAreFine)
{
    const uint8_t nothing[1] = {0};
    for (Entry entry : {fuzz::FuzzStateChunk, fuzz::FuzzPropertyList, fuzz::FuzzBinaryPlist,
                        fuzz::FuzzAdapterCalls, fuzz::FuzzAudioPath})
        EXPECT_EQ(entry(nothing, 0), 0);
}
