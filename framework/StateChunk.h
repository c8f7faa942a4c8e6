#pragma once
// Saved state as a growable byte array (4096-byte granularity). Values are appended at the end
// and read at a position; numbers are stored little-endian whatever the machine.

#include "framework/WDL_HeapBuf.h"

#include <cstdint>

class StateChunk
{
public:
    int Size() const { return mBytes.GetSize(); }
    const uint8_t* GetData() const { return static_cast<const uint8_t*>(mBytes.Get()); }
    void Clear() { mBytes.Resize(0, false); }

    // Appends n raw bytes; returns the new size, or 0 when memory ran out.
    int PutBytes(const void* data, int n);
    // Reads n raw bytes at position; returns the position after them, or -1 when fewer than n
    // bytes remain (dest is then left as it was).
    int GetBytes(void* dest, int n, int position) const;

    int PutDouble(double value);
    int GetDouble(double* value, int position) const;

private:
    WDL_HeapBuf mBytes{4096};
};
