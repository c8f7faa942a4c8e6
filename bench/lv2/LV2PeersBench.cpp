// The LV2 plug-in against its Linux peers in one run, through the same lilv host: TW Parandel,
// Calf Stereo Tools, x42 balance and x42's correlation meter each process the same 10 s of
// stereo noise at 44.1 kHz in 512-sample blocks (all controls at their defaults; Parandel also
// with mono-to-stereo on, and with its correlation port left unconnected). The thread's CPU time
// of the run calls in ns per sample frame, median of the rounds with their spread, and as the
// median of the per-round ratios to Calf Stereo Tools and to x42 balance. Rounds interleave the
// plug-ins so that machine load falls on all of them alike.
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
    const char* setSymbol;        // a control set to 1 before activating, or null
    const char* unconnectedPort;  // an output port the host leaves unconnected, or null
};

const Subject kSubjects[] = {
    {"TW Parandel (defaults)", "http://tarnwel.com/plugins/tw-parandel", nullptr, nullptr},
    {"TW Parandel (mono-to-stereo on)", "http://tarnwel.com/plugins/tw-parandel", "mono_to_stereo",
     nullptr},
    {"TW Parandel (meter port unconnected)", "http://tarnwel.com/plugins/tw-parandel", nullptr,
     "correlation_meter"},
    {"Calf Stereo Tools", "http://calf.sourceforge.net/plugins/StereoTools", nullptr, nullptr},
    {"x42 balance", "http://gareus.org/oss/lv2/balance", nullptr, nullptr},
    {"x42 correlation meter", "http://gareus.org/oss/lv2/meters#COR", nullptr, nullptr},
};
constexpr size_t kCalf = 3, kBalance = 4;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

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
        if (s.unconnectedPort)
            lilv_instance_connect_port(hosts.back()->Instance(),
                                       hosts.back()->PortIndex(s.unconnectedPort), nullptr);
        hosts.back()->SendTransport(1.0, 0);
        hosts.back()->Activate();
        Measure(*hosts.back(), signal); // warm-up round
    }
    const size_t n = hosts.size();
    std::vector<std::vector<double>> times(n);
    for (int r = 0; r < rounds; ++r)
        for (size_t i = 0; i < n; ++i)
            times[i].push_back(Measure(*hosts[i], signal));

    std::printf("%d rounds of %d frames at %.0f Hz, block %d, interleaved; thread CPU time of "
                "run(): median (spread), medians of per-round ratios\n",
                rounds, kFrames, kRate, kBlock);
    std::printf("%-38s %24s %8s %10s\n", "plug-in", "ns per frame", "x Calf", "x balance");
    for (size_t i = 0; i < n; ++i)
    {
        std::vector<double> toCalf, toBalance;
        for (int r = 0; r < rounds; ++r)
        {
            toCalf.push_back(times[i][r] / times[kCalf][r]);
            toBalance.push_back(times[i][r] / times[kBalance][r]);
        }
        const auto [lo, hi] = std::minmax_element(times[i].begin(), times[i].end());
        std::printf("%-38s %8.1f (%5.1f-%5.1f) %8.2f %10.2f\n", kSubjects[i].label,
                    Median(times[i]) * 1e9 / kFrames, *lo * 1e9 / kFrames, *hi * 1e9 / kFrames,
                    Median(toCalf), Median(toBalance));
    }
    return 0;
}
