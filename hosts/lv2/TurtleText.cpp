#include "hosts/lv2/TurtleText.h"

#include "framework/Utf8.h"

#include <cstdint>
#include <cstdio>

namespace
{
constexpr const char* kReplacement = "\xEF\xBF\xBD"; // U+FFFD
} // namespace

std::string TurtleString(const std::string& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();)
    {
        const char c = text[i];
        uint32_t codePoint = 0; // unused: only the sequence's length matters
        const size_t n = Utf8Sequence(text.data() + i, text.size() - i, &codePoint);
        if (n == 0)
        {
            out += kReplacement;
            ++i;
            continue;
        }
        i += n;
        if (n > 1)
        {
            out.append(text, i - n, n);
            continue;
        }
        switch (c)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F)
            {
                char escape[8];
                std::snprintf(escape, sizeof(escape), "\\u%04X",
                              static_cast<unsigned>(static_cast<uint8_t>(c)));
                out += escape;
            }
            else
            {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string TurtleNumber(double value)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.9g", value);
    std::string s(text);
    for (char& c : s)
        if (c == ',')
            c = '.';
    if (s.find_first_of(".eEn") == std::string::npos)
        s += ".0";
    return s;
}
