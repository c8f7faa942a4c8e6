// The Core Foundation values and property lists of the platform layer, and the Component
// Manager's bookkeeping.

#include "AUTestHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

namespace
{
CFDataRef DataOf(const std::string& s)
{
    return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(s.data()),
                        static_cast<CFIndex>(s.size()));
}
} // namespace

TEST(CFTypes, RetainAndRelease)
{
    CFStringRef s = CFStr("abc");
    EXPECT_EQ(CFGetRetainCount(s), 1);
    CFRetain(s);
    EXPECT_EQ(CFGetRetainCount(s), 2);
    CFMutableDictionaryRef d = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(d, s, s);
    EXPECT_EQ(CFGetRetainCount(s), 4) << "the dictionary holds key and value";
    CFRelease(d);
    EXPECT_EQ(CFGetRetainCount(s), 2);
    CFRelease(s);
    EXPECT_EQ(CFGetRetainCount(s), 1);
    CFRelease(s);
    CFRelease(nullptr); // harmless
    EXPECT_EQ(CFGetRetainCount(kCFBooleanTrue), CFGetRetainCount(CFRetain(kCFBooleanTrue)))
        << "the booleans live for ever";
}

TEST(CFTypes, NumbersConvertAndReportLoss)
{
    const SInt32 big = 0x726B6A73;
    CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &big);
    SInt64 wide = 0;
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &wide));
    EXPECT_EQ(wide, big);
    SInt16 narrow = 0;
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt16Type, &narrow)) << "does not fit";
    double real = 0;
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberFloat64Type, &real));
    EXPECT_EQ(real, static_cast<double>(big));
    CFRelease(n);

    const double half = 2.5;
    n = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &half);
    SInt32 i = 0;
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &i)) << "2.5 is not an integer";
    EXPECT_EQ(i, 2);
    EXPECT_TRUE(CFNumberIsFloatType(n));
    CFRelease(n);

    const SInt64 tooBig = SInt64(1) << 40;
    n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &tooBig);
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &i));
    CFRelease(n);
    EXPECT_EQ(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, nullptr), nullptr);
}

TEST(CFTypes, StringsCopyOnlyWhatFits)
{
    CFStringRef s = CFStr("TW Parandel");
    EXPECT_EQ(CFStringGetLength(s), 11);
    char buf[12];
    EXPECT_TRUE(CFStringGetCString(s, buf, sizeof(buf), kCFStringEncodingUTF8));
    EXPECT_STREQ(buf, "TW Parandel");
    char small[11] = "xxxxxxxxxx";
    EXPECT_FALSE(CFStringGetCString(s, small, sizeof(small), kCFStringEncodingUTF8));
    EXPECT_STREQ(small, "") << "nothing partial";
    CFStringRef same = CFStr("TW Parandel");
    EXPECT_TRUE(CFEqual(s, same));
    EXPECT_EQ(CFStringCompare(s, same, 0), kCFCompareEqualTo);
    CFNumberRef notAString = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &buf);
    EXPECT_FALSE(CFEqual(s, notAString));
    EXPECT_EQ(CFStringGetCStringPtr(reinterpret_cast<CFStringRef>(notAString), 0), nullptr)
        << "another type is not read as a string";
    CFRelease(notAString);
    CFRelease(same);
    CFRelease(s);
}

TEST(CFTypes, ArraysUseTheirCallbacks)
{
    CFMutableArrayRef a = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFStringRef x = CFStr("x");
    CFArrayAppendValue(a, x);
    CFArrayAppendValue(a, x);
    EXPECT_EQ(CFGetRetainCount(x), 3);
    EXPECT_EQ(CFArrayGetCount(a), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(a, 2), nullptr);
    CFStringRef y = CFStr("x");
    EXPECT_TRUE(CFArrayContainsValue(a, CFRangeMake(0, 2), y)) << "equal by contents";
    CFArrayRemoveValueAtIndex(a, 0);
    EXPECT_EQ(CFGetRetainCount(x), 2);
    CFRelease(a);
    EXPECT_EQ(CFGetRetainCount(x), 1);
    CFRelease(x);
    CFRelease(y);

    // Plain pointers without callbacks.
    int values[2] = {1, 2};
    const void* ptrs[2] = {&values[0], &values[1]};
    CFArrayRef plain = CFArrayCreate(kCFAllocatorDefault, ptrs, 2, nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(plain, 1), &values[1]);
    CFRelease(plain);
}

