#pragma once
// The LV2 entry points over IPlugLV2: a product hands its factory once and the two plug-in
// descriptors (index 0 stereo in, index 1 mono in, both stereo out) create instances through it
// under a process-wide creation mutex.

#include "hosts/lv2/IPlugLV2.h"

#include <lv2/core/lv2.h>

struct IPlugLV2Factory
{
    const IPlugLV2Description* description;
    IPlugLV2* (*make)();
};

// Stores the factory (the same one every time) and returns descriptor index, or null.
const LV2_Descriptor* IPlugLV2GetDescriptor(const IPlugLV2Factory& factory, uint32_t index);
