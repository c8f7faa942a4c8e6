#include "hosts/lv2/LV2PortMap.h"

#include "framework/IPlugBase.h"

#include <cctype>
#include <cstring>

LV2PortMap::LV2PortMap(const IPlugBase& plug, const IPlugLV2Description& description,
                       bool monoInput)
    : mDescription(description), mMonoInput(monoInput)
{
    using Kind = LV2Port::Kind;
    if (monoInput)
        mPorts.push_back({Kind::AudioIn, -1, "in", "Input"});
    else
    {
        mPorts.push_back({Kind::AudioIn, -1, "in_l", "Input left"});
        mPorts.push_back({Kind::AudioIn, -1, "in_r", "Input right"});
    }
    mPorts.push_back({Kind::AudioOut, -1, "out_l", "Output left"});
    mPorts.push_back({Kind::AudioOut, -1, "out_r", "Output right"});

    std::vector<int> meters;
    int radioFirst = -1;
    for (int i = 0; i < plug.ParamCount(); ++i)
    {
        const IParam* p = plug.Param(i);
        const char* name = p->GetName();
        // A parameter never defined (kept only so stored states line up) is not a port.
        if (p->Type() == IParam::ParamType::None ||
            Listed(name, description.hiddenParams, description.nHidden))
            continue;
        if (Listed(name, description.meterParams, description.nMeters))
        {
            meters.push_back(i);
            continue;
        }
        if (description.radioFirstParam && std::strcmp(name, description.radioFirstParam) == 0)
        {
            radioFirst = i;
            mPorts.push_back({Kind::RadioIn, i, description.radioSymbol, description.radioName});
            continue;
        }
        if (radioFirst >= 0 && i > radioFirst && i < radioFirst + description.radioCount)
            continue;
        mPorts.push_back({Kind::ControlIn, i, SymbolFromName(name), name});
    }
    mPorts.push_back({Kind::Enabled, -1, "enabled", "Enabled"});
    for (int i : meters)
        mPorts.push_back({Kind::MeterOut, i, SymbolFromName(plug.Param(i)->GetName()),
                          plug.Param(i)->GetName()});
    mPorts.push_back({Kind::Latency, -1, "latency", "Latency"});
    mPorts.push_back({Kind::TimeIn, -1, "control", "Control"});
}

int LV2PortMap::Find(LV2Port::Kind kind) const
{
    for (int i = 0; i < Count(); ++i)
        if (mPorts[i].kind == kind)
            return i;
    return -1;
}

bool LV2PortMap::Listed(const char* name, const char* const* list, int count)
{
    for (int i = 0; i < count; ++i)
        if (std::strcmp(name, list[i]) == 0)
            return true;
    return false;
}

std::string LV2PortMap::SymbolFromName(const std::string& name)
{
    std::string symbol;
    for (size_t i = 0; i < name.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (std::isupper(c) && i > 0 && std::islower(static_cast<unsigned char>(name[i - 1])))
            symbol += '_';
        symbol += std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '_';
    }
    // An LV2 symbol may not start with a digit.
    if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0])))
        symbol.insert(symbol.begin(), '_');
    return symbol;
}

float LV2PortMap::ParamPortValue(const IPlugBase& plug, int port) const
{
    const LV2Port& info = mPorts[port];
    if (info.kind == LV2Port::Kind::RadioIn)
    {
        for (int k = 0; k < mDescription.radioCount; ++k)
            if (plug.Param(info.paramIdx + k)->Value() >= 0.5)
                return static_cast<float>(k);
        return 0.0f;
    }
    return info.paramIdx >= 0 ? static_cast<float>(plug.Param(info.paramIdx)->Value()) : 0.0f;
}
