// parandel-lv2-preset: turns an .aupreset written by `parandel preset save` into an LV2 preset
// bundle (port values and the same parameter chunk as state), which hosts and lv2file -P load.

#include "app/files/PresetFile.h"
#include "app/files/TempFile.h"
#include "engine/Parandel.h"
#include "engine/lv2/ParandelLV2.h"
#include "hosts/au/AUPresetState.h"
#include "hosts/lv2/LV2PresetTurtle.h"
#include "hosts/lv2/TurtleText.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace
{
std::string FileText(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream os;
    os << f.rdbuf();
    return os.str();
}

// The bundle is the one this tool writes for the preset named name: the same manifest and a
// preset file labelled with that name. Anything else there (another preset whose name maps to
// the same bundle, a bundle made by hand, a plain file) is not replaced without --force.
bool HoldsSamePreset(const std::string& bundle, const std::string& manifest, const std::string& ttl,
                     const std::string& name)
{
    return FileText(bundle + "/manifest.ttl") == manifest &&
           FileText(bundle + "/" + ttl).find("rdfs:label " + TurtleString(name) + " ;\n") !=
               std::string::npos;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}
} // namespace

int main(int argc, char** argv)
{
    const bool force = argc == 4 && std::strcmp(argv[1], "--force") == 0;
    if (argc != 3 && !force)
    {
        std::fprintf(stderr, "usage: %s [--force] PRESET.aupreset OUT_DIR\n", argv[0]);
        return 2;
    }
    const char* presetPath = argv[argc - 2];
    const std::string outDir = argv[argc - 1];
    std::setlocale(LC_ALL, "C");
    CFPropertyListRef plist = nullptr;
    std::string error;
    if (!app::PresetFile::Load(presetPath, &plist, error))
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
        std::fprintf(stderr, "%s: the state is incomplete\n", presetPath);
        return 1;
    }
    const IPlugLV2Description& d = ParandelLV2Description();
    const LV2PortMap ports(plug, d, false);
    const std::string slug = LV2PresetSlug(name);
    const std::string bundle = outDir + "/" + slug + ".preset.lv2";
    const std::string uri = std::string(d.uri) + "#preset-" + slug;
    const std::string ttl = slug + ".ttl";
    const std::string manifest = LV2PresetManifest(uri, d.uri, ttl);
    if (!force && Exists(bundle) && !HoldsSamePreset(bundle, manifest, ttl, name))
    {
        std::fprintf(stderr, "%s holds another preset; use --force to replace it\n",
                     bundle.c_str());
        return 1;
    }
    mkdir(outDir.c_str(), 0777);
    mkdir(bundle.c_str(), 0777);
    // Each file appears whole or not at all, through the program's one atomic writer.
    std::string writeError;
    if (!app::WriteFileAtomically(bundle + "/manifest.ttl", manifest, writeError) ||
        !app::WriteFileAtomically(bundle + "/" + ttl,
                                  LV2PresetTurtle(plug, ports, uri, name, chunkBytes), writeError))
    {
        std::fprintf(stderr, "cannot write %s: %s\n", bundle.c_str(), writeError.c_str());
        return 1;
    }
    std::printf("%s\n", bundle.c_str());
    return 0;
}
