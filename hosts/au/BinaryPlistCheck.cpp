#include "hosts/au/BinaryPlistCheck.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
constexpr size_t kHeaderBytes = 8; // "bplist00"
constexpr size_t kTrailerBytes = 32;
constexpr uint8_t kIntMarker = 0x10;
constexpr uint8_t kDataMarker = 0x40;
constexpr uint8_t kAsciiMarker = 0x50;
constexpr uint8_t kUnicodeMarker = 0x60;
constexpr uint8_t kArrayMarker = 0xA0;
constexpr uint8_t kSetMarker = 0xC0;
constexpr uint8_t kDictMarker = 0xD0;
constexpr uint8_t kTypeMask = 0xF0;
constexpr uint8_t kCountMask = 0x0F;

// An unsigned big-endian number of n ≤ 8 bytes.
uint64_t BigEndian(const uint8_t* p, size_t n)
{
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

bool IsPlainIntSize(size_t n)
{
    return n == 1 || n == 2 || n == 4 || n == 8;
}

// One object as the table describes it: its marker, its count (of bytes, UTF-16 units or
// references) and where its body begins.
struct Object
{
    uint8_t type = 0;
    uint64_t count = 0;
    size_t body = 0;
};

class BinaryPlist
{
public:
    BinaryPlist(const uint8_t* bytes, size_t length) : mBytes(bytes), mLength(length) {}

    PlistCheck Check();

private:
    // The object at a table index, its body checked to lie within the objects.
    PlistCheck Read(uint64_t index, Object* o) const;
    uint64_t Reference(const Object& o, uint64_t i) const
    {
        return BigEndian(mBytes + o.body + i * mRefSize, mRefSize);
    }
    static bool IsContainer(uint8_t type)
    {
        return type == kArrayMarker || type == kSetMarker || type == kDictMarker;
    }
    // Bytes of a string's or data's contents.
    static uint64_t PayloadBytes(const Object& o)
    {
        if (o.type == kDataMarker || o.type == kAsciiMarker)
            return o.count;
        return o.type == kUnicodeMarker ? 2 * o.count : 0;
    }
    static uint64_t ReferenceCount(const Object& o)
    {
        return o.type == kDictMarker ? 2 * o.count : o.count;
    }

    const uint8_t* mBytes;
    size_t mLength;
    size_t mOffsetSize = 0;
    size_t mRefSize = 0;
    uint64_t mObjects = 0;
    size_t mTable = 0; // where the offset table begins; objects lie before it
};

PlistCheck BinaryPlist::Read(uint64_t index, Object* o) const
{
    const uint64_t offset = BigEndian(mBytes + mTable + index * mOffsetSize, mOffsetSize);
    if (offset < kHeaderBytes || offset >= mTable)
        return PlistCheck::Damaged;
    const uint8_t marker = mBytes[offset];
    o->type = marker & kTypeMask;
    o->count = marker & kCountMask;
    o->body = static_cast<size_t>(offset) + 1;
    const bool counted = o->type == kDataMarker || o->type == kAsciiMarker ||
                         o->type == kUnicodeMarker || IsContainer(o->type);
    if (!counted)
        return PlistCheck::Fine; // numbers, dates, booleans: libplist checks their few bytes
    if (o->count == kCountMask)
    {
        // The count follows as an integer object of 2^k bytes.
        if (o->body >= mTable || (mBytes[o->body] & kTypeMask) != kIntMarker)
            return PlistCheck::Damaged;
        const size_t size = size_t{1} << (mBytes[o->body] & kCountMask);
        if (!IsPlainIntSize(size))
            return PlistCheck::OddLength;
        if (size > mTable - o->body - 1)
            return PlistCheck::Damaged;
        o->count = BigEndian(mBytes + o->body + 1, size);
        o->body += 1 + size;
    }
    const uint64_t unit = o->type == kUnicodeMarker ? 2 : IsContainer(o->type) ? mRefSize : 1;
    const uint64_t room = (mTable - o->body) / unit;
    if (o->count > room || (o->type == kDictMarker && o->count > room / 2))
        return PlistCheck::Damaged;
    if (o->type == kUnicodeMarker)
        for (uint64_t i = 0; i < o->count; ++i)
            if (mBytes[o->body + 2 * i] == 0 && mBytes[o->body + 2 * i + 1] == 0)
                return PlistCheck::NulInString;
    return PlistCheck::Fine;
}

PlistCheck BinaryPlist::Check()
{
    const uint8_t* trailer = mBytes + mLength - kTrailerBytes;
    mOffsetSize = trailer[6];
    mRefSize = trailer[7];
    mObjects = BigEndian(trailer + 8, 8);
    const uint64_t top = BigEndian(trailer + 16, 8);
    const uint64_t table = BigEndian(trailer + 24, 8);
    if (!IsPlainIntSize(mOffsetSize) || !IsPlainIntSize(mRefSize))
        return PlistCheck::OddLength;
    const size_t end = mLength - kTrailerBytes;
    if (table < kHeaderBytes || table >= end || mObjects > (end - table) / mOffsetSize ||
        top >= mObjects)
        return PlistCheck::Damaged;
    if (mObjects > kMaxPlistObjects)
        return PlistCheck::TooLarge;
    mTable = static_cast<size_t>(table);

    // Depth-first from the top object. A finished object keeps its height (levels from it to its
    // deepest leaf) and its expanded object and byte counts, saturated just past the limits.
    enum State : uint8_t
    {
        kUnseen,
        kOnPath,
        kDone
    };
    std::vector<State> state(mObjects, kUnseen);
    std::vector<uint32_t> height(mObjects, 0);
    std::vector<uint64_t> objects(mObjects, 0);
    std::vector<uint64_t> bytes(mObjects, 0);
    struct Frame
    {
        uint64_t index;
        Object object;
        uint64_t next; // the next reference to follow
    };
    std::vector<Frame> path;
    auto enter = [&](uint64_t index) -> PlistCheck
    {
        Frame f{index, {}, 0};
        const PlistCheck read = Read(index, &f.object);
        if (read != PlistCheck::Fine)
            return read;
        state[index] = kOnPath;
        objects[index] = 1;
        bytes[index] = PayloadBytes(f.object);
        path.push_back(f);
        return PlistCheck::Fine;
    };
    PlistCheck result = enter(top);
    while (result == PlistCheck::Fine && !path.empty())
    {
        Frame& f = path.back();
        const uint64_t depth = path.size() - 1; // of f's object; the top object is at 0
        if (IsContainer(f.object.type) && f.next < ReferenceCount(f.object))
        {
            const uint64_t child = Reference(f.object, f.next++);
            if (child >= mObjects)
                result = PlistCheck::Damaged;
            else if (state[child] == kOnPath)
                result = PlistCheck::Cyclic;
            else if (depth + 1 + height[child] > kMaxPlistDepth)
                result = PlistCheck::TooDeep;
            else if (state[child] == kUnseen)
                result = enter(child);
            else
            {
                objects[f.index] =
                    std::min(objects[f.index] + objects[child], kMaxPlistObjects + 1);
                bytes[f.index] = std::min(bytes[f.index] + bytes[child], kMaxPlistBytes + 1);
                height[f.index] = std::max(height[f.index], height[child] + 1);
            }
            continue;
        }
        // f's object is complete: fold it into its parent.
        const uint64_t done = f.index;
        state[done] = kDone;
        path.pop_back();
        if (objects[done] > kMaxPlistObjects || bytes[done] > kMaxPlistBytes)
            result = PlistCheck::TooLarge;
        else if (!path.empty())
        {
            const uint64_t parent = path.back().index;
            objects[parent] = std::min(objects[parent] + objects[done], kMaxPlistObjects + 1);
            bytes[parent] = std::min(bytes[parent] + bytes[done], kMaxPlistBytes + 1);
            height[parent] = std::max(height[parent], height[done] + 1);
        }
    }
    return result;
}

// The name of the element whose tag begins at p (just after '<'), up to a space, '/' or '>'.
bool TagIs(const uint8_t* p, const uint8_t* end, const char* name)
{
    const size_t n = std::strlen(name);
    if (static_cast<size_t>(end - p) <= n || std::memcmp(p, name, n) != 0)
        return false;
    const uint8_t c = p[n];
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

PlistCheck CheckBinaryPlist(const uint8_t* bytes, size_t length)
{
    if (!bytes || length < kHeaderBytes + kTrailerBytes)
        return PlistCheck::Fine;
    return BinaryPlist(bytes, length).Check();
}

PlistCheck CheckXmlPlist(const uint8_t* bytes, size_t length)
{
    if (!bytes)
        return PlistCheck::Fine;
    if (std::memchr(bytes, 0, length))
        return PlistCheck::NulInString;
    // Containers are counted open and closed; an empty one (<array/>) opens nothing. Comments
    // and other markup are not told apart: a tag inside one only makes the count stricter.
    const uint8_t* end = bytes + length;
    int depth = 0;
    for (const uint8_t* p = bytes; p < end; ++p)
    {
        if (*p != '<' || p + 1 >= end)
            continue;
        const bool closing = p[1] == '/';
        const uint8_t* name = p + (closing ? 2 : 1);
        if (!TagIs(name, end, "array") && !TagIs(name, end, "dict"))
            continue;
        const uint8_t* close = static_cast<const uint8_t*>(std::memchr(name, '>', end - name));
        if (!close)
            break; // unterminated: libplist refuses it
        if (closing)
            depth = std::max(0, depth - 1);
        else if (close[-1] != '/' && ++depth > kMaxPlistDepth + 1)
            return PlistCheck::TooDeep;
        p = close;
    }
    return PlistCheck::Fine;
}

const char* PlistCheckText(PlistCheck check)
{
    static_assert(kMaxPlistDepth == 512 && kMaxPlistObjects == 65536 && kMaxPlistBytes == 16 << 20,
                  "the texts name the limits");
    switch (check)
    {
    case PlistCheck::Fine:
        return "is fine";
    case PlistCheck::NulInString:
        return "holds a string with a NUL character";
    case PlistCheck::OddLength:
        return "writes a length with a byte count no property list uses";
    case PlistCheck::TooDeep:
        return "nests deeper than 512 levels";
    case PlistCheck::TooLarge:
        return "holds more than 65536 objects or 16 MiB of text and data, each object counted "
               "as often as it is referenced";
    case PlistCheck::Cyclic:
        return "holds a container that contains itself";
    case PlistCheck::Damaged:
        return "is damaged: its object table points outside it";
    }
    return "is not a property list";
}
