#include "lv2/LilvHost.h"

#include "hosts/lv2/LV2InlineDisplay.h"

#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr size_t kAtomCapacity = 4096;

LV2_URID MapUri(LV2_URID_Map_Handle handle, const char* uri)
{
    return static_cast<LilvHost*>(handle)->Map(uri);
}

const char* UnmapUri(LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
    return static_cast<LilvHost*>(handle)->Unmap(urid);
}

const void* GetPortValue(const char* symbol, void* userData, uint32_t* size, uint32_t* type)
{
    auto* host = static_cast<LilvHost*>(userData);
    static float value;
    value = host->Control(symbol);
    *size = sizeof(float);
    *type = host->Map(LV2_ATOM__Float);
    return &value;
}

void SetPortValue(const char* symbol, void* userData, const void* value, uint32_t size,
                  uint32_t /*type*/)
{
    if (size == sizeof(float))
        static_cast<LilvHost*>(userData)->SetControl(symbol, *static_cast<const float*>(value));
}
} // namespace

struct LilvHost::Features
{
    LV2_URID_Map map;
    LV2_URID_Unmap unmap;
    int32_t maxBlock;
    int32_t nominalBlock;
    LV2_Options_Option options[3];
    LV2_Feature mapFeature;
    LV2_Feature unmapFeature;
    LV2_Feature optionsFeature;
    LV2_Inline_Display queueDraw;
    LV2_Feature queueDrawFeature;
    const LV2_Feature* list[5];
};

LilvHost::LilvHost(const std::string& bundleDir, const std::string& pluginUri, double rate,
                   int maxBlock)
    : mFeatures(new Features)
{
    mWorld = lilv_world_new();
    if (bundleDir.empty())
        lilv_world_load_all(mWorld);
    else
    {
        std::string dir = bundleDir;
        if (dir.back() != '/')
            dir += '/';
        LilvNode* bundle = lilv_new_file_uri(mWorld, nullptr, dir.c_str());
        lilv_world_load_bundle(mWorld, bundle);
        lilv_node_free(bundle);
    }
    LilvNode* uri = lilv_new_uri(mWorld, pluginUri.c_str());
    mPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), uri);
    lilv_node_free(uri);
    if (!mPlugin)
        return;

    Features& f = *mFeatures;
    f.map = {this, MapUri};
    f.unmap = {this, UnmapUri};
    f.maxBlock = maxBlock;
    f.nominalBlock = maxBlock;
    const uint32_t intType = Map(LV2_ATOM__Int);
    f.options[0] = {LV2_OPTIONS_INSTANCE, 0,       Map(LV2_BUF_SIZE__maxBlockLength),
                    sizeof(int32_t),      intType, &f.maxBlock};
    f.options[1] = {LV2_OPTIONS_INSTANCE, 0,       Map(LV2_BUF_SIZE__nominalBlockLength),
                    sizeof(int32_t),      intType, &f.nominalBlock};
    f.options[2] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    f.mapFeature = {LV2_URID__map, &f.map};
    f.unmapFeature = {LV2_URID__unmap, &f.unmap};
    f.optionsFeature = {LV2_OPTIONS__options, f.options};
    f.list[0] = &f.mapFeature;
    f.list[1] = &f.unmapFeature;
    f.list[2] = &f.optionsFeature;
    f.queueDraw = {&mQueueDraws, [](void* count) { ++*static_cast<std::atomic<int>*>(count); }};
    f.queueDrawFeature = {LV2_INLINEDISPLAY__queue_draw, &f.queueDraw};
    f.list[3] = &f.queueDrawFeature;
    f.list[4] = nullptr;
    mInstance = lilv_plugin_instantiate(mPlugin, rate, f.list);
    if (!mInstance)
        return;

    const uint32_t n = lilv_plugin_get_num_ports(mPlugin);
    mControls.assign(n, 0.0f);
    std::vector<float> defaults(n, 0.0f);
    lilv_plugin_get_port_ranges_float(mPlugin, nullptr, nullptr, defaults.data());
    LilvNode* audio = lilv_new_uri(mWorld, LV2_CORE__AudioPort);
    LilvNode* input = lilv_new_uri(mWorld, LV2_CORE__InputPort);
    LilvNode* control = lilv_new_uri(mWorld, LV2_CORE__ControlPort);
    LilvNode* atom = lilv_new_uri(mWorld, LV2_ATOM__AtomPort);
    mAtomBuffer.assign(kAtomCapacity, 0);
    mSequenceType = Map(LV2_ATOM__Sequence);
    for (uint32_t i = 0; i < n; ++i)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
        if (lilv_port_is_a(mPlugin, port, audio))
            (lilv_port_is_a(mPlugin, port, input) ? mAudioIn : mAudioOut).push_back(i);
        else if (lilv_port_is_a(mPlugin, port, control))
        {
            mControls[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
            lilv_instance_connect_port(mInstance, i, &mControls[i]);
        }
        else if (lilv_port_is_a(mPlugin, port, atom))
        {
            // The first atom input carries time:Position; other atom ports get buffers of
            // their own (an output is emptied to its capacity before each run).
            const bool isInput = lilv_port_is_a(mPlugin, port, input);
            if (isInput && mAtomPort < 0)
            {
                mAtomPort = static_cast<int>(i);
                lilv_instance_connect_port(mInstance, i, mAtomBuffer.data());
            }
            else
            {
                mOtherAtoms.push_back({i, isInput, std::vector<uint8_t>(kAtomCapacity)});
                lilv_instance_connect_port(mInstance, i, mOtherAtoms.back().buffer.data());
            }
        }
    }
    for (LilvNode* node : {audio, input, control, atom})
        lilv_node_free(node);
    ResetAtomPort();
}

