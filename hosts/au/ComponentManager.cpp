#include "hosts/au/ComponentManager.h"

#include <deque>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace
{
// Components and instances start with a tag, so that an instance passed where a component is
// expected (as GetComponentInfo allows) is recognised.
constexpr UInt32 kComponentTag = FourCC("cmpt");
constexpr UInt32 kInstanceTag = FourCC("inst");
} // namespace

struct ComponentRecord
{
    UInt32 tag = kComponentTag;
    ComponentDescription description{};
    ComponentRoutineProcPtr entry = nullptr;
};

struct ComponentInstanceRecord
{
    UInt32 tag = kInstanceTag;
    ComponentRecord* component = nullptr;
    Handle storage = nullptr;
};

namespace
{
std::mutex& RegistryMutex()
{
    static std::mutex m;
    return m;
}

// Registered components live as long as the process; a deque keeps their addresses.
std::deque<ComponentRecord>& Registry()
{
    static std::deque<ComponentRecord> components;
    return components;
}

bool Matches(const ComponentDescription& have, const ComponentDescription& want)
{
    return (want.componentType == 0 || want.componentType == have.componentType) &&
           (want.componentSubType == 0 || want.componentSubType == have.componentSubType) &&
           (want.componentManufacturer == 0 ||
            want.componentManufacturer == have.componentManufacturer);
}

bool IsInstance(ComponentInstance instance)
{
    return instance && instance->tag == kInstanceTag && instance->component;
}

template <typename T> long Slot(T value)
{
    static_assert(sizeof(T) <= sizeof(long), "one argument per slot");
    long slot = 0;
    std::memcpy(&slot, &value, sizeof(T));
    return slot;
}

// Packs the arguments, last first, and calls the instance's entry with its storage.
ComponentResult Dispatch(ComponentInstance instance, SInt16 selector,
                         std::initializer_list<long> args)
{
    if (!IsInstance(instance))
        return badComponentSelector;
    ComponentParameters params{};
    params.what = selector;
    const int count = static_cast<int>(args.size());
    params.paramSize = static_cast<UInt8>(count * sizeof(long));
    int i = 0;
    for (long a : args)
        params.params[count - 1 - i++] = a;
    return instance->component->entry(&params, instance->storage);
}
} // namespace

// ---- Components ----

Component RegisterComponent(ComponentDescription* description, ComponentRoutineProcPtr entry,
                            SInt16, Handle, Handle, Handle)
{
    if (!description || !entry)
        return nullptr;
    std::lock_guard<std::mutex> lock(RegistryMutex());
    for (ComponentRecord& c : Registry())
        if (c.entry == entry &&
            std::memcmp(&c.description, description, sizeof(ComponentDescription)) == 0)
            return &c;
    ComponentRecord c;
    c.description = *description;
    c.entry = entry;
    Registry().push_back(c);
    return &Registry().back();
}

Component FindNextComponent(Component previous, ComponentDescription* looking)
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    bool passed = previous == nullptr;
    for (ComponentRecord& c : Registry())
    {
        if (!passed)
        {
            passed = &c == previous;
            continue;
        }
        if (!looking || Matches(c.description, *looking))
            return &c;
    }
    return nullptr;
}

OSErr OpenAComponent(Component component, ComponentInstance* instance)
{
    if (!instance)
        return invalidComponentID;
    *instance = nullptr;
    if (!component || component->tag != kComponentTag)
        return invalidComponentID;
    auto* record = new ComponentInstanceRecord();
    record->component = component;
    const ComponentResult r = Dispatch(record, kComponentOpenSelect, {Slot(record)});
    if (r != noErr)
    {
        delete record;
        return static_cast<OSErr>(r);
    }
    *instance = record;
    return noErr;
}

OSErr CloseComponent(ComponentInstance instance)
{
    if (!IsInstance(instance))
        return invalidComponentID;
    const ComponentResult r = Dispatch(instance, kComponentCloseSelect, {Slot(instance)});
    instance->tag = 0;
    delete instance;
    return static_cast<OSErr>(r);
}

