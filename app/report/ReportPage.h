#pragma once
// The analysis report's page: one self-contained HTML file (inline style, no scripts, images
// linked by relative names) that shows a folder of mixes at a glance, an overview line per file
// and then, per file, its figures, its correlation plot and its scopes, in the order given
// (the report gives it worst first). It reads on a phone and on a wide screen.

#include <string>
#include <vector>

namespace app
{
struct ReportRow
{
    std::string file;  // as given on the command line
    std::string error; // why it could not be analysed; empty when it was
    double durationSeconds = 0.0;
    int sampleRate = 0;
    double min = 0.0, mean = 0.0, final = 0.0, shareBelowZero = 0.0;
    double loudestStart = 0.0, loudestEnd = 0.0; // seconds
    std::string plotImage, scopesImage;          // relative to the page
    int plotWidth = 0, plotHeight = 0, scopesWidth = 0, scopesHeight = 0;
};

// How a file fares, for the page's wording and colours.
enum class Verdict
{
    Unreadable,
    NeverBelowZero,
    Brief,  // below 0 for less than 1 % of the time and never under −0.5
    Cancels // anything more
};
Verdict VerdictOf(const ReportRow& row);

// One sentence on what the row's numbers mean.
std::string VerdictText(const ReportRow& row);

// The page; settings says how the files were rendered ("default settings", "Width 50, …").
std::string ReportPageHtml(const std::vector<ReportRow>& rows, const std::string& settings);
} // namespace app
