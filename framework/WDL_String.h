#pragma once
// Growable NUL-terminated string (128-byte granularity). Every write is bounded by the length it
// is given; formatting uses vsnprintf and never overruns.

#include "framework/WDL_HeapBuf.h"

class WDL_String
{
public:
    WDL_String() = default;
    explicit WDL_String(const char* text, int maxLength = -1) { Set(text, maxLength); }
    WDL_String(const WDL_String& other) { Set(other.Get()); }
    WDL_String& operator=(const WDL_String& other)
    {
        if (this != &other)
            Set(other.Get());
        return *this;
    }

    // Always a valid C string ("" when empty).
    const char* Get() const;
    int GetLength() const;

    // Replaces the text by at most maxLength characters of text (all when maxLength < 0).
    void Set(const char* text, int maxLength = -1);
    void Append(const char* text, int maxLength = -1);
    // printf-style replacement.
    void SetFormatted(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Cuts the text to at most length characters.
    void SetLength(int length);

private:
    WDL_HeapBuf mHeap{128};
};
