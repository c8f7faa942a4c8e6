#include "framework/FftDetail.h"

#include <cmath>

namespace fft_detail
{
namespace
{
int Log2(int n)
{
    int b = 0;
    while ((1 << b) < n)
        ++b;
    return b;
}

// e^(−2πi m / span), evaluated in long double from the reduced angle so that every table entry
// is the double nearest the exact value (or within an ulp of it where long double is double).
std::pair<double, double> Root(long long m, int span)
{
    const long double twoPi = 6.283185307179586476925286766559L;
    const long double a = twoPi * static_cast<long double>(m % span) / span;
    return {static_cast<double>(std::cos(a)), static_cast<double>(-std::sin(a))};
}

void BuildStage(std::vector<TwiddleBlock>& table, int span)
{
    const int quarter = span / 4;
    table.resize(static_cast<size_t>(quarter / 2));
    double* t = table.front().v;
    for (int j = 0; j < quarter; ++j)
        for (int k = 1; k <= 3; ++k)
        {
            const auto [wr, wi] = Root(static_cast<long long>(k) * j, span);
            double* w = t + TwiddleOffset(j, k);
            w[0] = wr;
            w[1] = wr;
            w[4] = -wi;
            w[5] = wi;
        }
}

void BuildSwaps(std::vector<std::pair<uint16_t, uint16_t>>& swaps, int bits)
{
    const int n = 1 << bits;
    for (int i = 0; i < n; ++i)
    {
        int r = 0;
        for (int k = 0; k < bits; ++k)
            r |= ((i >> k) & 1) << (bits - 1 - k);
        if (r > i)
            swaps.emplace_back(static_cast<uint16_t>(i), static_cast<uint16_t>(r));
    }
}
} // namespace

Tables::Tables()
{
    for (int b = 1; b <= kMaxLog2; ++b)
    {
        if (b <= kMaxSwapLog2)
            BuildSwaps(swaps[b], b);
        if (b >= 4)
            BuildStage(stageTwiddles[b], 1 << b);
    }
}

const double* Tables::Twiddles(int span) const
{
    return stageTwiddles[Log2(span)].front().v;
}

const Tables& GetTables()
{
    static const Tables tables; // thread-safe initialisation, once per process
    return tables;
}
} // namespace fft_detail
