#include "framework/WDL_HeapBuf.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

WDL_HeapBuf::WDL_HeapBuf(const WDL_HeapBuf& other) : mGranularity(other.mGranularity)
{
    if (Resize(other.mSize) && other.mSize > 0)
        std::memcpy(mData, other.mData, other.mSize);
}

WDL_HeapBuf& WDL_HeapBuf::operator=(const WDL_HeapBuf& other)
{
    if (this != &other && Resize(other.mSize, false) && other.mSize > 0)
        std::memcpy(mData, other.mData, other.mSize);
    return *this;
}

WDL_HeapBuf::WDL_HeapBuf(WDL_HeapBuf&& other) noexcept
    : mData(std::exchange(other.mData, nullptr)), mSize(std::exchange(other.mSize, 0)),
      mAllocated(std::exchange(other.mAllocated, 0)), mGranularity(other.mGranularity)
{
}

WDL_HeapBuf& WDL_HeapBuf::operator=(WDL_HeapBuf&& other) noexcept
{
    if (this != &other)
    {
        std::free(mData);
        mData = std::exchange(other.mData, nullptr);
        mSize = std::exchange(other.mSize, 0);
        mAllocated = std::exchange(other.mAllocated, 0);
        mGranularity = other.mGranularity;
    }
    return *this;
}

WDL_HeapBuf::~WDL_HeapBuf()
{
    std::free(mData);
}

bool WDL_HeapBuf::Reallocate(int bytes)
{
    if (bytes == 0)
    {
        Free();
        return true;
    }
    void* p = std::realloc(mData, static_cast<size_t>(bytes));
    if (!p)
        return false;
    mData = static_cast<char*>(p);
    mAllocated = bytes;
    return true;
}

void* WDL_HeapBuf::ResizeAllocation(int newSize, bool allowShrink)
{
    newSize = std::max(newSize, 0);
    const int g = std::max(mGranularity, 1);
    if (newSize > mAllocated)
    {
        const long slack = std::min<long>(newSize / 2, kMaxSlackBytes);
        long want = newSize + slack;
        want = (want + g - 1) / g * g;
        if (!Reallocate(static_cast<int>(want)))
            return nullptr;
    }
    else if (allowShrink && newSize < mAllocated / 2)
    {
        const long want = (static_cast<long>(newSize) + g - 1) / g * g;
        if (want < mAllocated)
            Reallocate(static_cast<int>(want)); // a failed shrink keeps the larger block
    }
    mSize = newSize;
    return mData;
}

void WDL_HeapBuf::Reserve(int bytes)
{
    if (bytes > mAllocated)
    {
        const int g = std::max(mGranularity, 1);
        Reallocate((bytes + g - 1) / g * g);
    }
}

void WDL_HeapBuf::Free()
{
    std::free(mData);
    mData = nullptr;
    mSize = 0;
    mAllocated = 0;
}
