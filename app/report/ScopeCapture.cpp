#include "app/report/ScopeCapture.h"

#include "app/files/AudioFile.h"
#include "app/render/OfflineRenderer.h"
#include "app/report/ReportCanvas.h"
#include "editor/LICE_Bitmap.h"
#include "engine/Parandel.h"
#include "graph/GraphControl10.h"
#include "metering/TWVectorscope.h"

#include <algorithm>
#include <vector>

namespace app
{
namespace
{
constexpr int kGridGap = 4;

std::unique_ptr<LICE_MemBitmap> Copy(const LICE_IBitmap& from)
{
    auto to = std::make_unique<LICE_MemBitmap>(from.getWidth(), from.getHeight());
    if (to->getWidth() != from.getWidth() || to->getHeight() != from.getHeight())
        return nullptr;
    for (int y = 0; y < from.getHeight(); ++y)
        std::copy_n(from.PixelAt(0, y), from.getWidth(), to->PixelAt(0, y));
    return to;
}

// One plug-in per mode, set up as the analysis sets up its own.
bool StartRenderers(const AudioFileReader& reader, const RenderOptions& options,
                    std::vector<std::unique_ptr<OfflineRenderer>>& renderers, std::string& error)
{
    for (int mode : kReportScopeModes)
    {
        auto r = std::make_unique<OfflineRenderer>(reader.SampleRate(), reader.Channels(),
                                                   options.blockSize);
        if (r->Status() != noErr)
        {
            error = "the plug-in refused the set-up (status " + std::to_string(r->Status()) + ")";
            return false;
        }
        if (options.beforeStart)
            options.beforeStart(*r);
        for (const auto& [idx, value] : options.params)
            r->SetParameter(idx, value);
        r->SetParameter(Parandel::kVectorscopeMode0 + mode, 1.0);
        // The scope works as for a viewer from the first block on.
        r->Plugin().GetVectorscope()->SetComputeWithoutGraphs(true);
        r->Start();
        renderers.push_back(std::move(r));
    }
    return true;
}
} // namespace

bool CaptureScopes(const std::string& path, const RenderOptions& options, long long endFrame,
                   ScopeImages& images, std::string& error,
                   const std::function<void(double)>& share)
{
    AudioFileReader reader;
    if (!reader.Open(path))
    {
        error = reader.error();
        return false;
    }
    const int nIn = reader.Channels();
    if (nIn < 1 || nIn > 2)
    {
        error = "'" + path + "' has " + std::to_string(nIn) + " channels";
        return false;
    }
    std::vector<std::unique_ptr<OfflineRenderer>> renderers;
    if (!StartRenderers(reader, options, renderers, error))
        return false;

    // The output of input sample k comes out `latency` samples later.
    const int bs = options.blockSize;
    const long long last = reader.Frames() < 0 ? endFrame : std::min(endFrame, reader.Frames());
    const long long toRender = last + renderers[0]->Latency();
    std::vector<float> interleaved(static_cast<size_t>(bs) * nIn);
    std::vector<float> in[2] = {std::vector<float>(bs), std::vector<float>(bs)};
    std::vector<float> out[2] = {std::vector<float>(bs), std::vector<float>(bs)};
    float* inPtr[2] = {in[0].data(), in[1].data()};
    float* outPtr[2] = {out[0].data(), out[1].data()};
    bool inputDone = false;
    for (long long rendered = 0; rendered < toRender;)
    {
        const int n = static_cast<int>(std::min<long long>(bs, toRender - rendered));
        const long long got = inputDone ? 0 : reader.Read(interleaved.data(), n);
        if (got < n && rendered + got < last)
        {
            error = "'" + path + "' ends early; the file is truncated or damaged";
            return false;
        }
        inputDone = got < n;
        for (int c = 0; c < nIn; ++c)
            for (int k = 0; k < n; ++k)
                in[c][k] = k < got ? interleaved[static_cast<size_t>(k) * nIn + c] : 0.0f;
        for (auto& r : renderers)
            r->Process(inPtr, outPtr, n);
        rendered += n;
        if (share)
            share(static_cast<double>(rendered) / toRender);
    }

    for (size_t i = 0; i < renderers.size(); ++i)
    {
        GraphControl10* graph = renderers[i]->Plugin().GetVectorscopeGraph(kReportScopeModes[i]);
        const LICE_IBitmap* frame = nullptr;
        if (graph)
        {
            graph->SetNeedsRender(true);
            frame = graph->RenderGL(true);
        }
        images.modes[i] = frame ? Copy(*frame) : nullptr;
        if (!images.modes[i])
        {
            error = "cannot draw the vectorscope (are the bundle resources installed?)";
            return false;
        }
    }
    return true;
}

std::unique_ptr<LICE_MemBitmap> ScopeGrid(const ScopeImages& images, std::string& error)
{
    for (const auto& image : images.modes)
        if (!image)
        {
            error = "cannot draw the scopes: a mode has no picture";
            return nullptr;
        }
    const int w = images.modes[0]->getWidth();
    const int h = images.modes[0]->getHeight();
    ReportCanvas canvas(2 * w + kGridGap, 2 * h + kGridGap, art::palette::kDeckBottom);
    if (!canvas.Ok())
    {
        error = "cannot draw the scopes: " + canvas.Problem();
        return nullptr;
    }
    for (int i = 0; i < 4; ++i)
        canvas.DrawBitmap(*images.modes[i], (i % 2) * (w + kGridGap), (i / 2) * (h + kGridGap));
    return canvas.ToBitmap();
}
} // namespace app
