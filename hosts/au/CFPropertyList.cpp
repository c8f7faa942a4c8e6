#include "hosts/au/CFTypes.h"

#include "hosts/au/BinaryPlistCheck.h"
#include "hosts/au/CFObjects.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace CFObjects;

namespace
{
// Deeper trees are refused: no property list of the adapter nests anywhere near this. Bytes
// read are checked against the same bound before libplist sees them.
constexpr int kMaxDepth = kMaxPlistDepth;

plist_t ToPlist(CFTypeRef object, int depth);
CFTypeRef FromPlist(plist_t node, int depth);

// ---- Writing: Core Foundation tree to libplist tree ----

plist_t NumberToPlist(const __CFNumber* n)
{
    // Integers travel as 64-bit two's complement, which libplist writes with their sign.
    return n->isFloat ? plist_new_real(n->real) : plist_new_uint(static_cast<uint64_t>(n->integer));
}

plist_t ArrayToPlist(const __CFArray* a, int depth)
{
    plist_t node = plist_new_array();
    for (const void* v : a->values)
    {
        plist_t item = ToPlist(v, depth + 1);
        if (!item)
        {
            plist_free(node);
            return nullptr;
        }
        plist_array_append_item(node, item);
    }
    return node;
}

plist_t DictionaryToPlist(const __CFDictionary* d, int depth)
{
    plist_t node = plist_new_dict();
    for (const auto& kv : d->entries)
    {
        const __CFString* key = As<__CFString>(kv.first, kTypeString);
        plist_t item = key ? ToPlist(kv.second, depth + 1) : nullptr;
        if (!item)
        {
            plist_free(node);
            return nullptr;
        }
        plist_dict_set_item(node, key->text.c_str(), item);
    }
    return node;
}

// Builds the libplist tree of a Core Foundation tree; null for anything a property list cannot
// hold.
plist_t ToPlist(CFTypeRef object, int depth)
{
    if (!object || depth > kMaxDepth)
        return nullptr;
    switch (CFGetTypeID(object))
    {
    case kTypeString:
        return plist_new_string(As<__CFString>(object, kTypeString)->text.c_str());
    case kTypeNumber:
        return NumberToPlist(As<__CFNumber>(object, kTypeNumber));
    case kTypeBoolean:
        return plist_new_bool(As<__CFBoolean>(object, kTypeBoolean)->value ? 1 : 0);
    case kTypeData:
    {
        const __CFData* d = As<__CFData>(object, kTypeData);
        return plist_new_data(reinterpret_cast<const char*>(d->bytes.data()), d->bytes.size());
    }
    case kTypeArray:
        return ArrayToPlist(As<__CFArray>(object, kTypeArray), depth);
    case kTypeDictionary:
        return DictionaryToPlist(As<__CFDictionary>(object, kTypeDictionary), depth);
    default:
        return nullptr;
    }
}

// ---- Reading: libplist tree to Core Foundation tree ----

CFTypeRef StringFromPlist(plist_t node)
{
    // Read with its length: a string whose length disagrees with its C string is refused.
    uint64_t n = 0;
    const char* s = plist_get_string_ptr(node, &n);
    if (!s || std::strlen(s) != n)
        return nullptr;
    return new __CFString(s);
}

CFTypeRef IntegerFromPlist(plist_t node)
{
    uint64_t v = 0;
    plist_get_uint_val(node, &v);
    auto* n = new __CFNumber();
    n->integer = static_cast<int64_t>(v);
    return n;
}

CFTypeRef RealFromPlist(plist_t node)
{
    double v = 0.0;
    plist_get_real_val(node, &v);
    auto* n = new __CFNumber();
    n->isFloat = true;
    n->real = v;
    return n;
}

CFTypeRef BooleanFromPlist(plist_t node)
{
    uint8_t b = 0;
    plist_get_bool_val(node, &b);
    return b ? kCFBooleanTrue : kCFBooleanFalse;
}

CFTypeRef DataFromPlist(plist_t node)
{
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &bytes, &length);
    auto* d = new __CFData();
    if (bytes)
        d->bytes.assign(reinterpret_cast<UInt8*>(bytes), reinterpret_cast<UInt8*>(bytes) + length);
    std::free(bytes);
    return d;
}

CFTypeRef ArrayFromPlist(plist_t node, int depth)
{
    CFMutableArrayRef a = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    // Through the iterator: libplist finds an item by index by walking the list from its start,
    // which made a long array quadratic (20 s for 65535 items).
    plist_array_iter it = nullptr;
    plist_array_new_iter(node, &it);
    bool ok = it != nullptr;
    for (plist_t child = nullptr; ok;)
    {
        plist_array_next_item(node, it, &child);
        if (!child)
            break;
        CFTypeRef item = FromPlist(child, depth + 1);
        ok = item != nullptr;
        if (ok)
        {
            CFArrayAppendValue(a, item);
            CFRelease(item);
        }
    }
    std::free(it);
    if (!ok)
    {
        CFRelease(a);
        return nullptr;
    }
    return a;
}

