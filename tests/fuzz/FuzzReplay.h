#pragma once
// Replays every stored input of a fuzz target (its seed corpus and the inputs of earlier
// findings) through the entry function libFuzzer calls. A broken invariant ends the program
// with its reason, which fails the test; each input is named on stderr before it runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fuzztest
{
using Entry = int (*)(const uint8_t*, size_t);

inline std::vector<std::string> FilesIn(const std::string& folder)
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
inline size_t Replay(const std::string& target, Entry entry)
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
} // namespace fuzztest
