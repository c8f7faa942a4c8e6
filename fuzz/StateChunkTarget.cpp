#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzTargets.h"

#include "engine/Parandel.h"
#include "framework/StateChunk.h"

#include <string>

namespace fuzz
{
namespace
{
constexpr uint32_t kMaxStartPosition = 24;
constexpr size_t kMaxChunkBytes = 1024;

CFStringRef Key(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

// The unit's own class-info dictionary with its "data" replaced by bytes.
CFMutableDictionaryRef StateWithData(AudioUnit unit, const std::string& bytes)
{
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof(state);
    FuzzRequire(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                     &state, &size) == noErr &&
                    state,
                "the unit gives its state");
    auto* dict = static_cast<CFMutableDictionaryRef>(const_cast<void*>(state));
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                                  static_cast<CFIndex>(bytes.size()));
    CFStringRef key = Key("data");
    CFDictionarySetValue(dict, key, data);
    CFRelease(key);
    CFRelease(data);
    return dict;
}
} // namespace

int FuzzStateChunk(const uint8_t* data, size_t size)
{
    // One unit for the whole run; every input starts from the defaults.
    static FuzzUnit unit;
    Parandel& plug = unit.Plugin();
    static const StateChunk defaults = []
    {
        StateChunk c;
        unit.Plugin().SerializeState(c);
        return c;
    }();

    FuzzInput in(data, size);
    const int start = static_cast<int>(in.Below(kMaxStartPosition));
    const std::string bytes = in.Bytes(kMaxChunkBytes);
    StateChunk chunk;
    chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));

    // Through the base.
    plug.UnserializeState(defaults, 0);
    std::vector<double> before = ParamValues(plug);
    const bool valid = plug.IsValidParamsChunk(chunk, start);
    const int pos = plug.UnserializeState(chunk, start);
    FuzzRequire((pos >= 0) == valid, "the chunk check and the restore agree");
    if (pos < 0)
        RequireSameValues(before, ParamValues(plug), "a refused chunk changes nothing");
    else
        FuzzRequire(pos == start + 8 * plug.ParamCount(), "a restore reads one double per value");
    RequireParamsInRange(plug, "restored values are finite and within range");

    // Through the class-info property, as a host restores a project.
    plug.UnserializeState(defaults, 0);
    before = ParamValues(plug);
    CFMutableDictionaryRef state = StateWithData(unit.Unit(), bytes);
    CFPropertyListRef ref = state;
    const OSStatus status = AudioUnitSetProperty(unit.Unit(), kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &ref, sizeof(ref));
    CFRelease(state);
    FuzzRequire((status == noErr) == plug.IsValidParamsChunk(chunk, 0),
                "the unit takes exactly the valid states");
    if (status != noErr)
        RequireSameValues(before, ParamValues(plug), "a refused state changes nothing");
    RequireParamsInRange(plug, "restored values are finite and within range");
    return 0;
}
} // namespace fuzz
