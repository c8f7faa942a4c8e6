#pragma once
// A look at property-list bytes before libplist reads them. libplist asserts, and so ends the
// whole program, when a string it hands out holds U+0000 (its length then disagrees with the C
// string); property lists come from files and hosts, so such bytes must be refused first.

#include <cstddef>
#include <cstdint>

// False when a binary property list holds a UTF-16 string (a value or a dictionary key) with a
// U+0000 in it, or writes its offsets or a string length with a byte count other than 1, 2, 4
// or 8, which no writer does. Every object libplist can reach through the offset table is
// looked at; a table that libplist would refuse anyway is left to it.
bool BinaryPlistStringsAreSafe(const uint8_t* bytes, size_t length);

// False when XML property-list bytes hold a NUL byte, which XML does not allow anywhere.
bool XmlPlistHasNoNul(const uint8_t* bytes, size_t length);
