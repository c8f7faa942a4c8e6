#include "editor/IGraphics.h"
#include "hosts/au/IPlugAU.h"

#include <new>

// ---- Selectors ----

const IPlugAU::SelectorEntry IPlugAU::kSelectors[] = {
    {kComponentCanDoSelect, &IPlugAU::CanDo},
    {kComponentVersionSelect, &IPlugAU::Version},
    {kAudioUnitInitializeSelect, &IPlugAU::Initialize},
    {kAudioUnitUninitializeSelect, &IPlugAU::Uninitialize},
    {kAudioUnitGetPropertyInfoSelect, &IPlugAU::DispatchGetPropertyInfo},
    {kAudioUnitGetPropertySelect, &IPlugAU::DispatchGetProperty},
    {kAudioUnitSetPropertySelect, &IPlugAU::DispatchSetProperty},
    {kAudioUnitGetParameterSelect, &IPlugAU::DispatchGetParameter},
    {kAudioUnitSetParameterSelect, &IPlugAU::DispatchSetParameter},
    {kAudioUnitResetSelect, &IPlugAU::DispatchReset},
    {kAudioUnitAddPropertyListenerSelect, &IPlugAU::AddPropertyListener},
    {kAudioUnitRemovePropertyListenerSelect, &IPlugAU::RemovePropertyListener},
    {kAudioUnitRemovePropertyListenerWithUserDataSelect, &IPlugAU::RemovePropertyListener},
    {kAudioUnitRenderSelect, &IPlugAU::DispatchRender},
    {kAudioUnitAddRenderNotifySelect, &IPlugAU::AddRenderNotify},
    {kAudioUnitRemoveRenderNotifySelect, &IPlugAU::RemoveRenderNotify},
    {kAudioUnitScheduleParametersSelect, &IPlugAU::ScheduleParameters},
    {kMusicDeviceMIDIEventSelect, &IPlugAU::MidiEvent},
    {kMusicDeviceSysExSelect, &IPlugAU::SysEx},
    {kMusicDevicePrepareInstrumentSelect, &IPlugAU::Accept},
    {kMusicDeviceReleaseInstrumentSelect, &IPlugAU::Accept},
    {kMusicDeviceStartNoteSelect, &IPlugAU::StartNote},
    {kMusicDeviceStopNoteSelect, &IPlugAU::Accept},
};

ComponentResult IPlugAU::Dispatch(ComponentParameters* params)
{
    WDL_MutexLock lock(GetMutex());
    for (const SelectorEntry& s : kSelectors)
        if (s.what == params->what)
            return (this->*s.handler)(params);
    return badComponentSelector;
}

ComponentResult IPlugAU::CanDo(ComponentParameters* params)
{
    // Selector 18 is handled but, as hosts expect, not announced.
    const SInt16 select = GetComponentParam<SInt16>(params, 0, 1);
    return (select >= kAudioUnitInitializeSelect && select <= kAudioUnitSetParameterSelect) ||
           (select >= kAudioUnitResetSelect && select <= kAudioUnitRemovePropertyListenerSelect) ||
           (select >= kAudioUnitRenderSelect && select <= kAudioUnitScheduleParametersSelect);
}

ComponentResult IPlugAU::Version(ComponentParameters* /*params*/)
{
    return GetEffectVersion(false);
}

ComponentResult IPlugAU::Initialize(ComponentParameters* /*params*/)
{
    if (!CheckLegalIO())
        return badComponentSelector;
    mActive = true;
    OnParamReset();
    OnActivate(true);
    return noErr;
}

ComponentResult IPlugAU::Uninitialize(ComponentParameters* /*params*/)
{
    mActive = false;
    OnActivate(false);
    return noErr;
}

ComponentResult IPlugAU::DispatchGetPropertyInfo(ComponentParameters* params)
{
    const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 5);
    const auto scope = GetComponentParam<AudioUnitScope>(params, 1, 5);
    const auto element = GetComponentParam<AudioUnitElement>(params, 2, 5);
    auto* size = GetComponentParam<UInt32*>(params, 3, 5);
    auto* writable = GetComponentParam<Boolean*>(params, 4, 5);
    return GetProperty(id, scope, element, size, writable, nullptr);
}

ComponentResult IPlugAU::DispatchGetProperty(ComponentParameters* params)
{
    const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 5);
    const auto scope = GetComponentParam<AudioUnitScope>(params, 1, 5);
    const auto element = GetComponentParam<AudioUnitElement>(params, 2, 5);
    void* data = GetComponentParam<void*>(params, 3, 5);
    auto* size = GetComponentParam<UInt32*>(params, 4, 5);
    if (data && !size)
        return kAudioUnitErr_InvalidPropertyValue;
    return GetProperty(id, scope, element, size, nullptr, data);
}

