#pragma once
// Presets as .aupreset files: the unit's class-info dictionary ("version", "type", "subtype",
// "manufacturer", "name", "data") stored as an XML property list, read and written through the
// Audio Unit class-info property like a host does.

#include "app/render/FileRenderer.h"
#include "hosts/au/AUPlatform.h"

#include <string>

namespace app
{
class OfflineRenderer;

class PresetFile
{
public:
    // Any rate and block size will do for a unit that only reads and writes state.
    static constexpr double kStateSampleRate = 44100.0;
    static constexpr int kStateBlockSize = 512;
    static constexpr int kStateInputChannels = 2;

    // Reads and checks a preset: a property list holding a dictionary with every key, this
    // plug-in's identity and a complete state, which the unit accepts. On success *classInfo
    // owns the dictionary (release it); otherwise false with a one-line message naming the
    // problem.
    static bool Load(const std::string& path, CFPropertyListRef* classInfo, std::string& error);
    // The same checks on a preset file's bytes; path only names the file in messages.
    static bool Parse(const std::string& bytes, const std::string& path,
                      CFPropertyListRef* classInfo, std::string& error);
    // Writes the dictionary as an XML property list beside path and renames it into place, so
    // that a failed write leaves any existing file as it was.
    static bool Save(const std::string& path, CFPropertyListRef classInfo, std::string& error);
    // Saves the unit's current state as a preset named name (the file's base name when empty).
    static bool SaveUnitState(OfflineRenderer& unit, const std::string& path,
                              const std::string& name, std::string& error);
};

} // namespace app
