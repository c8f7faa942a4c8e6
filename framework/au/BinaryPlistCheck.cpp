#include "framework/au/BinaryPlistCheck.h"

#include <cstring>

namespace
{
constexpr size_t kHeaderBytes = 8; // "bplist00"
constexpr size_t kTrailerBytes = 32;
constexpr uint8_t kUnicodeMarker = 0x60;
constexpr uint8_t kIntMarker = 0x10;
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

// The object at offset is a UTF-16 string that holds U+0000, or one whose length is written in
// a way no property-list writer uses (so that libplist's reading of it cannot be vouched for).
// A length that runs past the data is left to libplist, which refuses it.
bool IsUnsafeUnicodeObject(const uint8_t* bytes, size_t length, uint64_t offset)
{
    if (offset >= length || (bytes[offset] & kTypeMask) != kUnicodeMarker)
        return false;
    size_t pos = static_cast<size_t>(offset) + 1;
    uint64_t count = bytes[offset] & kCountMask;
    if (count == kCountMask)
    {
        // The length follows as an integer object of 2^k bytes.
        if (pos >= length || (bytes[pos] & kTypeMask) != kIntMarker)
            return false;
        const size_t size = size_t{1} << (bytes[pos] & kCountMask);
        if (!IsPlainIntSize(size))
            return true;
        ++pos;
        if (size > length - pos)
            return false;
        count = BigEndian(bytes + pos, size);
        pos += size;
    }
    if (count > (length - pos) / 2)
        return false;
    for (uint64_t i = 0; i < count; ++i)
        if (bytes[pos + 2 * i] == 0 && bytes[pos + 2 * i + 1] == 0)
            return true;
    return false;
}
} // namespace

bool BinaryPlistStringsAreSafe(const uint8_t* bytes, size_t length)
{
    if (!bytes || length < kHeaderBytes + kTrailerBytes)
        return true;
    const uint8_t* trailer = bytes + length - kTrailerBytes;
    const size_t offsetSize = trailer[6];
    const uint64_t nObjects = BigEndian(trailer + 8, 8);
    const uint64_t tableOffset = BigEndian(trailer + 24, 8);
    if (!IsPlainIntSize(offsetSize))
        return offsetSize == 0; // libplist refuses 0; other odd sizes are not vouched for
    if (tableOffset >= length || nObjects > (length - tableOffset) / offsetSize)
        return true;
    // Every object libplist reads is reached through this table, dictionary keys included. The
    // whole file is the bound, which covers whatever narrower one libplist applies.
    for (uint64_t i = 0; i < nObjects; ++i)
    {
        const uint64_t offset = BigEndian(bytes + tableOffset + i * offsetSize, offsetSize);
        if (IsUnsafeUnicodeObject(bytes, length, offset))
            return false;
    }
    return true;
}

bool XmlPlistHasNoNul(const uint8_t* bytes, size_t length)
{
    return !bytes || std::memchr(bytes, 0, length) == nullptr;
}