ComponentResult IPlugAU::DispatchSetProperty(ComponentParameters* params)
{
    const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 5);
    const auto scope = GetComponentParam<AudioUnitScope>(params, 1, 5);
    const auto element = GetComponentParam<AudioUnitElement>(params, 2, 5);
    const void* data = GetComponentParam<const void*>(params, 3, 5);
    const auto size = GetComponentParam<UInt32>(params, 4, 5);
    return SetProperty(id, scope, element, size, data);
}

ComponentResult IPlugAU::DispatchGetParameter(ComponentParameters* params)
{
    return GetParamProc(this, GetComponentParam<AudioUnitParameterID>(params, 0, 4),
                        GetComponentParam<AudioUnitScope>(params, 1, 4),
                        GetComponentParam<AudioUnitElement>(params, 2, 4),
                        GetComponentParam<AudioUnitParameterValue*>(params, 3, 4));
}

ComponentResult IPlugAU::DispatchSetParameter(ComponentParameters* params)
{
    return SetParamProc(this, GetComponentParam<AudioUnitParameterID>(params, 0, 5),
                        GetComponentParam<AudioUnitScope>(params, 1, 5),
                        GetComponentParam<AudioUnitElement>(params, 2, 5),
                        GetComponentParam<AudioUnitParameterValue>(params, 3, 5),
                        GetComponentParam<UInt32>(params, 4, 5));
}

ComponentResult IPlugAU::DispatchReset(ComponentParameters* /*params*/)
{
    Reset();
    return noErr;
}

ComponentResult IPlugAU::AddPropertyListener(ComponentParameters* params)
{
    const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, 3);
    const auto proc = GetComponentParam<AudioUnitPropertyListenerProc>(params, 1, 3);
    void* ref = GetComponentParam<void*>(params, 2, 3);
    if (!proc)
        return kAudioUnitErr_InvalidPropertyValue;
    for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
    {
        const PropertyListener* l = mPropertyListeners.Get(i);
        if (l->propID == id && l->listenerProc == proc)
            return noErr;
    }
    mPropertyListeners.Add(new PropertyListener{id, proc, ref});
    return noErr;
}

// Without user data (selector 11) the first listener with the ID and procedure goes; with it
// (selector 18) the reference must match too.
ComponentResult IPlugAU::RemovePropertyListener(ComponentParameters* params)
{
    const bool withRef = params->what == kAudioUnitRemovePropertyListenerWithUserDataSelect;
    const int n = withRef ? 3 : 2;
    const auto id = GetComponentParam<AudioUnitPropertyID>(params, 0, n);
    const auto proc = GetComponentParam<AudioUnitPropertyListenerProc>(params, 1, n);
    void* ref = withRef ? GetComponentParam<void*>(params, 2, n) : nullptr;
    for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
    {
        const PropertyListener* l = mPropertyListeners.Get(i);
        if (l->propID == id && l->listenerProc == proc && (!withRef || l->listenerRefCon == ref))
        {
            mPropertyListeners.Delete(i, true);
            break;
        }
    }
    return noErr;
}

ComponentResult IPlugAU::DispatchRender(ComponentParameters* params)
{
    return RenderProc(this, GetComponentParam<AudioUnitRenderActionFlags*>(params, 0, 5),
                      GetComponentParam<const AudioTimeStamp*>(params, 1, 5),
                      GetComponentParam<UInt32>(params, 2, 5),
                      GetComponentParam<UInt32>(params, 3, 5),
                      GetComponentParam<AudioBufferList*>(params, 4, 5));
}

ComponentResult IPlugAU::AddRenderNotify(ComponentParameters* params)
{
    const auto proc = GetComponentParam<AURenderCallback>(params, 0, 2);
    void* ref = GetComponentParam<void*>(params, 1, 2);
    if (!proc)
        return kAudioUnitErr_InvalidPropertyValue;
    mRenderNotify.Add(new RenderNotify{proc, ref});
    return noErr;
}

ComponentResult IPlugAU::RemoveRenderNotify(ComponentParameters* params)
{
    const auto proc = GetComponentParam<AURenderCallback>(params, 0, 2);
    for (int i = 0; i < mRenderNotify.GetSize(); ++i)
        if (mRenderNotify.Get(i)->func == proc)
        {
            mRenderNotify.Delete(i, true);
            break;
        }
    return noErr;
}

// Immediate events are set in order; ramped ones are skipped. The first error ends the list.
ComponentResult IPlugAU::ScheduleParameters(ComponentParameters* params)
{
    const auto* events = GetComponentParam<const AudioUnitParameterEvent*>(params, 0, 2);
    const auto n = GetComponentParam<UInt32>(params, 1, 2);
    if (!events && n > 0)
        return kAudioUnitErr_InvalidPropertyValue;
    for (UInt32 i = 0; i < n; ++i)
    {
        const AudioUnitParameterEvent& e = events[i];
        if (e.eventType != kParameterEvent_Immediate)
            continue;
        const ComponentResult r =
            SetParamProc(this, e.parameter, e.scope, e.element, e.eventValues.immediate.value,
                         e.eventValues.immediate.bufferOffset);
        if (r != noErr)
            return r;
    }
    return noErr;
}

