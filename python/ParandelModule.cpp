// The Python module `parandel` (its compiled part, parandel._parandel): the plug-in over numpy
// arrays, and the per-file steps of the report that parandel.report maps over a cluster. The
// arguments are checked here, before any work, into ValueError and TypeError; the work itself
// runs with the GIL released.

#include "app/report/AnalysisReport.h"
#include "app/files/AudioFile.h"
#include "app/commands/CommonOptions.h"
#include "app/commands/ParamOptions.h"
#include "app/commands/Version.h"
#include "engine/Parandel.h"
#include "python/ArrayRenderer.h"
#include "python/ReportTransfer.h"
#include "python/StreamingPlugin.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>

namespace py = pybind11;
using namespace py::literals;

namespace pyparandel
{
namespace
{
constexpr double kMaxRate = 768000;

// A view of a numpy array of samples: (frames,) for mono or (frames, channels) with 1 or 2
// channels, float32 or float64, any order or strides. The array must outlive the view.
SampleArray ViewOf(const py::object& audio, const char* what)
{
    if (!py::isinstance<py::array>(audio))
        throw py::type_error(std::string(what) + " must be a numpy array, not " +
                             std::string(py::str(audio.get_type().attr("__name__"))));
    const py::array a = py::reinterpret_borrow<py::array>(audio);
    SampleArray v;
    if (a.dtype().is(py::dtype::of<double>()))
        v.isDouble = true;
    else if (!a.dtype().is(py::dtype::of<float>()))
        throw py::type_error(std::string(what) + " must hold float32 or float64 samples, not " +
                             std::string(py::str(a.dtype())));
    if (a.ndim() == 1 || (a.ndim() == 2 && (a.shape(1) == 1 || a.shape(1) == 2)))
    {
        v.data = static_cast<char*>(const_cast<void*>(a.data()));
        v.frames = a.shape(0);
        v.channels = a.ndim() == 1 ? 1 : static_cast<int>(a.shape(1));
        v.frameStride = a.strides(0);
        v.channelStride = a.ndim() == 1 ? 0 : a.strides(1);
        return v;
    }
    std::string shape;
    for (py::ssize_t d = 0; d < a.ndim(); ++d)
        shape += (d ? ", " : "") + std::to_string(a.shape(d));
    throw py::value_error(std::string(what) +
                          " must be shaped (frames,) or (frames, channels) with 1 or 2 "
                          "channels, not (" +
                          shape + ")");
}

// A new C-ordered frames × 2 array of the input's type, and the view to fill it through.
py::array StereoLike(const SampleArray& in, long long frames, SampleArray& view)
{
    py::array out = in.isDouble ? py::array(py::dtype::of<double>(), {frames, 2LL})
                                : py::array(py::dtype::of<float>(), {frames, 2LL});
    view.data = static_cast<char*>(out.mutable_data());
    view.frames = frames;
    view.channels = 2;
    view.isDouble = in.isDouble;
    view.channelStride = in.isDouble ? sizeof(double) : sizeof(float);
    view.frameStride = 2 * view.channelStride;
    return out;
}

int CheckRate(double rate)
{
    if (!std::isfinite(rate) || rate != std::floor(rate) || rate < 1 || rate > kMaxRate)
        throw py::value_error("rate must be a whole number of Hz from 1 to 768000, not " +
                              std::string(py::str(py::float_(rate))));
    return static_cast<int>(rate);
}

int CheckBlockSize(long long blockSize, const char* what)
{
    if (blockSize < 1 || blockSize > app::kMaxBlockSize)
        throw py::value_error(std::string(what) + " must be from 1 to " +
                              std::to_string(app::kMaxBlockSize) + ", not " +
                              std::to_string(blockSize));
    return static_cast<int>(blockSize);
}

void Add(app::ParamSettings& settings, const std::string& name, double value)
{
    const int idx = ParamIndexOf(name);
    std::string error;
    if (idx < 0)
        throw py::value_error("unknown parameter '" + name + "'");
    if (!app::CheckParamValue(idx, value, name, error))
        throw py::value_error(error);
    settings.emplace_back(idx, value);
}

app::RenderOptions Options(double width, double pan, double bassFocus, double outGain,
                           bool monoOut, bool monoToStereo, long long blockSize)
{
    app::RenderOptions o;
    o.blockSize = CheckBlockSize(blockSize, "block_size");
    Add(o.params, "width", width);
    Add(o.params, "pan", pan);
    Add(o.params, "bass_focus", bassFocus);
    Add(o.params, "out_gain", outGain);
    Add(o.params, "mono_out", monoOut ? 1.0 : 0.0);
    Add(o.params, "mono_to_stereo", monoToStereo ? 1.0 : 0.0);
    return o;
}

py::array Process(const py::object& audio, double rate, double width, double pan,
                  double bassFocus, double outGain, bool monoOut, bool monoToStereo,
                  long long blockSize)
{
    const SampleArray in = ViewOf(audio, "audio");
    const int r = CheckRate(rate);
    const app::RenderOptions options =
        Options(width, pan, bassFocus, outGain, monoOut, monoToStereo, blockSize);
    SampleArray outView;
    py::array out = StereoLike(in, in.frames, outView);
    app::RenderResult result;
    {
        py::gil_scoped_release release;
        result = RenderArray(in, r, options, outView);
    }
    if (result.exitCode != 0)
        throw std::runtime_error(result.error);
    return out;
}

py::object Analyze(const py::object& audio, double rate, double width, double pan,
                   double bassFocus, double outGain, bool monoOut, bool monoToStereo,
                   long long blockSize, const std::string& file)
{
    const SampleArray in = ViewOf(audio, "audio");
    const int r = CheckRate(rate);
    const app::RenderOptions options =
        Options(width, pan, bassFocus, outGain, monoOut, monoToStereo, blockSize);
    app::FileAnalysis analysis;
    app::RenderResult result;
    {
        py::gil_scoped_release release;
        result = app::AnalyzeRender(in.frames, options, analysis,
                                    [&](const app::RenderOptions& pass)
                                    { return RenderArray(in, r, pass, SampleArray{}); });
    }
    if (result.exitCode != 0)
        throw std::runtime_error(result.error);
    analysis.file = file;
    return py::module_::import("json").attr("loads")(AnalysisJson(analysis));
}

py::array PluginProcess(StreamingPlugin& plugin, const py::object& block)
{
    const SampleArray in = ViewOf(block, "block");
    if (in.channels != plugin.Channels())
        throw py::value_error("block has " + std::to_string(in.channels) +
                              " channels; this Plugin takes " +
                              std::to_string(plugin.Channels()));
    if (in.frames > plugin.MaxBlock())
        throw py::value_error("block has " + std::to_string(in.frames) +
                              " frames; this Plugin takes at most " +
                              std::to_string(plugin.MaxBlock()));
    SampleArray outView;
    py::array out = StereoLike(in, in.frames, outView);
    py::gil_scoped_release release;
    plugin.Process(in, outView);
    return out;
}

// The report's settings as the command line gives them: (name, value) pairs in its order.
app::ParamSettings ReportSettings(const std::vector<std::pair<std::string, double>>& settings)
{
    app::ParamSettings params;
    for (const auto& [name, value] : settings)
        Add(params, name, value);
    return params;
}

py::dict ReportFile(const std::string& path,
                    const std::vector<std::pair<std::string, double>>& settings,
                    long long blockSize)
{
    app::RenderOptions options;
    options.blockSize = CheckBlockSize(blockSize, "block_size");
    options.params = ReportSettings(settings);
    app::ReportOptions report;
    report.reportDir = "."; // only marks that the pictures are wanted encoded
    app::FileReport r;
    {
        py::gil_scoped_release release;
        app::PrepareReportFile({path}, 0, options, report, r);
    }
    py::dict d("file"_a = r.file, "error"_a = r.error, "frames"_a = r.frames,
               "loudest"_a = py::make_tuple(r.loudest.start, r.loudest.end),
               "scopes_size"_a = py::make_tuple(r.scopesWidth, r.scopesHeight),
               "plot_png"_a = py::bytes(r.plotPng), "scopes_png"_a = py::bytes(r.scopesPng));
    d["analysis"] = r.error.empty() ? AnalysisJson(r.analysis) : std::string();
    return d;
}

app::ReportOptions FolderReport(const std::string& outDir)
{
    app::ReportOptions report;
    report.reportDir = outDir;
    return report;
}

void CheckReport(const std::vector<std::string>& files, const std::string& outDir,
                 const std::vector<std::pair<std::string, double>>& settings)
{
    ReportSettings(settings);
    std::string error;
    if (!app::CheckReportOptions(files, FolderReport(outDir), error))
        throw py::value_error(error);
}

void WriteReport(const std::vector<std::string>& files, const py::list& results,
                 const std::string& outDir,
                 const std::vector<std::pair<std::string, double>>& settings)
{
    if (results.size() != files.size())
        throw py::value_error("one result per file is needed");
    std::vector<app::FileReport> reports(files.size());
    for (size_t i = 0; i < files.size(); ++i)
    {
        const py::dict d = results[i].cast<py::dict>();
        app::FileReport& r = reports[i];
        r.file = files[i];
        r.error = d["error"].cast<std::string>();
        if (!r.error.empty())
            continue;
        r.analysis = AnalysisFromJson(d["analysis"].cast<std::string>());
        r.frames = d["frames"].cast<long long>();
        const auto loudest = d["loudest"].cast<std::pair<long long, long long>>();
        r.loudest.start = loudest.first;
        r.loudest.end = loudest.second;
        const auto size = d["scopes_size"].cast<std::pair<int, int>>();
        r.scopesWidth = size.first;
        r.scopesHeight = size.second;
        r.plotPng = d["plot_png"].cast<std::string>();
        r.scopesPng = d["scopes_png"].cast<std::string>();
    }
    const app::ParamSettings params = ReportSettings(settings);
    py::gil_scoped_release release;
    app::WriteReportOutputs(files, reports, params, FolderReport(outDir));
}

bool IsAudioName(const std::string& path)
{
    return app::ContainerForPath(path) != 0;
}
} // namespace
} // namespace pyparandel

