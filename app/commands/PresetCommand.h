#pragma once
// `parandel preset save FILE` writes the state the parameter options set as a .aupreset file;
// `parandel preset show FILE` prints a preset's name and every parameter's value, display text
// and unit.

#include "app/commands/Command.h"
#include "app/commands/CommonOptions.h"

#include <string>

namespace app
{
class PresetCommand : public Command
{
public:
    void Register(CLI::App& cli) override;
    int Run() override;

private:
    CLI::App* mSave = nullptr;
    CLI::App* mShow = nullptr;
    std::string mSavePath, mName, mShowPath;
    bool mForce = false;
    ParamOptions mParams;
};

// A preset about to be written without --force (`preset save`, `gui --save-preset`, whose command
// line names it as role): a usage error when path exists, is not empty and holds anything but a
// preset of this plug-in (plain text, another program's property list, a damaged preset).
void RequireReplaceablePreset(const std::string& path, const std::string& role);
// `preset save`: the state after the parameter settings, named name (the file's base name when
// empty). A CommandError when it cannot be written.
void RunPresetSave(const std::string& path, const std::string& name, const ParamSettings& params);
// `preset show`: a CommandError when the file is not a preset of this plug-in.
void RunPresetShow(const std::string& path);
} // namespace app
