#include "AUTestPlug.h"

int AUTestPlug::liveCount = 0;

namespace
{
IPlugAU* MakeEffect(IPlugInstanceInfo info)
{
    return new AUTestPlug(info, "1-2 2-2", false);
}
IPlugAU* MakeInstrument(IPlugInstanceInfo info)
{
    return new AUTestPlug(info, "0-4", true);
}

const IPlugAUFactory kEffect = {"com.example.test-effect", "Test_View", MakeEffect};
const IPlugAUFactory kInstrument = {"com.example.test-instrument", "Test_View", MakeInstrument};

ComponentResult EffectEntry(ComponentParameters* p, void* s)
{
    return IPlugAUEntry(p, s, kEffect);
}
ComponentResult InstrumentEntry(ComponentParameters* p, void* s)
{
    return IPlugAUEntry(p, s, kInstrument);
}

Component Register(OSType type, ComponentRoutineProcPtr entry)
{
    ComponentDescription cd{};
    cd.componentType = type;
    cd.componentSubType = FourCC("tplg");
    cd.componentManufacturer = FourCC("Test");
    return RegisterComponent(&cd, entry, 0, nullptr, nullptr, nullptr);
}
} // namespace

Component RegisterTestEffect()
{
    return Register(kAudioUnitType_Effect, EffectEntry);
}
Component RegisterTestInstrument()
{
    return Register(kAudioUnitType_MusicDevice, InstrumentEntry);
}
