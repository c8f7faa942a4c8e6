#include "framework/WDL_String.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

const char* WDL_String::Get() const
{
    const char* p = static_cast<const char*>(mHeap.Get());
    return p ? p : "";
}

int WDL_String::GetLength() const
{
    return static_cast<int>(std::strlen(Get()));
}

void WDL_String::Set(const char* text, int maxLength)
{
    mHeap.Resize(0, false);
    Append(text, maxLength);
}

void WDL_String::Append(const char* text, int maxLength)
{
    if (!text)
        text = "";
    int add = static_cast<int>(std::strlen(text));
    if (maxLength >= 0 && add > maxLength)
        add = maxLength;
    const int old = GetLength();
    char* p = static_cast<char*>(mHeap.Resize(old + add + 1, false));
    if (!p)
        return;
    std::memcpy(p + old, text, add);
    p[old + add] = '\0';
}

void WDL_String::SetLength(int length)
{
    if (length >= 0 && length < GetLength())
        static_cast<char*>(mHeap.Get())[length] = '\0';
}

static void AppendV(WDL_String& s, const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0)
        return;
    char stackBuf[256];
    if (needed < static_cast<int>(sizeof(stackBuf)))
    {
        std::vsnprintf(stackBuf, sizeof(stackBuf), format, args);
        s.Append(stackBuf);
        return;
    }
    WDL_HeapBuf tmp(128);
    char* p = static_cast<char*>(tmp.Resize(needed + 1));
    if (!p)
        return;
    std::vsnprintf(p, needed + 1, format, args);
    s.Append(p);
}

void WDL_String::SetFormatted(const char* format, ...)
{
    Set("");
    va_list args;
    va_start(args, format);
    AppendV(*this, format, args);
    va_end(args);
}

