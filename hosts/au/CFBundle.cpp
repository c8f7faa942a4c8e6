#include "hosts/au/CFTypes.h"

#include "hosts/au/CFObjects.h"

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace CFObjects;

namespace
{
// Bundles alive now, for lookup by identifier.
std::mutex gBundlesMutex;
std::vector<__CFBundle*> gBundles;
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
