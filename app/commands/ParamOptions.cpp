#include "app/commands/ParamOptions.h"

#include "engine/Parandel.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace app
{
namespace
{
// One plug-in instance to read parameter names and ranges from.
const Parandel& Reference()
{
    static const std::unique_ptr<Parandel> plug(new Parandel(Parandel::DefaultInstanceInfo()));
    return *plug;
}

std::string FormatNumber(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%g", v);
    return buf;
}
} // namespace

bool CheckParamValue(int idx, double value, const std::string& what, std::string& error)
{
    const IParam* p = Reference().Param(idx);
    if (!std::isfinite(value) || value < p->GetMin() || value > p->GetMax())
    {
        error = what + " " + FormatNumber(value) + " is outside " + p->GetName() + "'s range " +
                FormatNumber(p->GetMin()) + " … " + FormatNumber(p->GetMax()) +
                (p->GetLabel()[0] ? std::string(" ") + p->GetLabel() : std::string());
        return false;
    }
    if (p->Type() != IParam::ParamType::Double && value != std::floor(value))
    {
        error =
            what + " " + FormatNumber(value) + ": " + p->GetName() + " takes whole numbers only";
        return false;
    }
    return true;
}

bool IsMeter(int idx)
{
    return idx == Parandel::kWidthMeter || idx == Parandel::kCorrelationMeter;
}

namespace
{
// A parameter given twice (--width and --set Width, or two --set of it) is a conflict.
bool RefuseRepeats(const ParamSettings& settings, std::string& error)
{
    for (size_t i = 0; i < settings.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (settings[i].first == settings[j].first)
            {
                error = ParamName(settings[i].first) +
                        " is given more than once; give each parameter once";
                return false;
            }
    return true;
}
} // namespace

bool ParseNumber(const std::string& text, double& value)
{
    // [sign] digits [. digits] [e [sign] digits], with digits on at least one side of the point.
    size_t i = 0;
    const auto digits = [&text, &i]
    {
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t mantissa = digits();
    if (i < text.size() && text[i] == '.')
    {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E'))
    {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    if (i != text.size())
        return false;
    value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(value);
}

void RequireNumberText(CLI::Option& option, bool wholeNumber)
{
    // A transform runs before every check and may give the range check the whole number.
    option.transform(CLI::Validator(
        [wholeNumber](std::string& text) -> std::string
        {
            double value = 0;
            const bool number = ParseNumber(text, value);
            if (number && !wholeNumber)
                return "";
            if (number && value == std::floor(value) && std::fabs(value) < 1e15)
            {
                text = std::to_string(static_cast<long long>(value)); // as the option reads it
                return "";
            }
            return "'" + text + "' is not " + (wholeNumber ? "a whole number" : "a number");
        },
        ""));
}

int FindParamByName(const std::string& name)
{
    const Parandel& plug = Reference();
    for (int i = 0; i < plug.ParamCount(); ++i)
        if (plug.Param(i)->GetName()[0] && name == plug.Param(i)->GetName())
            return i;
    return -1;
}

std::string ParamName(int idx)
{
    const IParam* p = Reference().Param(idx);
    return p ? p->GetName() : "";
}

std::string ParamNameList()
{
    const Parandel& plug = Reference();
    std::string s;
    for (int i = 0; i < plug.ParamCount(); ++i)
    {
        if (!plug.Param(i)->GetName()[0])
            continue;
        if (!s.empty())
            s += ", ";
        s += plug.Param(i)->GetName();
    }
    return s;
}

void ParamOptions::Register(CLI::App& command)
{
    mWidthOpt = command.add_option("--width", mWidth, "Stereo width in % (-100 mono … 100)");
    mPanOpt = command.add_option("--pan", mPan, "Pan in % (-100 left … 100 right)");
    command.add_flag("--mono-to-stereo", mMonoToStereo, "Synthesise stereo from the mono sum");
    mBassFocusOpt = command.add_option("--bass-focus", mBassFocus,
                                       "Bass focus in Hz (mono below it; 20 or less: off)");
    mOutGainOpt = command.add_option("--out-gain", mOutGain, "Output gain in dB (-12 … 12)");
    for (CLI::Option* o : {mWidthOpt, mPanOpt, mBassFocusOpt, mOutGainOpt})
        RequireNumberText(*o, false);
    command.add_flag("--mono-out", mMonoOut, "Fold the output to mono");
    // One value per --set, so that the words after it stay the command's own arguments.
    command.add_option("--set", mSets, "Any parameter by name, NAME=VALUE (repeatable)")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
}

bool ParamOptions::Resolve(ParamSettings& settings, std::string& error) const
{
    struct Named
    {
        CLI::Option* opt;
        int idx;
        double value;
        const char* flag;
    };
    const Named named[] = {{mWidthOpt, Parandel::kWidth, mWidth, "--width"},
                           {mPanOpt, Parandel::kPan, mPan, "--pan"},
                           {mBassFocusOpt, Parandel::kBassFocus, mBassFocus, "--bass-focus"},
                           {mOutGainOpt, Parandel::kOutGain, mOutGain, "--out-gain"}};
    for (const Named& n : named)
    {
        if (!n.opt || n.opt->count() == 0)
            continue;
        if (!CheckParamValue(n.idx, n.value, n.flag, error))
            return false;
        settings.emplace_back(n.idx, n.value);
    }
    if (mMonoToStereo)
        settings.emplace_back(Parandel::kMonoToStereo, 1.0);
    if (mMonoOut)
        settings.emplace_back(Parandel::kMonoOut, 1.0);

    for (const std::string& s : mSets)
    {
        const size_t eq = s.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == s.size())
        {
            error = "--set expects NAME=VALUE, got '" + s + "'";
            return false;
        }
        const std::string name = s.substr(0, eq);
        const std::string text = s.substr(eq + 1);
        const int idx = FindParamByName(name);
        if (idx < 0)
        {
            error = "unknown parameter '" + name + "'; parameters: " + ParamNameList();
            return false;
        }
        if (IsMeter(idx))
        {
            error =
                "--set " + name + ": " + name + " is a meter the plug-in sets; it cannot be set";
            return false;
        }
        double value = 0;
        if (!ParseNumber(text, value))
        {
            error = "--set " + name + ": '" + text + "' is not a number";
            return false;
        }
        if (!CheckParamValue(idx, value, "--set " + name, error))
            return false;
        settings.emplace_back(idx, value);
    }
    return RefuseRepeats(settings, error);
}

} // namespace app
