// Property-list bytes that would crash libplist or exhaust memory are refused before it reads
// them, with the reason, while proper lists (shared objects and deep ones within the bounds
// included) are read as before.

#include "hosts/au/BinaryPlistCheck.h"
#include "hosts/au/CFTypes.h"
#include "support/BinaryPlistBuilder.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// What CFPropertyListCreateWithData makes of the bytes: "" when it reads them (the list is
// released), else the description of its error.
std::string Refusal(const std::string& bytes)
{
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                                  static_cast<CFIndex>(bytes.size()));
    CFErrorRef error = nullptr;
    CFPropertyListRef p =
        CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, &error);
    CFRelease(data);
    std::string text;
    if (p)
        CFRelease(p);
    else if (error)
    {
        CFStringRef d = CFErrorCopyDescription(error);
        text = CFStringGetCStringPtr(d, kCFStringEncodingUTF8);
        CFRelease(d);
    }
    else
        text = "(no error)";
    if (error)
        CFRelease(error);
    return text;
}

PlistCheck Check(const std::string& bytes)
{
    return CheckBinaryPlist(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string XmlArrays(int depth)
{
    std::string x = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        x += "<array>";
    for (int i = 0; i < depth; ++i)
        x += "</array>";
    return x + "</plist>";
}
} // namespace

TEST(BinaryPlistCheck, NestingIsBoundedAtTheReadersDepth)
{
    // 513 arrays put the innermost at depth 512 below the top, the deepest the reader takes.
    EXPECT_EQ(Refusal(NestedArrays(513)), "");
    EXPECT_EQ(Check(NestedArrays(514)), PlistCheck::TooDeep);
    EXPECT_EQ(Refusal(NestedArrays(514)), "the property list nests deeper than 512 levels");
    // 100,000 levels in 900 KB, which overflowed libplist's stack, are refused at once.
    const std::string deep = NestedArrays(100000);
    EXPECT_EQ(deep.size(), 900036u);
    EXPECT_NE(Check(deep), PlistCheck::Fine);
    EXPECT_NE(Refusal(deep), "");
    EXPECT_EQ(Check(NestedArrays(60000)), PlistCheck::TooDeep);

    // XML likewise: libplist's XML reader recurses once per element too.
    EXPECT_EQ(Refusal(XmlArrays(513)), "");
    EXPECT_EQ(Refusal(XmlArrays(100000)), "the property list nests deeper than 512 levels");
    std::string empties = "<?xml version=\"1.0\"?><plist><array>";
    for (int i = 0; i < 600; ++i)
        empties += i % 2 ? "<array/>" : "<dict />";
    EXPECT_EQ(Refusal(empties + "</array></plist>"), "") << "empty elements open nothing";
}

TEST(BinaryPlistCheck, DepthThroughASharedObjectCountsItsLongestPath)
{
    // The top array reaches a 300-deep chain directly and again below 300 more levels: the
    // chain is looked at once, but the second path is what counts.
    BinaryPlistBuilder b;
    const uint32_t top = b.Array({});
    const uint32_t shared = b.Count();
    for (uint32_t i = 0; i < 300; ++i)
        b.Array({shared + i + 1});
    b.Array({});
    const uint32_t detour = b.Count();
    for (uint32_t i = 0; i < 300; ++i)
        b.Array({i + 1 < 300 ? detour + i + 1 : shared});
    b.SetArray(top, {shared});
    EXPECT_EQ(Check(b.Bytes()), PlistCheck::Fine) << "the chain alone is 302 levels";
    b.SetArray(top, {shared, detour});
    EXPECT_EQ(Check(b.Bytes()), PlistCheck::TooDeep);
}

TEST(BinaryPlistCheck, ExpansionThroughSharedObjectsIsBounded)
{
    // Ten levels of ten references each reach 10^9 strings from a few hundred bytes.
    const std::string laughs = SharedArrays(9, 10);
    EXPECT_LT(laughs.size(), 500u);
    EXPECT_EQ(Check(laughs), PlistCheck::TooLarge);
    EXPECT_NE(Refusal(laughs).find("holds more than 65536 objects"), std::string::npos);
    // Bytes count too: a 64 KiB string reached 300 times is 19 MiB.
    BinaryPlistBuilder big;
    big.Array(std::vector<uint32_t>(300, 1));
    big.Ascii(std::string(1 << 16, 'x'));
    EXPECT_EQ(Check(big.Bytes()), PlistCheck::TooLarge);

    // Sharing within the bounds is read, every reference in full.
    const std::string shared = SharedArrays(4, 10); // 10,000 strings
    CFDataRef data = CFDataCreate(kCFAllocatorDefault,
                                  reinterpret_cast<const UInt8*>(shared.data()), shared.size());
    CFPropertyListRef p =
        CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, nullptr);
    CFRelease(data);
    ASSERT_NE(p, nullptr);
    // The top is an array: of no other type this layer reads.
    const CFTypeID arrayType = CFGetTypeID(p);
    for (CFTypeID other : {CFStringGetTypeID(), CFNumberGetTypeID(), CFDataGetTypeID(),
                           CFDictionaryGetTypeID()})
        ASSERT_NE(arrayType, other);
    CFTypeRef leaf = p;
    for (int level = 0; level < 4; ++level)
    {
        ASSERT_EQ(CFGetTypeID(leaf), arrayType);
        EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(leaf)), 10);
        leaf = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(leaf), 9);
    }
    EXPECT_STREQ(CFStringGetCStringPtr(static_cast<CFStringRef>(leaf), kCFStringEncodingUTF8),
                 "laugh");
    CFRelease(p);
}

TEST(BinaryPlistCheck, CyclesAndDanglingReferencesAreRefused)
{
    BinaryPlistBuilder cycle;
    const uint32_t a = cycle.Array({});
    cycle.Array({a});
    cycle.SetArray(a, {1});
    EXPECT_EQ(Check(cycle.Bytes()), PlistCheck::Cyclic);
    EXPECT_EQ(Refusal(cycle.Bytes()), "the property list holds a container that contains itself");

    BinaryPlistBuilder dangling;
    dangling.Array({7});
    EXPECT_EQ(Check(dangling.Bytes()), PlistCheck::Damaged);
    BinaryPlistBuilder longCount;
    longCount.Ascii("abc");
    std::string bytes = longCount.Bytes();
    bytes[8] = '\x5E'; // 14 characters claimed, 3 there
    EXPECT_EQ(Check(bytes), PlistCheck::Damaged);

    // A proper dictionary passes.
    BinaryPlistBuilder dict;
    dict.Dict({1, 2}, {3, 3});
    dict.Ascii("a");
    dict.Ascii("b");
    dict.Ascii("value");
    EXPECT_EQ(Check(dict.Bytes()), PlistCheck::Fine);
    EXPECT_EQ(Refusal(dict.Bytes()), "");
}
