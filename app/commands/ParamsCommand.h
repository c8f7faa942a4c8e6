#pragma once
// `parandel params`: a table of the plug-in's parameters: index, name, kind, range, default,
// step, unit and whether it is a meta parameter.

#include "app/commands/Command.h"

namespace app
{
class ParamsCommand : public Command
{
public:
    void Register(CLI::App& cli) override;
    int Run() override;
};
} // namespace app
