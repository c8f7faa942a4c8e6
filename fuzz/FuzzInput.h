#pragma once
// Reads a fuzz input as a stream of small decisions. Past the end every read gives zeros, so a
// short input is as valid as a long one.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz
{
class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size) : mData(data), mSize(size) {}

    bool Empty() const { return mPos >= mSize; }
    size_t Remaining() const { return mSize - mPos; }
    uint8_t Byte();
    uint32_t U32();
    // A value in 0 … n − 1 (0 when n is 0).
    uint32_t Below(uint32_t n);
    bool Flag() { return Byte() & 1; }
    // Raw IEEE bits: NaN, infinities, denormals and huge values included.
    float RawFloat();
    double RawDouble();
    // Up to maxBytes bytes.
    std::string Bytes(size_t maxBytes);

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mPos = 0;
};
} // namespace fuzz
