#include "app/commands/ProgressBar.h"

#include <cstdio>
#include <unistd.h>

namespace app
{
namespace
{
constexpr int kBarWidth = 40;
}

ProgressBar::ProgressBar(bool wanted, long long total)
    : mActive(wanted && isatty(STDERR_FILENO) && total > 0), mTotal(total)
{
}

void ProgressBar::Update(long long done)
{
    if (!mActive)
        return;
    const int percent = static_cast<int>(100 * done / mTotal);
    if (percent == mLastPercent)
        return;
    mLastPercent = percent;
    const int filled = kBarWidth * percent / 100;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    std::fflush(stderr);
}

void ProgressBar::Finish()
{
    if (!mActive)
        return;
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 8, "");
    std::fflush(stderr);
    mActive = false;
}
} // namespace app
