#pragma once
// A one-line progress bar on stderr, drawn only when asked to and when stderr is a terminal.

namespace app
{
class ProgressBar
{
public:
    ProgressBar(bool wanted, long long total);
    void Update(long long done);
    // Clears the line.
    void Finish();

private:
    bool mActive;
    long long mTotal;
    int mLastPercent = -1;
};
} // namespace app
