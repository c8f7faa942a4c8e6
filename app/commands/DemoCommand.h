#pragma once
// `parandel demo [DIR]`: writes the built-in test mix, processes it with Width +50 % and
// BassFocus 120 Hz, prints both files' levels and correlation, and draws the editor as it looks
// after the mix played through the same settings.

#include "app/commands/Command.h"

#include <string>

namespace app
{
class DemoCommand : public Command
{
public:
    void Register(CLI::App& cli) override;
    int Run() override;

private:
    std::string mDir = "out";
    bool mQuiet = false;
};
} // namespace app
