#pragma once
// The parameter options shared by the commands that run the plug-in: --width, --pan,
// --mono-to-stereo, --bass-focus, --out-gain, --mono-out and --set NAME=VALUE.

#include "app/render/FileRenderer.h"

#include <string>
#include <vector>

namespace CLI
{
class App;
class Option;
} // namespace CLI

namespace app
{
class ParamOptions
{
public:
    void Register(CLI::App& command);
    // Turns the given options into parameter settings, checking names and ranges. False with a
    // one-line message when a name is unknown or a value is outside its parameter's range.
    bool Resolve(ParamSettings& settings, std::string& error) const;

private:
    double mWidth = 0, mPan = 0, mBassFocus = 0, mOutGain = 0;
    bool mMonoToStereo = false, mMonoOut = false;
    std::vector<std::string> mSets;
    CLI::Option* mWidthOpt = nullptr;
    CLI::Option* mPanOpt = nullptr;
    CLI::Option* mBassFocusOpt = nullptr;
    CLI::Option* mOutGainOpt = nullptr;
};

// A finite decimal number with an optional sign, point and exponent ("-1.5e3"), the one grammar
// of every number on the command line: no spaces, hexadecimal, infinities or NaN. False for any
// other text.
bool ParseNumber(const std::string& text, double& value);

// Makes an option refuse a text that is not a number (or not a whole number) with a message
// saying so, before any range check sees it.
void RequireNumberText(CLI::Option& option, bool wholeNumber);

// False with a one-line message ("<what> <value> is outside …") when value is not finite, outside
// the parameter's range, or not whole for a parameter of whole numbers.
bool CheckParamValue(int idx, double value, const std::string& what, std::string& error);
// Index of the parameter with that exact name, or −1.
int FindParamByName(const std::string& name);
// The meters: values the plug-in reports, not settings.
bool IsMeter(int idx);
// Name of the parameter at idx; empty for an unnamed index or one outside the list.
std::string ParamName(int idx);
// "Width, MonoToStereo, …": every declared parameter name.
std::string ParamNameList();
} // namespace app
