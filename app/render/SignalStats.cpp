#include "app/render/SignalStats.h"

#include "app/files/AudioFile.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace app
{
void StereoStatsAccumulator::Add(const float* left, const float* right, long long n)
{
    for (long long k = 0; k < n; ++k)
    {
        const double l = left[k], r = right[k];
        mPeak = std::max(mPeak, std::max(std::fabs(l), std::fabs(r)));
        mSumL += l;
        mSumR += r;
        mSumLL += l * l;
        mSumRR += r * r;
        mSumLR += l * r;
    }
    mCount += n;
}

StereoStats StereoStatsAccumulator::Result() const
{
    StereoStats s;
    if (mCount == 0)
        return s;
    const double n = static_cast<double>(mCount);
    s.peak = mPeak;
    s.rms = std::sqrt((mSumLL + mSumRR) / (2 * n));
    const double covLR = mSumLR / n - (mSumL / n) * (mSumR / n);
    const double varL = mSumLL / n - (mSumL / n) * (mSumL / n);
    const double varR = mSumRR / n - (mSumR / n) * (mSumR / n);
    if (varL > 0 && varR > 0)
        s.correlation = std::max(-1.0, std::min(1.0, covLR / std::sqrt(varL * varR)));
    return s;
}

bool MeasureFile(const std::string& path, StereoStats& stats, std::string& error)
{
    AudioFileReader reader;
    if (!reader.Open(path))
    {
        error = reader.error();
        return false;
    }
    const int ch = reader.Channels();
    if (ch > 2)
    {
        error = "'" + path + "' has more than two channels";
        return false;
    }
    constexpr int kChunk = 4096;
    std::vector<float> buf(static_cast<size_t>(kChunk) * ch), l(kChunk), r(kChunk);
    StereoStatsAccumulator acc;
    long long got;
    while ((got = reader.Read(buf.data(), kChunk)) > 0)
    {
        for (long long k = 0; k < got; ++k)
        {
            l[k] = buf[k * ch];
            r[k] = buf[k * ch + ch - 1];
        }
        acc.Add(l.data(), r.data(), got);
    }
    stats = acc.Result();
    return true;
}
} // namespace app
