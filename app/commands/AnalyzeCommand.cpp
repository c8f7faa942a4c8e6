#include "app/commands/AnalyzeCommand.h"

#include "app/report/AnalysisReport.h"
#include "app/files/AudioFile.h"
#include "app/commands/BatchRunner.h"
#include "app/files/AudioHeader.h"
#include "app/commands/CommandError.h"
#include "app/render/OfflineRenderer.h"
#include "app/files/TempFile.h"
#include "app/report/Utf8Text.h"
#include "engine/Parandel.h"
#include "metering/TWCorrelationComputer.h"
#include "metering/TWVectorscope.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace app
{
namespace
{
constexpr double kReportIntervalSeconds = 0.1;

void CopyPoints(const TWVectorscope& scope, int mode, int curve, PointSet& out)
{
    SampleBuffer x, y;
    out.x.clear();
    out.y.clear();
    if (!scope.GetLastPoints(mode, curve, &x, &y))
        return;
    out.x.assign(x.Get(), x.Get() + x.GetSize());
    out.y.assign(y.Get(), y.Get() + y.GetSize());
}

// Render options for the one analysis pass: the vectorscope computes without an editor, FLAME
// and SOURCE follow every block whatever the mode, so that each mode's points come out as a pass
// in that mode would give them.
RenderOptions ForAnalysis(const RenderOptions& base)
{
    RenderOptions o = base;
    o.trimLastBlock = true; // the report covers the file's own samples, not the padding
    o.params.emplace_back(Parandel::kVectorscopeMode0 + TWVectorscope::kPolarSamplesMode, 1.0);
    o.beforeStart = [](OfflineRenderer& r)
    {
        TWVectorscope* scope = r.Plugin().GetVectorscope();
        scope->SetComputeWithoutGraphs(true);
        scope->SetTrackAllModes(true);
    };
    return o;
}

nlohmann::ordered_json Points(const PointSet& p)
{
    return {{"x", p.x}, {"y", p.y}};
}
} // namespace

RenderResult AnalyzeFile(const std::string& path, const RenderOptions& options,
                         FileAnalysis& analysis)
{
    long long fileFrames = -1;
    if (!IsStream(path)) // a stream (a pipe) can be read only once: by the render
    {
        AudioFileReader header; // a file that cannot be opened is reported by the render
        if (header.Open(path))
            fileFrames = header.Frames();
    }
    const RenderResult result = AnalyzeRender(
        fileFrames, options, analysis,
        [&path](const RenderOptions& pass) { return RenderFile(path, "", pass); });
    analysis.file = path;
    return result;
}

RenderResult AnalyzeRender(long long fileFrames, const RenderOptions& options,
                           FileAnalysis& analysis,
                           const std::function<RenderResult(const RenderOptions&)>& render)
{
    analysis = FileAnalysis{};
    // One pass: the correlation meter sampled as the file plays, the points at the end. The
    // POLAR SAMPLES points are those of the block that completes the file's own samples (blocks
    // after it only flush the latency); the other modes' are those after the last block.
    CorrelationReport& corr = analysis.correlation;
    double weightedSum = 0.0, belowZero = 0.0;
    long long counted = 0, nextReport = 0, reportStep = 0;
    double minimum = 1.0;
    RenderOptions pass = ForAnalysis(options);
    pass.afterBlock = [&](OfflineRenderer& r, long long ownDone)
    {
        if (ownDone <= counted)
            return; // nothing of the file came out in this block
        const double c = r.Plugin().GetCorrelationComputer()->GetCorrelation();
        const long long n = ownDone - counted;
        counted = ownDone;
        weightedSum += c * n;
        if (TWCorrelationComputer::IsBelowZero(c))
            belowZero += n;
        minimum = std::min(minimum, c);
        corr.final = c;
        if (reportStep == 0)
            reportStep = std::max(
                1LL,
                static_cast<long long>(kReportIntervalSeconds * r.Plugin().GetSampleRate() + 0.5));
        while (nextReport + reportStep <= ownDone)
        {
            nextReport += reportStep;
            corr.every100ms.push_back(c);
        }
        if (ownDone == fileFrames)
            CopyPoints(*r.Plugin().GetVectorscope(), TWVectorscope::kPolarSamplesMode, 0,
                       analysis.polar);
    };
    pass.afterRender = [&](OfflineRenderer& r, std::string&)
    {
        const TWVectorscope& scope = *r.Plugin().GetVectorscope();
        if (fileFrames < 0)
            CopyPoints(scope, TWVectorscope::kPolarSamplesMode, 0, analysis.polar);
        CopyPoints(scope, TWVectorscope::kLissajousMode, 0, analysis.lissajous);
        CopyPoints(scope, TWVectorscope::kFlameMode, 0, analysis.flameCurrent);
        CopyPoints(scope, TWVectorscope::kFlameMode, 1, analysis.flamePeak);
        CopyPoints(scope, TWVectorscope::kSourceMode, 0, analysis.source);
        return true;
    };
    const RenderResult result = render(pass);
    if (result.exitCode != 0)
        return result;
    analysis.sampleRate = result.sampleRate;
    if (counted > 0)
    {
        corr.min = minimum;
        corr.mean = weightedSum / counted;
        corr.shareBelowZero = belowZero / counted;
    }
    return result;
}

std::string AnalysisToJson(const std::vector<FileAnalysis>& analyses)
{
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const FileAnalysis& a : analyses)
    {
        nlohmann::ordered_json j;
        j["file"] = EscapeInvalidUtf8(a.file);
        j["sample_rate"] = a.sampleRate;
        j["correlation"] = {{"every_100ms", a.correlation.every100ms},
                            {"min", a.correlation.min},
                            {"mean", a.correlation.mean},
                            {"final", a.correlation.final},
                            {"share_below_zero", a.correlation.shareBelowZero}};
        j["scope"] = {
            {"polar", Points(a.polar)},
            {"lissajous", Points(a.lissajous)},
            {"flame", {{"current", Points(a.flameCurrent)}, {"peak", Points(a.flamePeak)}}},
            {"source", Points(a.source)}};
        all.push_back(std::move(j));
    }
    // One file gives one object; several give an array of them in the order given.
    return (analyses.size() == 1 ? all[0] : all).dump(1) + "\n";
}

