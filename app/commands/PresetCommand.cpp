#include "app/commands/PresetCommand.h"

#include "app/commands/CommandError.h"
#include "app/render/OfflineRenderer.h"
#include "app/files/PresetFile.h"
#include "framework/Utf8.h"
#include "hosts/au/AUPresetState.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <sys/stat.h>

namespace app
{
namespace
{
std::string StringOf(CFTypeRef s)
{
    const char* text = CFStringGetCStringPtr(static_cast<CFStringRef>(s), kCFStringEncodingUTF8);
    return text ? text : "";
}

// Text from a file as it can be shown on a terminal: control characters (C0, DEL and C1, which
// begin escape sequences), the bidirectional overrides and bytes that are not UTF-8 as escapes,
// and the backslash and quote that would make those ambiguous.
std::string PrintableText(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();)
    {
        uint32_t cp = 0;
        const size_t n = Utf8Sequence(text.data() + i, text.size() - i, &cp);
        char escape[16] = "";
        if (n == 0)
            std::snprintf(escape, sizeof(escape), "\\x%02X", static_cast<uint8_t>(text[i]));
        else if (cp == '\\' || cp == '"')
            std::snprintf(escape, sizeof(escape), "\\%c", static_cast<char>(cp));
        else if (cp == '\n' || cp == '\t' || cp == '\r')
            std::snprintf(escape, sizeof(escape), "\\%c",
                          cp == '\n'   ? 'n'
                          : cp == '\t' ? 't'
                                       : 'r');
        else if (cp < 0x20 || cp == 0x7F)
            std::snprintf(escape, sizeof(escape), "\\x%02X", cp);
        else if ((cp >= 0x80 && cp < 0xA0) || (cp >= 0x202A && cp <= 0x202E) ||
                 (cp >= 0x2066 && cp <= 0x2069))
            std::snprintf(escape, sizeof(escape), "\\u%04X", cp);
        if (escape[0])
            out += escape;
        else
            out.append(text, i, n);
        i += n ? n : 1;
    }
    return out;
}

std::string VersionText(SInt32 v)
{
    return std::to_string((v >> 16) & 0xFFFF) + "." + std::to_string((v >> 8) & 0xFF) + "." +
           std::to_string(v & 0xFF);
}

// A unit for reading and writing state.
class StateUnit : public OfflineRenderer
{
public:
    StateUnit()
        : OfflineRenderer(PresetFile::kStateSampleRate, PresetFile::kStateInputChannels,
                          PresetFile::kStateBlockSize)
    {
    }
};

// The parameter's name and unit as the unit describes it; "-" for none.
void DescribeParameter(StateUnit& unit, AudioUnitParameterID id, std::string& name,
                       std::string& unitName)
{
    name = "-";
    unitName = "-";
    AudioUnitParameterInfo info;
    UInt32 infoSize = sizeof(info);
    if (AudioUnitGetProperty(unit.Unit(), kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global,
                             id, &info, &infoSize) != noErr)
        return;
    if (info.name[0])
        name = info.name;
    if (info.unit == kAudioUnitParameterUnit_CustomUnit && info.unitName)
        unitName = StringOf(info.unitName);
    if (info.unitName)
        CFRelease(info.unitName);
    if (info.cfNameString)
        CFRelease(info.cfNameString);
}

// The value as the unit displays it; empty when it gives no text.
std::string DisplayText(StateUnit& unit, AudioUnitParameterID id, AudioUnitParameterValue value)
{
    AudioUnitParameterStringFromValue text{id, &value, nullptr};
    UInt32 textSize = sizeof(text);
    std::string display;
    if (AudioUnitGetProperty(unit.Unit(), kAudioUnitProperty_ParameterStringFromValue,
                             kAudioUnitScope_Global, 0, &text, &textSize) == noErr &&
        text.outString)
    {
        display = StringOf(text.outString);
        CFRelease(text.outString);
    }
    return display;
}

void PrintParameters(StateUnit& unit)
{
    std::printf("%-5s %-18s %-12s %-10s %s\n", "index", "name", "value", "display", "unit");
    UInt32 size = 0;
    AudioUnitGetPropertyInfo(unit.Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global,
                             0, &size, nullptr);
    const int count = static_cast<int>(size / sizeof(AudioUnitParameterID));
    for (int i = 0; i < count; ++i)
    {
        const auto id = static_cast<AudioUnitParameterID>(i);
        AudioUnitParameterValue value = 0.0f;
        AudioUnitGetParameter(unit.Unit(), id, kAudioUnitScope_Global, 0, &value);
        std::string paramName, unitName;
        DescribeParameter(unit, id, paramName, unitName);
        const std::string display = DisplayText(unit, id, value);
        char valueText[32];
        std::snprintf(valueText, sizeof(valueText), "%g", static_cast<double>(value));
        std::printf("%-5d %-18s %-12s %-10s %s\n", i, paramName.c_str(), valueText, display.c_str(),
                    unitName.c_str());
    }
}
} // namespace

