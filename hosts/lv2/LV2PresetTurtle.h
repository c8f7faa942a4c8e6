#pragma once
// An LV2 preset bundle for a saved parameter chunk: the port values hosts show and the chunk
// itself as the state property the plug-in restores (base64, read back as an atom:Chunk).

#include "hosts/lv2/LV2PortMap.h"

#include <cstdint>
#include <string>
#include <vector>

std::string LV2PresetManifest(const std::string& presetUri, const std::string& pluginUri,
                              const std::string& ttlName);
// plug holds the preset's values already; chunk is what its state save would store.
std::string LV2PresetTurtle(const IPlugBase& plug, const LV2PortMap& ports,
                            const std::string& presetUri, const std::string& label,
                            const std::vector<uint8_t>& chunk);
std::string Base64(const std::vector<uint8_t>& bytes);

// A readable file-name and URI-fragment form of a preset name, different for different names:
// letters (Unicode ones too) and digits lower-cased, every run of anything else one dash, at
// most 64 bytes; and unless that gives back the name itself, a dash and eight hex digits of a
// hash of the exact name ("Wide Mix" gives "wide-mix-" and the hash, "wide" gives "wide").
std::string LV2PresetSlug(const std::string& name);
