// The LV2 plug-in against its Linux peers in one run, through the same lilv host: TW Parandel,
// Calf Stereo Tools, x42 balance and x42's correlation meter each process the same 10 s of
// stereo noise at 44.1 kHz in 512-sample blocks (all controls at their defaults; Parandel also
// with mono-to-stereo on). The thread's CPU time of the run calls, median of the rounds, in ns
// per sample frame and as a ratio to Parandel at its defaults. Rounds interleave the plug-ins so
// that machine load falls on all of them alike.
//
//   parandel_lv2_bench [ROUNDS]     (LV2_PATH must find the bundle and the peers)

#include "lv2/LilvHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr int kFrames = 441000;

struct Subject
{
    const char* label;
    const char* uri;
    const char* setSymbol; // a control set to 1 before activating, or null
};

const Subject kSubjects[] = {
    {"TW Parandel (defaults)", "http://tarnwel.com/plugins/tw-parandel", nullptr},
    {"TW Parandel (mono-to-stereo on)", "http://tarnwel.com/plugins/tw-parandel", "mono_to_stereo"},
    {"Calf Stereo Tools", "http://calf.sourceforge.net/plugins/StereoTools", nullptr},
    {"x42 balance", "http://gareus.org/oss/lv2/balance", nullptr},
    {"x42 correlation meter", "http://gareus.org/oss/lv2/meters#COR", nullptr},
};

double ThreadCpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// CPU seconds of the run calls over the whole signal.
double Measure(LilvHost& host, const std::vector<std::vector<float>>& signal)
{
    const int nIn = host.NAudioIn(), nOut = host.NAudioOut();
    std::vector<std::vector<float>> in(nIn, std::vector<float>(kBlock));
    std::vector<std::vector<float>> out(nOut, std::vector<float>(kBlock));
    std::vector<float*> inPtr, outPtr;
    for (auto& b : in)
        inPtr.push_back(b.data());
    for (auto& b : out)
        outPtr.push_back(b.data());
    double cpu = 0.0;
    for (int pos = 0; pos + kBlock <= kFrames; pos += kBlock)
    {
        for (int c = 0; c < nIn; ++c)
            std::copy(signal[c % 2].begin() + pos, signal[c % 2].begin() + pos + kBlock,
                      in[c].begin());
        const double t0 = ThreadCpuSeconds();
        host.Run(inPtr, outPtr, kBlock);
        cpu += ThreadCpuSeconds() - t0;
    }
    return cpu;
}
} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::mt19937 random(12345);
    std::normal_distribution<float> noise(0.0f, 0.2f);
    std::vector<std::vector<float>> signal(2, std::vector<float>(kFrames));
    for (int k = 0; k < kFrames; ++k)
    {
        const float common = noise(random);
        signal[0][k] = common + 0.5f * noise(random);
        signal[1][k] = common + 0.5f * noise(random);
    }

    std::vector<std::unique_ptr<LilvHost>> hosts;
    for (const Subject& s : kSubjects)
    {
        hosts.push_back(std::make_unique<LilvHost>("", s.uri, kRate, kBlock));
        if (!hosts.back()->Ok())
        {
            std::fprintf(stderr, "%s (%s) cannot be loaded; is it installed?\n", s.label, s.uri);
            return 1;
        }
        if (s.setSymbol)
            hosts.back()->SetControl(s.setSymbol, 1.0f);
        hosts.back()->SendTransport(1.0, 0);
        hosts.back()->Activate();
        Measure(*hosts.back(), signal); // warm-up round
    }
    const size_t n = hosts.size();
    std::vector<std::vector<double>> times(n);
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < n; ++i)
            times[i].push_back(Measure(*hosts[i], signal));

    std::vector<double> nsPerFrame(n);
    for (size_t i = 0; i < n; ++i)
    {
        std::sort(times[i].begin(), times[i].end());
        nsPerFrame[i] = times[i][times[i].size() / 2] * 1e9 / kFrames;
    }
    std::printf("%d rounds of %d frames at %.0f Hz, block %d; median thread CPU time of run()\n",
                rounds, kFrames, kRate, kBlock);
    std::printf("%-34s %14s %16s\n", "plug-in", "ns per frame", "ratio to Parandel");
    for (size_t i = 0; i < n; ++i)
        std::printf("%-34s %14.1f %16.2f\n", kSubjects[i].label, nsPerFrame[i],
                    nsPerFrame[i] / nsPerFrame[0]);
    return 0;
}
