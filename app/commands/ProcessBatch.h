#pragma once
// parandel process IN... --out-dir DIR: each input rendered into DIR/<its file name> (same name,
// so the same format), on worker threads of their own (BatchRunner), each file with a plug-in of
// its own as a single `process` would render it. The checks come first and cover every file: no
// output may be an input or another output, or an existing file of another kind; then each
// output is written atomically, a file that fails is reported on its own line (in input order)
// and the others are still written.

#include "app/render/FileRenderer.h"

#include <string>
#include <vector>

namespace app
{
// The output of input under outDir.
std::string OutputInFolder(const std::string& outDir, const std::string& input);

// Runs the batch; 0, or 1 when a file failed. A CommandError (usage) for a failed check, before
// anything is written. presetPath, when not empty, is restored before the options' parameters.
int RunProcessBatch(const std::vector<std::string>& inputs, const std::string& outDir,
                    const RenderOptions& options, const std::string& presetPath, int jobs);
} // namespace app
