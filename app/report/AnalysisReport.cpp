#include "app/report/AnalysisReport.h"

#include "app/files/AudioFile.h"
#include "app/commands/BatchRunner.h"
#include "app/files/AudioHeader.h"
#include "app/commands/CommandError.h"
#include "app/report/CorrelationPlot.h"
#include "app/files/PngFile.h"
#include "app/report/ReportCanvas.h"
#include "app/report/ReportPage.h"
#include "app/report/ScopeCapture.h"
#include "app/files/StagedFolder.h"
#include "app/files/TempFile.h"
#include "app/report/Utf8Text.h"
#include "editor/LICE_Bitmap.h"
#include "editor/PngCodec.h"
#include "engine/Parandel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sys/stat.h>

namespace app
{
namespace
{
constexpr double kStepSeconds = 0.1;
constexpr int kStepsPerSecond = 10;
constexpr double kLevelFloorDb = -120.0;
constexpr int kPictureGap = 4;
// The progress bar's part of a file for its analysis; the scopes' rendering takes the rest.
// A rough split: both render the file through the plug-in.
constexpr double kAnalysisShare = 0.5;

// The correlation series' step: 100 ms in whole samples, as the analysis counts it.
long long StepFrames(int sampleRate)
{
    return std::max(1LL, static_cast<long long>(kStepSeconds * sampleRate + 0.5));
}

PlotData PlotDataOf(const FileReport& r)
{
    const double rate = r.analysis.sampleRate;
    PlotData d;
    d.title = EscapeInvalidUtf8(r.file);
    d.durationSeconds = r.frames / rate;
    d.sampleRate = r.analysis.sampleRate;
    d.stepSeconds = r.stepSeconds;
    d.correlation = r.analysis.correlation.every100ms;
    d.midDb = r.midDb;
    d.sideDb = r.sideDb;
    d.min = r.analysis.correlation.min;
    d.mean = r.analysis.correlation.mean;
    d.final = r.analysis.correlation.final;
    d.shareBelowZero = r.analysis.correlation.shareBelowZero;
    d.loudestStart = r.loudest.start / rate;
    d.loudestEnd = r.loudest.end / rate;
    return d;
}

ReportRow RowOf(const FileReport& r, const std::string& plot, const std::string& scopes)
{
    ReportRow row;
    row.file = r.file;
    row.error = r.error;
    if (!r.error.empty())
        return row;
    const PlotData d = PlotDataOf(r);
    row.durationSeconds = d.durationSeconds;
    row.sampleRate = d.sampleRate;
    row.min = d.min;
    row.mean = d.mean;
    row.final = d.final;
    row.shareBelowZero = d.shareBelowZero;
    row.loudestStart = d.loudestStart;
    row.loudestEnd = d.loudestEnd;
    row.plotImage = plot;
    row.scopesImage = scopes;
    row.plotWidth = CorrelationPlot::kWidth;
    row.plotHeight = CorrelationPlot::kHeight;
    row.scopesWidth = r.scopesWidth;
    row.scopesHeight = r.scopesHeight;
    return row;
}

// "its default settings", or the parameters given, as the plug-in displays them.
std::string SettingsText(const ParamSettings& params)
{
    if (params.empty())
        return "its default settings";
    Parandel plug(Parandel::DefaultInstanceInfo());
    std::string text;
    for (const auto& [idx, value] : params)
    {
        const IParam* p = plug.Param(idx);
        if (!p)
            continue;
        char shown[64];
        p->FormatValue(p->Clamp(value), false, shown, true);
        text += (text.empty() ? "" : ", ") + std::string(p->GetName()) + " " + shown +
                (p->GetLabel()[0] ? std::string(" ") + p->GetLabel() : "");
    }
    return text;
}

// File names in the folder: the input's position (so that equal names stay apart) and its
// name, kept to characters that need no escaping in a link.
std::string PictureStem(const std::vector<std::string>& files, size_t index)
{
    const std::string& path = files[index];
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    for (char& c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'))
            c = '_';
    name = name.substr(0, 60);
    const int digits = std::max<int>(2, static_cast<int>(std::to_string(files.size()).size()));
    std::string number = std::to_string(index + 1);
    number.insert(0, digits - number.size(), '0');
    return number + "-" + name;
}

std::string PlotName(const std::vector<std::string>& files, size_t i)
{
    return PictureStem(files, i) + "-plot.png";
}

std::string ScopesName(const std::vector<std::string>& files, size_t i)
{
    return PictureStem(files, i) + "-scopes.png";
}

// The report's pictures side by side, as --plot writes them.
bool WritePlotPicture(const FileReport& r, const std::string& path, std::string& error)
{
    const int w = r.plot->getWidth() + kPictureGap + r.scopes->getWidth();
    const int h = std::max(r.plot->getHeight(), r.scopes->getHeight());
    ReportCanvas canvas(w, h, art::palette::kDeckBottom);
    canvas.DrawBitmap(*r.plot, 0, 0);
    canvas.DrawBitmap(*r.scopes, r.plot->getWidth() + kPictureGap, 0);
    if (!canvas.Ok())
    {
        error = "cannot draw '" + path + "': " + canvas.Problem();
        return false;
    }
    const std::unique_ptr<LICE_MemBitmap> picture = canvas.ToBitmap();
    if (!picture)
    {
        error = "cannot draw '" + path + "': out of memory";
        return false;
    }
    return WritePngFile(*picture, path, error);
}

void PrintRow(const FileReport& r)
{
    const CorrelationReport& c = r.analysis.correlation;
    std::printf("%-40s %+8.3f %+8.3f %+8.3f %8.1f%%\n", r.file.c_str(), c.min, c.mean, c.final,
                100.0 * c.shareBelowZero);
    std::fflush(stdout);
}
} // namespace

void ReportFile(const std::string& path, const RenderOptions& options, FileReport& report,
                const std::function<void(double)>& fileShare)
{
    report = FileReport{};
    report.file = path;
    long long frames = 0;
    int rate = 0;
    if (IsStream(path))
    {
        report.error = "'" + path +
                       "' is a stream; --plot and --report read a file twice, so "
                       "save it to a file first";
        return;
    }
    {
        AudioFileReader probe;
        if (!probe.Open(path))
        {
            report.error = probe.error();
            return;
        }
        frames = probe.Frames();
        rate = probe.SampleRate();
    }
    LevelTrack levels(StepFrames(rate));
    RenderOptions first = options;
    first.showProgress = false;
    first.onOwnOutput = [&](const float* left, const float* right, int n)
    {
        levels.Add(left, right, n);
        if (fileShare && frames > 0)
            fileShare(kAnalysisShare * levels.Frames() / frames);
    };
    const RenderResult result = AnalyzeFile(path, first, report.analysis);
    if (result.exitCode != 0)
    {
        report.error = result.error;
        return;
    }
    report.frames = result.frames;
    report.stepSeconds = static_cast<double>(levels.SliceFrames()) / rate;
    for (double rms : levels.MidRms())
        report.midDb.push_back(RmsToDb(rms, kLevelFloorDb));
    for (double rms : levels.SideRms())
        report.sideDb.push_back(RmsToDb(rms, kLevelFloorDb));
    report.loudest = levels.Loudest(kStepsPerSecond, result.frames);

    ScopeImages images;
    const auto captured = [&fileShare](double share)
    {
        if (fileShare)
            fileShare(kAnalysisShare + (1.0 - kAnalysisShare) * share);
    };
    if (!CaptureScopes(path, options, report.loudest.end, images, report.error, captured))
        return;
    report.scopes = ScopeGrid(images, report.error);
    if (report.scopes)
        report.plot = CorrelationPlot(static_cast<double>(result.frames) / rate)
                          .Draw(PlotDataOf(report), report.error);
    if (!report.scopes || !report.plot)
        return;
    report.scopesWidth = report.scopes->getWidth();
    report.scopesHeight = report.scopes->getHeight();
}

std::vector<size_t> WorstFirst(const std::vector<FileReport>& reports)
{
    std::vector<size_t> order(reports.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&reports](size_t a, size_t b)
                     {
                         const FileReport& x = reports[a];
                         const FileReport& y = reports[b];
                         if (x.error.empty() != y.error.empty())
                             return !x.error.empty();
                         if (!x.error.empty())
                             return false;
                         const CorrelationReport& cx = x.analysis.correlation;
                         const CorrelationReport& cy = y.analysis.correlation;
                         if (cx.shareBelowZero != cy.shareBelowZero)
                             return cx.shareBelowZero > cy.shareBelowZero;
                         return cx.min < cy.min;
                     });
    return order;
}

std::vector<OutputFile> ReportOutputs(const std::vector<std::string>& files,
                                      const ReportOptions& report)
{
    std::vector<OutputFile> outputs;
    if (!report.plotPath.empty())
        outputs.push_back({report.plotPath, FileKind::Png, "--plot"});
    if (!report.jsonPath.empty())
        outputs.push_back({report.jsonPath, FileKind::Json, "--json"});
    if (!report.reportDir.empty())
    {
        const std::string dir = report.reportDir + "/";
        outputs.push_back({dir + "index.html", FileKind::Unknown, "--report"});
        outputs.push_back({dir + "report.json", FileKind::Json, "--report"});
        for (size_t i = 0; i < files.size(); ++i)
        {
            outputs.push_back({dir + PlotName(files, i), FileKind::Png, "--report"});
            outputs.push_back({dir + ScopesName(files, i), FileKind::Png, "--report"});
        }
    }
    return outputs;
}

bool CheckReportOptions(const std::vector<std::string>& files, const ReportOptions& report,
                        std::string& error)
{
    if (!report.plotPath.empty() && files.size() != 1)
    {
        error = "--plot draws one file, but " + std::to_string(files.size()) +
                " were given; use --report DIR for several";
        return false;
    }
    struct stat st;
    if (!report.reportDir.empty() && stat(report.reportDir.c_str(), &st) == 0 &&
        !S_ISDIR(st.st_mode))
    {
        error =
            "--report '" + report.reportDir + "' exists and is not a folder; nothing was written";
        return false;
    }
    if (!report.reportDir.empty() && HoldsWorkingFolder(report.reportDir))
    {
        error = "--report '" + report.reportDir +
                "' is the working folder or holds it; the report replaces its folder as a "
                "whole, so give it a folder of its own";
        return false;
    }
    return CheckOutputs(files, ReportOutputs(files, report), error);
}

void PrepareReportFile(const std::vector<std::string>& files, size_t index,
                       const RenderOptions& options, const ReportOptions& report, FileReport& r,
                       const std::function<void(double)>& fileShare)
{
    ReportFile(files[index], options, r, fileShare);
    std::string error;
    if (r.error.empty() && !report.reportDir.empty() &&
        !(EncodePng(*r.plot, r.plotPng, error) && EncodePng(*r.scopes, r.scopesPng, error)))
        r.error = error;
    if (report.plotPath.empty() || index != 0)
    {
        r.plot.reset();
        r.scopes.reset();
    }
}

void WriteReportOutputs(const std::vector<std::string>& files, std::vector<FileReport>& reports,
                        const ParamSettings& params, const ReportOptions& report)
{
    std::vector<FileAnalysis> analysed;
    for (const FileReport& r : reports)
        if (r.error.empty())
            analysed.push_back(r.analysis);
    std::string error;
    if (!report.plotPath.empty() && reports[0].error.empty() &&
        !WritePlotPicture(reports[0], report.plotPath, error))
        throw CommandError(kExitRuntime, error);
    const std::string json = analysed.empty() ? "[]\n" : AnalysisToJson(analysed);
    if (!report.jsonPath.empty() && !analysed.empty() &&
        !WriteFileAtomically(report.jsonPath, json, error))
        throw CommandError(kExitRuntime, error);
    if (report.reportDir.empty())
        return;
    // The pictures in the order of the files, then the data and the page.
    FolderFiles folder;
    for (size_t i = 0; i < reports.size(); ++i)
        if (reports[i].error.empty())
        {
            folder.emplace_back(PlotName(files, i), std::move(reports[i].plotPng));
            folder.emplace_back(ScopesName(files, i), std::move(reports[i].scopesPng));
        }
    std::vector<ReportRow> rows;
    for (size_t i : WorstFirst(reports))
        rows.push_back(RowOf(reports[i], PlotName(files, i), ScopesName(files, i)));
    folder.emplace_back("report.json", json);
    folder.emplace_back("index.html", ReportPageHtml(rows, SettingsText(params)));
    if (!WriteFolderAtomically(report.reportDir, folder, error))
        throw CommandError(kExitRuntime, error);
}

int RunAnalyzeReport(const std::vector<std::string>& files, const RenderOptions& options,
                     const ReportOptions& report, int jobs)
{
    std::vector<FileReport> reports(files.size());
    int exitCode = 0;
    std::printf("%-40s %8s %8s %8s %9s\n", "file", "min", "mean", "final", "below 0");
    std::fflush(stdout);
    RenderOptions quiet = options;
    quiet.showProgress = false;
    const auto work = [&](int i, const std::function<void(double)>& share)
    { PrepareReportFile(files, i, quiet, report, reports[i], share); };
    const auto deliver = [&](int i)
    {
        if (!reports[i].error.empty())
        {
            PrintError(reports[i].error);
            exitCode = 1;
            return;
        }
        PrintRow(reports[i]);
    };
    BatchRunner(jobs, options.showProgress).Run(files, work, deliver);
    WriteReportOutputs(files, reports, options.params, report);
    return exitCode;
}
} // namespace app
