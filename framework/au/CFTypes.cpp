#include "framework/au/CFTypes.h"

#include "framework/au/BinaryPlistCheck.h"

#include <plist/plist.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
enum TypeID : CFTypeID
{
    kTypeString = 7,
    kTypeNumber,
    kTypeBoolean,
    kTypeData,
    kTypeDictionary,
    kTypeArray,
    kTypeURL,
    kTypeError,
    kTypeBundle
};

// Objects whose count is this are never freed (the booleans, the main bundle).
constexpr long kImmortal = LONG_MAX / 2;
} // namespace

// Every object starts with this record; the opaque reference types point at it.
struct CFObjectBase
{
    explicit CFObjectBase(CFTypeID id) : typeID(id) {}
    virtual ~CFObjectBase() = default;
    const CFTypeID typeID;
    std::atomic<long> refs{1};
};

struct __CFString : CFObjectBase
{
    explicit __CFString(std::string t) : CFObjectBase(kTypeString), text(std::move(t)) {}
    std::string text;
};

struct __CFNumber : CFObjectBase
{
    __CFNumber() : CFObjectBase(kTypeNumber) {}
    bool isFloat = false;
    int64_t integer = 0;
    double real = 0.0;
};

struct __CFBoolean : CFObjectBase
{
    explicit __CFBoolean(bool v) : CFObjectBase(kTypeBoolean), value(v) { refs = kImmortal; }
    bool value;
};

struct __CFData : CFObjectBase
{
    __CFData() : CFObjectBase(kTypeData) {}
    std::vector<UInt8> bytes;
};

struct __CFDictionary : CFObjectBase
{
    __CFDictionary() : CFObjectBase(kTypeDictionary) {}
    ~__CFDictionary() override
    {
        for (auto& kv : entries)
        {
            CFRelease(kv.first);
            CFRelease(kv.second);
        }
    }
    std::vector<std::pair<CFTypeRef, CFTypeRef>> entries; // insertion order
};

struct __CFArray : CFObjectBase
{
    __CFArray() : CFObjectBase(kTypeArray) {}
    ~__CFArray() override
    {
        for (const void* v : values)
            if (callBacks.release)
                callBacks.release(kCFAllocatorDefault, v);
    }
    CFArrayCallBacks callBacks{};
    std::vector<const void*> values;
};

struct __CFURL : CFObjectBase
{
    explicit __CFURL(std::string p) : CFObjectBase(kTypeURL), path(std::move(p)) {}
    std::string path;
};

struct __CFError : CFObjectBase
{
    explicit __CFError(std::string d) : CFObjectBase(kTypeError), description(std::move(d)) {}
    std::string description;
};

struct __CFBundle : CFObjectBase
{
    __CFBundle(std::string p, std::string id)
        : CFObjectBase(kTypeBundle), path(std::move(p)),
          identifier(id.empty() ? nullptr : new __CFString(id))
    {
    }
    ~__CFBundle() override;
    std::string path;
    __CFString* identifier; // null when the bundle declares none
};

struct __CFRunLoop
{
};

namespace
{
const CFObjectBase* Obj(CFTypeRef ref)
{
    return static_cast<const CFObjectBase*>(ref);
}

template <typename T> const T* As(CFTypeRef ref, CFTypeID id)
{
    const CFObjectBase* o = Obj(ref);
    return o && o->typeID == id ? static_cast<const T*>(o) : nullptr;
}

const void* ArrayRetainCF(CFAllocatorRef, const void* v)
{
    return CFRetain(v);
}
void ArrayReleaseCF(CFAllocatorRef, const void* v)
{
    CFRelease(v);
}
CFStringRef ArrayDescribeCF(const void* v)
{
    return CFCopyDescription(v);
}
Boolean ArrayEqualCF(const void* a, const void* b)
{
    return CFEqual(a, b);
}

__CFBoolean gTrue(true);
__CFBoolean gFalse(false);

// Bundles alive now, for lookup by identifier.
std::mutex gBundlesMutex;
std::vector<__CFBundle*> gBundles;

std::string ReadBundleIdentifier(const std::string& folder);
} // namespace

