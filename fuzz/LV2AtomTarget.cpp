// The LV2 plug-in's atom input: sequences of time:Position objects (and other atoms) built from
// the fuzz bytes, with sizes and types that are right or wrong, each in a port buffer of exactly
// the size the host claims, run through the plug-in's run call. Reading past any buffer is an
// AddressSanitizer finding; the output must stay finite.

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzRequire.h"
#include "fuzz/FuzzTargets.h"

#include "engine/lv2/ParandelLV2.h"
#include "hosts/lv2/IPlugLV2Entry.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace fuzz
{
namespace
{
constexpr int kMaxRuns = 8;
constexpr int kBlock = 256;
constexpr uint32_t kMaxAtomBytes = 1024;

// The URIs an atom may name; anything else maps to a URID of its own.
const char* const kUris[] = {LV2_ATOM__Sequence, LV2_ATOM__Object,  LV2_ATOM__Blank,
                             LV2_ATOM__Float,    LV2_ATOM__Double,  LV2_ATOM__Int,
                             LV2_ATOM__Long,     LV2_ATOM__Chunk,   LV2_TIME__Position,
                             LV2_TIME__speed,    LV2_TIME__frame,   LV2_TIME__beatsPerMinute,
                             LV2_TIME__bar,      LV2_TIME__barBeat, LV2_TIME__beatsPerBar,
                             LV2_TIME__beatUnit, LV2_ATOM__URID,    LV2_ATOM__Tuple};
constexpr uint32_t kNumUris = sizeof(kUris) / sizeof(kUris[0]);

struct UridTable
{
    std::vector<std::string> uris;
    static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri)
    {
        auto* t = static_cast<UridTable*>(handle);
        for (size_t i = 0; i < t->uris.size(); ++i)
            if (t->uris[i] == uri)
                return static_cast<LV2_URID>(i + 1);
        t->uris.push_back(uri);
        return static_cast<LV2_URID>(t->uris.size());
    }
};

// Bytes appended to an atom buffer, 64-bit aligned where the format aligns them.
class AtomWriter
{
public:
    void U32(uint32_t v) { Raw(&v, 4); }
    void Raw(const void* p, size_t n)
    {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    void Pad()
    {
        while (bytes.size() % 8)
            bytes.push_back(0);
    }
    size_t Size() const { return bytes.size(); }
    void Patch(size_t at, uint32_t v) { std::memcpy(bytes.data() + at, &v, 4); }
    std::vector<uint8_t> bytes;
};

uint32_t PickType(FuzzInput& in, UridTable& urids)
{
    // One time in eight anything at all.
    if (in.Below(8) == 0)
        return in.U32();
    return UridTable::Map(&urids, kUris[in.Below(kNumUris)]);
}

// A size that is usually right and sometimes anything.
uint32_t PickSize(FuzzInput& in, uint32_t right)
{
    switch (in.Below(8))
    {
    case 0:
        return in.U32();
    case 1:
        return in.Below(24);
    default:
        return right;
    }
}

void WriteValue(FuzzInput& in, UridTable& urids, AtomWriter& w)
{
    const uint32_t type = PickType(in, urids);
    const uint32_t body = in.Below(17);
    w.U32(PickSize(in, body));
    w.U32(type);
    for (uint32_t k = 0; k < body; ++k)
    {
        const uint8_t b = in.Byte();
        w.Raw(&b, 1);
    }
}

void WriteObject(FuzzInput& in, UridTable& urids, AtomWriter& w)
{
    const size_t header = w.Size();
    w.U32(0);
    w.U32(in.Below(4) ? UridTable::Map(&urids, LV2_ATOM__Object) : PickType(in, urids));
    w.U32(0); // id
    w.U32(in.Below(4) ? UridTable::Map(&urids, LV2_TIME__Position) : PickType(in, urids));
    const uint32_t nProperties = in.Below(9);
    for (uint32_t p = 0; p < nProperties && w.Size() < kMaxAtomBytes; ++p)
    {
        w.U32(PickType(in, urids)); // key
        w.U32(0);                   // context
        WriteValue(in, urids, w);
        if (in.Below(4))
            w.Pad();
    }
    w.Patch(header, PickSize(in, static_cast<uint32_t>(w.Size() - header - 8)));
}

// A sequence (its header's size right or not) and the buffer capacity the host reports.
std::vector<uint8_t> BuildSequence(FuzzInput& in, UridTable& urids, bool capacityKnown)
{
    AtomWriter w;
    w.U32(0);
    w.U32(in.Below(8) ? UridTable::Map(&urids, LV2_ATOM__Sequence) : PickType(in, urids));
    w.U32(0); // unit: frames
    w.U32(0);
    const uint32_t nEvents = in.Below(6);
    for (uint32_t e = 0; e < nEvents && w.Size() < kMaxAtomBytes; ++e)
    {
        const int64_t frames = in.Below(kBlock);
        w.Raw(&frames, 8);
        if (in.Below(4))
            WriteObject(in, urids, w);
        else
            WriteValue(in, urids, w);
        w.Pad();
    }
    // Sometimes cut the buffer short in the middle of the last event.
    if (in.Below(4) == 0 && w.Size() > 8)
        w.bytes.resize(8 + in.Below(static_cast<uint32_t>(w.Size() - 8)));
    const uint32_t contentSize = static_cast<uint32_t>(w.Size() - 8);
    // The header may claim more than the buffer holds only when the host says how much that is.
    uint32_t claimed = PickSize(in, contentSize);
    if (!capacityKnown && claimed > contentSize)
        claimed = contentSize;
    w.Patch(0, claimed);
    return w.bytes;
}

// One activated instance per plug-in and per capacity case, made at first use and kept: making
// one costs far more than the runs the atoms go through, and the atom reading keeps no state
// that could hide a fault from a later input.
class Instance
{
public:
    Instance(int index, bool capacityKnown)
    {
        map = {&urids, UridTable::Map};
        const LV2_URID intType = UridTable::Map(&urids, LV2_ATOM__Int);
        options[0] = {
            LV2_OPTIONS_INSTANCE, 0,       UridTable::Map(&urids, LV2_BUF_SIZE__maxBlockLength),
            sizeof(int32_t),      intType, &block};
        options[1] = {
            LV2_OPTIONS_INSTANCE, 0,       UridTable::Map(&urids, LV2_BUF_SIZE__sequenceSize),
            sizeof(int32_t),      intType, &capacity};
        options[2] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
        if (!capacityKnown)
            options[1] = options[2];
        mapFeature = {LV2_URID__map, &map};
        optionsFeature = {LV2_OPTIONS__options, options};
        const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
        d = lv2_descriptor(index); // as a host finds it
        handle = d->instantiate(d, 44100.0, "", features);
        FuzzRequire(handle != nullptr, "the plug-in instantiates");
        auto* plug = static_cast<IPlugLV2*>(handle);
        const LV2PortMap& ports = plug->Ports();
        controls.assign(ports.Count(), 0.0f);
        audio.reserve(ports.Count());
        for (int p = 0; p < ports.Count(); ++p)
        {
            const LV2Port::Kind kind = ports.Port(p).kind;
            if (kind == LV2Port::Kind::AudioIn || kind == LV2Port::Kind::AudioOut)
            {
                audio.emplace_back(kBlock, 0.0f);
                if (kind == LV2Port::Kind::AudioIn)
                    for (int k = 0; k < kBlock; ++k)
                        audio.back()[k] = 0.5f * std::sin(0.05f * k);
                d->connect_port(handle, p, audio.back().data());
            }
            else if (kind == LV2Port::Kind::TimeIn)
                timePort = p;
            else
            {
                controls[p] = plug->PortValue(p);
                d->connect_port(handle, p, &controls[p]);
            }
        }
        d->activate(handle);
    }
    ~Instance()
    {
        d->deactivate(handle);
        d->cleanup(handle);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    UridTable urids;
    LV2_URID_Map map{};
    int32_t block = kBlock;
    // The largest buffer any run may get; with the capacity known, each run's buffer is exactly
    // that large.
    int32_t capacity = static_cast<int32_t>(kMaxAtomBytes + 512);
    LV2_Options_Option options[3]{};
    LV2_Feature mapFeature{}, optionsFeature{};
    const LV2_Descriptor* d = nullptr;
    LV2_Handle handle = nullptr;
    std::vector<std::vector<float>> audio;
    std::vector<float> controls;
    int timePort = -1;
};
} // namespace

int FuzzLV2Atoms(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const bool capacityKnown = in.Flag();
    const int index = static_cast<int>(in.Below(2));
    static std::unique_ptr<Instance> instances[4];
    std::unique_ptr<Instance>& slot = instances[index * 2 + (capacityKnown ? 1 : 0)];
    if (!slot)
        slot = std::make_unique<Instance>(index, capacityKnown);
    Instance& inst = *slot;
    for (int run = 0; run < kMaxRuns && !in.Empty(); ++run)
    {
        const std::vector<uint8_t> bytes = BuildSequence(in, inst.urids, capacityKnown);
        // Exactly as large as the content (or the capacity when the host told it): a read past
        // it is a heap overflow.
        const size_t bufferSize = capacityKnown ? static_cast<size_t>(inst.capacity) : bytes.size();
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[bufferSize]);
        std::memset(buffer.get(), 0, bufferSize);
        std::memcpy(buffer.get(), bytes.data(), std::min(bytes.size(), bufferSize));
        inst.d->connect_port(inst.handle, inst.timePort, buffer.get());
        inst.d->run(inst.handle, 1 + in.Below(kBlock));
        inst.d->connect_port(inst.handle, inst.timePort, nullptr);
        for (const auto& channel : inst.audio)
            for (float x : channel)
                FuzzRequire(std::isfinite(x), "the output is finite");
    }
    return 0;
}
} // namespace fuzz
