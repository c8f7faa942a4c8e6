#pragma once
// parandel analyze: runs the plug-in over files (output discarded) and reports the correlation
// meter over time and the vectorscope's final point sets.

#include "app/FileRenderer.h"

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

// The stable JSON shape for scripts.
std::string AnalysisToJson(const std::vector<FileAnalysis>& analyses);

// Runs the command: a table row per file on stdout, JSON to jsonPath when it is not empty.
int RunAnalyze(const std::vector<std::string>& files, const RenderOptions& options,
               const std::string& jsonPath);
} // namespace app
