#include "app/render/DemoMix.h"
#include "framework/MathConstants.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace app
{
namespace
{
constexpr double kTempoBpm = 120.0;
constexpr unsigned kSeed = 20261207;
constexpr double kMixGain = 0.7; // leaves headroom for widening

// A one-pole low-pass, enough to darken noise into a pad texture.
struct OnePole
{
    double a, z = 0;
    explicit OnePole(double cutoffHz, double rate) : a(std::exp(-kTwoPi * cutoffHz / rate)) {}
    double operator()(double x) { return z = x * (1 - a) + z * a; }
};
} // namespace

StereoSignal MakeDemoMix(double seconds, int sampleRate)
{
    const int n = static_cast<int>(seconds * sampleRate);
    StereoSignal s;
    s.sampleRate = sampleRate;
    s.left.assign(n, 0.0f);
    s.right.assign(n, 0.0f);
    std::mt19937 rng(kSeed);
    std::normal_distribution<double> gauss(0.0, 1.0);

    const double beat = 60.0 / kTempoBpm * sampleRate;
    // Bass line: identical in both channels (centred), one note per beat.
    const double bassNotesHz[] = {55.0, 55.0, 73.42, 65.41, 55.0, 82.41, 73.42, 61.74};
    // Pad: a minor chord; each channel has its own detune and phases plus independent noise.
    const double padHz[] = {220.0, 261.63, 329.63, 440.0};
    double padPhaseL[4], padPhaseR[4];
    for (int v = 0; v < 4; ++v)
    {
        padPhaseL[v] = kTwoPi * std::uniform_real_distribution<double>(0, 1)(rng);
        padPhaseR[v] = kTwoPi * std::uniform_real_distribution<double>(0, 1)(rng);
    }
    OnePole noiseL(800.0, sampleRate), noiseR(800.0, sampleRate);

    double bassPhase = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / sampleRate;
        const int beatIndex = static_cast<int>(i / beat);
        const double inBeat = (i - beatIndex * beat) / sampleRate;

        const double f = bassNotesHz[beatIndex % 8];
        bassPhase += kTwoPi * f / sampleRate;
        const double bassEnv = std::exp(-inBeat * 3.0) * std::min(1.0, inBeat * 200.0);
        const double bass = 0.35 * bassEnv * (std::sin(bassPhase) + 0.3 * std::sin(2 * bassPhase));

        double padL = 0, padR = 0;
        for (int v = 0; v < 4; ++v)
        {
            padL += std::sin(kTwoPi * padHz[v] * 0.998 * t + padPhaseL[v]);
            padR += std::sin(kTwoPi * padHz[v] * 1.002 * t + padPhaseR[v]);
        }
        const double swell = 0.5 - 0.5 * std::cos(kTwoPi * t / 5.0);
        padL = 0.04 * swell * padL + 0.05 * noiseL(gauss(rng));
        padR = 0.04 * swell * padR + 0.05 * noiseR(gauss(rng));

        // Off-beat noise bursts, alternately panned hard left and three quarters right.
        const double burstT = inBeat - 0.25;
        double burstL = 0, burstR = 0;
        if (burstT >= 0)
        {
            const double b = 0.3 * std::exp(-burstT * 40.0) * gauss(rng);
            const double pan = (beatIndex % 2 == 0) ? -1.0 : 0.75; // −1 left … +1 right
            const double theta = (pan + 1) * kTwoPi / 8;
            burstL = b * std::cos(theta);
            burstR = b * std::sin(theta);
        }
        s.left[i] = static_cast<float>(kMixGain * (bass + padL + burstL));
        s.right[i] = static_cast<float>(kMixGain * (bass + padR + burstR));
    }
    return s;
}
} // namespace app