TEST(CFTypes, PropertyListsRoundTripThroughXmlAndBinary)
{
    CFMutableDictionaryRef d = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    const SInt32 negative = -10851;
    const double real = 0.1;
    const UInt8 bytes[5] = {0, 1, 2, 0xFE, 0xFF};
    CFStringRef k1 = CFStr("negative"), k2 = CFStr("real"), k3 = CFStr("bytes"),
                k4 = CFStr("text & <markup>"), k5 = CFStr("list");
    CFNumberRef n1 = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &negative);
    CFNumberRef n2 = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &real);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, bytes, 5);
    CFStringRef text = CFStr("ä <&> \"quoted\"");
    CFMutableArrayRef list = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(list, kCFBooleanTrue);
    CFArrayAppendValue(list, text);
    CFDictionarySetValue(d, k1, n1);
    CFDictionarySetValue(d, k2, n2);
    CFDictionarySetValue(d, k3, data);
    CFDictionarySetValue(d, k4, text);
    CFDictionarySetValue(d, k5, list);

    for (CFPropertyListFormat format :
         {kCFPropertyListXMLFormat_v1_0, kCFPropertyListBinaryFormat_v1_0})
    {
        CFDataRef encoded = CFPropertyListCreateData(kCFAllocatorDefault, d, format, 0, nullptr);
        ASSERT_NE(encoded, nullptr) << format;
        CFPropertyListFormat got = 0;
        CFPropertyListRef back =
            CFPropertyListCreateWithData(kCFAllocatorDefault, encoded, 0, &got, nullptr);
        ASSERT_NE(back, nullptr) << format;
        EXPECT_EQ(got, format);
        EXPECT_TRUE(CFEqual(back, d)) << format;
        SInt32 v = 0;
        CFNumberGetValue(
            static_cast<CFNumberRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(back), k1)),
            kCFNumberSInt32Type, &v);
        EXPECT_EQ(v, negative) << "negative integers keep their sign";
        CFRelease(back);
        CFRelease(encoded);
    }
    for (CFTypeRef o :
         {CFTypeRef(k1), CFTypeRef(k2), CFTypeRef(k3), CFTypeRef(k4), CFTypeRef(k5), CFTypeRef(n1),
          CFTypeRef(n2), CFTypeRef(data), CFTypeRef(text), CFTypeRef(list), CFTypeRef(d)})
        CFRelease(o);
}

TEST(CFTypes, NonPropertyListsAreRefused)
{
    for (const std::string& bad :
         {std::string(""), std::string("hello"), std::string("Width=40\nPan=-30\n"),
          std::string("<?xml version=\"1.0\"?><plist><dict><key>a</key>"),
          std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><date>2020-01-01T00:00:00Z"
                      "</date></plist>"),
          std::string("bplist00\x01\x02\x03garbage", 18)})
    {
        CFDataRef data = DataOf(bad);
        CFErrorRef error = nullptr;
        CFPropertyListRef p =
            CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, &error);
        EXPECT_EQ(p, nullptr) << "input: " << bad;
        ASSERT_NE(error, nullptr) << "input: " << bad;
        CFStringRef text = CFErrorCopyDescription(error);
        EXPECT_FALSE(CFText(text).empty());
        CFRelease(text);
        CFRelease(error);
        if (p)
            CFRelease(p);
        CFRelease(data);
    }
    // What a property list cannot hold is refused when writing.
    CFMutableArrayRef a = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFStringRef path = CFStr("/tmp");
    CFURLRef url =
        CFURLCreateWithFileSystemPath(kCFAllocatorDefault, path, kCFURLPOSIXPathStyle, true);
    CFRelease(path);
    CFArrayAppendValue(a, url);
    EXPECT_EQ(
        CFPropertyListCreateData(kCFAllocatorDefault, a, kCFPropertyListXMLFormat_v1_0, 0, nullptr),
        nullptr);
    CFRelease(url);
    CFRelease(a);
}

namespace
{
// A binary property list of one-byte offsets and references around the given objects.
std::string BinaryPlist(const std::vector<std::string>& objects)
{
    std::string out = "bplist00";
    std::string table;
    for (const std::string& o : objects)
    {
        table += static_cast<char>(out.size());
        out += o;
    }
    const size_t tableOffset = out.size();
    out += table;
    std::string trailer(32, '\0');
    trailer[6] = 1; // offset size
    trailer[7] = 1; // reference size
    trailer[15] = static_cast<char>(objects.size());
    trailer[31] = static_cast<char>(tableOffset);
    return out + trailer;
}
} // namespace

