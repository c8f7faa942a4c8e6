#include "hosts/lv2/LV2Urids.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/time/time.h>

LV2Urids::LV2Urids(LV2_URID_Map* map, const char* stateKeyUri)
{
    auto m = [map](const char* uri) { return map->map(map->handle, uri); };
    atomBlank = m(LV2_ATOM__Blank);
    atomObject = m(LV2_ATOM__Object);
    atomFloat = m(LV2_ATOM__Float);
    atomDouble = m(LV2_ATOM__Double);
    atomInt = m(LV2_ATOM__Int);
    atomLong = m(LV2_ATOM__Long);
    atomChunk = m(LV2_ATOM__Chunk);
    atomSequence = m(LV2_ATOM__Sequence);
    timePosition = m(LV2_TIME__Position);
    timeSpeed = m(LV2_TIME__speed);
    timeFrame = m(LV2_TIME__frame);
    timeBpm = m(LV2_TIME__beatsPerMinute);
    timeBar = m(LV2_TIME__bar);
    timeBarBeat = m(LV2_TIME__barBeat);
    timeBeatsPerBar = m(LV2_TIME__beatsPerBar);
    timeBeatUnit = m(LV2_TIME__beatUnit);
    maxBlockLength = m(LV2_BUF_SIZE__maxBlockLength);
    nominalBlockLength = m(LV2_BUF_SIZE__nominalBlockLength);
    sequenceSize = m(LV2_BUF_SIZE__sequenceSize);
    stateKey = m(stateKeyUri);
}