void PresetCommand::Register(CLI::App& cli)
{
    mCommand = cli.add_subcommand("preset", "Save or show .aupreset preset files");
    mCommand->require_subcommand(1);
    mSave = mCommand->add_subcommand("save", "Save the state set by the parameter options");
    mSave->add_option("FILE", mSavePath, "Preset file to write (.aupreset)")->required();
    mSave->add_option("--name", mName, "Preset name (default: the file's base name)");
    mSave->add_flag("--force", mForce,
                    "Replace FILE even when it holds something other than a TW Parandel preset");
    mParams.Register(*mSave);
    mShow = mCommand->add_subcommand("show", "Print a preset's name and parameter values");
    mShow->add_option("FILE", mShowPath, "Preset file to read (.aupreset)")->required();
}

int PresetCommand::Run()
{
    if (mShow->parsed())
    {
        RunPresetShow(mShowPath);
        return 0;
    }
    const ParamSettings settings = ResolveParams(mParams);
    RequireOutputs({}, {{mSavePath, FileKind::PropertyList, "FILE"}});
    if (!mForce)
        RequireReplaceablePreset(mSavePath, "FILE");
    RunPresetSave(mSavePath, mName, settings);
    return 0;
}

void RequireReplaceablePreset(const std::string& path, const std::string& role)
{
    // A missing or empty file holds nothing to lose.
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || st.st_size == 0)
        return;
    CFPropertyListRef preset = nullptr;
    std::string error;
    if (PresetFile::Load(path, &preset, error))
    {
        CFRelease(preset);
        return;
    }
    throw CommandError(kExitUsage, role + " is not replaced, as it is no TW Parandel preset (" +
                                       error + "); --force replaces it");
}

void RunPresetSave(const std::string& path, const std::string& name, const ParamSettings& params)
{
    StateUnit unit;
    if (unit.Status() != noErr)
        throw CommandError(kExitRuntime, "cannot open TW Parandel (status " +
                                             std::to_string(unit.Status()) + ")");
    for (const auto& p : params)
        unit.SetParameter(p.first, p.second);
    std::string error;
    if (!PresetFile::SaveUnitState(unit, path, name, error))
        throw CommandError(kExitRuntime, error);
}

void RunPresetShow(const std::string& path)
{
    CFPropertyListRef preset = nullptr;
    std::string error;
    if (!PresetFile::Load(path, &preset, error))
        throw CommandError(kExitRuntime, error);
    const auto dict = static_cast<CFDictionaryRef>(preset);
    const SInt32 version = AUPresetState::GetVersion(dict);
    const std::string name = StringOf(AUPresetState::GetName(dict));

    StateUnit unit;
    const OSStatus status = unit.RestoreState(preset);
    CFRelease(preset);
    if (status != noErr)
        throw CommandError(kExitRuntime, "TW Parandel does not accept the state in '" + path + "'");

    std::printf("preset \"%s\" (TW Parandel %s)\n", PrintableText(name).c_str(),
                VersionText(version).c_str());
    PrintParameters(unit);
}
} // namespace app
