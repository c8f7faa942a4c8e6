#pragma once
// The factory presets the LV2 bundle ships: named sets of parameter values over the defaults,
// written into the bundle as LV2 presets at build time. (The Audio Unit keeps its one preset.)

class Parandel;

struct ParandelLV2Preset
{
    const char* slug; // file name and URI fragment
    const char* name; // what hosts list
    struct Setting
    {
        int paramIdx;
        double value;
    };
    Setting settings[2];
    int nSettings;
};

// The presets, and their number.
const ParandelLV2Preset* ParandelLV2Presets(int* count);
// Sets the preset's values on a plug-in that holds the defaults.
void ApplyParandelLV2Preset(const ParandelLV2Preset& preset, Parandel& plug);