ComponentResult IPlugAU::MidiEvent(ComponentParameters* params)
{
    IMidiMsg msg;
    msg.status = static_cast<uint8_t>(GetComponentParam<UInt32>(params, 0, 4));
    msg.data1 = static_cast<uint8_t>(GetComponentParam<UInt32>(params, 1, 4));
    msg.data2 = static_cast<uint8_t>(GetComponentParam<UInt32>(params, 2, 4));
    msg.offset = static_cast<int>(GetComponentParam<UInt32>(params, 3, 4));
    ProcessMidiMessage(&msg);
    return noErr;
}

ComponentResult IPlugAU::SysEx(ComponentParameters* params)
{
    ISysEx sysex;
    sysex.offset = 0;
    sysex.data = GetComponentParam<const UInt8*>(params, 0, 2);
    sysex.size = static_cast<int>(GetComponentParam<UInt32>(params, 1, 2));
    ProcessSysEx(&sysex);
    return noErr;
}

ComponentResult IPlugAU::Accept(ComponentParameters* /*params*/)
{
    return noErr;
}

// The note's instance ID is its pitch.
ComponentResult IPlugAU::StartNote(ComponentParameters* params)
{
    auto* noteID = GetComponentParam<NoteInstanceID*>(params, 2, 5);
    const auto* note = GetComponentParam<const MusicDeviceNoteParams*>(params, 4, 5);
    if (noteID && note)
        *noteID = static_cast<NoteInstanceID>(note->mPitch);
    return noErr;
}

// ---- Entry ----

ComponentResult IPlugAUEntry(ComponentParameters* params, void* storage,
                             const IPlugAUFactory& factory)
{
    if (!params)
        return badComponentSelector;
    // No exception crosses the host boundary; the only one possible is running out of memory.
    try
    {
        if (params->what == kComponentOpenSelect)
        {
            const auto ci = GetComponentParam<ComponentInstance>(params, 0, 1);
            IPlugAU* plug = nullptr;
            {
                WDL_MutexLock lock(&IPlugAUCreationMutex());
                IPlugInstanceInfo info;
                info.mOSXBundleID.Set(factory.bundleID);
                info.mCocoaViewFactoryClassName.Set(factory.viewFactoryClassName);
                plug = factory.make(info);
            }
            if (!plug)
                return memFullErr;
            plug->HostSpecificInit();
            plug->PruneUninitializedPresets();
            plug->mCI = ci;
            SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(plug));
            return noErr;
        }

        IPlugAU* plug = IPlugAU::FromStorage(storage);
        if (!plug)
            return badComponentSelector;
        if (params->what == kComponentCloseSelect)
        {
            plug->ClearConnections();
            delete plug;
            return noErr;
        }
        return plug->Dispatch(params);
    }
    catch (const std::bad_alloc&)
    {
        return memFullErr;
    }
}

// ---- Carbon view ----

namespace
{
struct CarbonViewRecord
{
    ComponentInstance instance;
    IPlugAU* plug;
};
} // namespace

ComponentResult IPlugAUCarbonViewEntry(ComponentParameters* params, void* storage)
{
    if (!params)
        return badComponentSelector;
    switch (params->what)
    {
    case kComponentOpenSelect:
    {
        const auto ci = GetComponentParam<ComponentInstance>(params, 0, 1);
        CarbonViewRecord* record = nullptr;
        try
        {
            record = new CarbonViewRecord{ci, nullptr};
        }
        catch (const std::bad_alloc&)
        {
            return memFullErr;
        }
        SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(record));
        return noErr;
    }
    case kComponentCloseSelect:
    {
        auto* record = static_cast<CarbonViewRecord*>(storage);
        // The editor has no Carbon window of its own, so there is nothing to close here.
        delete record;
        return noErr;
    }
    case kAudioUnitCarbonViewCreateSelect:
    {
        auto* record = static_cast<CarbonViewRecord*>(storage);
        const auto editUnit = GetComponentParam<AudioUnit>(params, 0, 6);
        auto* outControl = GetComponentParam<ControlRef*>(params, 5, 6);
        if (!record)
            return badComponentSelector;
        record->plug = IPlugAU::FromStorage(GetComponentInstanceStorage(editUnit));
        if (!record->plug || !GetGUI(*record->plug))
            return badComponentSelector;
        // The editor makes no Carbon control on this platform: the host gets none.
        if (outControl)
            *outControl = nullptr;
        return noErr;
    }
    default:
        return badComponentSelector;
    }
}
