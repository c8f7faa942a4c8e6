#include "hosts/lv2/LV2Turtle.h"

#include "framework/IPlugBase.h"
#include "hosts/lv2/TurtleText.h"
#include "hosts/lv2/LV2InlineDisplay.h"

#include <cstring>
#include <sstream>

namespace
{
constexpr const char* kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                                  "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                                  "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                                  "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                                  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                  "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                                  "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                                  "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                                  "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                  "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                                  "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
                                  "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                                  "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                                  "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
                                  "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

// Largest latency the latency port may report, in samples.
constexpr int kMaxLatencySamples = 1 << 16;

std::string UnitFor(const char* label)
{
    if (std::strcmp(label, "%") == 0)
        return "units:pc";
    if (std::strcmp(label, "Hz") == 0)
        return "units:hz";
    if (std::strcmp(label, "dB") == 0)
        return "units:db";
    if (std::strcmp(label, "ms") == 0)
        return "units:ms";
    if (!*label)
        return "";
    return "[ a units:Unit ; rdfs:label " + TurtleString(label) + " ; units:symbol " +
           TurtleString(label) + " ; units:render " + TurtleString(std::string("%f ") + label) +
           " ]";
}

void WriteRange(std::ostream& os, double def, double lo, double hi)
{
    os << " ;\n        lv2:default " << TurtleNumber(def) << " ;\n        lv2:minimum "
       << TurtleNumber(lo) << " ;\n        lv2:maximum " << TurtleNumber(hi);
}

void WriteParamRange(std::ostream& os, const IParam& p)
{
    WriteRange(os, p.GetDefault(), p.GetMin(), p.GetMax());
    const bool integral = p.Type() == IParam::ParamType::Int || p.Type() == IParam::ParamType::Enum;
    if (p.Type() == IParam::ParamType::Bool || (integral && p.GetMin() == 0 && p.GetMax() == 1))
        os << " ;\n        lv2:portProperty lv2:toggled";
    else if (integral)
        os << " ;\n        lv2:portProperty lv2:integer";
    if (p.DisplayTextCount() > 0)
    {
        os << ", lv2:enumeration";
        for (int i = 0; i < p.DisplayTextCount(); ++i)
        {
            int value = 0;
            const char* text = p.DisplayTextAt(i, &value);
            os << " ;\n        lv2:scalePoint [ rdfs:label " << TurtleString(text)
               << " ; rdf:value " << value << " ]";
        }
    }
    if (!p.canAutomate)
        os << " ;\n        lv2:portProperty pprops:notAutomatic";
    const std::string unit = UnitFor(p.GetLabel());
    if (!unit.empty())
        os << " ;\n        units:unit " << unit;
}

void WritePort(std::ostream& os, const IPlugBase& plug, const LV2PortMap& map, int idx)
{
    const LV2Port& port = map.Port(idx);
    const IPlugLV2Description& d = map.Description();
    using Kind = LV2Port::Kind;
    const bool input =
        port.kind != Kind::AudioOut && port.kind != Kind::MeterOut && port.kind != Kind::Latency;
    os << "    [\n        a lv2:" << (input ? "InputPort" : "OutputPort") << ", ";
    if (port.kind == Kind::AudioIn || port.kind == Kind::AudioOut)
        os << "lv2:AudioPort";
    else if (port.kind == Kind::TimeIn)
        os << "atom:AtomPort";
    else
        os << "lv2:ControlPort";
    os << " ;\n        lv2:index " << idx << " ;\n        lv2:symbol " << TurtleString(port.symbol)
       << " ;\n        lv2:name " << TurtleString(port.name);
    switch (port.kind)
    {
    case Kind::ControlIn:
    case Kind::MeterOut:
        WriteParamRange(os, *plug.Param(port.paramIdx));
        break;
    case Kind::RadioIn:
    {
        int def = 0;
        for (int k = 0; k < d.radioCount; ++k)
            if (plug.Param(port.paramIdx + k)->GetDefault() >= 0.5)
                def = k;
        WriteRange(os, def, 0, d.radioCount - 1);
        os << " ;\n        lv2:portProperty lv2:integer, lv2:enumeration";
        for (int k = 0; k < d.radioCount; ++k)
            os << " ;\n        lv2:scalePoint [ rdfs:label " << TurtleString(d.radioLabels[k])
               << " ; rdf:value " << k << " ]";
        break;
    }
    case Kind::Enabled:
        WriteRange(os, 1, 0, 1);
        os << " ;\n        lv2:designation lv2:enabled ;\n        lv2:portProperty lv2:toggled";
        break;
    case Kind::Latency:
        WriteRange(os, 0, 0, kMaxLatencySamples);
        os << " ;\n        lv2:designation lv2:latency ;\n"
              "        lv2:portProperty lv2:reportsLatency, lv2:integer, pprops:notOnGUI";
        break;
    case Kind::TimeIn:
        os << " ;\n        atom:bufferType atom:Sequence ;\n        atom:supports time:Position "
              ";\n        lv2:designation lv2:control ;\n        lv2:portProperty "
              "lv2:connectionOptional";
        break;
    default:
        break;
    }
    os << " ;\n    ]";
}

void WritePlugin(std::ostream& os, const IPlugBase& plug, const LV2PortMap& map,
                 const std::string& uri, const std::string& name, const LV2BundleNames& names)
{
    os << "<" << uri << ">\n"
       << "    a lv2:Plugin, lv2:SpatialPlugin, doap:Project ;\n"
       << "    doap:name " << TurtleString(name) << " ;\n"
       << "    doap:maintainer [ foaf:name " << TurtleString(plug.GetMfrName()) << " ] ;\n"
       << "    lv2:optionalFeature lv2:hardRTCapable, urid:map, opts:options, <"
       << LV2_INLINEDISPLAY__queue_draw << "> ;\n"
       << "    lv2:extensionData state:interface, opts:interface, <" << LV2_INLINEDISPLAY__interface
       << "> ;\n"
       << "    opts:supportedOption bufsz:maxBlockLength, bufsz:nominalBlockLength, "
          "bufsz:sequenceSize ;\n"
       << "    ui:ui <" << names.uiUri << "> ;\n"
       << "    lv2:port\n";
    for (int i = 0; i < map.Count(); ++i)
    {
        if (i)
            os << " ,\n";
        WritePort(os, plug, map, i);
    }
    os << " .\n\n";
}
} // namespace

