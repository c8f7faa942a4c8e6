#include "app/report/Utf8Text.h"

#include <cstdio>

namespace app
{
namespace
{
// Length of the well-formed sequence starting at i, or 0 when the byte there starts none.
size_t SequenceLength(const std::string& s, size_t i)
{
    const auto byte = [&s](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80)
        return 1;
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF; // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF)
    {
        n = 3;
        lo = b == 0xE0 ? 0xA0 : 0x80;
        hi = b == 0xED ? 0x9F : 0xBF;
    }
    else if (b >= 0xF0 && b <= 0xF4)
    {
        n = 4;
        lo = b == 0xF0 ? 0x90 : 0x80;
        hi = b == 0xF4 ? 0x8F : 0xBF;
    }
    else
        return 0;
    if (i + n > s.size() || byte(i + 1) < lo || byte(i + 1) > hi)
        return 0;
    for (size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return n;
}
} // namespace

std::string EscapeInvalidUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
    {
        const size_t n = SequenceLength(text, i);
        if (n > 0)
        {
            out.append(text, i, n);
            i += n;
            continue;
        }
        char hex[5];
        std::snprintf(hex, sizeof(hex), "\\x%02X", static_cast<unsigned char>(text[i]));
        out += hex;
        ++i;
    }
    return out;
}
} // namespace app
