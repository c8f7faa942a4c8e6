#include "framework/StateChunk.h"

#include <cstring>

int StateChunk::PutBytes(const void* data, int n)
{
    if (n < 0)
        return 0;
    const int old = Size();
    uint8_t* p = static_cast<uint8_t*>(mBytes.Resize(old + n, false));
    if (!p)
        return 0;
    if (n > 0)
        std::memcpy(p + old, data, n);
    return Size();
}

int StateChunk::GetBytes(void* dest, int n, int position) const
{
    if (position < 0 || n < 0 || Size() - position < n)
        return -1;
    if (n > 0)
        std::memcpy(dest, GetData() + position, n);
    return position + n;
}

int StateChunk::PutDouble(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    uint8_t le[8];
    for (int i = 0; i < 8; ++i)
        le[i] = static_cast<uint8_t>(bits >> (8 * i));
    return PutBytes(le, 8);
}

int StateChunk::GetDouble(double* value, int position) const
{
    uint8_t le[8];
    const int next = GetBytes(le, 8, position);
    if (next < 0)
        return -1;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(le[i]) << (8 * i);
    std::memcpy(value, &bits, 8);
    return next;
}
