// The floor for `parandel process`: the least a program can do for the same job. It reads a
// stereo file with libsndfile in blocks of 512 frames, applies a mid/side width (the cheapest
// stereo processing there is) and writes the result as 24-bit WAV through libsndfile. The
// command line's cost above this one is what its processing, metering and checks add.
//
//   parandel_floor IN OUT [WIDTH]       (WIDTH: side gain, 1 by default)

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: parandel_floor IN OUT [WIDTH]\n");
        return 2;
    }
    const float width = argc > 3 ? static_cast<float>(std::atof(argv[3])) : 1.0f;
    SF_INFO inInfo{};
    SNDFILE* in = sf_open(argv[1], SFM_READ, &inInfo);
    if (!in || inInfo.channels != 2)
    {
        std::fprintf(stderr, "parandel_floor: %s: not a readable stereo file\n", argv[1]);
        return 1;
    }
    SF_INFO outInfo{};
    outInfo.samplerate = inInfo.samplerate;
    outInfo.channels = 2;
    outInfo.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* out = sf_open(argv[2], SFM_WRITE, &outInfo);
    if (!out)
    {
        std::fprintf(stderr, "parandel_floor: %s: %s\n", argv[2], sf_strerror(nullptr));
        return 1;
    }
    constexpr sf_count_t kBlock = 512;
    std::vector<float> frames(2 * kBlock);
    for (sf_count_t got; (got = sf_readf_float(in, frames.data(), kBlock)) > 0;)
    {
        for (sf_count_t k = 0; k < got; ++k)
        {
            const float l = frames[2 * k], r = frames[2 * k + 1];
            const float mid = 0.5f * (l + r), side = 0.5f * width * (l - r);
            frames[2 * k] = mid + side;
            frames[2 * k + 1] = mid - side;
        }
        if (sf_writef_float(out, frames.data(), got) != got)
        {
            std::fprintf(stderr, "parandel_floor: %s: %s\n", argv[2], sf_strerror(out));
            return 1;
        }
    }
    sf_close(in);
    return sf_close(out) == 0 ? 0 : 1;
}
