#pragma once
// Copy into a fixed text field: at most destSize − 1 characters, always terminated; a null
// source counts as empty. Every fixed-size name field of the framework is filled through it.

inline void CopyBoundedText(char* dest, int destSize, const char* src)
{
    if (!dest || destSize < 1)
        return;
    int n = 0;
    if (src)
        for (; n < destSize - 1 && src[n] != '\0'; ++n)
            dest[n] = src[n];
    dest[n] = '\0';
}