PYBIND11_MODULE(_parandel, m)
{
    using namespace pyparandel;
    m.doc() = "TW Parandel: stereo width, pan, bass focus and metering over numpy arrays";
    m.attr("__version__") = app::kVersionText;
    const char* processDoc =
        "The plug-in over a whole signal, as `parandel process` renders a file holding the same "
        "samples (in single precision): audio is (frames,) or (frames, 1|2), float32 or float64; "
        "returns a (frames, 2) array of the same type.";
    m.def("process", &Process, processDoc, "audio"_a, "rate"_a, py::kw_only(), "width"_a = 0.0,
          "pan"_a = 0.0, "bass_focus"_a = 100.0, "out_gain"_a = 0.0, "mono_out"_a = false,
          "mono_to_stereo"_a = false, "block_size"_a = app::kDefaultBlockSize);
    m.def("analyze", &Analyze,
          "The analysis of `parandel analyze --json` over a signal, as a dict (one entry of the "
          "JSON, its 'file' the given name).",
          "audio"_a, "rate"_a, py::kw_only(), "width"_a = 0.0, "pan"_a = 0.0,
          "bass_focus"_a = 100.0, "out_gain"_a = 0.0, "mono_out"_a = false,
          "mono_to_stereo"_a = false, "block_size"_a = app::kDefaultBlockSize, "file"_a = "");

    py::class_<StreamingPlugin>(m, "Plugin",
                                "One plug-in fed block by block, as a host streams audio.")
        .def(py::init(
                 [](double rate, long long maxBlock, int channels)
                 {
                     if (channels != 1 && channels != 2)
                         throw py::value_error("channels must be 1 or 2");
                     return std::make_unique<StreamingPlugin>(
                         CheckRate(rate), CheckBlockSize(maxBlock, "max_block"), channels);
                 }),
             "rate"_a, "max_block"_a = app::kDefaultBlockSize, py::kw_only(), "channels"_a = 2)
        .def("set", &StreamingPlugin::Set, "name"_a, "value"_a,
             "Sets a parameter (width, pan, bass_focus, out_gain, mono_out, mono_to_stereo, or a "
             "plug-in parameter name); it glides there as in a host.")
        .def("process", &PluginProcess, "block"_a,
             "One block of at most max_block frames; returns its (frames, 2) output.")
        .def("reset", &StreamingPlugin::Reset, py::call_guard<py::gil_scoped_release>(),
             "Clears the plug-in's memories, as a transport restart does.")
        .def_property_readonly("correlation", &StreamingPlugin::Correlation,
                               "The correlation meter's value, -1 … 1.")
        .def_property_readonly("width_meter", &StreamingPlugin::WidthMeter,
                               "The width meter's reading, 0 … 1.")
        .def_property_readonly("rate", &StreamingPlugin::Rate)
        .def_property_readonly("max_block", &StreamingPlugin::MaxBlock)
        .def_property_readonly("channels", &StreamingPlugin::Channels);

    m.def("_report_file", &ReportFile, "path"_a, "settings"_a, "block_size"_a);
    m.def("_check_report", &CheckReport, "files"_a, "out_dir"_a, "settings"_a);
    m.def("_write_report", &WriteReport, "files"_a, "results"_a, "out_dir"_a, "settings"_a);
    m.def("_is_audio_name", &IsAudioName, "path"_a);
}
