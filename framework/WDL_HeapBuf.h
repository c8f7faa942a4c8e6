#pragma once
// Growable raw byte buffer. The allocation grows in steps of the granularity with slack of half
// the requested size (capped at 4 MiB) and, when allowed, shrinks once a resize asks for less
// than half of it. Processing code resizes with shrinking disabled so that a shorter block never
// reallocates on the audio thread.

#include <cstddef>

class WDL_HeapBuf
{
public:
    static constexpr int kMaxSlackBytes = 4 * 1024 * 1024;

    explicit WDL_HeapBuf(int granularityBytes = 4096) : mGranularity(granularityBytes) {}
    WDL_HeapBuf(const WDL_HeapBuf& other);
    WDL_HeapBuf& operator=(const WDL_HeapBuf& other);
    WDL_HeapBuf(WDL_HeapBuf&& other) noexcept;
    WDL_HeapBuf& operator=(WDL_HeapBuf&& other) noexcept;
    ~WDL_HeapBuf();

    void* Get() const { return mSize > 0 ? mData : nullptr; }
    int GetSize() const { return mSize; }
    int GetAllocated() const { return mAllocated; }

    // Sets the used size to newSize bytes (contents up to the smaller size are kept). Returns the
    // data pointer, or null when the allocation failed (the buffer is then left as it was).
    void* Resize(int newSize, bool allowShrink = true)
    {
        // Inline for the usual case, a size within the allocation that is not due to shrink: the
        // audio path resizes its buffers every block.
        if (newSize >= 0 && newSize <= mAllocated && (!allowShrink || newSize >= mAllocated / 2))
        {
            mSize = newSize;
            return mData;
        }
        return ResizeAllocation(newSize, allowShrink);
    }
    // Grows the allocation to hold at least bytes without changing the used size.
    void Reserve(int bytes);
    // Frees the allocation.
    void Free();

private:
    bool Reallocate(int bytes);
    void* ResizeAllocation(int newSize, bool allowShrink);

    char* mData = nullptr;
    int mSize = 0;
    int mAllocated = 0;
    int mGranularity;
};
