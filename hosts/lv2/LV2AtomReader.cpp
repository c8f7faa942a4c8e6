#include "hosts/lv2/LV2AtomReader.h"

#include "hosts/lv2/LV2Urids.h"

#include <algorithm>
#include <cstring>

namespace
{
// Atoms start on 64-bit boundaries.
constexpr size_t Padded(size_t size)
{
    return (size + 7u) & ~size_t{7};
}

template <typename T> T Load(const void* p)
{
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}

bool IsObject(const LV2_Atom* atom, const LV2Urids& u)
{
    return atom && (atom->type == u.atomObject || atom->type == u.atomBlank) &&
           atom->size >= sizeof(LV2_Atom_Object_Body);
}
} // namespace

LV2AtomSequenceReader::LV2AtomSequenceReader(const LV2_Atom_Sequence* sequence, size_t capacity,
                                             LV2_URID sequenceType)
{
    if (!sequence || sequence->atom.type != sequenceType ||
        sequence->atom.size < sizeof(LV2_Atom_Sequence_Body))
        return;
    size_t size = sequence->atom.size;
    if (capacity > 0)
    {
        if (capacity < sizeof(LV2_Atom_Sequence))
            return;
        size = std::min(size, capacity - sizeof(LV2_Atom));
    }
    const auto* body = reinterpret_cast<const uint8_t*>(&sequence->body);
    mPos = body + sizeof(LV2_Atom_Sequence_Body);
    mEnd = body + size;
}

const LV2_Atom* LV2AtomSequenceReader::Next()
{
    if (!mPos || mPos >= mEnd)
        return nullptr;
    const size_t left = static_cast<size_t>(mEnd - mPos);
    const auto* event = reinterpret_cast<const LV2_Atom_Event*>(mPos);
    if (left < sizeof(LV2_Atom_Event) || event->body.size > left - sizeof(LV2_Atom_Event))
    {
        mPos = mEnd; // the rest cannot be trusted
        return nullptr;
    }
    mPos += std::min(Padded(sizeof(LV2_Atom_Event) + event->body.size), left);
    return &event->body;
}

LV2_URID LV2AtomObjectType(const LV2_Atom* object, const LV2Urids& u)
{
    if (!IsObject(object, u))
        return 0;
    return reinterpret_cast<const LV2_Atom_Object*>(object)->body.otype;
}

const LV2_Atom* LV2AtomObjectValue(const LV2_Atom* object, LV2_URID key, const LV2Urids& u)
{
    if (!IsObject(object, u))
        return nullptr;
    const auto* begin = reinterpret_cast<const uint8_t*>(object + 1);
    const uint8_t* pos = begin + sizeof(LV2_Atom_Object_Body);
    const uint8_t* end = begin + object->size;
    while (pos < end)
    {
        const size_t left = static_cast<size_t>(end - pos);
        const auto* property = reinterpret_cast<const LV2_Atom_Property_Body*>(pos);
        if (left < sizeof(LV2_Atom_Property_Body) ||
            property->value.size > left - sizeof(LV2_Atom_Property_Body))
            return nullptr;
        if (property->key == key)
            return &property->value;
        pos += std::min(Padded(sizeof(LV2_Atom_Property_Body) + property->value.size), left);
    }
    return nullptr;
}

bool LV2AtomNumber(const LV2_Atom* atom, const LV2Urids& u, double* value)
{
    if (!atom)
        return false;
    const void* body = atom + 1;
    if (atom->type == u.atomFloat && atom->size >= sizeof(float))
        *value = Load<float>(body);
    else if (atom->type == u.atomDouble && atom->size >= sizeof(double))
        *value = Load<double>(body);
    else if (atom->type == u.atomInt && atom->size >= sizeof(int32_t))
        *value = Load<int32_t>(body);
    else if (atom->type == u.atomLong && atom->size >= sizeof(int64_t))
        *value = static_cast<double>(Load<int64_t>(body));
    else
        return false;
    return true;
}
