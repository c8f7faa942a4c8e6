#pragma once
// Decibel to amplitude with the parameter model's constant: exp(dB × ln(10) / 20).

#include <cmath>

constexpr double kDBToAmpFactor = 0.1151292546497; // ln(10) / 20, as stored

inline double DBToAmp(double dB)
{
    return std::exp(dB * kDBToAmpFactor);
}
