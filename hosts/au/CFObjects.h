#pragma once
// The layout of the Core Foundation objects behind CFTypes.h, shared by its source files
// (values, property lists, bundles); nothing outside hosts/au/CF*.cpp includes this.

#include "hosts/au/CFTypes.h"

#include <atomic>
#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace CFObjects
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
} // namespace CFObjects

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
    explicit __CFString(std::string t) : CFObjectBase(CFObjects::kTypeString), text(std::move(t)) {}
    std::string text;
};

struct __CFNumber : CFObjectBase
{
    __CFNumber() : CFObjectBase(CFObjects::kTypeNumber) {}
    bool isFloat = false;
    int64_t integer = 0;
    double real = 0.0;
};

struct __CFBoolean : CFObjectBase
{
    explicit __CFBoolean(bool v) : CFObjectBase(CFObjects::kTypeBoolean), value(v)
    {
        refs = CFObjects::kImmortal;
    }
    bool value;
};

struct __CFData : CFObjectBase
{
    __CFData() : CFObjectBase(CFObjects::kTypeData) {}
    std::vector<UInt8> bytes;
};

struct __CFDictionary : CFObjectBase
{
    __CFDictionary() : CFObjectBase(CFObjects::kTypeDictionary) {}
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
    __CFArray() : CFObjectBase(CFObjects::kTypeArray) {}
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
    explicit __CFURL(std::string p) : CFObjectBase(CFObjects::kTypeURL), path(std::move(p)) {}
    std::string path;
};

struct __CFError : CFObjectBase
{
    explicit __CFError(std::string d)
        : CFObjectBase(CFObjects::kTypeError), description(std::move(d))
    {
    }
    std::string description;
};

struct __CFBundle : CFObjectBase
{
    __CFBundle(std::string p, std::string id)
        : CFObjectBase(CFObjects::kTypeBundle), path(std::move(p)),
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

namespace CFObjects
{
inline const CFObjectBase* Obj(CFTypeRef ref)
{
    return static_cast<const CFObjectBase*>(ref);
}

template <typename T> inline const T* As(CFTypeRef ref, CFTypeID id)
{
    const CFObjectBase* o = Obj(ref);
    return o && o->typeID == id ? static_cast<const T*>(o) : nullptr;
}
} // namespace CFObjects
