#include "framework/au/IPlugAU.h"

#include "framework/au/IPlugAUHelpers.h"

#include <climits>
#include <cstdio>

using namespace IPlugAUHelpers;

namespace
{
constexpr int kStateNameSize = 64; // "name" of the state dictionary, terminator included

// State dictionary keys.
constexpr const char* kStateVersionKey = "version";
constexpr const char* kStateTypeKey = "type";
constexpr const char* kStateSubtypeKey = "subtype";
constexpr const char* kStateManufacturerKey = "manufacturer";
constexpr const char* kStateNameKey = "name";
constexpr const char* kStateDataKey = "data";

void PutNumber(CFMutableDictionaryRef dict, const char* key, SInt32 value)
{
    CFStringRef k = MakeCFString(key);
    CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    CFDictionarySetValue(dict, k, n);
    CFRelease(n);
    CFRelease(k);
}

void PutString(CFMutableDictionaryRef dict, const char* key, const char* value)
{
    CFStringRef k = MakeCFString(key);
    CFStringRef s = MakeCFString(value);
    CFDictionarySetValue(dict, k, s);
    CFRelease(s);
    CFRelease(k);
}

void PutData(CFMutableDictionaryRef dict, const char* key, const UInt8* bytes, CFIndex n)
{
    CFStringRef k = MakeCFString(key);
    CFDataRef d = CFDataCreate(kCFAllocatorDefault, bytes, n);
    CFDictionarySetValue(dict, k, d);
    CFRelease(d);
    CFRelease(k);
}

// The dictionary's value for key when it is of the type wanted, else null.
CFTypeRef GetTyped(CFDictionaryRef dict, const char* key, CFTypeID type)
{
    CFStringRef k = MakeCFString(key);
    CFTypeRef v = CFDictionaryGetValue(dict, k);
    CFRelease(k);
    return v && CFGetTypeID(v) == type ? v : nullptr;
}

bool GetNumber(CFDictionaryRef dict, const char* key, SInt32* value)
{
    CFTypeRef n = GetTyped(dict, key, CFNumberGetTypeID());
    return n && CFNumberGetValue(static_cast<CFNumberRef>(n), kCFNumberSInt32Type, value);
}

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

    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    PutNumber(dict, kStateVersionKey, GetEffectVersion(false));
    PutNumber(dict, kStateTypeKey, static_cast<SInt32>(cd.componentType));
    PutNumber(dict, kStateSubtypeKey, static_cast<SInt32>(cd.componentSubType));
    PutNumber(dict, kStateManufacturerKey, static_cast<SInt32>(cd.componentManufacturer));
    PutString(dict, kStateNameKey, PresetName(GetCurrentPresetIdx()));
    StateChunk chunk;
    if (SerializeState(chunk))
        PutData(dict, kStateDataKey, chunk.GetData(), chunk.Size());
    *plist = dict;
    return noErr;
}

ComponentResult IPlugAU::SetState(CFPropertyListRef plist)
{
    ComponentDescription cd;
    const OSErr err =
        GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
    if (err != noErr)
        return err;
    if (!plist || CFGetTypeID(plist) != CFDictionaryGetTypeID())
        return kAudioUnitErr_InvalidPropertyValue;
    CFDictionaryRef dict = static_cast<CFDictionaryRef>(plist);

    SInt32 version = 0, type = 0, subtype = 0, mfr = 0;
    CFTypeRef name = GetTyped(dict, kStateNameKey, CFStringGetTypeID());
    if (!GetNumber(dict, kStateVersionKey, &version) || !GetNumber(dict, kStateTypeKey, &type) ||
        !GetNumber(dict, kStateSubtypeKey, &subtype) ||
        !GetNumber(dict, kStateManufacturerKey, &mfr) || !name ||
        static_cast<OSType>(type) != cd.componentType ||
        static_cast<OSType>(subtype) != cd.componentSubType ||
        static_cast<OSType>(mfr) != cd.componentManufacturer)
        return kAudioUnitErr_InvalidPropertyValue;

    // The data is checked before anything changes, the named preset included, so that a state
    // without usable data leaves the plug-in as it was. Without state chunks the state is one
    // finite value per parameter.
    CFTypeRef data = GetTyped(dict, kStateDataKey, CFDataGetTypeID());
    if (!data)
        return kAudioUnitErr_InvalidPropertyValue;
    const CFIndex nBytes = CFDataGetLength(static_cast<CFDataRef>(data));
    StateChunk chunk;
    if (nBytes > INT32_MAX ||
        (nBytes > 0 && chunk.PutBytes(CFDataGetBytePtr(static_cast<CFDataRef>(data)),
                                      static_cast<int>(nBytes)) == 0))
        return kAudioUnitErr_InvalidPropertyValue;
    if (!DoesStateChunks() && !IsValidParamsChunk(chunk, 0))
        return kAudioUnitErr_InvalidPropertyValue;

    // A name that does not fit the field matches no preset.
    char presetName[kStateNameSize];
    if (!CFStringGetCString(static_cast<CFStringRef>(name), presetName, sizeof(presetName),
                            kCFStringEncodingUTF8))
        presetName[0] = '\0';
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