LilvHost::~LilvHost()
{
    if (mInstance)
    {
        lilv_instance_deactivate(mInstance);
        lilv_instance_free(mInstance);
    }
    lilv_world_free(mWorld);
}

uint32_t LilvHost::Map(const char* uri)
{
    auto it = mUrids.find(uri);
    if (it != mUrids.end())
        return it->second;
    mUris.push_back(uri);
    const uint32_t id = static_cast<uint32_t>(mUris.size());
    mUrids[uri] = id;
    return id;
}

const char* LilvHost::Unmap(uint32_t urid) const
{
    return urid >= 1 && urid <= mUris.size() ? mUris[urid - 1].c_str() : nullptr;
}

int LilvHost::PortIndex(const std::string& symbol) const
{
    LilvNode* sym = lilv_new_string(mWorld, symbol.c_str());
    const LilvPort* port = lilv_plugin_get_port_by_symbol(mPlugin, sym);
    lilv_node_free(sym);
    return port ? static_cast<int>(lilv_port_get_index(mPlugin, port)) : -1;
}

void LilvHost::SetControl(const std::string& symbol, float value)
{
    const int idx = PortIndex(symbol);
    if (idx >= 0)
        mControls[idx] = value;
}

float LilvHost::Control(const std::string& symbol) const
{
    const int idx = PortIndex(symbol);
    return idx >= 0 ? mControls[idx] : NAN;
}

void LilvHost::SendTransport(double speed, long long frame)
{
    mPendingSpeed = speed;
    mPendingFrame = frame;
}

void LilvHost::ResetAtomPort()
{
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mAtomBuffer.data());
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->atom.type = mSequenceType;
    seq->body.unit = 0;
    seq->body.pad = 0;
}

void LilvHost::Activate()
{
    lilv_instance_activate(mInstance);
}

