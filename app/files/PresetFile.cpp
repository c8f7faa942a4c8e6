#include "app/files/PresetFile.h"

#include "app/render/OfflineRenderer.h"
#include "app/commands/ParamOptions.h"
#include "app/files/TempFile.h"
#include "engine/Parandel.h"
#include "engine/ParandelEntry.h"
#include "hosts/au/AUPresetState.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app
{
namespace
{
constexpr double kStateSampleRate = PresetFile::kStateSampleRate;
constexpr int kStateBlockSize = PresetFile::kStateBlockSize;
constexpr int kStateInputChannels = PresetFile::kStateInputChannels;
constexpr const char* kPresetExtension = ".aupreset";
// A preset is about a kilobyte; anything much larger is another kind of file.
constexpr long long kMaxPresetBytes = 1 << 20;

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

// Four printable characters as they are, anything else in hex.
std::string FourCCText(SInt32 value)
{
    const UInt32 v = static_cast<UInt32>(value);
    char text[16];
    bool printable = true;
    for (int i = 0; i < 4; ++i)
    {
        const char c = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
        printable = printable && c >= 0x20 && c < 0x7F;
        text[i] = c;
    }
    text[4] = '\0';
    if (!printable)
        std::snprintf(text, sizeof(text), "0x%08X", v);
    return text;
}

// Type, subtype and manufacturer.
std::string IdentityText(SInt32 type, SInt32 subtype, SInt32 manufacturer)
{
    return FourCCText(type) + " " + FourCCText(subtype) + " " + FourCCText(manufacturer);
}

// One number of a preset's identity as the file holds it: a 32-bit value as its four
// characters, any other number (a fraction, a value past 32 bits) in decimal.
std::string IdentityPartText(CFDictionaryRef dict, const char* key)
{
    CFStringRef k = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
    const auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(dict, k));
    CFRelease(k);
    SInt32 code = 0;
    if (CFNumberGetValue(number, kCFNumberSInt32Type, &code))
        return FourCCText(code);
    char text[32];
    double real = 0.0;
    int64_t integer = 0;
    if (CFNumberIsFloatType(number) && CFNumberGetValue(number, kCFNumberFloat64Type, &real))
        std::snprintf(text, sizeof(text), "%.17g", real);
    else if (CFNumberGetValue(number, kCFNumberSInt64Type, &integer))
        std::snprintf(text, sizeof(text), "%lld", static_cast<long long>(integer));
    else
        std::snprintf(text, sizeof(text), "?");
    return text;
}

// Why property-list bytes were refused: what the reader found when it names a reason of its own
// (a tree too deep or too large, a NUL in a string), else that they are no property list.
std::string RefusalText(CFErrorRef cfError)
{
    std::string reason;
    if (cfError)
    {
        CFStringRef text = CFErrorCopyDescription(cfError);
        if (const char* c = CFStringGetCStringPtr(text, kCFStringEncodingUTF8))
            reason = c;
        CFRelease(text);
    }
    if (reason.rfind("the property list ", 0) != 0)
        return " is not a property list";
    return " is refused: " + reason;
}

// Checks every key, its type, the identity and the state's length and values, and names the
// first problem. The rest (the version's range) is left to the unit, which has the last word.
bool CheckDictionary(const std::string& path, CFPropertyListRef plist, std::string& error)
{
    using AUPresetState::Problem;
    const ComponentDescription own = ParandelComponentDescription();
    AUPresetState::Reading r;
    StateChunk chunk;
    const std::string file = Quoted(path);
    switch (AUPresetState::Read(plist, own, Parandel::kNumParams, &r, &chunk))
    {
    case Problem::NotADictionary:
        error = file + " is not a preset: its property list holds no dictionary";
        return false;
    case Problem::MissingKey:
        error = file + " is not a preset: the key \"" + r.key + "\" is missing";
        return false;
    case Problem::WrongType:
        error = file + " is not a preset: \"" + r.key + "\" is not " + r.expected;
        return false;
    case Problem::OtherPlugin:
    {
        const auto dict = static_cast<CFDictionaryRef>(plist);
        error = file + " is a preset of another plug-in (" +
                IdentityPartText(dict, AUPresetState::kTypeKey) + " " +
                IdentityPartText(dict, AUPresetState::kSubtypeKey) + " " +
                IdentityPartText(dict, AUPresetState::kManufacturerKey) + "); TW Parandel is " +
                IdentityText(static_cast<SInt32>(own.componentType),
                             static_cast<SInt32>(own.componentSubType),
                             static_cast<SInt32>(own.componentManufacturer));
        return false;
    }
    case Problem::ShortData:
        error = file + " holds a short state: \"data\" has " + std::to_string(r.dataBytes) +
                " bytes, TW Parandel's state has " + std::to_string(r.neededBytes);
        return false;
    case Problem::NonFinite:
    {
        // The plug-in refuses a state holding NaN or an infinity; the message names the value.
        const std::string name = ParamName(r.valueIndex);
        error = file + " holds a state whose value " + std::to_string(r.valueIndex) +
                (name.empty() ? std::string() : " (" + name + ")") + " is not a finite number";
        return false;
    }
    case Problem::None:
    case Problem::DataTooLarge:
    case Problem::BadVersion:
        break;
    }
    return true;
}

// A preset is a regular file of a preset's size: a device, a pipe or a large file named by
// mistake is refused before anything is read.
bool CheckPresetFile(int fd, const std::string& path, std::string& error)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        error = Quoted(path) + " is not a preset: it is not a regular file";
    else if (st.st_size > kMaxPresetBytes)
        error = Quoted(path) + " is not a preset: it has " + std::to_string(st.st_size) +
                " bytes; a preset has a few thousand";
    else
        return true;
    return false;
}

