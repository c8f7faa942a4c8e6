#pragma once
// The plug-in's LV2 identity: its URIs, the parameters hosts do not see as controls, the meters
// served as output ports and the vectorscope modes as one enumerated port. The description needs
// no LV2 adapter, so tools built with the Audio Unit adapter (the preset converter) share it.

#include "hosts/lv2/LV2PortMap.h"

const IPlugLV2Description& ParandelLV2Description();
// The UI's URI and the bundle's file names.
constexpr const char* kParandelLV2UiUri = "http://tarnwel.com/plugins/tw-parandel#ui";
constexpr const char* kParandelLV2Binary = "parandel.so";
constexpr const char* kParandelLV2Ttl = "parandel.ttl";
