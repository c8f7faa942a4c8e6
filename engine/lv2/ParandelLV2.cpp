#include "engine/lv2/ParandelLV2.h"

#include "engine/Parandel.h"
#include "hosts/lv2/IPlugLV2Entry.h"
#include "hosts/lv2/IPlugLV2UI.h"

namespace
{
IPlugLV2* MakeParandel()
{
    auto* plug = new Parandel(Parandel::DefaultInstanceInfo());
    // Only the editor looks at the vectorscope here (the inline display keeps its own samples):
    // it is fed while the editor is open.
    plug->SetScopeRead(false);
    return plug;
}

const IPlugLV2Factory kFactory = {&ParandelLV2Description(), MakeParandel};
} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return IPlugLV2GetDescriptor(kFactory, index);
}

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return IPlugLV2UIGetDescriptor(kParandelLV2UiUri, index);
}
