#pragma once
// parandel analyze: runs the plug-in over files (output discarded) and reports the correlation
// meter over time and the vectorscope's final point sets.

#include "app/commands/Command.h"
#include "app/commands/CommonOptions.h"
#include "app/render/FileRenderer.h"

#include <functional>
#include <string>
#include <vector>

namespace app
{
struct CorrelationReport
{
    std::vector<double> every100ms; // the computer's −1 … 1 value every 100 ms of input
    double min = 0.0;
    double mean = 0.0;
    double final = 0.0;
    double shareBelowZero = 0.0; // of the file's duration
};

struct PointSet
{
    std::vector<double> x, y;
};

struct FileAnalysis
{
    std::string file;
    int sampleRate = 0;
    CorrelationReport correlation;
    PointSet polar, lissajous, flameCurrent, flamePeak, source;
};

// Analyses one file with the given render options (block size, parameters). exitCode and error
// of the result are those of the render. An onOwnOutput observer in options sees the plug-in's
// output of the file once, whatever the number of passes.
RenderResult AnalyzeFile(const std::string& path, const RenderOptions& options,
                         FileAnalysis& analysis);
// The same over any source: render runs the pass it is given over the source's fileFrames
// frames (−1 when unknown) as RenderFile would. The analysis' file name is left empty.
RenderResult AnalyzeRender(long long fileFrames, const RenderOptions& options,
                           FileAnalysis& analysis,
                           const std::function<RenderResult(const RenderOptions&)>& render);

// The stable JSON shape for scripts.
std::string AnalysisToJson(const std::vector<FileAnalysis>& analyses);

class AnalyzeCommand : public Command
{
public:
    void Register(CLI::App& cli) override;
    // 0, or 1 when a file could not be analysed (its one-line error on stderr, the others'
    // rows printed all the same).
    int Run() override;

private:
    std::vector<std::string> mFiles;
    int mBlockSize = kDefaultBlockSize;
    int mJobs = 0; // 0: one worker per core
    bool mQuiet = false;
    ParamOptions mParams;
    std::string mJsonPath, mPlotPath, mReportDir;
};

// Runs the analysis on `jobs` workers (BatchRunner): a table row per file on stdout in the order
// given, JSON to jsonPath when it is not empty. The exit code: 0, or 1 when a file could not be
// analysed; a CommandError when the JSON cannot be written.
int RunAnalyze(const std::vector<std::string>& files, const RenderOptions& options,
               const std::string& jsonPath, int jobs = 1);
} // namespace app