void SetComponentInstanceStorage(ComponentInstance instance, Handle storage)
{
    if (IsInstance(instance))
        instance->storage = storage;
}

Handle GetComponentInstanceStorage(ComponentInstance instance)
{
    return IsInstance(instance) ? instance->storage : nullptr;
}

OSErr GetComponentInfo(Component component, ComponentDescription* description, Handle, Handle,
                       Handle)
{
    const ComponentRecord* c = nullptr;
    if (component && component->tag == kComponentTag)
        c = component;
    else if (IsInstance(reinterpret_cast<ComponentInstance>(component)))
        c = reinterpret_cast<ComponentInstance>(component)->component;
    if (!c)
        return invalidComponentID;
    if (description)
        *description = c->description;
    return noErr;
}

ComponentResult CallComponentVersion(ComponentInstance instance)
{
    return Dispatch(instance, kComponentVersionSelect, {});
}

ComponentResult CallComponentCanDo(ComponentInstance instance, SInt16 selector)
{
    return Dispatch(instance, kComponentCanDoSelect, {Slot(selector)});
}

// ---- Audio Unit calls ----

ComponentResult AudioUnitInitialize(AudioUnit unit)
{
    return Dispatch(unit, kAudioUnitInitializeSelect, {});
}

ComponentResult AudioUnitUninitialize(AudioUnit unit)
{
    return Dispatch(unit, kAudioUnitUninitializeSelect, {});
}

ComponentResult AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id,
                                         AudioUnitScope scope, AudioUnitElement element,
                                         UInt32* outDataSize, Boolean* outWritable)
{
    return Dispatch(unit, kAudioUnitGetPropertyInfoSelect,
                    {Slot(id), Slot(scope), Slot(element), Slot(outDataSize), Slot(outWritable)});
}

ComponentResult AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, void* outData, UInt32* ioDataSize)
{
    return Dispatch(unit, kAudioUnitGetPropertySelect,
                    {Slot(id), Slot(scope), Slot(element), Slot(outData), Slot(ioDataSize)});
}

ComponentResult AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, const void* inData,
                                     UInt32 inDataSize)
{
    return Dispatch(unit, kAudioUnitSetPropertySelect,
                    {Slot(id), Slot(scope), Slot(element), Slot(inData), Slot(inDataSize)});
}

ComponentResult AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                             AudioUnitPropertyListenerProc proc, void* userData)
{
    return Dispatch(unit, kAudioUnitAddPropertyListenerSelect,
                    {Slot(id), Slot(proc), Slot(userData)});
}

ComponentResult AudioUnitRemovePropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                                AudioUnitPropertyListenerProc proc)
{
    return Dispatch(unit, kAudioUnitRemovePropertyListenerSelect, {Slot(id), Slot(proc)});
}

ComponentResult AudioUnitRemovePropertyListenerWithUserData(AudioUnit unit, AudioUnitPropertyID id,
                                                            AudioUnitPropertyListenerProc proc,
                                                            void* userData)
{
    return Dispatch(unit, kAudioUnitRemovePropertyListenerWithUserDataSelect,
                    {Slot(id), Slot(proc), Slot(userData)});
}

ComponentResult AudioUnitAddRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData)
{
    return Dispatch(unit, kAudioUnitAddRenderNotifySelect, {Slot(proc), Slot(userData)});
}

ComponentResult AudioUnitRemoveRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData)
{
    return Dispatch(unit, kAudioUnitRemoveRenderNotifySelect, {Slot(proc), Slot(userData)});
}

ComponentResult AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                                      AudioUnitElement element, AudioUnitParameterValue* outValue)
{
    return Dispatch(unit, kAudioUnitGetParameterSelect,
                    {Slot(id), Slot(scope), Slot(element), Slot(outValue)});
}

