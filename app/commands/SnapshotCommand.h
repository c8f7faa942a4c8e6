#pragma once
// `parandel snapshot`: the whole editor as a user would see it, after running audio through the
// plug-in with the transport running, so the meters and the scope show real values.

#include "app/commands/Command.h"
#include "app/commands/CommonOptions.h"
#include "app/render/FileRenderer.h"

#include <string>

namespace app
{
struct SnapshotOptions
{
    std::string outPath;
    // Empty: the built-in demo mix.
    std::string inPath;
    ParamSettings params;
    // −1: the mode the parameters select.
    int scopeMode = -1;
    // Audio is run up to this time; below 0, the whole input.
    double atSeconds = -1.0;
    int blockSize = kDefaultBlockSize;
    // The display scale the editor is drawn at (the nearest the editor supports).
    double scale = 1.0;
};

class SnapshotCommand : public Command
{
public:
    void Register(CLI::App& cli) override;
    int Run() override;

private:
    SnapshotOptions mOptions;
    ParamOptions mParams;
    std::string mScopeMode;
};

// Writes the picture; a CommandError when it cannot.
void RunSnapshot(const SnapshotOptions& options);
} // namespace app