void AnalyzeCommand::Register(CLI::App& cli)
{
    mCommand = cli.add_subcommand(
        "analyze", "Report the correlation meter over time and the vectorscope's points");
    mCommand->add_option("IN", mFiles, "Input audio files (mono or stereo)")->required();
    mParams.Register(*mCommand);
    AddBlockSizeOption(*mCommand, mBlockSize);
    mCommand->add_option("--json", mJsonPath, "Also write the full report as JSON to this file");
    AddQuietFlag(*mCommand, mQuiet);
    AddJobsOption(*mCommand, mJobs);
    mCommand->add_option("--plot", mPlotPath,
                         "Draw one file's correlation, level and scopes as a PNG");
    mCommand->add_option("--report", mReportDir,
                         "Write pictures, index.html and report.json for all files to this folder");
}

int AnalyzeCommand::Run()
{
    RenderOptions options;
    options.blockSize = mBlockSize;
    options.showProgress = !mQuiet;
    options.params = ResolveParams(mParams);
    if (!mJsonPath.empty())
        RequireOutputs(mFiles, {{mJsonPath, FileKind::Json, "--json"}});
    if (mPlotPath.empty() && mReportDir.empty())
        return RunAnalyze(mFiles, options, mJsonPath, mJobs);
    const ReportOptions report{mPlotPath, mReportDir, mJsonPath};
    std::string error;
    if (!CheckReportOptions(mFiles, report, error))
        throw CommandError(kExitUsage, error);
    return RunAnalyzeReport(mFiles, options, report, mJobs);
}

int RunAnalyze(const std::vector<std::string>& files, const RenderOptions& options,
               const std::string& jsonPath, int jobs)
{
    std::vector<FileAnalysis> analyses(files.size());
    std::vector<RenderResult> results(files.size());
    int exitCode = 0;
    std::printf("%-40s %8s %8s %8s %9s\n", "file", "min", "mean", "final", "below 0");
    std::fflush(stdout);
    const auto work = [&](int i, const std::function<void(double)>& share)
    {
        results[i] = AnalyzeFile(files[i], ReportingShare(options, files[i], share), analyses[i]);
    };
    const auto deliver = [&](int i)
    {
        if (results[i].exitCode != 0)
        {
            PrintError(results[i].error);
            exitCode = results[i].exitCode;
            return;
        }
        const CorrelationReport& c = analyses[i].correlation;
        std::printf("%-40s %+8.3f %+8.3f %+8.3f %8.1f%%\n", files[i].c_str(), c.min, c.mean,
                    c.final, 100.0 * c.shareBelowZero);
        std::fflush(stdout);
    };
    BatchRunner(jobs, options.showProgress).Run(files, work, deliver);
    std::vector<FileAnalysis> analysed;
    for (size_t i = 0; i < files.size(); ++i)
        if (results[i].exitCode == 0)
            analysed.push_back(std::move(analyses[i]));
    if (!jsonPath.empty() && !analysed.empty())
    {
        std::string error;
        if (!WriteFileAtomically(jsonPath, AnalysisToJson(analysed), error))
            throw CommandError(kExitRuntime, error);
    }
    return exitCode;
}
} // namespace app
