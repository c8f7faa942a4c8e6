#include "engine/lv2/ParandelLV2Presets.h"

#include "engine/Parandel.h"

#include <iterator>

namespace
{
const ParandelLV2Preset kPresets[] = {
    {"mono-bass-120-hz", "Mono bass 120 Hz", {{Parandel::kBassFocus, 120.0}}, 1},
    {"wide-plus-50", "Wide +50 %", {{Parandel::kWidth, 50.0}}, 1},
    {"narrow-minus-50", "Narrow \u221250 %", {{Parandel::kWidth, -50.0}}, 1},
    {"mono-check", "Mono check", {{Parandel::kMonoOut, 1.0}}, 1},
    {"mono-to-stereo", "Mono to stereo", {{Parandel::kMonoToStereo, 1.0}}, 1},
};
} // namespace

const ParandelLV2Preset* ParandelLV2Presets(int* count)
{
    *count = static_cast<int>(std::size(kPresets));
    return kPresets;
}

void ApplyParandelLV2Preset(const ParandelLV2Preset& preset, Parandel& plug)
{
    for (int i = 0; i < preset.nSettings; ++i)
    {
        const ParandelLV2Preset::Setting& s = preset.settings[i];
        IParam* param = plug.Param(s.paramIdx);
        param->SetValue(param->Clamp(s.value));
        plug.OnParamChange(s.paramIdx);
    }
}