std::string LV2ManifestTurtle(const IPlugLV2Description& d, const LV2BundleNames& names)
{
    std::ostringstream os;
    os << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
       << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
       << "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n";
    for (const char* uri : {d.uri, d.monoUri})
        os << "<" << uri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << names.binary
           << "> ;\n    rdfs:seeAlso <" << names.pluginTtl << "> .\n\n";
    os << "<" << names.uiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << names.binary
       << "> ;\n    rdfs:seeAlso <" << names.pluginTtl << "> .\n";
    return os.str();
}

std::string LV2PluginTurtle(const IPlugBase& plug, const LV2PortMap& stereo, const LV2PortMap& mono,
                            const LV2BundleNames& names)
{
    const IPlugLV2Description& d = stereo.Description();
    std::ostringstream os;
    os << kPrefixes;
    WritePlugin(os, plug, stereo, d.uri, d.name, names);
    WritePlugin(os, plug, mono, d.monoUri, std::string(d.name) + " (mono in)", names);
    // The inline display is described in no vocabulary hosts ship: say what its URIs are.
    os << "<" << LV2_INLINEDISPLAY__interface << ">\n    a lv2:ExtensionData .\n\n"
       << "<" << LV2_INLINEDISPLAY__queue_draw << ">\n    a lv2:Feature .\n\n";
    // The state property saved state and presets carry the parameter chunk in.
    os << "<" << LV2StateKeyUri(d) << ">\n"
       << "    a rdf:Property ;\n"
       << "    rdfs:label \"parameter chunk\" ;\n"
       << "    rdfs:range xsd:base64Binary .\n\n";
    os << "<" << names.uiUri << ">\n"
       << "    a ui:X11UI ;\n"
       << "    lv2:requiredFeature <http://lv2plug.in/ns/ext/instance-access> ;\n"
       << "    lv2:optionalFeature ui:parent, ui:resize, ui:touch, ui:idleInterface, "
          "ui:noUserResize, opts:options ;\n"
       << "    opts:supportedOption ui:scaleFactor ;\n"
       << "    lv2:extensionData ui:idleInterface .\n";
    return os.str();
}