ComponentResult AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                                      AudioUnitElement element, AudioUnitParameterValue value,
                                      UInt32 bufferOffsetInFrames)
{
    return Dispatch(
        unit, kAudioUnitSetParameterSelect,
        {Slot(id), Slot(scope), Slot(element), Slot(value), Slot(bufferOffsetInFrames)});
}

ComponentResult AudioUnitScheduleParameters(AudioUnit unit, const AudioUnitParameterEvent* events,
                                            UInt32 numEvents)
{
    return Dispatch(unit, kAudioUnitScheduleParametersSelect, {Slot(events), Slot(numEvents)});
}

ComponentResult AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                                const AudioTimeStamp* timeStamp, UInt32 outputBusNumber,
                                UInt32 numberFrames, AudioBufferList* ioData)
{
    return Dispatch(unit, kAudioUnitRenderSelect,
                    {Slot(ioActionFlags), Slot(timeStamp), Slot(outputBusNumber),
                     Slot(numberFrames), Slot(ioData)});
}

ComponentResult AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element)
{
    return Dispatch(unit, kAudioUnitResetSelect, {Slot(scope), Slot(element)});
}

// ---- Instrument calls ----

ComponentResult MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1, UInt32 data2,
                                     UInt32 offsetSampleFrame)
{
    return Dispatch(unit, kMusicDeviceMIDIEventSelect,
                    {Slot(status), Slot(data1), Slot(data2), Slot(offsetSampleFrame)});
}

ComponentResult MusicDeviceSysEx(AudioUnit unit, const UInt8* data, UInt32 length)
{
    return Dispatch(unit, kMusicDeviceSysExSelect, {Slot(data), Slot(length)});
}

ComponentResult MusicDevicePrepareInstrument(AudioUnit unit, MusicDeviceInstrumentID instrument)
{
    return Dispatch(unit, kMusicDevicePrepareInstrumentSelect, {Slot(instrument)});
}

ComponentResult MusicDeviceReleaseInstrument(AudioUnit unit, MusicDeviceInstrumentID instrument)
{
    return Dispatch(unit, kMusicDeviceReleaseInstrumentSelect, {Slot(instrument)});
}

ComponentResult MusicDeviceStartNote(AudioUnit unit, MusicDeviceInstrumentID instrument,
                                     MusicDeviceGroupID group, NoteInstanceID* outNoteInstanceID,
                                     UInt32 offsetSampleFrame,
                                     const MusicDeviceNoteParams* noteParams)
{
    return Dispatch(unit, kMusicDeviceStartNoteSelect,
                    {Slot(instrument), Slot(group), Slot(outNoteInstanceID),
                     Slot(offsetSampleFrame), Slot(noteParams)});
}

ComponentResult MusicDeviceStopNote(AudioUnit unit, MusicDeviceGroupID group,
                                    NoteInstanceID noteInstanceID, UInt32 offsetSampleFrame)
{
    return Dispatch(unit, kMusicDeviceStopNoteSelect,
                    {Slot(group), Slot(noteInstanceID), Slot(offsetSampleFrame)});
}

ComponentResult AudioUnitCarbonViewCreate(ComponentInstance view, AudioUnit editUnit,
                                          WindowRef window, ControlRef parentControl,
                                          const Float32Point* location, const Float32Point* size,
                                          ControlRef* outControl)
{
    return Dispatch(view, kAudioUnitCarbonViewCreateSelect,
                    {Slot(editUnit), Slot(window), Slot(parentControl), Slot(location), Slot(size),
                     Slot(outControl)});
}

// ---- Parameter event listeners ----

struct AUEventListenerRecord
{
    AUEventListenerProc proc = nullptr;
    void* refCon = nullptr;
    std::vector<AudioUnitEvent> subscriptions;
};

