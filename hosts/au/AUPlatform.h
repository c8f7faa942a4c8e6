#pragma once
// The one place the platform is reached: the system's Audio Unit, Core Audio,
// Component Manager and Core Foundation headers where they exist, this program's own
// declarations and emulation elsewhere. The adapter and the hosts (command line, tests)
// include this header, never the platform's own.

#if defined(__APPLE__)
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include <cstring>

template <typename T> T GetComponentParam(const ComponentParameters* params, int index, int count)
{
    T value;
    std::memcpy(&value, &params->params[count - 1 - index], sizeof(T));
    return value;
}
#else
#include "hosts/au/ComponentManager.h"
#endif
