#include "app/AnalyzeCommand.h"

#include "app/OfflineRenderer.h"
#include "app/TempFile.h"
#include "engine/Parandel.h"
#include "metering/TWCorrelationComputer.h"
#include "metering/TWVectorscope.h"

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

// Render options with the vectorscope in one mode, computing without an editor.
RenderOptions ForMode(const RenderOptions& base, int mode)
{
    RenderOptions o = base;
    o.showProgress = false;
    o.trimLastBlock = true; // the report covers the file's own samples, not the padding
    o.params.emplace_back(Parandel::kVectorscopeMode0 + mode, 1.0);
    o.beforeStart = [](OfflineRenderer& r)
    { r.Plugin().GetVectorscope()->SetComputeWithoutGraphs(true); };
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
    analysis = FileAnalysis{};
    analysis.file = path;

    // Pass 1: polar samples, with the correlation meter sampled as the file plays.
    CorrelationReport& corr = analysis.correlation;
    double weightedSum = 0.0, belowZero = 0.0;
    long long counted = 0, nextReport = 0, reportStep = 0;
    double minimum = 1.0;
    RenderOptions polar = ForMode(options, TWVectorscope::kPolarSamplesMode);
    polar.showProgress = options.showProgress;
    polar.afterBlock = [&](OfflineRenderer& r, long long ownDone)
    {
        if (ownDone <= counted)
            return; // nothing of the file came out in this block
        const double c = r.Plugin().GetCorrelationComputer()->GetCorrelation();
        const long long n = ownDone - counted;
        counted = ownDone;
        weightedSum += c * n;
        if (c < 0)
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
        CopyPoints(*r.Plugin().GetVectorscope(), TWVectorscope::kPolarSamplesMode, 0,
                   analysis.polar);
    };
    RenderResult result = RenderFile(path, "", polar);
    if (result.exitCode != 0)
        return result;
    analysis.sampleRate = result.sampleRate;
    if (counted > 0)
    {
        corr.min = minimum;
        corr.mean = weightedSum / counted;
        corr.shareBelowZero = belowZero / counted;
    }

    // One more pass per mode that has points, each mode running over the whole file.
    struct Pass
    {
        int mode;
        PointSet* curve0;
        PointSet* curve1;
    };
    const Pass passes[] = {
        {TWVectorscope::kLissajousMode, &analysis.lissajous, nullptr},
        {TWVectorscope::kFlameMode, &analysis.flameCurrent, &analysis.flamePeak},
        {TWVectorscope::kSourceMode, &analysis.source, nullptr},
    };
    for (const Pass& pass : passes)
    {
        RenderOptions o = ForMode(options, pass.mode);
        o.onOwnOutput = nullptr; // the caller sees the output of the first pass only
        o.afterBlock = [&](OfflineRenderer& r, long long)
        {
            const TWVectorscope& scope = *r.Plugin().GetVectorscope();
            CopyPoints(scope, pass.mode, 0, *pass.curve0);
            if (pass.curve1)
                CopyPoints(scope, pass.mode, 1, *pass.curve1);
        };
        result = RenderFile(path, "", o);
        if (result.exitCode != 0)
            return result;
    }
    return result;
}

std::string AnalysisToJson(const std::vector<FileAnalysis>& analyses)
{
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const FileAnalysis& a : analyses)
    {
        nlohmann::ordered_json j;
        j["file"] = a.file;
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

int RunAnalyze(const std::vector<std::string>& files, const RenderOptions& options,
               const std::string& jsonPath)
{
    std::vector<FileAnalysis> analyses;
    int exitCode = 0;
    std::printf("%-40s %8s %8s %8s %9s\n", "file", "min", "mean", "final", "below 0");
    for (const std::string& f : files)
    {
        FileAnalysis a;
        const RenderResult r = AnalyzeFile(f, options, a);
        if (r.exitCode != 0)
        {
            std::fprintf(stderr, "parandel: error: %s\n", r.error.c_str());
            exitCode = r.exitCode;
            continue;
        }
        std::printf("%-40s %+8.3f %+8.3f %+8.3f %8.1f%%\n", f.c_str(), a.correlation.min,
                    a.correlation.mean, a.correlation.final, 100.0 * a.correlation.shareBelowZero);
        analyses.push_back(std::move(a));
    }
    if (!jsonPath.empty() && !analyses.empty())
    {
        std::string error;
        if (!WriteFileAtomically(jsonPath, AnalysisToJson(analyses), error))
        {
            std::fprintf(stderr, "parandel: error: %s\n", error.c_str());
            return 1;
        }
    }
    return exitCode;
}
} // namespace app
