#pragma once
// The state dictionary ("class info") an Audio Unit hands its host and takes back, which is also
// what an .aupreset file holds: its keys, how it is made, and the checks a dictionary passes
// before a unit's state is replaced by it. The adapter's class-info property and the command
// line's preset files both go through here, so that the two agree on what a state is.
//
// Keys: "version", "type", "subtype", "manufacturer" (32-bit numbers), "name" (a string) and
// "data" (the plug-in's state chunk), made in that order.

#include "framework/StateChunk.h"
#include "hosts/au/AUPlatform.h"

namespace AUPresetState
{
constexpr const char* kVersionKey = "version";
constexpr const char* kTypeKey = "type";
constexpr const char* kSubtypeKey = "subtype";
constexpr const char* kManufacturerKey = "manufacturer";
constexpr const char* kNameKey = "name";
constexpr const char* kDataKey = "data";
// The buffer a state's name is read into, terminator included.
constexpr int kNameSize = 64;

// What is wrong with a dictionary. Read reports the first problem in this order.
enum class Problem
{
    None,
    NotADictionary,
    MissingKey,   // Reading::key names the key
    WrongType,    // Reading::key names the key, Reading::expected what it should hold
    OtherPlugin,  // type, subtype or manufacturer is not the unit's, or no 32-bit number
    DataTooLarge, // "data" does not fit a state chunk
    ShortData,    // "data" has fewer bytes than the parameter values take
    NonFinite,    // Reading::valueIndex is NaN or an infinity
    BadVersion    // "version" is no 32-bit number
};

// What Read found; the references are borrowed from the dictionary.
struct Reading
{
    const char* key = nullptr;      // the key of a missing or wrongly typed value
    const char* expected = nullptr; // "a number", "a string" or "data"
    SInt32 version = 0;
    // The identity as read; a number that is no 32-bit value leaves what the conversion gave.
    SInt32 type = 0;
    SInt32 subtype = 0;
    SInt32 manufacturer = 0;
    CFStringRef name = nullptr;
    CFDataRef data = nullptr;
    CFIndex dataBytes = 0;   // bytes of "data"
    CFIndex neededBytes = 0; // bytes the parameter values take
    int valueIndex = -1;     // the first value that is not a finite number
};

// A new dictionary: version, the component's type, subtype and manufacturer, name, and the
// chunk's bytes as "data" when chunk is not null. The caller releases it.
CFMutableDictionaryRef Make(SInt32 version, const ComponentDescription& identity, const char* name,
                            const StateChunk* chunk);

// Checks plist against the component's identity and, unless nParams is negative (a plug-in
// with a chunk of its own making), that "data" begins with nParams finite parameter values of
// the parameter chunk. chunk receives the bytes of "data" once they are found.
Problem Read(CFPropertyListRef plist, const ComponentDescription& identity, int nParams,
             Reading* reading, StateChunk* chunk);

// The name copied into buffer; a name that does not fit gives "".
void CopyName(CFStringRef name, char (&buffer)[kNameSize]);

// Replaces the dictionary's name.
void SetName(CFMutableDictionaryRef dict, const char* name);

// The values of a dictionary that passed Read.
SInt32 GetVersion(CFDictionaryRef dict);
CFStringRef GetName(CFDictionaryRef dict);
CFDataRef GetData(CFDictionaryRef dict);
} // namespace AUPresetState
