#pragma once
// The analysis report's picture of one file over its duration: the correlation meter's value on
// a −1 … +1 axis with 0 marked and the stretches below 0 shaded, and under it the level of mid
// and side, so that a dip can be read against the music; a time axis in minutes:seconds; the
// file's name, duration and sample rate, and a legend with min, mean, final and the share of
// time below 0.

#include <memory>
#include <string>
#include <vector>

class LICE_MemBitmap;

namespace app
{
struct PlotData
{
    std::string title; // the file name
    double durationSeconds = 0.0;
    int sampleRate = 0;
    // Both series hold one value per step: the correlation at the end of the step, the levels
    // (dBFS) over it.
    double stepSeconds = 0.1;
    std::vector<double> correlation;
    std::vector<double> midDb, sideDb;
    double min = 0.0, mean = 0.0, final = 0.0, shareBelowZero = 0.0;
    // Where the scopes beside the plot were taken, marked on the level lane.
    double loudestStart = 0.0, loudestEnd = 0.0;
};

class CorrelationPlot
{
public:
    static constexpr int kWidth = 960;
    static constexpr int kHeight = 490;
    // The plot areas, in pixels from the top-left corner.
    static constexpr double kLeft = 64.0;
    static constexpr double kRight = 940.0;
    static constexpr double kCorrelationTop = 76.0;
    static constexpr double kCorrelationBottom = 306.0;
    static constexpr double kLevelTop = 342.0;
    static constexpr double kLevelBottom = 442.0;
    // The level lane's range.
    static constexpr double kFloorDb = -60.0;

    explicit CorrelationPlot(double durationSeconds);

    // Where a time, a correlation value and a level lie in the picture.
    double X(double seconds) const;
    static double CorrelationY(double value);
    static double LevelY(double db);

    // The picture; null when it cannot be made.
    std::unique_ptr<LICE_MemBitmap> Draw(const PlotData& data, std::string& error) const;

    // Time between labelled ticks: the smallest of 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30 s, 1, 2,
    // 5, 10, 15, 30 min, 1 h … that gives at most maxTicks steps over the duration.
    static double TickStep(double durationSeconds, int maxTicks);

private:
    double mDuration;
};
} // namespace app