// Reads to the end, or fails once more than kMaxPresetBytes arrive (a file that grows while it
// is read).
bool ReadBounded(int fd, const std::string& path, std::string& bytes, std::string& error)
{
    char buffer[4096];
    bytes.clear();
    for (;;)
    {
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0)
            return true;
        bytes.append(buffer, static_cast<size_t>(n));
        if (bytes.size() > static_cast<size_t>(kMaxPresetBytes))
        {
            error = Quoted(path) + " is not a preset: it has grown past " +
                    std::to_string(kMaxPresetBytes) + " bytes";
            return false;
        }
    }
}

bool ReadPresetBytes(const std::string& path, std::string& bytes, std::string& error)
{
    // Non-blocking, so that opening a pipe with no writer does not wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
    {
        error = "cannot read " + Quoted(path) + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = CheckPresetFile(fd, path, error) && ReadBounded(fd, path, bytes, error);
    ::close(fd);
    return ok;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string ext = kPresetExtension;
    if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
        name.resize(name.size() - ext.size());
    return name;
}
} // namespace

bool PresetFile::Load(const std::string& path, CFPropertyListRef* classInfo, std::string& error)
{
    *classInfo = nullptr;
    std::string bytes;
    return ReadPresetBytes(path, bytes, error) && Parse(bytes, path, classInfo, error);
}

bool PresetFile::Parse(const std::string& bytes, const std::string& path,
                       CFPropertyListRef* classInfo, std::string& error)
{
    *classInfo = nullptr;
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                                  static_cast<CFIndex>(bytes.size()));
    CFErrorRef cfError = nullptr;
    CFPropertyListRef plist =
        CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, &cfError);
    CFRelease(data);
    if (!plist)
    {
        error = Quoted(path) + RefusalText(cfError);
        if (cfError)
            CFRelease(cfError);
        return false;
    }
    if (!CheckDictionary(path, plist, error))
    {
        CFRelease(plist);
        return false;
    }
    // The unit has the last word.
    OfflineRenderer unit(kStateSampleRate, kStateInputChannels, kStateBlockSize);
    const OSStatus status = unit.RestoreState(plist);
    if (status != noErr)
    {
        error = "TW Parandel does not accept the state in " + Quoted(path) + " (status " +
                std::to_string(status) + ")";
        CFRelease(plist);
        return false;
    }
    *classInfo = plist;
    return true;
}

bool PresetFile::Save(const std::string& path, CFPropertyListRef classInfo, std::string& error)
{
    CFErrorRef cfError = nullptr;
    CFDataRef xml = CFPropertyListCreateData(kCFAllocatorDefault, classInfo,
                                             kCFPropertyListXMLFormat_v1_0, 0, &cfError);
    if (!xml)
    {
        if (cfError)
            CFRelease(cfError);
        error = "cannot write " + Quoted(path) + ": the state is not a property list";
        return false;
    }
    const std::string bytes(reinterpret_cast<const char*>(CFDataGetBytePtr(xml)),
                            static_cast<size_t>(CFDataGetLength(xml)));
    CFRelease(xml);
    return WriteFileAtomically(path, bytes, error);
}

bool PresetFile::SaveUnitState(OfflineRenderer& unit, const std::string& path,
                               const std::string& name, std::string& error)
{
    CFPropertyListRef state = unit.CopyState();
    if (!state)
    {
        error = "TW Parandel gave no state";
        return false;
    }
    const std::string presetName = name.empty() ? BaseName(path) : name;
    AUPresetState::SetName(static_cast<CFMutableDictionaryRef>(const_cast<void*>(state)),
                           presetName.c_str());
    const bool saved = Save(path, state, error);
    CFRelease(state);
    return saved;
}

} // namespace app
