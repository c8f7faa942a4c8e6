#pragma once
// A small Component Manager for platforms without one: components registered with an entry
// procedure and a description, instances with their storage, and the host-side Audio Unit and
// instrument calls, each of which packs its arguments into a ComponentParameters block (last
// argument first, one long slot each) and calls the entry, exactly as the platform dispatches.
// Also the parameter event listeners hosts use to see gestures, and Gestalt.
//
// Threads: registration, opening and closing take a process-wide lock; the dispatching calls
// take none and allocate nothing, so AudioUnitRender may run on an audio thread.

#include "hosts/au/AudioUnitTypes.h"

#include <cstring>

// ---- Argument blocks ----
// Argument index (0 = first) of a call with count arguments, read with the platform's layout.
template <typename T> T GetComponentParam(const ComponentParameters* params, int index, int count)
{
    static_assert(sizeof(T) <= sizeof(long), "one argument per slot");
    T value;
    std::memcpy(&value, &params->params[count - 1 - index], sizeof(T));
    return value;
}
template <typename T>
void SetComponentParam(ComponentParameters* params, int index, int count, T value)
{
    static_assert(sizeof(T) <= sizeof(long), "one argument per slot");
    long slot = 0;
    std::memcpy(&slot, &value, sizeof(T));
    params->params[count - 1 - index] = slot;
}

// ---- Components ----
// Registers an entry under a description; registering the same pair again returns the same
// component. The name, info and icon handles are not used here.
Component RegisterComponent(ComponentDescription* description, ComponentRoutineProcPtr entry,
                            SInt16 global, Handle name, Handle info, Handle icon);
// The next registered component after previous (null: the first) whose description matches;
// zero fields of looking match anything.
Component FindNextComponent(Component previous, ComponentDescription* looking);
// Creates an instance and calls its entry with the open selector; on an error the instance is
// gone and *instance is null.
OSErr OpenAComponent(Component component, ComponentInstance* instance);
// Calls the entry with the close selector, then frees the instance.
OSErr CloseComponent(ComponentInstance instance);
void SetComponentInstanceStorage(ComponentInstance instance, Handle storage);
// The instance's storage, or null for something that is not an open instance.
Handle GetComponentInstanceStorage(ComponentInstance instance);
// Takes a component or an instance (cast to Component); fills the description.
OSErr GetComponentInfo(Component component, ComponentDescription* description, Handle name,
                       Handle info, Handle icon);
ComponentResult CallComponentVersion(ComponentInstance instance);
ComponentResult CallComponentCanDo(ComponentInstance instance, SInt16 selector);

// ---- Audio Unit calls ----
ComponentResult AudioUnitInitialize(AudioUnit unit);
ComponentResult AudioUnitUninitialize(AudioUnit unit);
ComponentResult AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id,
                                         AudioUnitScope scope, AudioUnitElement element,
                                         UInt32* outDataSize, Boolean* outWritable);
ComponentResult AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, void* outData, UInt32* ioDataSize);
ComponentResult AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, const void* inData,
                                     UInt32 inDataSize);
ComponentResult AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                             AudioUnitPropertyListenerProc proc, void* userData);
ComponentResult AudioUnitRemovePropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                                AudioUnitPropertyListenerProc proc);
ComponentResult AudioUnitRemovePropertyListenerWithUserData(AudioUnit unit, AudioUnitPropertyID id,
                                                            AudioUnitPropertyListenerProc proc,
                                                            void* userData);
ComponentResult AudioUnitAddRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData);
ComponentResult AudioUnitRemoveRenderNotify(AudioUnit unit, AURenderCallback proc, void* userData);
ComponentResult AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                                      AudioUnitElement element, AudioUnitParameterValue* outValue);
ComponentResult AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                                      AudioUnitElement element, AudioUnitParameterValue value,
                                      UInt32 bufferOffsetInFrames);
ComponentResult AudioUnitScheduleParameters(AudioUnit unit, const AudioUnitParameterEvent* events,
                                            UInt32 numEvents);
ComponentResult AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                                const AudioTimeStamp* timeStamp, UInt32 outputBusNumber,
                                UInt32 numberFrames, AudioBufferList* ioData);
ComponentResult AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element);

// ---- Instrument calls ----
ComponentResult MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1, UInt32 data2,
                                     UInt32 offsetSampleFrame);
ComponentResult MusicDeviceSysEx(AudioUnit unit, const UInt8* data, UInt32 length);
ComponentResult MusicDevicePrepareInstrument(AudioUnit unit, MusicDeviceInstrumentID instrument);
ComponentResult MusicDeviceReleaseInstrument(AudioUnit unit, MusicDeviceInstrumentID instrument);
ComponentResult MusicDeviceStartNote(AudioUnit unit, MusicDeviceInstrumentID instrument,
                                     MusicDeviceGroupID group, NoteInstanceID* outNoteInstanceID,
                                     UInt32 offsetSampleFrame,
                                     const MusicDeviceNoteParams* noteParams);
ComponentResult MusicDeviceStopNote(AudioUnit unit, MusicDeviceGroupID group,
                                    NoteInstanceID noteInstanceID, UInt32 offsetSampleFrame);

// ---- Carbon view ----
ComponentResult AudioUnitCarbonViewCreate(ComponentInstance view, AudioUnit editUnit,
                                          WindowRef window, ControlRef parentControl,
                                          const Float32Point* location, const Float32Point* size,
                                          ControlRef* outControl);

// ---- Parameter event listeners (delivered at once, on the notifying thread) ----
constexpr AudioUnitParameterID kAUParameterListener_AnyParameter = 0xFFFFFFFF;
OSStatus AUEventListenerCreate(AUEventListenerProc proc, void* refCon, CFRunLoopRef runLoop,
                               CFStringRef runLoopMode, Float32 notificationInterval,
                               Float32 valueChangeGranularity, AUEventListenerRef* outListener);
// Subscribes to events of the event's type for its unit (null: any unit) and parameter
// (kAUParameterListener_AnyParameter: any).
OSStatus AUEventListenerAddEventType(AUEventListenerRef listener, void* object,
                                     const AudioUnitEvent* event);
OSStatus AUListenerDispose(AUEventListenerRef listener);
// Calls every subscribed listener other than the sender; parameter events carry the value the
// unit reports at that moment.
OSStatus AUEventListenerNotify(AUEventListenerRef sendingListener, void* sendingObject,
                               const AudioUnitEvent* event);

// ---- System ----
constexpr OSType gestaltSystemVersion = FourCC("sysv");
constexpr SInt32 kEmulatedSystemVersion = 0x1090; // what 'sysv' answers on this platform
OSErr Gestalt(OSType selector, SInt32* response);
