#include "app/commands/FolderProgress.h"

#include <algorithm>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace app
{
namespace
{
constexpr int kBarWidth = 30;
constexpr int kDefaultColumns = 80;

int TerminalColumns()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultColumns;
}
} // namespace

FolderProgress::FolderProgress(bool wanted, int files)
    : mActive(wanted && files > 0 && isatty(STDERR_FILENO)), mTotal(files)
{
}

void FolderProgress::Show(int done, double runningShare, const std::string& name)
{
    mIndex = done;
    mName = name;
    mShare = std::clamp(runningShare, 0.0, static_cast<double>(mTotal - done));
    Draw();
}

void FolderProgress::Draw()
{
    if (!mActive)
        return;
    const int permille = static_cast<int>(1000 * (mIndex + mShare) / mTotal);
    if (permille == mLastPermille)
        return;
    mLastPermille = permille;
    // One column short of the width, so that the terminal never wraps the line.
    const std::string line = Line(mIndex, mTotal, mShare, mName, TerminalColumns() - 1);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
}

void FolderProgress::Interrupt()
{
    if (!mActive)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    mLastPermille = -1;
}

void FolderProgress::Finish()
{
    if (!mActive)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    mActive = false;
}

std::string FolderProgress::Line(int done, int total, double fileShare, const std::string& name,
                                 int columns)
{
    const double share = total > 0 ? std::clamp((done + fileShare) / total, 0.0, 1.0) : 1.0;
    const int filled = static_cast<int>(share * kBarWidth);
    std::string line = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') +
                       "] " + std::to_string(done) + "/" + std::to_string(total) + " ";
    const int room = columns - static_cast<int>(line.size());
    if (room >= static_cast<int>(name.size()))
        return line + name;
    if (room > 3)
    {
        // The end of a path names the file; never cut into a UTF-8 sequence.
        size_t start = name.size() - (room - 3);
        while (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80)
            ++start;
        return line + "..." + name.substr(start);
    }
    return line.substr(0, std::max(0, columns));
}
} // namespace app
