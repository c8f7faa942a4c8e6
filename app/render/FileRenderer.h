#pragma once
// Renders an audio file through the plug-in as a host bounces it: whole blocks only (the last one
// padded with silence), the output trimmed to the input's length, and the plug-in's reported
// latency compensated (its first output samples dropped, as much silence fed after the input),
// so the output always lines up with the input.

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace app
{
class OfflineRenderer;

// (parameter index, real value) pairs applied before the plug-in is initialised.
using ParamSettings = std::vector<std::pair<int, double>>;

struct RenderOptions
{
    int blockSize = 512;
    ParamSettings params;
    bool showProgress = false;
    // Called once the plug-in exists, before it is initialised.
    std::function<void(OfflineRenderer&)> beforeStart;
    // Called after every block with the renderer and the count of the file's own samples that
    // have come out of the plug-in so far (its latency and the padding past the end of the file
    // not counted), for analysis of the running plug-in.
    std::function<void(OfflineRenderer&, long long ownDone)> afterBlock;
    // Render the last block only as far as the output of the file's last sample, instead of a
    // whole block padded with silence, so that what afterBlock measures holds no padding.
    bool trimLastBlock = false;
    // Called after every block with the file's own output samples of that block (neither the
    // leading samples of the plug-in's latency nor the padding past the end), as written.
    std::function<void(const float* left, const float* right, int n)> onOwnOutput;
    // Called once after the last block, before the output is committed; returning false (with
    // a one-line reason) fails the render and removes the output.
    std::function<bool(OfflineRenderer&, std::string& error)> afterRender;
    // False when nothing reads the correlation meter: the plug-in then does not compute it.
    bool readCorrelation = true;
    // False when nothing looks at the vectorscope: the plug-in then does not feed it.
    bool readScope = true;
    // Print the clipping warning when the render ends; a batch prints it in its own order.
    bool warnOfClipping = true;
};

struct RenderResult
{
    // 0 on success, 1 for a runtime failure (unreadable, truncated or damaged file, write error).
    int exitCode = 0;
    std::string error;
    long long frames = 0;
    int sampleRate = 0;
    int inputChannels = 0;
    int latency = 0;
    // Output samples limited to full scale because the output's encoding could not hold them.
    long long clippedSamples = 0;
};

// The warning on stderr that clipped samples of outPath were limited to full scale.
void WarnOfClipping(const std::string& outPath, long long clippedSamples);

// Renders inPath into outPath (stereo, same rate). With an empty outPath the output is
// discarded (analysis runs). An input that ends before the frame count its header gives is a
// read error: nothing is written. An input whose header gives no length (a stream written to a
// pipe) is read to its end; frames of the result is then the count it held. Clipped output samples
// are reported on stderr.
RenderResult RenderFile(const std::string& inPath, const std::string& outPath,
                        const RenderOptions& options);
} // namespace app
