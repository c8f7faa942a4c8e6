#pragma once
// Signal helpers shared by the DSP tests.

#include "framework/SampleBuffer.h"

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace testsig
{
constexpr double kTwoPi = 6.283185307179586;

inline SampleBuffer MakeBuffer(const std::vector<double>& v)
{
    SampleBuffer b;
    b.Set(v.data(), static_cast<int>(v.size()));
    return b;
}

inline std::vector<double> Sine(int n, double freqHz, double sampleRate, double amplitude = 1.0,
                                double phase = 0.0)
{
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = amplitude * std::sin(kTwoPi * freqHz * i / sampleRate + phase);
    return v;
}

inline std::vector<double> Noise(int n, unsigned seed, double amplitude = 1.0)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-amplitude, amplitude);
    std::vector<double> v(n);
    for (auto& x : v)
        x = d(rng);
    return v;
}

inline double Rms(const double* x, int n)
{
    double s = 0;
    for (int i = 0; i < n; ++i)
        s += x[i] * x[i];
    return n > 0 ? std::sqrt(s / n) : 0.0;
}

// Amplitude of the sinusoid at freqHz in x (least-squares fit over whole periods is not needed:
// a long window makes the projection accurate to well under 0.01 dB).
inline double ToneAmplitude(const double* x, int n, double freqHz, double sampleRate)
{
    double re = 0, im = 0;
    for (int i = 0; i < n; ++i)
    {
        const double a = kTwoPi * freqHz * i / sampleRate;
        re += x[i] * std::cos(a);
        im += x[i] * std::sin(a);
    }
    return 2.0 * std::sqrt(re * re + im * im) / n;
}

inline double ToDb(double amplitude)
{
    return 20.0 * std::log10(amplitude);
}
} // namespace testsig
