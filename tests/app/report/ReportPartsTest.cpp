// The analysis report's parts that need no plug-in: the level track, the order of the rows,
// the figures' wording, the page's verdicts and escaping, the time axis and the progress line.

#include "app/report/AnalysisReport.h"
#include "app/report/CorrelationPlot.h"
#include "app/commands/FolderProgress.h"
#include "app/render/LevelTrack.h"
#include "app/report/ReportFormat.h"
#include "app/report/ReportPage.h"
#include "framework/HtmlEscape.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace app;

TEST(LevelTrack, MidAndSidePerSliceAcrossBlocks)
{
    // Slices of 4: (1, 1) is all mid, (1, −1) all side, (1, 0) half of each; a slice is
    // complete only with its fourth sample, wherever the blocks end.
    const float left[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0.5f, 0.5f, 1};
    const float right[] = {1, 1, 1, 1, -1, -1, -1, -1, 0, 0, -0.5f, -0.5f, 1};
    LevelTrack track(4);
    track.Add(left, right, 3);
    track.Add(left + 3, right + 3, 10);
    ASSERT_EQ(track.MidRms().size(), 3u);
    EXPECT_EQ(track.Frames(), 13);
    const double mid[] = {1, 0, std::sqrt((2 * 0.25) / 4.0)};
    const double side[] = {0, 1, std::sqrt((2 * 0.25 + 2 * 0.25) / 4.0)};
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_NEAR(track.MidRms()[k], mid[k], 1e-12) << k;
        EXPECT_NEAR(track.SideRms()[k], side[k], 1e-12) << k;
    }
    EXPECT_DOUBLE_EQ(RmsToDb(0.1, -120), -20.0);
    EXPECT_EQ(RmsToDb(0.0, -120), -120.0);
}

TEST(LevelTrack, LoudestRunIsTheEarliestOfTheLoudest)
{
    // Slice energies 1, 4, 1, 4, 1 (amplitudes 1, 2 on one channel): runs of two all hold 5,
    // the first wins; a run of three is loudest at the second slice (4 + 1 + 4).
    LevelTrack track(2);
    for (float a : {1.0f, 2.0f, 1.0f, 2.0f, 1.0f})
    {
        const float l[] = {a, a}, r[] = {0, 0};
        track.Add(l, r, 2);
    }
    EXPECT_EQ(track.Loudest(2, 10).start, 0);
    EXPECT_EQ(track.Loudest(2, 10).end, 4);
    EXPECT_EQ(track.Loudest(3, 10).start, 2);
    EXPECT_EQ(track.Loudest(3, 10).end, 8);
    // Fewer slices than asked for: the whole file.
    EXPECT_EQ(track.Loudest(6, 11).start, 0);
    EXPECT_EQ(track.Loudest(6, 11).end, 11);
}

TEST(ReportOrder, UnreadableFirstThenShareBelowZeroThenMin)
{
    auto make = [](const char* name, double share, double min, const char* error = "")
    {
        FileReport r;
        r.file = name;
        r.error = error;
        r.analysis.correlation.shareBelowZero = share;
        r.analysis.correlation.min = min;
        return r;
    };
    std::vector<FileReport> reports;
    reports.push_back(make("a", 0.0, 0.2));
    reports.push_back(make("b", 0.3, -0.4));
    reports.push_back(make("c", 0.0, 0, "unreadable"));
    reports.push_back(make("d", 0.3, -0.9));
    reports.push_back(make("e", 0.0, 0.2));
    const std::vector<size_t> expected = {2, 3, 1, 0, 4};
    EXPECT_EQ(WorstFirst(reports), expected);
}

TEST(ReportFormat, FiguresTimesAndRates)
{
    EXPECT_EQ(SignedFigure(0.6124), "+0.612");
    EXPECT_EQ(SignedFigure(-0.4216), "\u22120.422");
    EXPECT_EQ(SignedFigure(-0.0004), "+0.000");
    EXPECT_EQ(Percent(0.0325), "3.2 %");
    EXPECT_EQ(ClockTime(65.4), "1:05");
    EXPECT_EQ(ClockTime(59.96, true), "1:00.0");
    EXPECT_EQ(ClockTime(3725), "1:02:05");
    EXPECT_EQ(ClockTime(-1), "0:00");
    EXPECT_EQ(RateText(44100), "44.1 kHz");
    EXPECT_EQ(RateText(48000), "48 kHz");
    // At most ten steps over the duration, from the fixed list.
    EXPECT_EQ(CorrelationPlot::TickStep(10, 10), 1);
    EXPECT_EQ(CorrelationPlot::TickStep(10.5, 10), 2);
    EXPECT_EQ(CorrelationPlot::TickStep(0.3, 10), 0.1);
    EXPECT_EQ(CorrelationPlot::TickStep(4 * 60 + 30, 10), 30);
    EXPECT_EQ(CorrelationPlot::TickStep(5 * 3600, 10), 1800);
}

TEST(ReportPage, VerdictsAndEscaping)
{
    ReportRow row;
    row.min = 0.1;
    EXPECT_EQ(VerdictOf(row), Verdict::NeverBelowZero);
    row.min = -0.3;
    row.shareBelowZero = 0.005;
    EXPECT_EQ(VerdictOf(row), Verdict::Brief);
    row.min = -0.6;
    EXPECT_EQ(VerdictOf(row), Verdict::Cancels);
    row.error = "cannot read 'x.wav'";
    EXPECT_EQ(VerdictOf(row), Verdict::Unreadable);
    EXPECT_NE(VerdictText(row).find(row.error), std::string::npos);

    EXPECT_EQ(HtmlEscape("<a href=\"x\">R&B's</a>"),
              "&lt;a href=&quot;x&quot;&gt;R&amp;B&#39;s&lt;/a&gt;");
    row.file = "mixes/<b>.wav";
    const std::string page = ReportPageHtml({row}, "its default settings");
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("mixes/&lt;b&gt;.wav"), std::string::npos);
}

TEST(FolderProgress, LineCountsFilesAndFitsTheWidth)
{
    const std::string line = FolderProgress::Line(1, 4, 0.5, "mixes/b.wav", 80);
    // 1.5 of 4 files: 11 of 30 marks.
    EXPECT_EQ(line, "[###########...................] 1/4 mixes/b.wav");
    // The name keeps its end: 47 columns leave 10 for it after "[…] 0/2 ".
    const std::string narrow = FolderProgress::Line(0, 2, 0, "a/very/long/path/to/mix.wav", 47);
    EXPECT_EQ(narrow.size(), 47u);
    EXPECT_EQ(narrow.substr(narrow.size() - 10), "...mix.wav");
}
