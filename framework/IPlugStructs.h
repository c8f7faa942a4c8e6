#pragma once
// Plain records passed between the plug-in base, the host adapter and the plug-in: MIDI and
// system-exclusive messages, transport information, presets, and the API and host identifiers.

#include "framework/StateChunk.h"

#include <cstdint>

// Plug-in API identifiers.
constexpr int kAPIAU = 2;

// Host identifiers: −1 until detected, 0 when the name matched no known host.
constexpr int kHostUndetected = -1;
constexpr int kHostUnknown = 0;
// The host whose sidechain inputs may repeat the main input (see MarkSidechainDuplicates).
constexpr int kHostLogic = 21;

struct IMidiMsg
{
    int offset = 0; // sample offset within the block
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

struct ISysEx
{
    int offset = 0; // sample offset within the block
    const uint8_t* data = nullptr;
    int size = 0; // bytes
};

// Transport state filled by the adapter's GetTime; the defaults stand for "unknown".
struct TimeInfo
{
    double tempo = 120.0;
    double samplePos = -1.0;
    double ppqPos = -1.0; // position in quarter notes
    double lastBarPos = -1.0;
    double cycleStartPos = -1.0;
    double cycleEndPos = -1.0;
    int32_t numerator = 4;
    int32_t denominator = 4;
    bool transportIsRunning = false;
    bool transportLoopEnabled = false;
};

// One preset slot: its name and the state recorded into it.
struct IPreset
{
    static constexpr int kNameSize = 256;

    IPreset();

    bool initialized = false;
    char presetName[kNameSize];
    StateChunk chunk;
};
