#pragma once
// The LV2 ports of a plug-in, derived once from its parameter model and a short product
// description, and used both by the adapter at run time and by the Turtle writer, so that the
// description a host reads and the ports the plug-in serves cannot drift apart.
//
// Order: audio inputs, audio outputs, one control input per host-visible parameter (index
// order; a radio group takes the place of its first member), "enabled", meter outputs,
// "latency", then the atom input carrying time:Position.

#include <string>
#include <vector>

class IPlugBase;

// What a product tells the LV2 adapter beyond its parameter model.
struct IPlugLV2Description
{
    const char* uri;     // stereo in, stereo out
    const char* monoUri; // mono in, stereo out
    const char* name;
    const char* const* hiddenParams; // names of parameters hosts never see
    int nHidden;
    const char* const* meterParams; // names of parameters served as output ports
    int nMeters;
    const char* radioFirstParam; // first of a group of toggles that act as radio buttons
    int radioCount;
    const char* radioSymbol;
    const char* radioName;
    const char* const* radioLabels; // one per member
    // The value a meter output port shows for a meter parameter.
    double (*meterValue)(IPlugBase* plug, int paramIdx);
    // Told whether the host has connected a meter's output port (not at all until it does), so
    // that a meter nobody reads need not be measured. May be null.
    void (*meterConnected)(IPlugBase* plug, int paramIdx, bool connected);
};

// The key of the parameter chunk in saved state and presets.
inline std::string LV2StateKeyUri(const IPlugLV2Description& description)
{
    return std::string(description.uri) + "#chunk";
}

struct LV2Port
{
    enum class Kind
    {
        AudioIn,
        AudioOut,
        ControlIn, // one parameter
        RadioIn,   // the radio group: value k turns member k on
        Enabled,   // lv2:enabled, bypass when 0
        MeterOut,  // one parameter's meter value
        Latency,   // lv2:reportsLatency
        TimeIn     // atom sequence with time:Position
    };
    Kind kind;
    int paramIdx = -1; // ControlIn, MeterOut, and the first member for RadioIn
    std::string symbol;
    std::string name;
};

class LV2PortMap
{
public:
    LV2PortMap(const IPlugBase& plug, const IPlugLV2Description& description, bool monoInput);

    int Count() const { return static_cast<int>(mPorts.size()); }
    const LV2Port& Port(int idx) const { return mPorts[idx]; }
    // The first port of a kind, or −1.
    int Find(LV2Port::Kind kind) const;
    int NAudioIn() const { return mMonoInput ? 1 : 2; }
    bool MonoInput() const { return mMonoInput; }
    const IPlugLV2Description& Description() const { return mDescription; }
    // What a parameter-backed input port (ControlIn or RadioIn) shows for the plug-in's
    // current values: the value, or the index of the radio member that is on.
    float ParamPortValue(const IPlugBase& plug, int port) const;
    // A port symbol from a parameter name: "BassFocus" becomes "bass_focus".
    static std::string SymbolFromName(const std::string& name);

private:
    static bool Listed(const char* name, const char* const* list, int count);

    const IPlugLV2Description& mDescription;
    bool mMonoInput;
    std::vector<LV2Port> mPorts;
};
