// The state dictionary both the adapter and the preset files read: how it is made, and which
// problem a dictionary is refused for.

#include "hosts/au/AUPresetState.h"
#include "AUTestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
using AUPresetState::Problem;

constexpr int kParams = 3;

ComponentDescription Identity()
{
    ComponentDescription cd{};
    cd.componentType = FourCC("aufx");
    cd.componentSubType = FourCC("rkjs");
    cd.componentManufacturer = FourCC("TwNl");
    return cd;
}

StateChunk Values(std::vector<double> values)
{
    StateChunk chunk;
    for (double v : values)
        chunk.PutDouble(v);
    return chunk;
}

// A dictionary as the unit makes it, holding three parameter values.
CFMutableDictionaryRef GoodState()
{
    const StateChunk chunk = Values({1.0, -2.5, 3.0});
    return AUPresetState::Make(0x50301, Identity(), "Wide", &chunk);
}

void Put(CFMutableDictionaryRef d, const char* key, CFTypeRef value)
{
    CFStringRef k = CFStr(key);
    if (value)
    {
        CFDictionarySetValue(d, k, value);
        CFRelease(value);
    }
    else
    {
        CFDictionaryRemoveValue(d, k);
    }
    CFRelease(k);
}

CFNumberRef Number(SInt32 v)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &v);
}

CFNumberRef Real(double v)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &v);
}

CFDataRef Bytes(const StateChunk& chunk)
{
    return CFDataCreate(kCFAllocatorDefault, chunk.GetData(), chunk.Size());
}

Problem ReadOf(CFTypeRef plist, AUPresetState::Reading* r, int nParams = kParams)
{
    StateChunk chunk;
    return AUPresetState::Read(plist, Identity(), nParams, r, &chunk);
}
} // namespace

TEST(AUPresetState, MadeDictionaryHoldsTheKeysInOrderAndReadsBack)
{
    CFMutableDictionaryRef d = GoodState();
    ASSERT_EQ(CFDictionaryGetCount(d), 6);
    const void* keys[6] = {};
    CFDictionaryGetKeysAndValues(d, keys, nullptr);
    const char* expected[] = {"version", "type", "subtype", "manufacturer", "name", "data"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(CFText(keys[i]), expected[i]) << i;

    AUPresetState::Reading r;
    StateChunk chunk;
    EXPECT_EQ(AUPresetState::Read(d, Identity(), kParams, &r, &chunk), Problem::None);
    EXPECT_EQ(r.version, 0x50301);
    EXPECT_EQ(CFText(r.name), "Wide");
    EXPECT_EQ(r.dataBytes, 24);
    ASSERT_EQ(chunk.Size(), 24) << "the chunk receives the data";
    double v = 0.0;
    chunk.GetDouble(&v, 8);
    EXPECT_EQ(v, -2.5);
    EXPECT_EQ(AUPresetState::GetVersion(d), 0x50301);
    EXPECT_EQ(CFText(AUPresetState::GetName(d)), "Wide");
    EXPECT_EQ(CFDataGetLength(AUPresetState::GetData(d)), 24);
    CFRelease(d);

    d = AUPresetState::Make(1, Identity(), nullptr, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(d), 5) << "no data without a chunk";
    EXPECT_EQ(CFText(AUPresetState::GetName(d)), "");
    EXPECT_EQ(AUPresetState::GetData(d), nullptr);
    CFRelease(d);
}

TEST(AUPresetState, MissingAndWronglyTypedKeysAreNamed)
{
    const char* keys[] = {"version", "type", "subtype", "manufacturer", "name", "data"};
    const char* expected[] = {"a number", "a number", "a number", "a number", "a string", "data"};
    for (int i = 0; i < 6; ++i)
    {
        CFMutableDictionaryRef d = GoodState();
        Put(d, keys[i], nullptr);
        AUPresetState::Reading r;
        EXPECT_EQ(ReadOf(d, &r), Problem::MissingKey) << keys[i];
        EXPECT_STREQ(r.key, keys[i]);

        // A string where a string belongs is replaced by a number.
        Put(d, keys[i], i == 4 ? static_cast<CFTypeRef>(Number(1)) : CFStr("x"));
        EXPECT_EQ(ReadOf(d, &r), Problem::WrongType) << keys[i];
        EXPECT_STREQ(r.key, keys[i]);
        EXPECT_STREQ(r.expected, expected[i]);
        CFRelease(d);
    }
    AUPresetState::Reading r;
    CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, nullptr, 0, &kCFTypeArrayCallBacks);
    EXPECT_EQ(ReadOf(array, &r), Problem::NotADictionary);
    EXPECT_EQ(ReadOf(nullptr, &r), Problem::NotADictionary);
    CFRelease(array);
}

