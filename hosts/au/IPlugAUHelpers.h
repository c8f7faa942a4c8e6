#pragma once
// Small helpers the adapter's source files share; not for use outside the adapter.

#include "hosts/au/AUPlatform.h"

#include <cstdint>

namespace IPlugAUHelpers
{
// Bytes of one host sample: the host's buffers hold 32-bit floats.
constexpr int kBytesPerSample = sizeof(float);
// Host names longer than this are cut.
constexpr int kHostNameSize = 264;

inline CFStringRef MakeCFString(const char* text)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, text ? text : "", kCFStringEncodingUTF8);
}

// An element as an index, or −1 for one too large to be any.
inline int ElementIndex(AudioUnitElement element)
{
    return element > static_cast<AudioUnitElement>(INT32_MAX) ? -1 : static_cast<int>(element);
}
} // namespace IPlugAUHelpers
