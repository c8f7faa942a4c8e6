#pragma once
// Reading UTF-8 one character at a time, for the writers that must escape or replace whatever a
// name read from a file holds (Turtle literals, text printed to a terminal).

#include <cstddef>
#include <cstdint>

// The length (1 to 4) of the well-formed UTF-8 sequence at text[0], with its code point in
// *codePoint; 0 when the bytes there are none (a stray continuation byte, a sequence cut short,
// an overlong form, a surrogate, a value past U+10FFFF).
size_t Utf8Sequence(const char* text, size_t length, uint32_t* codePoint);
