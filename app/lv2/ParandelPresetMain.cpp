// parandel-lv2-preset: turns an .aupreset written by `parandel preset save` into an LV2 preset
// bundle (port values and the same parameter chunk as state), which hosts and lv2file -P load.

#include "app/PresetFile.h"
#include "app/TempFile.h"
#include "engine/Parandel.h"
#include "engine/lv2/ParandelLV2.h"
#include "framework/au/AUPresetState.h"
#include "framework/lv2/LV2PresetTurtle.h"

#include <cctype>
#include <clocale>
#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace
{
// Letters and digits kept, everything else a dash: safe in a file name and a URI fragment.
std::string Slug(const std::string& name)
{
    std::string s;
    for (unsigned char c : name)
        s += std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '-';
    return s.empty() ? "preset" : s;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s PRESET.aupreset OUT_DIR\n", argv[0]);
        return 2;
    }
    std::setlocale(LC_ALL, "C");
    CFPropertyListRef plist = nullptr;
    std::string error;
    if (!app::PresetFile::Load(argv[1], &plist, error))
    {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    auto dict = static_cast<CFDictionaryRef>(plist);
    const char* nameText =
        CFStringGetCStringPtr(AUPresetState::GetName(dict), kCFStringEncodingUTF8);
    const std::string name = nameText ? nameText : "";
    CFDataRef data = AUPresetState::GetData(dict);
    const UInt8* bytes = CFDataGetBytePtr(data);
    const std::vector<uint8_t> chunkBytes(bytes, bytes + CFDataGetLength(data));
    CFRelease(plist);

    // The plug-in reads the chunk as a host restore would, so the port values are the clamped
    // values it will use.
    Parandel plug(Parandel::DefaultInstanceInfo());
    StateChunk chunk;
    chunk.PutBytes(chunkBytes.data(), static_cast<int>(chunkBytes.size()));
    if (plug.UnserializeState(chunk, 0) <= 0)
    {
        std::fprintf(stderr, "%s: the state is incomplete\n", argv[1]);
        return 1;
    }
    const IPlugLV2Description& d = ParandelLV2Description();
    const LV2PortMap ports(plug, d, false);
    const std::string slug = Slug(name);
    const std::string bundle = std::string(argv[2]) + "/" + slug + ".preset.lv2";
    mkdir(argv[2], 0777);
    mkdir(bundle.c_str(), 0777);
    const std::string uri = std::string(d.uri) + "#preset-" + slug;
    const std::string ttl = slug + ".ttl";
    // Each file appears whole or not at all, through the program's one atomic writer.
    std::string writeError;
    if (!app::WriteFileAtomically(bundle + "/manifest.ttl", LV2PresetManifest(uri, d.uri, ttl),
                             writeError) ||
        !app::WriteFileAtomically(bundle + "/" + ttl,
                             LV2PresetTurtle(plug, ports, uri, name, chunkBytes), writeError))
    {
        std::fprintf(stderr, "cannot write %s: %s\n", bundle.c_str(), writeError.c_str());
        return 1;
    }
    std::printf("%s\n", bundle.c_str());
    return 0;
}
