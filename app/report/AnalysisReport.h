#pragma once
// parandel analyze … --plot FILE.png / --report DIR: the analysis as pictures. Per file, the
// correlation meter and the level over the file's duration (CorrelationPlot) beside the
// vectorscope's four audio modes right after the file's loudest second (ScopeCapture); for a
// folder of files, a page with a row per file, worst first (ReportPage), and report.json in the
// shape of --json. The table of RunAnalyze is printed as well; the progress bar covers all files.

#include "app/commands/AnalyzeCommand.h"
#include "app/render/LevelTrack.h"
#include "app/files/OutputCheck.h"
#include "editor/LICE_Bitmap.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace app
{
struct ReportOptions
{
    std::string plotPath;  // one file's picture, or empty
    std::string reportDir; // the folder of the page, or empty
    std::string jsonPath;  // as analyze --json, or empty
};

// What the report knows of one file.
struct FileReport
{
    std::string file;
    std::string error; // why it could not be analysed; empty when it was
    FileAnalysis analysis;
    long long frames = 0;
    double stepSeconds = 0.1; // of the correlation and level series
    std::vector<double> midDb, sideDb;
    SampleRange loudest; // in samples of the file
    std::unique_ptr<LICE_MemBitmap> plot, scopes;
    int scopesWidth = 0, scopesHeight = 0; // kept when the pictures are let go
    std::string plotPng, scopesPng;        // the pictures encoded for the folder
};

// Analyses one file, measures its level, finds its loudest second and draws its pictures.
// fileShare, when given, is told the share of the work on the file done.
void ReportFile(const std::string& path, const RenderOptions& options, FileReport& report,
                const std::function<void(double)>& fileShare = {});

// Indices of the reports, worst first: unreadable files, then by share of time below 0 (most
// first), then by the lowest value; equals keep their order.
std::vector<size_t> WorstFirst(const std::vector<FileReport>& reports);

// The files the report writes (the plot, the --json file, and in the folder index.html,
// report.json and two pictures per input), for the checks before anything is read.
std::vector<OutputFile> ReportOutputs(const std::vector<std::string>& files,
                                      const ReportOptions& report);
// Usage checks: --plot takes one input, the folder is a folder, no output is an input or
// another kind of file. False with a one-line reason.
bool CheckReportOptions(const std::vector<std::string>& files, const ReportOptions& report,
                        std::string& error);

// What the report does for the file files[index] (on any thread): ReportFile, the pictures
// encoded when the report has a folder and kept as bitmaps only for --plot's file.
void PrepareReportFile(const std::vector<std::string>& files, size_t index,
                       const RenderOptions& options, const ReportOptions& report, FileReport& r,
                       const std::function<void(double)>& fileShare = {});
// Writes the plot, the JSON and the folder from the prepared reports (of files, in order); a
// CommandError when an output cannot be written.
void WriteReportOutputs(const std::vector<std::string>& files, std::vector<FileReport>& reports,
                        const ParamSettings& params, const ReportOptions& report);

// Runs the command on `jobs` workers (BatchRunner); 0, or 1 when a file could not be analysed;
// a CommandError when an output cannot be written.
int RunAnalyzeReport(const std::vector<std::string>& files, const RenderOptions& options,
                     const ReportOptions& report, int jobs = 1);
} // namespace app
