#include "hosts/au/IPlugAU.h"

#include "hosts/au/AUPresetState.h"
#include "hosts/au/IPlugAUHelpers.h"

#include <cstdio>

using namespace IPlugAUHelpers;

namespace
{
// ---- Factory preset records: reference counted, each reference holding one on the name ----
struct SharedPreset
{
    AUPreset preset;
    int refCount;
};

const void* PresetRetain(CFAllocatorRef, const void* value)
{
    auto* p = static_cast<SharedPreset*>(const_cast<void*>(value));
    ++p->refCount;
    CFRetain(p->preset.presetName);
    return value;
}

void PresetRelease(CFAllocatorRef, const void* value)
{
    auto* p = static_cast<SharedPreset*>(const_cast<void*>(value));
    CFRelease(p->preset.presetName);
    if (--p->refCount == 0)
        delete p;
}

Boolean PresetEqual(const void* a, const void* b)
{
    const auto* x = static_cast<const SharedPreset*>(a);
    const auto* y = static_cast<const SharedPreset*>(b);
    return x->preset.presetNumber == y->preset.presetNumber &&
           CFStringCompare(x->preset.presetName, y->preset.presetName, 0) == kCFCompareEqualTo;
}

CFStringRef PresetDescription(const void* value)
{
    const auto* p = static_cast<const SharedPreset*>(value);
    const char* name = CFStringGetCStringPtr(p->preset.presetName, kCFStringEncodingUTF8);
    char text[IPreset::kNameSize + 64];
    std::snprintf(text, sizeof(text), "AUPreset:\npreset number = %d\npreset name = %s",
                  static_cast<int>(p->preset.presetNumber), name ? name : "");
    return MakeCFString(text);
}

const CFArrayCallBacks kPresetArrayCallBacks = {0, PresetRetain, PresetRelease, PresetDescription,
                                                PresetEqual};
} // namespace

// ---- State dictionary ----

ComponentResult IPlugAU::GetState(CFPropertyListRef* plist)
{
    ComponentDescription cd;
    const OSErr err =
        GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
    if (err != noErr)
        return err;
    StateChunk chunk;
    const bool haveData = SerializeState(chunk);
    *plist = AUPresetState::Make(GetEffectVersion(false), cd, PresetName(GetCurrentPresetIdx()),
                                 haveData ? &chunk : nullptr);
    return noErr;
}

ComponentResult IPlugAU::SetState(CFPropertyListRef plist)
{
    ComponentDescription cd;
    const OSErr err =
        GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
    if (err != noErr)
        return err;

    // Everything is checked before anything changes, the named preset included, so that a state
    // without usable data leaves the plug-in as it was. Without state chunks of its own the
    // plug-in's state is one finite value per parameter.
    AUPresetState::Reading state;
    StateChunk chunk;
    if (AUPresetState::Read(plist, cd, DoesStateChunks() ? -1 : ParamCount(), &state, &chunk) !=
        AUPresetState::Problem::None)
        return kAudioUnitErr_InvalidPropertyValue;

    // A name that does not fit the field matches no preset.
    char presetName[AUPresetState::kNameSize];
    AUPresetState::CopyName(state.name, presetName);
    RestorePresetByName(presetName);

    const int pos = UnserializeState(chunk, 0);
    if (pos <= 0)
        return kAudioUnitErr_InvalidPropertyValue;
    RedrawParamControls();
    return noErr;
}

// ---- Factory presets ----

CFArrayRef IPlugAU::MakeFactoryPresets()
{
    CFMutableArrayRef presets =
        CFArrayCreateMutable(kCFAllocatorDefault, NPresets(), &kPresetArrayCallBacks);
    if (!presets)
        return nullptr;
    for (int i = 0; i < NPresets(); ++i)
    {
        auto* record = new SharedPreset();
        record->preset.presetNumber = i;
        record->preset.presetName = MakeCFString(PresetName(i));
        record->refCount = 1;
        CFArrayAppendValue(presets, record);
        PresetRelease(kCFAllocatorDefault, record); // the array now holds the only reference
    }
    return presets;
}