__CFBundle::~__CFBundle()
{
    {
        std::lock_guard<std::mutex> lock(gBundlesMutex);
        for (size_t i = 0; i < gBundles.size(); ++i)
            if (gBundles[i] == this)
            {
                gBundles.erase(gBundles.begin() + static_cast<long>(i));
                break;
            }
    }
    if (identifier)
        CFRelease(identifier);
}

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, ArrayRetainCF, ArrayReleaseCF, ArrayDescribeCF,
                                                ArrayEqualCF};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {};
const CFBooleanRef kCFBooleanTrue = &gTrue;
const CFBooleanRef kCFBooleanFalse = &gFalse;
const CFStringRef kCFRunLoopDefaultMode = []
{
    auto* s = new __CFString("kCFRunLoopDefaultMode");
    s->refs = kImmortal;
    return s;
}();

// ---- Any object ----

CFTypeRef CFRetain(CFTypeRef object)
{
    if (const CFObjectBase* o = Obj(object))
        if (o->refs.load(std::memory_order_relaxed) < kImmortal)
            const_cast<CFObjectBase*>(o)->refs.fetch_add(1, std::memory_order_relaxed);
    return object;
}

void CFRelease(CFTypeRef object)
{
    const CFObjectBase* o = Obj(object);
    if (!o || o->refs.load(std::memory_order_relaxed) >= kImmortal)
        return;
    if (const_cast<CFObjectBase*>(o)->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete o;
}

CFIndex CFGetRetainCount(CFTypeRef object)
{
    const CFObjectBase* o = Obj(object);
    return o ? o->refs.load() : 0;
}

CFTypeID CFGetTypeID(CFTypeRef object)
{
    const CFObjectBase* o = Obj(object);
    return o ? o->typeID : 0;
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b)
{
    if (a == b)
        return true;
    if (!a || !b || CFGetTypeID(a) != CFGetTypeID(b))
        return false;
    switch (CFGetTypeID(a))
    {
    case kTypeString:
        return As<__CFString>(a, kTypeString)->text == As<__CFString>(b, kTypeString)->text;
    case kTypeNumber:
    {
        const __CFNumber* x = As<__CFNumber>(a, kTypeNumber);
        const __CFNumber* y = As<__CFNumber>(b, kTypeNumber);
        if (!x->isFloat && !y->isFloat)
            return x->integer == y->integer;
        const double dx = x->isFloat ? x->real : static_cast<double>(x->integer);
        const double dy = y->isFloat ? y->real : static_cast<double>(y->integer);
        return dx == dy;
    }
    case kTypeBoolean:
        return As<__CFBoolean>(a, kTypeBoolean)->value == As<__CFBoolean>(b, kTypeBoolean)->value;
    case kTypeData:
        return As<__CFData>(a, kTypeData)->bytes == As<__CFData>(b, kTypeData)->bytes;
    case kTypeURL:
        return As<__CFURL>(a, kTypeURL)->path == As<__CFURL>(b, kTypeURL)->path;
    case kTypeArray:
    {
        const __CFArray* x = As<__CFArray>(a, kTypeArray);
        const __CFArray* y = As<__CFArray>(b, kTypeArray);
        if (x->values.size() != y->values.size())
            return false;
        for (size_t i = 0; i < x->values.size(); ++i)
        {
            const bool same = x->callBacks.equal ? x->callBacks.equal(x->values[i], y->values[i])
                                                 : x->values[i] == y->values[i];
            if (!same)
                return false;
        }
        return true;
    }
    case kTypeDictionary:
    {
        const __CFDictionary* x = As<__CFDictionary>(a, kTypeDictionary);
        if (x->entries.size() !=
            static_cast<size_t>(CFDictionaryGetCount(static_cast<CFDictionaryRef>(b))))
            return false;
        for (const auto& kv : x->entries)
        {
            const void* other = nullptr;
            if (!CFDictionaryGetValueIfPresent(static_cast<CFDictionaryRef>(b), kv.first, &other) ||
                !CFEqual(kv.second, other))
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

namespace
{
std::string Describe(CFTypeRef object)
{
    CFStringRef d = CFCopyDescription(object);
    std::string s = d ? As<__CFString>(d, kTypeString)->text : std::string("(null)");
    if (d)
        CFRelease(d);
    return s;
}
} // namespace

CFStringRef CFCopyDescription(CFTypeRef object)
{
    if (!object)
        return nullptr;
    std::ostringstream out;
    switch (CFGetTypeID(object))
    {
    case kTypeString:
        out << As<__CFString>(object, kTypeString)->text;
        break;
    case kTypeNumber:
    {
        const __CFNumber* n = As<__CFNumber>(object, kTypeNumber);
        if (n->isFloat)
            out << n->real;
        else
            out << n->integer;
        break;
    }
    case kTypeBoolean:
        out << (As<__CFBoolean>(object, kTypeBoolean)->value ? "true" : "false");
        break;
    case kTypeData:
        out << "<" << As<__CFData>(object, kTypeData)->bytes.size() << " bytes>";
        break;
    case kTypeURL:
        out << "file://" << As<__CFURL>(object, kTypeURL)->path;
        break;
    case kTypeError:
        out << As<__CFError>(object, kTypeError)->description;
        break;
    case kTypeBundle:
        out << "bundle " << static_cast<const __CFBundle*>(Obj(object))->path;
        break;
    case kTypeArray:
    {
        const __CFArray* a = As<__CFArray>(object, kTypeArray);
        out << "(";
        for (size_t i = 0; i < a->values.size(); ++i)
        {
            out << (i ? ",\n" : "\n");
            if (a->callBacks.copyDescription)
            {
                CFStringRef d = a->callBacks.copyDescription(a->values[i]);
                out << (d ? As<__CFString>(d, kTypeString)->text : std::string("(null)"));
                if (d)
                    CFRelease(d);
            }
            else
            {
                out << "<" << a->values[i] << ">";
            }
        }
        out << "\n)";
        break;
    }
    case kTypeDictionary:
    {
        out << "{\n";
        for (const auto& kv : As<__CFDictionary>(object, kTypeDictionary)->entries)
            out << "    " << Describe(kv.first) << " = " << Describe(kv.second) << ";\n";
        out << "}";
        break;
    }
    default:
        out << "<" << object << ">";
    }
    return new __CFString(out.str());
}

// ---- Strings ----

CFTypeID CFStringGetTypeID()
{
    return kTypeString;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cString, CFStringEncoding)
{
    return cString ? new __CFString(cString) : nullptr;
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding, Boolean)
{
    if (!bytes && numBytes > 0)
        return nullptr;
    return new __CFString(std::string(reinterpret_cast<const char*>(bytes),
                                      static_cast<size_t>(numBytes > 0 ? numBytes : 0)));
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef string)
{
    const __CFString* s = As<__CFString>(string, kTypeString);
    return s ? new __CFString(s->text) : nullptr;
}

CFIndex CFStringGetLength(CFStringRef string)
{
    const __CFString* s = As<__CFString>(string, kTypeString);
    return s ? static_cast<CFIndex>(s->text.size()) : 0;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding)
{
    const __CFString* s = As<__CFString>(string, kTypeString);
    if (!buffer || bufferSize < 1)
        return false;
    if (!s || static_cast<CFIndex>(s->text.size()) >= bufferSize)
    {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, s->text.c_str(), s->text.size() + 1);
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef string, CFStringEncoding)
{
    const __CFString* s = As<__CFString>(string, kTypeString);
    return s ? s->text.c_str() : nullptr;
}

CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFOptionFlags)
{
    const char* x = CFStringGetCStringPtr(a, kCFStringEncodingUTF8);
    const char* y = CFStringGetCStringPtr(b, kCFStringEncodingUTF8);
    const int c = std::strcmp(x ? x : "", y ? y : "");
    return c < 0 ? kCFCompareLessThan : (c > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

// ---- Numbers ----

CFTypeID CFNumberGetTypeID()
{
    return kTypeNumber;
}
CFTypeID CFBooleanGetTypeID()
{
    return kTypeBoolean;
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* valuePtr)
{
    if (!valuePtr)
        return nullptr;
    auto* n = new __CFNumber();
    switch (type)
    {
    case kCFNumberSInt8Type:
        n->integer = *static_cast<const int8_t*>(valuePtr);
        break;
    case kCFNumberSInt16Type:
        n->integer = *static_cast<const int16_t*>(valuePtr);
        break;
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
        n->integer = *static_cast<const int32_t*>(valuePtr);
        break;
    case kCFNumberSInt64Type:
        n->integer = *static_cast<const int64_t*>(valuePtr);
        break;
    case kCFNumberLongType:
        n->integer = *static_cast<const long*>(valuePtr);
        break;
    case kCFNumberFloat32Type:
        n->isFloat = true;
        n->real = *static_cast<const float*>(valuePtr);
        break;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
        n->isFloat = true;
        n->real = *static_cast<const double*>(valuePtr);
        break;
    default:
        delete n;
        return nullptr;
    }
    return n;
}

namespace
{
template <typename T> Boolean StoreInteger(const __CFNumber* n, void* out)
{
    int64_t v;
    bool exact;
    if (n->isFloat)
    {
        const double r = n->real;
        const bool inRange = std::isfinite(r) && r >= -9.2e18 && r <= 9.2e18;
        v = inRange ? static_cast<int64_t>(r) : 0;
        exact = inRange && static_cast<double>(v) == r;
    }
    else
    {
        v = n->integer;
        exact = true;
    }
    const T t = static_cast<T>(v);
    std::memcpy(out, &t, sizeof(T));
    return exact && static_cast<int64_t>(t) == v;
}

template <typename T> Boolean StoreReal(const __CFNumber* n, void* out)
{
    const double d = n->isFloat ? n->real : static_cast<double>(n->integer);
    const T t = static_cast<T>(d);
    std::memcpy(out, &t, sizeof(T));
    return n->isFloat ? (std::isnan(d) || static_cast<double>(t) == d)
                      : static_cast<int64_t>(t) == n->integer;
}
} // namespace

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr)
{
    const __CFNumber* n = As<__CFNumber>(number, kTypeNumber);
    if (!n || !valuePtr)
        return false;
    switch (type)
    {
    case kCFNumberSInt8Type:
        return StoreInteger<int8_t>(n, valuePtr);
    case kCFNumberSInt16Type:
        return StoreInteger<int16_t>(n, valuePtr);
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
        return StoreInteger<int32_t>(n, valuePtr);
    case kCFNumberSInt64Type:
        return StoreInteger<int64_t>(n, valuePtr);
    case kCFNumberLongType:
        return StoreInteger<long>(n, valuePtr);
    case kCFNumberFloat32Type:
        return StoreReal<float>(n, valuePtr);
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
        return StoreReal<double>(n, valuePtr);
    default:
        return false;
    }
}

Boolean CFNumberIsFloatType(CFNumberRef number)
{
    const __CFNumber* n = As<__CFNumber>(number, kTypeNumber);
    return n && n->isFloat;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    const __CFBoolean* b = As<__CFBoolean>(boolean, kTypeBoolean);
    return b && b->value;
}

// ---- Data ----

CFTypeID CFDataGetTypeID()
{
    return kTypeData;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
    if (length < 0 || (!bytes && length > 0))
        return nullptr;
    auto* d = new __CFData();
    d->bytes.assign(bytes, bytes + length);
    return d;
}

CFIndex CFDataGetLength(CFDataRef data)
{
    const __CFData* d = As<__CFData>(data, kTypeData);
    return d ? static_cast<CFIndex>(d->bytes.size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef data)
{
    const __CFData* d = As<__CFData>(data, kTypeData);
    return d && !d->bytes.empty() ? d->bytes.data() : nullptr;
}

// ---- Dictionaries ----

CFTypeID CFDictionaryGetTypeID()
{
    return kTypeDictionary;
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex,
                                                 const CFDictionaryKeyCallBacks*,
                                                 const CFDictionaryValueCallBacks*)
{
    return new __CFDictionary();
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary)
{
    const __CFDictionary* d = As<__CFDictionary>(dictionary, kTypeDictionary);
    return d ? static_cast<CFIndex>(d->entries.size()) : 0;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef dictionary, const void* key,
                                      const void** value)
{
    const __CFDictionary* d = As<__CFDictionary>(dictionary, kTypeDictionary);
    if (!d || !key)
        return false;
    for (const auto& kv : d->entries)
        if (CFEqual(kv.first, key))
        {
            if (value)
                *value = kv.second;
            return true;
        }
    return false;
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key)
{
    const void* v = nullptr;
    return CFDictionaryGetValueIfPresent(dictionary, key, &v) ? v : nullptr;
}

void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value)
{
    auto* d = const_cast<__CFDictionary*>(As<__CFDictionary>(dictionary, kTypeDictionary));
    if (!d || !key || !value)
        return;
    CFRetain(value);
    for (auto& kv : d->entries)
        if (CFEqual(kv.first, key))
        {
            CFRelease(kv.second);
            kv.second = value;
            return;
        }
    d->entries.emplace_back(CFRetain(key), value);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef dictionary, const void* key)
{
    auto* d = const_cast<__CFDictionary*>(As<__CFDictionary>(dictionary, kTypeDictionary));
    if (!d || !key)
        return;
    for (size_t i = 0; i < d->entries.size(); ++i)
        if (CFEqual(d->entries[i].first, key))
        {
            CFRelease(d->entries[i].first);
            CFRelease(d->entries[i].second);
            d->entries.erase(d->entries.begin() + static_cast<long>(i));
            return;
        }
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef dictionary, const void** keys,
                                  const void** values)
{
    const __CFDictionary* d = As<__CFDictionary>(dictionary, kTypeDictionary);
    if (!d)
        return;
    for (size_t i = 0; i < d->entries.size(); ++i)
    {
        if (keys)
            keys[i] = d->entries[i].first;
        if (values)
            values[i] = d->entries[i].second;
    }
}

// ---- Arrays ----

CFTypeID CFArrayGetTypeID()
{
    return kTypeArray;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
    auto* a = new __CFArray();
    if (callBacks)
        a->callBacks = *callBacks;
    return a;
}

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex count,
                         const CFArrayCallBacks* callBacks)
{
    CFMutableArrayRef a = CFArrayCreateMutable(allocator, count, callBacks);
    for (CFIndex i = 0; values && i < count; ++i)
        CFArrayAppendValue(a, values[i]);
    return a;
}

CFIndex CFArrayGetCount(CFArrayRef array)
{
    const __CFArray* a = As<__CFArray>(array, kTypeArray);
    return a ? static_cast<CFIndex>(a->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index)
{
    const __CFArray* a = As<__CFArray>(array, kTypeArray);
    if (!a || index < 0 || index >= static_cast<CFIndex>(a->values.size()))
        return nullptr;
    return a->values[static_cast<size_t>(index)];
}

void CFArrayAppendValue(CFMutableArrayRef array, const void* value)
{
    auto* a = const_cast<__CFArray*>(As<__CFArray>(array, kTypeArray));
    if (!a)
        return;
    a->values.push_back(a->callBacks.retain ? a->callBacks.retain(kCFAllocatorDefault, value)
                                            : value);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef array, CFIndex index)
{
    auto* a = const_cast<__CFArray*>(As<__CFArray>(array, kTypeArray));
    if (!a || index < 0 || index >= static_cast<CFIndex>(a->values.size()))
        return;
    const void* v = a->values[static_cast<size_t>(index)];
    a->values.erase(a->values.begin() + index);
    if (a->callBacks.release)
        a->callBacks.release(kCFAllocatorDefault, v);
}

Boolean CFArrayContainsValue(CFArrayRef array, CFRange range, const void* value)
{
    const __CFArray* a = As<__CFArray>(array, kTypeArray);
    if (!a)
        return false;
    const CFIndex end = range.location + range.length;
    for (CFIndex i = range.location; i < end && i < static_cast<CFIndex>(a->values.size()); ++i)
    {
        if (i < 0)
            continue;
        const void* v = a->values[static_cast<size_t>(i)];
        if (a->callBacks.equal ? a->callBacks.equal(v, value) : v == value)
            return true;
    }
    return false;
}

// ---- URLs and errors ----

CFTypeID CFURLGetTypeID()
{
    return kTypeURL;
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef path, CFURLPathStyle, Boolean)
{
    const __CFString* s = As<__CFString>(path, kTypeString);
    return s ? new __CFURL(s->text) : nullptr;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle)
{
    const __CFURL* u = As<__CFURL>(url, kTypeURL);
    return u ? new __CFString(u->path) : nullptr;
}

CFTypeID CFErrorGetTypeID()
{
    return kTypeError;
}

CFStringRef CFErrorCopyDescription(CFErrorRef error)
{
    const __CFError* e = As<__CFError>(error, kTypeError);
    return e ? new __CFString(e->description) : nullptr;
}

// ---- Property lists ----

namespace
{
// Builds the libplist tree of a Core Foundation tree; null for anything a property list cannot
// hold.
plist_t ToPlist(CFTypeRef object, int depth)
{
    constexpr int kMaxDepth = 512;
    if (!object || depth > kMaxDepth)
        return nullptr;
    switch (CFGetTypeID(object))
    {
    case kTypeString:
        return plist_new_string(As<__CFString>(object, kTypeString)->text.c_str());
    case kTypeNumber:
    {
        const __CFNumber* n = As<__CFNumber>(object, kTypeNumber);
        // Integers travel as 64-bit two's complement, which libplist writes with their sign.
        return n->isFloat ? plist_new_real(n->real)
                          : plist_new_uint(static_cast<uint64_t>(n->integer));
    }
    case kTypeBoolean:
        return plist_new_bool(As<__CFBoolean>(object, kTypeBoolean)->value ? 1 : 0);
    case kTypeData:
    {
        const __CFData* d = As<__CFData>(object, kTypeData);
        return plist_new_data(reinterpret_cast<const char*>(d->bytes.data()), d->bytes.size());
    }
    case kTypeArray:
    {
        const __CFArray* a = As<__CFArray>(object, kTypeArray);
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
    case kTypeDictionary:
    {
        const __CFDictionary* d = As<__CFDictionary>(object, kTypeDictionary);
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
    default:
        return nullptr;
    }
}

CFTypeRef FromPlist(plist_t node, int depth)
{
    constexpr int kMaxDepth = 512;
    if (!node || depth > kMaxDepth)
        return nullptr;
    switch (plist_get_node_type(node))
    {
    case PLIST_STRING:
    {
        // Read with its length: a string whose length disagrees with its C string is refused.
        uint64_t n = 0;
        const char* s = plist_get_string_ptr(node, &n);
        if (!s || std::strlen(s) != n)
            return nullptr;
        return new __CFString(s);
    }
    case PLIST_UINT:
    {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        auto* n = new __CFNumber();
        n->integer = static_cast<int64_t>(v);
        return n;
    }
    case PLIST_REAL:
    {
        double v = 0.0;
        plist_get_real_val(node, &v);
        auto* n = new __CFNumber();
        n->isFloat = true;
        n->real = v;
        return n;
    }
    case PLIST_BOOLEAN:
    {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b ? kCFBooleanTrue : kCFBooleanFalse;
    }
    case PLIST_DATA:
    {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        auto* d = new __CFData();
        if (bytes)
            d->bytes.assign(reinterpret_cast<UInt8*>(bytes),
                            reinterpret_cast<UInt8*>(bytes) + length);
        std::free(bytes);
        return d;
    }
    case PLIST_ARRAY:
    {
        CFMutableArrayRef a = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i)
        {
            CFTypeRef item = FromPlist(plist_array_get_item(node, i), depth + 1);
            if (!item)
            {
                CFRelease(a);
                return nullptr;
            }
            CFArrayAppendValue(a, item);
            CFRelease(item);
        }
        return a;
    }
    case PLIST_DICT:
    {
        CFMutableDictionaryRef d =
            CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                      &kCFTypeDictionaryValueCallBacks);
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
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes);
    if (binary ? !BinaryPlistStringsAreSafe(raw, length) : !XmlPlistHasNoNul(raw, length))
    {
        SetError(error, "the property list holds a string with a NUL character");
        return nullptr;
    }
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

// ---- Bundles ----

namespace
{
std::string ReadWholeFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return std::string();
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string ReadBundleIdentifier(const std::string& folder)
{
    for (const char* info : {"/Contents/Info.plist", "/Info.plist"})
    {
        const std::string bytes = ReadWholeFile(folder + info);
        if (bytes.empty())
            continue;
        CFDataRef data =
            CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                         static_cast<CFIndex>(bytes.size()));
        CFPropertyListRef plist =
            CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, nullptr);
        CFRelease(data);
        std::string id;
        if (plist && CFGetTypeID(plist) == kTypeDictionary)
        {
            CFStringRef key = CFStringCreateWithCString(kCFAllocatorDefault, "CFBundleIdentifier",
                                                        kCFStringEncodingUTF8);
            if (const __CFString* s = As<__CFString>(
                    CFDictionaryGetValue(static_cast<CFDictionaryRef>(plist), key), kTypeString))
                id = s->text;
            CFRelease(key);
        }
        if (plist)
            CFRelease(plist);
        if (!id.empty())
            return id;
    }
    return std::string();
}

std::string ProgramFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return ".";
    path[n] = '\0';
    std::string s(path);
    const size_t slash = s.rfind('/');
    return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}
} // namespace

CFTypeID CFBundleGetTypeID()
{
    return kTypeBundle;
}

CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL)
{
    const __CFURL* u = As<__CFURL>(bundleURL, kTypeURL);
    if (!u)
        return nullptr;
    auto* b = new __CFBundle(u->path, ReadBundleIdentifier(u->path));
    std::lock_guard<std::mutex> lock(gBundlesMutex);
    gBundles.push_back(b);
    return b;
}

CFBundleRef CFBundleGetMainBundle()
{
    static __CFBundle* mainBundle = []
    {
        const std::string folder = ProgramFolder();
        auto* b = new __CFBundle(folder, ReadBundleIdentifier(folder));
        b->refs = kImmortal;
        std::lock_guard<std::mutex> lock(gBundlesMutex);
        gBundles.push_back(b);
        return b;
    }();
    return mainBundle;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
    const __CFBundle* b = static_cast<const __CFBundle*>(Obj(bundle));
    return b && b->typeID == kTypeBundle ? b->identifier : nullptr;
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef identifier)
{
    const __CFString* id = As<__CFString>(identifier, kTypeString);
    if (!id)
        return nullptr;
    CFBundleGetMainBundle();
    std::lock_guard<std::mutex> lock(gBundlesMutex);
    for (__CFBundle* b : gBundles)
        if (b->identifier && b->identifier->text == id->text)
            return b;
    return nullptr;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
{
    const __CFBundle* b = static_cast<const __CFBundle*>(Obj(bundle));
    return b && b->typeID == kTypeBundle ? new __CFURL(b->path) : nullptr;
}

CFRunLoopRef CFRunLoopGetCurrent()
{
    static __CFRunLoop loop;
    return &loop;
}
