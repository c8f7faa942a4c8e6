#include "hosts/lv2/IPlugLV2Entry.h"

#include <lv2/options/options.h>
#include <lv2/state/state.h>

#include <cstring>
#include <mutex>

namespace
{
const IPlugLV2Factory* gFactory = nullptr;

std::mutex& CreationMutex()
{
    static std::mutex mutex;
    return mutex;
}

IPlugLV2* Plug(LV2_Handle instance)
{
    return static_cast<IPlugLV2*>(instance);
}

LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double rate, const char* /*bundlePath*/,
                       const LV2_Feature* const* features)
{
    if (!gFactory)
        return nullptr;
    const bool mono = std::strcmp(descriptor->URI, gFactory->description->monoUri) == 0;
    IPlugLV2* plug = nullptr;
    {
        std::lock_guard<std::mutex> lock(CreationMutex());
        plug = gFactory->make();
    }
    if (!plug)
        return nullptr;
    plug->PruneUninitializedPresets();
    if (!plug->Instantiate(*gFactory->description, mono, rate, features))
    {
        delete plug;
        return nullptr;
    }
    return plug;
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data)
{
    Plug(instance)->ConnectPort(port, data);
}

void Activate(LV2_Handle instance)
{
    Plug(instance)->Activate();
}

void Run(LV2_Handle instance, uint32_t nFrames)
{
    Plug(instance)->Run(nFrames);
}

void Deactivate(LV2_Handle instance)
{
    Plug(instance)->Deactivate();
}

void Cleanup(LV2_Handle instance)
{
    delete Plug(instance);
}

LV2_State_Status Save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t flags, const LV2_Feature* const* features)
{
    return static_cast<LV2_State_Status>(Plug(instance)->SaveState(
        reinterpret_cast<void*>(store), handle, static_cast<int>(flags), features));
}

LV2_State_Status Restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle handle, uint32_t flags,
                         const LV2_Feature* const* features)
{
    return static_cast<LV2_State_Status>(Plug(instance)->RestoreState(
        reinterpret_cast<void*>(retrieve), handle, static_cast<int>(flags), features));
}

uint32_t OptionsGet(LV2_Handle /*instance*/, LV2_Options_Option* /*options*/)
{
    return LV2_OPTIONS_ERR_UNKNOWN;
}

uint32_t OptionsSet(LV2_Handle instance, const LV2_Options_Option* options)
{
    Plug(instance)->ApplyOptions(options);
    return LV2_OPTIONS_SUCCESS;
}

LV2_Inline_Display_Image_Surface* RenderInline(LV2_Handle instance, uint32_t w, uint32_t maxH)
{
    return Plug(instance)->RenderInlineDisplay(w, maxH);
}

const void* ExtensionData(const char* uri)
{
    static const LV2_State_Interface state = {Save, Restore};
    static const LV2_Options_Interface options = {OptionsGet, OptionsSet};
    static const LV2_Inline_Display_Interface inlineDisplay = {RenderInline};
    if (std::strcmp(uri, LV2_INLINEDISPLAY__interface) == 0)
        return &inlineDisplay;
    if (std::strcmp(uri, LV2_STATE__interface) == 0)
        return &state;
    if (std::strcmp(uri, LV2_OPTIONS__interface) == 0)
        return &options;
    return nullptr;
}
} // namespace

const LV2_Descriptor* IPlugLV2GetDescriptor(const IPlugLV2Factory& factory, uint32_t index)
{
    gFactory = &factory;
    // One plug-in's two configurations, told apart by their URIs.
    auto describe = [](const char* uri) {
        return LV2_Descriptor{uri, Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup,
                              ExtensionData};
    };
    static const LV2_Descriptor stereo = describe(factory.description->uri);
    static const LV2_Descriptor mono = describe(factory.description->monoUri);
    if (index == 0)
        return &stereo;
    if (index == 1)
        return &mono;
    return nullptr;
}