TEST(AUPresetState, IdentityMustBeThisUnitsAsThirtyTwoBitNumbers)
{
    for (const char* key : {"type", "subtype", "manufacturer"})
    {
        CFMutableDictionaryRef d = GoodState();
        Put(d, key, Number(FourCC("none")));
        AUPresetState::Reading r;
        EXPECT_EQ(ReadOf(d, &r), Problem::OtherPlugin) << key;
        Put(d, key, Real(2.5));
        EXPECT_EQ(ReadOf(d, &r), Problem::OtherPlugin) << key << ": not an integer";
        CFRelease(d);
    }
    CFMutableDictionaryRef d = GoodState();
    Put(d, "subtype", Number(FourCC("abcd")));
    AUPresetState::Reading r;
    ASSERT_EQ(ReadOf(d, &r), Problem::OtherPlugin);
    EXPECT_EQ(static_cast<OSType>(r.type), FourCC("aufx")) << "all three are read";
    EXPECT_EQ(static_cast<OSType>(r.subtype), FourCC("abcd"));
    EXPECT_EQ(static_cast<OSType>(r.manufacturer), FourCC("TwNl"));
    CFRelease(d);
}

TEST(AUPresetState, DataHoldsEveryParameterAsAFiniteValue)
{
    CFMutableDictionaryRef d = GoodState();
    Put(d, "data", Bytes(Values({1.0, 2.0})));
    AUPresetState::Reading r;
    ASSERT_EQ(ReadOf(d, &r), Problem::ShortData);
    EXPECT_EQ(r.dataBytes, 16);
    EXPECT_EQ(r.neededBytes, 24);
    EXPECT_EQ(ReadOf(d, &r, 2), Problem::None) << "enough for two parameters";
    EXPECT_EQ(ReadOf(d, &r, -1), Problem::None) << "a plug-in's own chunk is not looked into";

    for (int bad = 0; bad < kParams; ++bad)
    {
        std::vector<double> values = {1.0, 2.0, 3.0, 4.0};
        values[bad] = bad == 1 ? HUGE_VAL : std::nan("");
        Put(d, "data", Bytes(Values(values)));
        ASSERT_EQ(ReadOf(d, &r), Problem::NonFinite) << bad;
        EXPECT_EQ(r.valueIndex, bad);
    }
    Put(d, "data", Bytes(Values({1.0, 2.0, 3.0, std::nan("")})));
    EXPECT_EQ(ReadOf(d, &r), Problem::None) << "bytes past the parameters are not looked at";
    CFRelease(d);
}

TEST(AUPresetState, VersionIsAnyThirtyTwoBitNumber)
{
    CFMutableDictionaryRef d = GoodState();
    Put(d, "version", Number(-7));
    AUPresetState::Reading r;
    EXPECT_EQ(ReadOf(d, &r), Problem::None);
    EXPECT_EQ(r.version, -7);
    Put(d, "version", Real(1.5));
    EXPECT_EQ(ReadOf(d, &r), Problem::BadVersion);
    CFRelease(d);
}

TEST(AUPresetState, FirstProblemInOrderIsReported)
{
    // Keys before identity, identity before data, data before the version.
    CFMutableDictionaryRef d = GoodState();
    Put(d, "version", Real(1.5));
    Put(d, "data", Bytes(Values({std::nan("")})));
    AUPresetState::Reading r;
    EXPECT_EQ(ReadOf(d, &r), Problem::ShortData);
    Put(d, "data", Bytes(Values({0.0, std::nan(""), 0.0})));
    EXPECT_EQ(ReadOf(d, &r), Problem::NonFinite);
    Put(d, "manufacturer", Number(0));
    EXPECT_EQ(ReadOf(d, &r), Problem::OtherPlugin);
    Put(d, "name", nullptr);
    EXPECT_EQ(ReadOf(d, &r), Problem::MissingKey);
    Put(d, "version", nullptr);
    EXPECT_EQ(ReadOf(d, &r), Problem::MissingKey);
    EXPECT_STREQ(r.key, "version");
    CFRelease(d);
}

TEST(AUPresetState, NameFitsItsBufferOrIsEmpty)
{
    char buffer[AUPresetState::kNameSize];
    const std::string fits(AUPresetState::kNameSize - 1, 'x');
    CFStringRef s = CFStr(fits.c_str());
    AUPresetState::CopyName(s, buffer);
    EXPECT_EQ(std::string(buffer), fits);
    CFRelease(s);
    s = CFStr(std::string(AUPresetState::kNameSize, 'x').c_str());
    AUPresetState::CopyName(s, buffer);
    EXPECT_STREQ(buffer, "") << "a name that does not fit names no preset";
    CFRelease(s);

    CFMutableDictionaryRef d = GoodState();
    AUPresetState::SetName(d, "Narrow");
    EXPECT_EQ(CFText(AUPresetState::GetName(d)), "Narrow");
    EXPECT_EQ(CFDictionaryGetCount(d), 6);
    CFRelease(d);
}