CFTypeRef DictionaryFromPlist(plist_t node, int depth)
{
    CFMutableDictionaryRef d = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    bool ok = true;
    while (it && ok)
    {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (!key)
            break;
        CFTypeRef item = FromPlist(value, depth + 1);
        if (item)
        {
            CFStringRef k = new __CFString(key);
            CFDictionarySetValue(d, k, item);
            CFRelease(k);
            CFRelease(item);
        }
        else
        {
            ok = false;
        }
        std::free(key);
    }
    std::free(it);
    if (!ok)
    {
        CFRelease(d);
        return nullptr;
    }
    return d;
}

CFTypeRef FromPlist(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return nullptr;
    switch (plist_get_node_type(node))
    {
    case PLIST_STRING:
        return StringFromPlist(node);
    case PLIST_UINT:
        return IntegerFromPlist(node);
    case PLIST_REAL:
        return RealFromPlist(node);
    case PLIST_BOOLEAN:
        return BooleanFromPlist(node);
    case PLIST_DATA:
        return DataFromPlist(node);
    case PLIST_ARRAY:
        return ArrayFromPlist(node, depth);
    case PLIST_DICT:
        return DictionaryFromPlist(node, depth);
    default:
        return nullptr; // dates, UIDs and keys have no place in the adapter's property lists
    }
}

void SetError(CFErrorRef* error, const char* text)
{
    if (error)
        *error = new __CFError(text);
}
} // namespace

CFDataRef CFPropertyListCreateData(CFAllocatorRef, CFPropertyListRef propertyList,
                                   CFPropertyListFormat format, CFOptionFlags, CFErrorRef* error)
{
    if (error)
        *error = nullptr;
    if (format != kCFPropertyListXMLFormat_v1_0 && format != kCFPropertyListBinaryFormat_v1_0)
    {
        SetError(error, "unsupported property list format");
        return nullptr;
    }
    plist_t root = ToPlist(propertyList, 0);
    if (!root)
    {
        SetError(error, "the object holds values a property list cannot hold");
        return nullptr;
    }
    char* bytes = nullptr;
    uint32_t length = 0;
    if (format == kCFPropertyListXMLFormat_v1_0)
        plist_to_xml(root, &bytes, &length);
    else
        plist_to_bin(root, &bytes, &length);
    plist_free(root);
    if (!bytes)
    {
        SetError(error, "the property list could not be written");
        return nullptr;
    }
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes),
                                  static_cast<CFIndex>(length));
    std::free(bytes);
    return data;
}

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef, CFDataRef data, CFOptionFlags,
                                               CFPropertyListFormat* format, CFErrorRef* error)
{
    if (error)
        *error = nullptr;
    const __CFData* d = As<__CFData>(data, kTypeData);
    constexpr size_t kMinPlistBytes = 8;
    if (!d || d->bytes.size() < kMinPlistBytes || d->bytes.size() > UINT32_MAX)
    {
        SetError(error, "the data is not a property list");
        return nullptr;
    }
    const char* bytes = reinterpret_cast<const char*>(d->bytes.data());
    const uint32_t length = static_cast<uint32_t>(d->bytes.size());
    const bool binary = plist_is_binary(bytes, length) != 0;
    // The XML reader wants to see an XML document; anything else is not a property list.
    if (!binary)
    {
        const std::string head(bytes, std::min<size_t>(length, 256));
        if (head.find("<plist") == std::string::npos && head.find("<?xml") == std::string::npos)
        {
            SetError(error, "the data is not a property list");
            return nullptr;
        }
    }
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes);
    const PlistCheck check = binary ? CheckBinaryPlist(raw, length) : CheckXmlPlist(raw, length);
    if (check != PlistCheck::Fine)
    {
        SetError(error, (std::string("the property list ") + PlistCheckText(check)).c_str());
        return nullptr;
    }
    plist_t root = nullptr;
    if (binary)
        plist_from_bin(bytes, length, &root);
    else
        plist_from_xml(bytes, length, &root);
    if (!root)
    {
        SetError(error, "the data is not a property list");
        return nullptr;
    }
    CFTypeRef result = FromPlist(root, 0);
    plist_free(root);
    if (!result)
    {
        SetError(error, "the property list holds values of unsupported types");
        return nullptr;
    }
    if (format)
        *format = binary ? kCFPropertyListBinaryFormat_v1_0 : kCFPropertyListXMLFormat_v1_0;
    return result;
}