namespace
{
// Guards the listener list; never held while a listener runs.
std::mutex& ListenerMutex()
{
    static std::mutex m;
    return m;
}

std::vector<AUEventListenerRecord*>& Listeners()
{
    static std::vector<AUEventListenerRecord*> listeners;
    return listeners;
}

bool IsParameterEvent(AudioUnitEventType type)
{
    return type != kAudioUnitEvent_PropertyChange;
}

bool Wants(const AudioUnitEvent& subscription, const AudioUnitEvent& event)
{
    if (subscription.mEventType != event.mEventType)
        return false;
    if (IsParameterEvent(event.mEventType))
    {
        const AudioUnitParameter& s = subscription.mArgument.mParameter;
        const AudioUnitParameter& e = event.mArgument.mParameter;
        return (!s.mAudioUnit || s.mAudioUnit == e.mAudioUnit) &&
               (s.mParameterID == kAUParameterListener_AnyParameter ||
                s.mParameterID == e.mParameterID);
    }
    const AudioUnitProperty& s = subscription.mArgument.mProperty;
    const AudioUnitProperty& e = event.mArgument.mProperty;
    return (!s.mAudioUnit || s.mAudioUnit == e.mAudioUnit) && s.mPropertyID == e.mPropertyID;
}

bool IsListener(AUEventListenerRef listener)
{
    for (AUEventListenerRecord* l : Listeners())
        if (l == listener)
            return true;
    return false;
}
} // namespace

OSStatus AUEventListenerCreate(AUEventListenerProc proc, void* refCon, CFRunLoopRef, CFStringRef,
                               Float32, Float32, AUEventListenerRef* outListener)
{
    if (!proc || !outListener)
        return kAudioUnitErr_InvalidParameter;
    auto* l = new AUEventListenerRecord();
    l->proc = proc;
    l->refCon = refCon;
    std::lock_guard<std::mutex> lock(ListenerMutex());
    Listeners().push_back(l);
    *outListener = l;
    return noErr;
}

OSStatus AUEventListenerAddEventType(AUEventListenerRef listener, void*,
                                     const AudioUnitEvent* event)
{
    std::lock_guard<std::mutex> lock(ListenerMutex());
    if (!IsListener(listener) || !event)
        return kAudioUnitErr_InvalidParameter;
    listener->subscriptions.push_back(*event);
    return noErr;
}

OSStatus AUListenerDispose(AUEventListenerRef listener)
{
    std::lock_guard<std::mutex> lock(ListenerMutex());
    auto& all = Listeners();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == listener)
        {
            all.erase(all.begin() + static_cast<long>(i));
            delete listener;
            return noErr;
        }
    return kAudioUnitErr_InvalidParameter;
}

OSStatus AUEventListenerNotify(AUEventListenerRef sendingListener, void*,
                               const AudioUnitEvent* event)
{
    if (!event)
        return kAudioUnitErr_InvalidParameter;
    // The calls are made without the listener lock: a listener reads the value back from the
    // unit, which takes the unit's mutex, and the unit may be notifying with that mutex held.
    struct Call
    {
        AUEventListenerProc proc;
        void* refCon;
    };
    std::vector<Call> calls;
    {
        std::lock_guard<std::mutex> lock(ListenerMutex());
        for (const AUEventListenerRecord* l : Listeners())
        {
            if (l == sendingListener)
                continue;
            for (const AudioUnitEvent& s : l->subscriptions)
                if (Wants(s, *event))
                {
                    calls.push_back({l->proc, l->refCon});
                    break;
                }
        }
    }
    if (calls.empty())
        return noErr;
    AudioUnitParameterValue value = 0.0f;
    if (IsParameterEvent(event->mEventType))
    {
        const AudioUnitParameter& p = event->mArgument.mParameter;
        AudioUnitGetParameter(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, &value);
    }
    for (const Call& c : calls)
        c.proc(c.refCon, nullptr, event, 0, value);
    return noErr;
}

OSErr Gestalt(OSType selector, SInt32* response)
{
    if (!response)
        return -50; // paramErr
    if (selector != gestaltSystemVersion)
        return -5551; // gestaltUndefSelectorErr
    *response = kEmulatedSystemVersion;
    return noErr;
}
