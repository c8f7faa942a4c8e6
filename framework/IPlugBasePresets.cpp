#include "framework/IPlugBase.h"

#include "framework/BoundedText.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr const char* kUserPresetPrefix = "user preset";
constexpr const char* kDefaultPresetName = "Empty";
constexpr const char* kEmptyPresetName = "empty";
} // namespace

IPreset::IPreset()
{
    CopyBoundedText(presetName, kNameSize, kEmptyPresetName);
}

// ---- Presets ----

void IPlugBase::MakeDefaultPreset(const char* name, int count)
{
    for (int k = 0; k < count; ++k)
    {
        IPreset* preset = nullptr;
        for (int i = 0; i < NPresets() && !preset; ++i)
            if (!mPresets.Get(i)->initialized)
                preset = mPresets.Get(i);
        if (!preset)
            return;
        preset->initialized = true;
        CopyBoundedText(preset->presetName, IPreset::kNameSize, name ? name : kDefaultPresetName);
        preset->chunk.Clear();
        SerializeState(preset->chunk);
    }
}

bool IPlugBase::RestorePreset(int idx)
{
    IPreset* preset = mPresets.Get(idx);
    if (!preset)
        return false;

    bool restored = false;
    if (!preset->initialized)
    {
        // An empty slot becomes a user preset holding the current values.
        int nUserPresets = 0;
        for (int i = 0; i < NPresets(); ++i)
            if (std::strstr(mPresets.Get(i)->presetName, kUserPresetPrefix))
                ++nUserPresets;
        preset->initialized = true;
        std::snprintf(preset->presetName, IPreset::kNameSize, "%s %d", kUserPresetPrefix,
                      nUserPresets + 1);
        preset->chunk.Clear();
        restored = SerializeState(preset->chunk);
    }
    else
    {
        restored = UnserializeState(preset->chunk, 0) > 0;
    }

    if (restored)
    {
        mCurrentPresetIdx = idx;
        OnPresetsChanged();
        RedrawParamControls();
    }
    return restored;
}

bool IPlugBase::RestorePresetByName(const char* name)
{
    if (!name || name[0] == '\0')
        return false;
    for (int i = 0; i < NPresets(); ++i)
        if (std::strcmp(mPresets.Get(i)->presetName, name) == 0)
            return RestorePreset(i);
    return false;
}

const char* IPlugBase::PresetName(int idx) const
{
    const IPreset* preset = mPresets.Get(idx);
    return preset ? preset->presetName : "";
}

void IPlugBase::PruneUninitializedPresets()
{
    for (int i = NPresets() - 1; i >= 0; --i)
        if (!mPresets.Get(i)->initialized)
            mPresets.Delete(i, true);
}
