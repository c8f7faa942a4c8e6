#include "app/commands/ParamsCommand.h"

#include "engine/Parandel.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

namespace app
{
namespace
{
const char* KindName(IParam::ParamType t)
{
    switch (t)
    {
    case IParam::ParamType::Bool:
        return "bool";
    case IParam::ParamType::Int:
        return "int";
    case IParam::ParamType::Enum:
        return "enum";
    case IParam::ParamType::Double:
        return "real";
    default:
        return "none";
    }
}
} // namespace

void ParamsCommand::Register(CLI::App& cli)
{
    mCommand = cli.add_subcommand("params", "List the plug-in's parameters");
}

int ParamsCommand::Run()
{
    Parandel plug(Parandel::DefaultInstanceInfo());
    std::printf("%-5s %-18s %-5s %-18s %-8s %-6s %-4s %s\n", "index", "name", "kind", "range",
                "default", "step", "unit", "meta");
    for (int i = 0; i < plug.ParamCount(); ++i)
    {
        const IParam* p = plug.Param(i);
        char range[64], def[32], step[32];
        p->FormatValue(p->GetMin(), false, range, sizeof(range), false);
        std::string r = range;
        p->FormatValue(p->GetMax(), false, range, sizeof(range), false);
        r += " .. ";
        r += range;
        p->FormatValue(p->GetDefault(), false, def, sizeof(def), false);
        std::snprintf(step, sizeof(step), "%g", p->GetStep());
        std::printf("%-5d %-18s %-5s %-20s %-8s %-6s %-4s %s\n", i,
                    p->GetName()[0] ? p->GetName() : "-", KindName(p->Type()), r.c_str(), def, step,
                    p->GetLabel()[0] ? p->GetLabel() : "-", p->isMeta ? "yes" : "no");
    }
    return 0;
}
} // namespace app
