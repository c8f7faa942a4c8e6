#include "framework/lv2/LV2PresetTurtle.h"

#include "framework/IPlugBase.h"

#include <cstdio>
#include <sstream>

namespace
{
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text)
    {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
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
       << "> ;\n    rdfs:label " << Quoted(label);
    for (int p = 0; p < ports.Count(); ++p)
    {
        const LV2Port& port = ports.Port(p);
        if (port.kind != LV2Port::Kind::ControlIn && port.kind != LV2Port::Kind::RadioIn)
            continue;
        char value[64];
        std::snprintf(value, sizeof(value), "%.9g", ports.ParamPortValue(plug, p));
        std::string v(value);
        if (v.find_first_of(".eEn") == std::string::npos)
            v += ".0";
        os << " ;\n    lv2:port [ lv2:symbol " << Quoted(port.symbol) << " ; pset:value " << v
           << " ]";
    }
    os << " ;\n    state:state [ <" << LV2StateKeyUri(d) << "> \"" << Base64(chunk)
       << "\"^^xsd:base64Binary ] .\n";
    return os.str();
}
