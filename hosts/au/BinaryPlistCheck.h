#pragma once
// A look at property-list bytes before libplist reads them. libplist asserts, and so ends the
// whole program, when a string it hands out holds U+0000 (its length then disagrees with the C
// string); it recurses once per level of nesting, so a deep tree overflows the stack; and it
// copies an object out in full each time it is referenced, so a few hundred bytes of objects
// that share their children expand to gigabytes. Property lists come from files and hosts, so
// all of this is refused first, in time linear in the size of the bytes.

#include <cstddef>
#include <cstdint>

// Bounds far above any state or preset (a preset holds six values two levels deep) and far
// below what hurts.
constexpr int kMaxPlistDepth = 512;              // levels of containers below the top object
constexpr uint64_t kMaxPlistObjects = 1 << 16;   // objects, each counted as often as it is reached
constexpr uint64_t kMaxPlistBytes = 16ull << 20; // bytes of strings and data, counted likewise

enum class PlistCheck
{
    Fine,
    NulInString, // a string (a value or a dictionary key) holds U+0000
    OddLength,   // a length or offset written with a byte count no writer uses
    TooDeep,     // containers nest deeper than kMaxPlistDepth
    TooLarge,    // more than kMaxPlistObjects objects or kMaxPlistBytes bytes once expanded
    Cyclic,      // a container holds itself
    Damaged      // the object table points outside the bytes or at objects that do not exist
};

// Every object reachable from the top object is looked at once, through an explicit stack; the
// expanded size and the depth of an object shared by several containers are worked out once and
// reused. Bytes too short for a header and trailer are left to libplist, which refuses them.
PlistCheck CheckBinaryPlist(const uint8_t* bytes, size_t length);

// XML property-list bytes: no NUL byte (XML allows none anywhere) and no elements nested deeper
// than kMaxPlistDepth containers (libplist's XML reader recurses once per element).
PlistCheck CheckXmlPlist(const uint8_t* bytes, size_t length);

// What was found, as the end of a sentence beginning "the property list ...".
const char* PlistCheckText(PlistCheck check);
