#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <cstring>

namespace fuzz
{
uint8_t FuzzInput::Byte()
{
    return mPos < mSize ? mData[mPos++] : 0;
}

uint32_t FuzzInput::U32()
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | Byte();
    return v;
}

uint32_t FuzzInput::Below(uint32_t n)
{
    return n == 0 ? 0 : U32() % n;
}

float FuzzInput::RawFloat()
{
    const uint32_t bits = U32();
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
}

double FuzzInput::RawDouble()
{
    const uint64_t bits = (static_cast<uint64_t>(U32()) << 32) | U32();
    double d;
    std::memcpy(&d, &bits, sizeof(d));
    return d;
}

std::string FuzzInput::Bytes(size_t maxBytes)
{
    const size_t n = std::min(Remaining(), maxBytes);
    std::string s(reinterpret_cast<const char*>(mData + mPos), n);
    mPos += n;
    return s;
}
} // namespace fuzz
