#include "hosts/lv2/LV2PresetTurtle.h"

#include "framework/IPlugBase.h"
#include "hosts/lv2/TurtleText.h"

#include <climits>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#include <sstream>

namespace
{
constexpr size_t kMaxSlugBytes = 64;

// FNV-1a of the bytes, folded to 32 bits.
uint32_t NameHash(const std::string& name)
{
    uint64_t h = 0xCBF29CE484222325ull;
    for (unsigned char c : name)
        h = (h ^ c) * 0x100000001B3ull;
    return static_cast<uint32_t>(h ^ (h >> 32));
}

// The letters and digits of name lower-cased, read as UTF-8 whatever the program's locale;
// every run of other characters (and of bytes that are not UTF-8) one dash.
std::string LowerLettersAndDigits(const std::string& name)
{
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    const locale_t previous = utf8 ? uselocale(utf8) : nullptr;
    std::string out;
    std::mbstate_t in{}, outState{};
    for (size_t i = 0; i < name.size() && out.size() < kMaxSlugBytes;)
    {
        wchar_t wc = 0;
        size_t n = std::mbrtowc(&wc, name.data() + i, name.size() - i, &in);
        if (n == 0 || n > name.size() - i)
        {
            in = std::mbstate_t{};
            n = 1;
            wc = L'-';
        }
        i += n;
        char bytes[MB_LEN_MAX];
        const size_t m =
            std::iswalnum(static_cast<wint_t>(wc))
                ? std::wcrtomb(bytes, static_cast<wchar_t>(std::towlower(wc)), &outState)
                : static_cast<size_t>(-1);
        if (m != static_cast<size_t>(-1) && out.size() + m <= kMaxSlugBytes)
            out.append(bytes, m);
        else if (!out.empty() && out.back() != '-')
            out += '-';
    }
    if (utf8)
    {
        uselocale(previous);
        freelocale(utf8);
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out;
}
} // namespace

std::string Base64(const std::vector<uint8_t>& bytes)
{
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3)
    {
        const size_t left = bytes.size() - i;
        uint32_t v = static_cast<uint32_t>(bytes[i]) << 16;
        if (left > 1)
            v |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (left > 2)
            v |= bytes[i + 2];
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += left > 1 ? kDigits[(v >> 6) & 63] : '=';
        out += left > 2 ? kDigits[v & 63] : '=';
    }
    return out;
}

std::string LV2PresetManifest(const std::string& presetUri, const std::string& pluginUri,
                              const std::string& ttlName)
{
    std::ostringstream os;
    os << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
       << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
       << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
       << "<" << presetUri << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << pluginUri
       << "> ;\n    rdfs:seeAlso <" << ttlName << "> .\n";
    return os.str();
}

std::string LV2PresetTurtle(const IPlugBase& plug, const LV2PortMap& ports,
                            const std::string& presetUri, const std::string& label,
                            const std::vector<uint8_t>& chunk)
{
    const IPlugLV2Description& d = ports.Description();
    std::ostringstream os;
    os << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
       << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
       << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
       << "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
       << "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n"
       << "<" << presetUri << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << d.uri
       << "> ;\n    rdfs:label " << TurtleString(label);
    for (int p = 0; p < ports.Count(); ++p)
    {
        const LV2Port& port = ports.Port(p);
        if (port.kind != LV2Port::Kind::ControlIn && port.kind != LV2Port::Kind::RadioIn)
            continue;
        os << " ;\n    lv2:port [ lv2:symbol " << TurtleString(port.symbol) << " ; pset:value "
           << TurtleNumber(ports.ParamPortValue(plug, p)) << " ]";
    }
    os << " ;\n    state:state [ <" << LV2StateKeyUri(d) << "> \"" << Base64(chunk)
       << "\"^^xsd:base64Binary ] .\n";
    return os.str();
}

std::string LV2PresetSlug(const std::string& name)
{
    const std::string slug = LowerLettersAndDigits(name);
    if (!slug.empty() && slug == name)
        return slug;
    char hash[16];
    std::snprintf(hash, sizeof(hash), "%08x", NameHash(name));
    return (slug.empty() ? "preset" : slug) + "-" + hash;
}
