// Writes the bundle's manifest.ttl and parandel.ttl into the directory given, from the plug-in's
// own parameter model, so the description hosts read is never written by hand; and the factory
// presets, one file each, listed in the manifest for both plug-ins.

#include "engine/Parandel.h"
#include "engine/lv2/ParandelLV2.h"
#include "engine/lv2/ParandelLV2Presets.h"
#include "hosts/lv2/LV2PresetTurtle.h"
#include "hosts/lv2/LV2Turtle.h"

#include <clocale>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace
{
bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

// Each preset's file, and the manifest entries that name it (the preset writer's own manifest
// text, prefixes and all, which Turtle allows again further down a file).
bool WritePresets(const std::string& dir, std::string& manifest)
{
    const IPlugLV2Description& d = ParandelLV2Description();
    int count = 0;
    const ParandelLV2Preset* presets = ParandelLV2Presets(&count);
    for (int i = 0; i < count; ++i)
    {
        Parandel plug(Parandel::DefaultInstanceInfo());
        ApplyParandelLV2Preset(presets[i], plug);
        StateChunk chunk;
        if (!plug.SerializeState(chunk))
            return false;
        const uint8_t* bytes = chunk.GetData();
        const std::vector<uint8_t> chunkBytes(bytes, bytes + chunk.Size());
        const LV2PortMap ports(plug, d, false);
        const std::string uri = std::string(d.uri) + "#preset-" + presets[i].slug;
        const std::string ttl = std::string("preset-") + presets[i].slug + ".ttl";
        if (!WriteFile(dir + "/" + ttl,
                       LV2PresetTurtle(plug, ports, uri, presets[i].name, chunkBytes)))
            return false;
        for (const char* pluginUri : {d.uri, d.monoUri})
            manifest += "\n" + LV2PresetManifest(uri, pluginUri, ttl);
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s BUNDLE_DIR\n", argv[0]);
        return 2;
    }
    std::setlocale(LC_ALL, "C");
    const std::string dir = argv[1];
    std::unique_ptr<Parandel> plug(new Parandel(Parandel::DefaultInstanceInfo()));
    const IPlugLV2Description& d = ParandelLV2Description();
    const LV2PortMap stereo(*plug, d, false);
    const LV2PortMap mono(*plug, d, true);
    const LV2BundleNames names{kParandelLV2Binary, kParandelLV2Ttl, kParandelLV2UiUri};
    std::string manifest = LV2ManifestTurtle(d, names);
    if (!WritePresets(dir, manifest) || !WriteFile(dir + "/manifest.ttl", manifest) ||
        !WriteFile(dir + "/" + kParandelLV2Ttl, LV2PluginTurtle(*plug, stereo, mono, names)))
    {
        std::fprintf(stderr, "cannot write the Turtle into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
