#pragma once
// The bundle's Turtle, written from the port maps (and through them the parameter model) at
// build time: manifest.ttl naming the plug-ins, their UI and the binary, and the plug-in file
// describing every port.

#include "hosts/lv2/LV2PortMap.h"

#include <string>

class IPlugBase;

struct LV2BundleNames
{
    std::string binary;    // the shared object holding plug-ins and UI
    std::string pluginTtl; // the file written by LV2PluginTurtle
    std::string uiUri;
};

std::string LV2ManifestTurtle(const IPlugLV2Description& description, const LV2BundleNames& names);
// stereo and mono are the two configurations' port maps of the same plug-in.
std::string LV2PluginTurtle(const IPlugBase& plug, const LV2PortMap& stereo, const LV2PortMap& mono,
                            const LV2BundleNames& names);