void LilvHost::Run(const std::vector<float*>& in, const std::vector<float*>& out, int n)
{
    ResetAtomPort();
    for (OtherAtom& a : mOtherAtoms)
    {
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(a.buffer.data());
        seq->atom.type = mSequenceType;
        seq->atom.size = a.input ? sizeof(LV2_Atom_Sequence_Body)
                                 : static_cast<uint32_t>(kAtomCapacity - sizeof(LV2_Atom));
        seq->body.unit = 0;
        seq->body.pad = 0;
    }
    if (mPendingSpeed >= 0.0)
    {
        LV2_Atom_Forge forge;
        LV2_URID_Map* map = &mFeatures->map;
        lv2_atom_forge_init(&forge, map);
        lv2_atom_forge_set_buffer(&forge, mAtomBuffer.data(), mAtomBuffer.size());
        LV2_Atom_Forge_Frame seqFrame, objFrame;
        lv2_atom_forge_sequence_head(&forge, &seqFrame, 0);
        lv2_atom_forge_frame_time(&forge, 0);
        lv2_atom_forge_object(&forge, &objFrame, 0, Map(LV2_TIME__Position));
        lv2_atom_forge_key(&forge, Map(LV2_TIME__frame));
        lv2_atom_forge_long(&forge, mPendingFrame);
        lv2_atom_forge_key(&forge, Map(LV2_TIME__speed));
        lv2_atom_forge_float(&forge, static_cast<float>(mPendingSpeed));
        lv2_atom_forge_pop(&forge, &objFrame);
        lv2_atom_forge_pop(&forge, &seqFrame);
        mPendingSpeed = -1.0;
    }
    for (size_t c = 0; c < in.size(); ++c)
        lilv_instance_connect_port(mInstance, mAudioIn[c], in[c]);
    for (size_t c = 0; c < out.size(); ++c)
        lilv_instance_connect_port(mInstance, mAudioOut[c], out[c]);
    lilv_instance_run(mInstance, n);
}

std::vector<std::vector<float>> LilvHost::Process(const std::vector<std::vector<float>>& in,
                                                  int blockSize, bool transport)
{
    const size_t frames = in[0].size();
    const int nIn = static_cast<int>(mAudioIn.size());
    std::vector<std::vector<float>> inBuf(nIn, std::vector<float>(blockSize));
    std::vector<std::vector<float>> outBuf(2, std::vector<float>(blockSize));
    std::vector<float*> inPtr, outPtr;
    for (auto& b : inBuf)
        inPtr.push_back(b.data());
    for (auto& b : outBuf)
        outPtr.push_back(b.data());
    std::vector<std::vector<float>> result(2);
    if (transport)
        SendTransport(1.0, 0);
    size_t consumed = 0;
    long long toSkip = -1;
    while (result[0].size() < frames)
    {
        for (int c = 0; c < nIn; ++c)
            for (int k = 0; k < blockSize; ++k)
                inBuf[c][k] = consumed + k < frames ? in[c][consumed + k] : 0.0f;
        Run(inPtr, outPtr, blockSize);
        consumed += blockSize;
        if (toSkip < 0)
            toSkip = static_cast<long long>(Control("latency"));
        const int skip = static_cast<int>(std::min<long long>(toSkip, blockSize));
        toSkip -= skip;
        for (int c = 0; c < 2; ++c)
            for (int k = skip; k < blockSize && result[c].size() < frames; ++k)
                result[c].push_back(outBuf[c][k]);
    }
    return result;
}

LilvState* LilvHost::SaveState()
{
    const LV2_Feature* const* features = mFeatures->list;
    return lilv_state_new_from_instance(mPlugin, mInstance, &mFeatures->map, nullptr, nullptr,
                                        nullptr, nullptr, GetPortValue, this,
                                        LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
}

void LilvHost::RestoreState(const LilvState* state)
{
    lilv_state_restore(state, mInstance, SetPortValue, this, 0, mFeatures->list);
}

LilvState* LilvHost::LoadPreset(const std::string& uri)
{
    LilvNode* node = lilv_new_uri(mWorld, uri.c_str());
    lilv_world_load_resource(mWorld, node);
    LilvState* state = lilv_state_new_from_world(mWorld, &mFeatures->map, node);
    lilv_node_free(node);
    return state;
}

namespace
{
LV2_State_Status CaptureStore(LV2_State_Handle handle, uint32_t /*key*/, const void* value,
                              size_t size, uint32_t /*type*/, uint32_t /*flags*/)
{
    auto* bytes = static_cast<std::vector<uint8_t>*>(handle);
    const auto* p = static_cast<const uint8_t*>(value);
    bytes->assign(p, p + size);
    return LV2_STATE_SUCCESS;
}
} // namespace

std::vector<uint8_t> LilvHost::SavedChunk()
{
    std::vector<uint8_t> bytes;
    const auto* state = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
    if (state)
        state->save(lilv_instance_get_handle(mInstance), CaptureStore, &bytes, 0, mFeatures->list);
    return bytes;
}
