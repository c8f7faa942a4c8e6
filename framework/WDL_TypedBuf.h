#pragma once
// Growable contiguous array of trivially copyable values on top of WDL_HeapBuf (4096-byte
// granularity). Copies are deep; resizing keeps the leading contents.

#include "framework/WDL_HeapBuf.h"

#include <cstring>
#include <type_traits>

template <typename T> class WDL_TypedBuf
{
    static_assert(std::is_trivially_copyable<T>::value, "WDL_TypedBuf holds plain values");

public:
    WDL_TypedBuf() = default;

    T* Get() const { return static_cast<T*>(mHeap.Get()); }
    int GetSize() const { return mHeap.GetSize() / static_cast<int>(sizeof(T)); }

    T& operator[](int i) { return Get()[i]; }
    const T& operator[](int i) const { return Get()[i]; }

    // Sets the element count; new elements are uninitialised. With allowShrink false the
    // allocation never gets smaller, which keeps audio-thread resizes free of reallocation.
    T* Resize(int count, bool allowShrink = true)
    {
        return static_cast<T*>(mHeap.Resize(count * static_cast<int>(sizeof(T)), allowShrink));
    }
    // Makes sure count elements fit without another allocation.
    void Reserve(int count) { mHeap.Reserve(count * static_cast<int>(sizeof(T))); }

    // Copies count values in, replacing the contents.
    void Set(const T* values, int count, bool allowShrink = true)
    {
        T* p = Resize(count, allowShrink);
        if (p && count > 0 && values)
            std::memmove(p, values, count * sizeof(T));
    }
    // Appends one value; returns a pointer to it, or null when memory ran out.
    T* Add(const T& value)
    {
        const int n = GetSize();
        T* p = Resize(n + 1, false);
        if (!p)
            return nullptr;
        p[n] = value;
        return p + n;
    }
    // Appends count values.
    T* Add(const T* values, int count)
    {
        const int n = GetSize();
        T* p = Resize(n + count, false);
        if (!p)
            return nullptr;
        if (count > 0 && values)
            std::memmove(p + n, values, count * sizeof(T));
        return p + n;
    }
    // Inserts one value at index (clamped to 0 … size).
    T* Insert(const T& value, int index)
    {
        const int n = GetSize();
        index = index < 0 ? 0 : (index > n ? n : index);
        T* p = Resize(n + 1, false);
        if (!p)
            return nullptr;
        std::memmove(p + index + 1, p + index, (n - index) * sizeof(T));
        p[index] = value;
        return p + index;
    }
    // Removes count values starting at index, moving the rest down (no shrinking).
    void Delete(int index, int count = 1)
    {
        const int n = GetSize();
        if (index < 0 || index >= n || count <= 0)
            return;
        if (index + count > n)
            count = n - index;
        T* p = Get();
        std::memmove(p + index, p + index + count, (n - index - count) * sizeof(T));
        Resize(n - count, false);
    }
    // Sets every element to zero bytes.
    void Zero()
    {
        if (GetSize() > 0)
            std::memset(static_cast<void*>(Get()), 0, GetSize() * sizeof(T));
    }
    void Free() { mHeap.Free(); }

private:
    WDL_HeapBuf mHeap{4096};
};
