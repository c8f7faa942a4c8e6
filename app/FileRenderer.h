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
    // Called after every block with the renderer and the count of input samples rendered so far
    // (the block's padding past the end of the file not counted), for analysis of the running
    // plug-in.
    std::function<void(OfflineRenderer&, long long inputDone)> afterBlock;
    // Called once after the last block, before the output is committed; returning false (with
    // a one-line reason) fails the render and removes the output.
    std::function<bool(OfflineRenderer&, std::string& error)> afterRender;
};

struct RenderResult
{
    // 0 on success, 1 for a runtime failure (unreadable file, write error), 130 when interrupted.
    int exitCode = 0;
    std::string error;
    long long frames = 0;
    int sampleRate = 0;
    int inputChannels = 0;
    int latency = 0;
};

// Renders inPath into outPath (stereo, same rate). With an empty outPath the output is
// discarded (analysis runs).
RenderResult RenderFile(const std::string& inPath, const std::string& outPath,
                        const RenderOptions& options);

// Installs SIGINT/SIGTERM handlers that make a running render stop and clean up.
void InstallInterruptHandlers();
} // namespace app
