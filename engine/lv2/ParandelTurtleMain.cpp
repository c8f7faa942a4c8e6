// Writes the bundle's manifest.ttl and parandel.ttl into the directory given, from the plug-in's
// own parameter model, so the description hosts read is never written by hand.

#include "engine/Parandel.h"
#include "engine/lv2/ParandelLV2.h"
#include "framework/lv2/LV2Turtle.h"

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
    if (!WriteFile(dir + "/manifest.ttl", LV2ManifestTurtle(d, names)) ||
        !WriteFile(dir + "/" + kParandelLV2Ttl, LV2PluginTurtle(*plug, stereo, mono, names)))
    {
        std::fprintf(stderr, "cannot write the Turtle into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
