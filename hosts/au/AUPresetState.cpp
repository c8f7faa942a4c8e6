#include "hosts/au/AUPresetState.h"

#include <climits>
#include <cmath>

namespace AUPresetState
{
namespace
{
// Each parameter value of the parameter chunk is a little-endian double.
constexpr CFIndex kBytesPerValue = 8;

struct KeyRule
{
    const char* key;
    CFTypeID (*type)();
    const char* expected;
};

// Every key a state holds, in the order the dictionary is made and checked.
const KeyRule kKeys[] = {
    {kVersionKey, CFNumberGetTypeID, "a number"}, {kTypeKey, CFNumberGetTypeID, "a number"},
    {kSubtypeKey, CFNumberGetTypeID, "a number"}, {kManufacturerKey, CFNumberGetTypeID, "a number"},
    {kNameKey, CFStringGetTypeID, "a string"},    {kDataKey, CFDataGetTypeID, "data"}};

CFStringRef MakeString(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text ? text : "", kCFStringEncodingUTF8);
}

CFTypeRef Lookup(CFDictionaryRef dict, const char* key)
{
    CFStringRef k = MakeString(key);
    CFTypeRef v = CFDictionaryGetValue(dict, k);
    CFRelease(k);
    return v;
}

// The value for key when it has the type wanted, else null.
CFTypeRef LookupTyped(CFDictionaryRef dict, const char* key, CFTypeID type)
{
    CFTypeRef v = Lookup(dict, key);
    return v && CFGetTypeID(v) == type ? v : nullptr;
}

void Put(CFMutableDictionaryRef dict, const char* key, CFTypeRef value)
{
    CFStringRef k = MakeString(key);
    CFDictionarySetValue(dict, k, value);
    CFRelease(value);
    CFRelease(k);
}

void PutNumber(CFMutableDictionaryRef dict, const char* key, SInt32 value)
{
    Put(dict, key, CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value));
}

// True when the number is a 32-bit value; *value gets what the conversion gives either way.
bool ToSInt32(CFTypeRef number, SInt32* value)
{
    return CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberSInt32Type, value);
}

Problem CheckKeys(CFDictionaryRef dict, Reading* r)
{
    for (const KeyRule& rule : kKeys)
    {
        CFTypeRef v = Lookup(dict, rule.key);
        if (!v || CFGetTypeID(v) != rule.type())
        {
            r->key = rule.key;
            r->expected = rule.expected;
            return v ? Problem::WrongType : Problem::MissingKey;
        }
    }
    r->name = static_cast<CFStringRef>(Lookup(dict, kNameKey));
    r->data = static_cast<CFDataRef>(Lookup(dict, kDataKey));
    r->dataBytes = CFDataGetLength(r->data);
    return Problem::None;
}

Problem CheckIdentity(CFDictionaryRef dict, const ComponentDescription& identity, Reading* r)
{
    // All three are read, so that a message can name what the state claims to be.
    bool fits = ToSInt32(Lookup(dict, kTypeKey), &r->type);
    fits = ToSInt32(Lookup(dict, kSubtypeKey), &r->subtype) && fits;
    fits = ToSInt32(Lookup(dict, kManufacturerKey), &r->manufacturer) && fits;
    const bool same = static_cast<OSType>(r->type) == identity.componentType &&
                      static_cast<OSType>(r->subtype) == identity.componentSubType &&
                      static_cast<OSType>(r->manufacturer) == identity.componentManufacturer;
    return fits && same ? Problem::None : Problem::OtherPlugin;
}

Problem CheckValues(const StateChunk& chunk, int nParams, Reading* r)
{
    r->neededBytes = kBytesPerValue * nParams;
    if (chunk.Size() < r->neededBytes)
        return Problem::ShortData;
    int pos = 0;
    for (int i = 0; i < nParams; ++i)
    {
        double v = 0.0;
        pos = chunk.GetDouble(&v, pos);
        if (!std::isfinite(v))
        {
            r->valueIndex = i;
            return Problem::NonFinite;
        }
    }
    return Problem::None;
}
} // namespace

CFMutableDictionaryRef Make(SInt32 version, const ComponentDescription& identity, const char* name,
                            const StateChunk* chunk)
{
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    PutNumber(dict, kVersionKey, version);
    PutNumber(dict, kTypeKey, static_cast<SInt32>(identity.componentType));
    PutNumber(dict, kSubtypeKey, static_cast<SInt32>(identity.componentSubType));
    PutNumber(dict, kManufacturerKey, static_cast<SInt32>(identity.componentManufacturer));
    Put(dict, kNameKey, MakeString(name));
    if (chunk)
        Put(dict, kDataKey, CFDataCreate(kCFAllocatorDefault, chunk->GetData(), chunk->Size()));
    return dict;
}

Problem Read(CFPropertyListRef plist, const ComponentDescription& identity, int nParams,
             Reading* reading, StateChunk* chunk)
{
    *reading = Reading();
    if (!plist || CFGetTypeID(plist) != CFDictionaryGetTypeID())
        return Problem::NotADictionary;
    const auto dict = static_cast<CFDictionaryRef>(plist);
    Problem p = CheckKeys(dict, reading);
    if (p == Problem::None)
        p = CheckIdentity(dict, identity, reading);
    if (p != Problem::None)
        return p;

    chunk->Clear();
    if (reading->dataBytes > INT32_MAX ||
        (reading->dataBytes > 0 && chunk->PutBytes(CFDataGetBytePtr(reading->data),
                                                   static_cast<int>(reading->dataBytes)) == 0))
        return Problem::DataTooLarge;
    if (nParams >= 0 && (p = CheckValues(*chunk, nParams, reading)) != Problem::None)
        return p;
    // The version is read but not compared: any 32-bit number will do.
    if (!ToSInt32(Lookup(dict, kVersionKey), &reading->version))
        return Problem::BadVersion;
    return Problem::None;
}

void CopyName(CFStringRef name, char (&buffer)[kNameSize])
{
    if (!CFStringGetCString(name, buffer, sizeof(buffer), kCFStringEncodingUTF8))
        buffer[0] = '\0';
}

void SetName(CFMutableDictionaryRef dict, const char* name)
{
    Put(dict, kNameKey, MakeString(name));
}

SInt32 GetVersion(CFDictionaryRef dict)
{
    SInt32 version = 0;
    if (CFTypeRef v = LookupTyped(dict, kVersionKey, CFNumberGetTypeID()))
        ToSInt32(v, &version);
    return version;
}

CFStringRef GetName(CFDictionaryRef dict)
{
    return static_cast<CFStringRef>(LookupTyped(dict, kNameKey, CFStringGetTypeID()));
}

CFDataRef GetData(CFDictionaryRef dict)
{
    return static_cast<CFDataRef>(LookupTyped(dict, kDataKey, CFDataGetTypeID()));
}
} // namespace AUPresetState
