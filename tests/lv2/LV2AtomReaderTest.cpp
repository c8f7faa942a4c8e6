// Atoms from a host, well-formed and malformed, each in a buffer of exactly its size: the reader
// finds what is whole and skips the rest without reading past any buffer (under AddressSanitizer
// an over-read fails the test).

#include "hosts/lv2/LV2AtomReader.h"
#include "hosts/lv2/LV2Urids.h"

#include <lv2/atom/atom.h>
#include <lv2/time/time.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::map<std::string, LV2_URID> gUrids;

LV2_URID Map(LV2_URID_Map_Handle, const char* uri)
{
    return gUrids.emplace(uri, static_cast<LV2_URID>(gUrids.size() + 1)).first->second;
}

LV2_URID_Map gMap = {nullptr, Map};

// Little-endian words appended to a byte string.
struct Bytes
{
    std::vector<uint8_t> b;
    Bytes& U32(uint32_t v)
    {
        b.insert(b.end(), reinterpret_cast<uint8_t*>(&v), reinterpret_cast<uint8_t*>(&v) + 4);
        return *this;
    }
    Bytes& F64(double v)
    {
        b.insert(b.end(), reinterpret_cast<uint8_t*>(&v), reinterpret_cast<uint8_t*>(&v) + 8);
        return *this;
    }
    // An exactly sized heap copy.
    std::unique_ptr<uint8_t[]> Buffer() const
    {
        std::unique_ptr<uint8_t[]> p(new uint8_t[b.size()]);
        std::memcpy(p.get(), b.data(), b.size());
        return p;
    }
};
} // namespace

class LV2AtomReaderTest : public ::testing::Test
{
protected:
    LV2Urids u{&gMap, "urn:test#chunk"};

    // A sequence of one time:Position event whose properties are given as raw bytes; the
    // object's and the sequence's sizes are the true ones unless given.
    Bytes Sequence(const Bytes& properties, uint32_t objectSize = 0, uint32_t sequenceSize = 0)
    {
        const uint32_t object = objectSize ? objectSize : 8 + uint32_t(properties.b.size());
        Bytes s;
        const uint32_t content = 8 + 16 + 8 + uint32_t(properties.b.size());
        s.U32(sequenceSize ? sequenceSize : content).U32(u.atomSequence).U32(0).U32(0);
        s.U32(0).U32(0).U32(object).U32(u.atomObject).U32(0).U32(u.timePosition);
        s.b.insert(s.b.end(), properties.b.begin(), properties.b.end());
        return s;
    }

    // The bpm the reader finds in the sequence's first event, or −1.
    double Bpm(const Bytes& sequence, size_t capacity = 0)
    {
        auto buffer = sequence.Buffer();
        LV2AtomSequenceReader reader(reinterpret_cast<const LV2_Atom_Sequence*>(buffer.get()),
                                     capacity, u.atomSequence);
        const LV2_Atom* event = reader.Next();
        double bpm = -1.0;
        if (event && LV2AtomObjectType(event, u) == u.timePosition &&
            !LV2AtomNumber(LV2AtomObjectValue(event, u.timeBpm, u), u, &bpm))
            bpm = -1.0;
        EXPECT_EQ(reader.Next(), nullptr);
        return bpm;
    }
};

TEST_F(LV2AtomReaderTest, ReadsWellFormedPositionsAndSkipsWhatDoesNotFit)
{
    Bytes bpm;
    bpm.U32(u.timeBpm).U32(0).U32(8).U32(u.atomDouble).F64(132.5);
    EXPECT_EQ(Bpm(Sequence(bpm)), 132.5);
    // A Double whose body is empty, at the very end of the buffer.
    Bytes empty;
    empty.U32(u.timeBpm).U32(0).U32(0).U32(u.atomDouble);
    EXPECT_EQ(Bpm(Sequence(empty)), -1.0);
    // A Double claiming more than the object holds.
    Bytes longer;
    longer.U32(u.timeBpm).U32(0).U32(64).U32(u.atomDouble).F64(90.0);
    EXPECT_EQ(Bpm(Sequence(longer)), -1.0);
    // An object (the event body) larger than the sequence.
    EXPECT_EQ(Bpm(Sequence(bpm, 4096)), -1.0);
    // A sequence larger than its buffer: with the capacity known, the event is still read and
    // nothing past the buffer.
    const Bytes big = Sequence(bpm, 0, 1 << 20);
    EXPECT_EQ(Bpm(big, big.b.size()), 132.5);
    // A capacity smaller than a sequence header: nothing at all.
    EXPECT_EQ(Bpm(big, 4), -1.0);
}

TEST_F(LV2AtomReaderTest, NumbersNeedTheSizeOfTheirType)
{
    struct Case
    {
        LV2_URID type;
        uint32_t size;
        bool ok;
    } cases[] = {{u.atomFloat, 4, true},   {u.atomFloat, 3, false}, {u.atomInt, 4, true},
                 {u.atomDouble, 4, false}, {u.atomLong, 8, true},   {u.atomLong, 7, false},
                 {u.atomChunk, 8, false}};
    for (const Case& c : cases)
    {
        Bytes atom;
        atom.U32(c.size).U32(c.type).F64(0.0);
        double v = 0.0;
        EXPECT_EQ(LV2AtomNumber(reinterpret_cast<const LV2_Atom*>(atom.b.data()), u, &v), c.ok)
            << "type " << c.type << " size " << c.size;
    }
}
