#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

#include "app/files/PresetFile.h"
#include "engine/Parandel.h"

#include <string>

namespace fuzz
{
namespace
{
// Whatever was read can be written in both formats, and what is written can be read back.
void WriteBothFormats(CFPropertyListRef plist)
{
    for (CFPropertyListFormat format :
         {kCFPropertyListXMLFormat_v1_0, kCFPropertyListBinaryFormat_v1_0})
    {
        CFDataRef written =
            CFPropertyListCreateData(kCFAllocatorDefault, plist, format, 0, nullptr);
        if (!written)
            continue;
        CFPropertyListRef back =
            CFPropertyListCreateWithData(kCFAllocatorDefault, written, 0, nullptr, nullptr);
        if (back)
            CFRelease(back);
        CFRelease(written);
    }
}

// Any dictionary goes to the unit as a state: taken whole or refused without a change.
void RestoreAsState(CFPropertyListRef plist)
{
    static FuzzUnit unit;
    Parandel& plug = unit.Plugin();
    const std::vector<double> before = ParamValues(plug);
    const OSStatus status = AudioUnitSetProperty(unit.Unit(), kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &plist, sizeof(plist));
    if (status != noErr)
        RequireSameValues(before, ParamValues(plug), "a refused state changes nothing");
    RequireParamsInRange(plug, "restored values are finite and within range");
}
} // namespace

int FuzzPropertyList(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CFDataRef cfData = CFDataCreate(kCFAllocatorDefault, data, static_cast<CFIndex>(size));
    CFErrorRef cfError = nullptr;
    CFPropertyListRef plist =
        CFPropertyListCreateWithData(kCFAllocatorDefault, cfData, 0, nullptr, &cfError);
    CFRelease(cfData);
    FuzzRequire((plist == nullptr) == (cfError != nullptr), "a refusal comes with its reason");
    if (cfError)
        CFRelease(cfError);
    if (plist)
    {
        WriteBothFormats(plist);
        if (CFGetTypeID(plist) == CFDictionaryGetTypeID())
            RestoreAsState(plist);
        CFRelease(plist);
    }

    // As a preset file.
    CFPropertyListRef preset = nullptr;
    std::string error;
    const bool accepted = app::PresetFile::Parse(bytes, "fuzz.aupreset", &preset, error);
    FuzzRequire(accepted == (preset != nullptr), "an accepted preset is handed over");
    FuzzRequire(accepted || (!error.empty() && error.find('\n') == std::string::npos),
                "a refused preset gets a one-line reason");
    if (preset)
        CFRelease(preset);
    return 0;
}
} // namespace fuzz
