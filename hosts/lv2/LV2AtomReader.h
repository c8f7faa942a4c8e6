#pragma once
// Reading atoms a host sent without trusting them: every event, object property and number is
// checked against the size its type needs and against the atom that encloses it, and whatever
// does not fit is skipped. Nothing is read past the sequence's stated size, nor past the port
// buffer's capacity when the host told it (bufsz:sequenceSize). Allocation-free, for the audio
// thread.

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstddef>
#include <cstdint>

class LV2Urids;

class LV2AtomSequenceReader
{
public:
    // capacity: the bytes the port buffer holds, header included; 0 when unknown.
    LV2AtomSequenceReader(const LV2_Atom_Sequence* sequence, size_t capacity,
                          LV2_URID sequenceType);

    // The next event's body, whole within the sequence, or null at the end.
    const LV2_Atom* Next();

private:
    const uint8_t* mPos = nullptr;
    const uint8_t* mEnd = nullptr;
};

// The value of key in an object atom (atom:Object or atom:Blank), whole within the object; null
// when absent, malformed, or not an object.
const LV2_Atom* LV2AtomObjectValue(const LV2_Atom* object, LV2_URID key, const LV2Urids& u);
// The object's otype, or 0 when the atom is not a well-formed object.
LV2_URID LV2AtomObjectType(const LV2_Atom* object, const LV2Urids& u);
// A number atom of any of the four numeric types whose body is as large as its type; false
// otherwise.
bool LV2AtomNumber(const LV2_Atom* atom, const LV2Urids& u, double* value);