TEST(CFTypes, StringsHoldingNulAreRefusedNotFatal)
{
    using namespace std::string_literals;
    const std::string cases[] = {
        // A dictionary whose key is UTF-16 "a" U+0000 (53 bytes).
        BinaryPlist({"\xD1\x01\x02"s, "\x62\x00\x61\x00\x00"s, "\x10\x05"s}),
        // A UTF-16 string value holding U+0000, and one that is nothing else.
        BinaryPlist({"\xD1\x01\x02"s, "\x54name"s, "\x62\x00\x61\x00\x00"s}),
        BinaryPlist({"\x61\x00\x00"s}),
        // XML may hold no NUL at all.
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>name</key><string>a\0b"
        "</string></dict></plist>"s,
    };
    ASSERT_EQ(cases[0].size(), 53u);
    for (const std::string& bytes : cases)
    {
        CFDataRef data = DataOf(bytes);
        CFErrorRef error = nullptr;
        CFPropertyListRef p =
            CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, &error);
        EXPECT_EQ(p, nullptr) << bytes.size() << " bytes";
        EXPECT_NE(error, nullptr);
        if (error)
            CFRelease(error);
        if (p)
            CFRelease(p);
        CFRelease(data);
    }
    // The same shapes without the NUL are read.
    CFDataRef data = DataOf(BinaryPlist({"\xD1\x01\x02"s, "\x54name"s, "\x62\x00\x61\x00\x62"s}));
    CFPropertyListRef p =
        CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, nullptr);
    ASSERT_NE(p, nullptr);
    CFStringRef key = CFStr("name");
    EXPECT_EQ(CFText(CFDictionaryGetValue(static_cast<CFDictionaryRef>(p), key)), "ab");
    CFRelease(key);
    CFRelease(p);
    CFRelease(data);
}

TEST(ComponentManager, ArgumentsTravelLastFirst)
{
    ComponentParameters p{};
    SetComponentParam<SInt32>(&p, 0, 3, -5);
    SetComponentParam<float>(&p, 1, 3, 0.25f);
    SetComponentParam<void*>(&p, 2, 3, &p);
    EXPECT_EQ(GetComponentParam<SInt32>(&p, 0, 3), -5);
    EXPECT_EQ(GetComponentParam<float>(&p, 1, 3), 0.25f);
    EXPECT_EQ(GetComponentParam<void*>(&p, 2, 3), &p);
    EXPECT_EQ(static_cast<int>(p.params[2]), -5) << "the first argument sits in the last slot";
}

TEST(ComponentManager, InstancesStorageAndDescriptions)
{
    Component c = RegisterSourceUnit(true);
    EXPECT_EQ(RegisterSourceUnit(true), c) << "registered once";
    ComponentDescription want{};
    want.componentType = FourCC("augn");
    want.componentManufacturer = FourCC("Test");
    Component found = FindNextComponent(nullptr, &want);
    ASSERT_NE(found, nullptr);
    Component next = FindNextComponent(found, &want);
    EXPECT_NE(next, found);
    ComponentDescription cd{};
    ASSERT_EQ(GetComponentInfo(c, &cd, nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(cd.componentSubType, FourCC("srcF"));

    ComponentInstance ci = nullptr;
    ASSERT_EQ(OpenAComponent(c, &ci), noErr);
    EXPECT_NE(GetComponentInstanceStorage(ci), nullptr);
    Handle h = reinterpret_cast<Handle>(&cd);
    Handle old = GetComponentInstanceStorage(ci);
    SetComponentInstanceStorage(ci, h);
    EXPECT_EQ(GetComponentInstanceStorage(ci), h);
    SetComponentInstanceStorage(ci, old);
    EXPECT_EQ(CloseComponent(ci), noErr);
    EXPECT_EQ(OpenAComponent(nullptr, &ci), invalidComponentID);
    EXPECT_EQ(ci, nullptr);
    EXPECT_EQ(GetComponentInstanceStorage(nullptr), nullptr);

    SInt32 version = 0;
    EXPECT_EQ(Gestalt(gestaltSystemVersion, &version), noErr);
    EXPECT_GE(version, 0x1050);
}
