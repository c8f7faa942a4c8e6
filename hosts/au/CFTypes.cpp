#include "hosts/au/CFTypes.h"

#include "hosts/au/CFObjects.h"

#include <cmath>
#include <cstring>
#include <sstream>

using namespace CFObjects;

namespace
{
__CFBoolean gTrue(true);
__CFBoolean gFalse(false);
} // namespace

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

// ---- URLs and errors ----

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

CFStringRef CFErrorCopyDescription(CFErrorRef error)
{
    const __CFError* e = As<__CFError>(error, kTypeError);
    return e ? new __CFString(e->description) : nullptr;
}

// ---- Run loop ----

CFRunLoopRef CFRunLoopGetCurrent()
{
    static __CFRunLoop loop;
    return &loop;
}
