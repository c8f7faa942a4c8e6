#pragma once
// The URIDs the LV2 adapter needs, mapped once at instantiate (mapping may allocate and lock,
// so never on the audio thread).

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

class LV2Urids
{
public:
    LV2Urids(LV2_URID_Map* map, const char* stateKeyUri);

    LV2_URID atomBlank;
    LV2_URID atomObject;
    LV2_URID atomFloat;
    LV2_URID atomDouble;
    LV2_URID atomInt;
    LV2_URID atomLong;
    LV2_URID atomChunk;
    LV2_URID atomSequence;
    LV2_URID timePosition;
    LV2_URID timeSpeed;
    LV2_URID timeFrame;
    LV2_URID timeBpm;
    LV2_URID timeBar;
    LV2_URID timeBarBeat;
    LV2_URID timeBeatsPerBar;
    LV2_URID timeBeatUnit;
    LV2_URID maxBlockLength;
    LV2_URID nominalBlockLength;
    LV2_URID sequenceSize;
    LV2_URID stateKey; // the parameter chunk in saved state
};
