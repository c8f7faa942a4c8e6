#include "hosts/au/CFTypes.h"

#include "hosts/au/CFObjects.h"

using namespace CFObjects;

namespace
{
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
} // namespace

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, ArrayRetainCF, ArrayReleaseCF, ArrayDescribeCF,
                                                ArrayEqualCF};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {};

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
