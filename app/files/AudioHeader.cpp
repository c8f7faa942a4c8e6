#include "app/files/AudioHeader.h"

#include <sndfile.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace app
{
namespace
{
constexpr uint32_t kUnknownSize32 = 0xFFFFFFFFu;

class HeaderReader
{
public:
    explicit HeaderReader(const std::string& path) : mFile(std::fopen(path.c_str(), "rb")) {}
    ~HeaderReader()
    {
        if (mFile)
            std::fclose(mFile);
    }
    HeaderReader(const HeaderReader&) = delete;
    HeaderReader& operator=(const HeaderReader&) = delete;

    // n bytes at pos; false past the end.
    bool At(long long pos, void* out, size_t n)
    {
        return mFile && pos >= 0 && fseeko(mFile, static_cast<off_t>(pos), SEEK_SET) == 0 &&
               std::fread(out, 1, n, mFile) == n;
    }
    uint64_t Number(long long pos, int bytes, bool bigEndian)
    {
        unsigned char b[8] = {};
        if (!At(pos, b, static_cast<size_t>(bytes)))
            return 0;
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<uint64_t>(b[bigEndian ? bytes - 1 - i : i]) << (8 * i);
        return v;
    }
    bool IdAt(long long pos, const char* id)
    {
        char b[4];
        return At(pos, b, 4) && std::memcmp(b, id, 4) == 0;
    }

private:
    FILE* mFile;
};

// Walks the chunks of a RIFF-like file (4-byte ids, 4-byte sizes, even alignment) from pos and
// returns the position of the chunk with that id, or −1.
long long FindChunk(HeaderReader& h, long long pos, const char* id, bool bigEndian)
{
    char got[4];
    // A bound on the walk: no real header has this many chunks before its audio.
    for (int i = 0; i < 4096 && h.At(pos, got, 4); ++i)
    {
        if (std::memcmp(got, id, 4) == 0)
            return pos;
        const uint64_t size = h.Number(pos + 4, 4, bigEndian);
        pos += 8 + static_cast<long long>(size + (size & 1));
    }
    return -1;
}

// The end of the first chunk with that id after the 12-byte file header, by its 32-bit size; −1
// when there is none or its size is a stream's placeholder (0 or all ones).
long long ChunkEnd(HeaderReader& h, const char* id, bool bigEndian)
{
    const long long chunk = FindChunk(h, 12, id, bigEndian);
    if (chunk < 0)
        return -1;
    const uint64_t size = h.Number(chunk + 4, 4, bigEndian);
    return size == 0 || size == kUnknownSize32 ? -1 : chunk + 8 + static_cast<long long>(size);
}

long long Rf64End(HeaderReader& h)
{
    // The data chunk's 64-bit size is in the ds64 chunk that follows the header.
    if (!h.IdAt(12, "ds64"))
        return -1;
    const uint64_t size = h.Number(12 + 8 + 8, 8, false);
    const long long data = FindChunk(h, 12, "data", false);
    if (data < 0 || size == 0 || size > static_cast<uint64_t>(INT64_MAX / 2))
        return -1;
    return data + 8 + static_cast<long long>(size);
}

long long W64End(HeaderReader& h)
{
    // 16-byte ids, 8-byte sizes that count the chunk's own 24-byte header, 8-byte alignment.
    long long pos = 40;
    char id[4];
    for (int i = 0; i < 4096 && h.At(pos, id, 4); ++i)
    {
        const uint64_t size = h.Number(pos + 16, 8, false);
        if (size < 24 || size > static_cast<uint64_t>(INT64_MAX / 2))
            return -1;
        if (std::memcmp(id, "data", 4) == 0)
            return pos + static_cast<long long>(size);
        pos += static_cast<long long>((size + 7) & ~uint64_t{7});
    }
    return -1;
}

long long AuEnd(HeaderReader& h)
{
    const bool big = h.IdAt(0, ".snd");
    if (!big && !h.IdAt(0, "dns."))
        return -1;
    const uint64_t offset = h.Number(4, 4, big);
    const uint64_t size = h.Number(8, 4, big);
    return size == 0 || size == kUnknownSize32 ? -1 : static_cast<long long>(offset + size);
}
} // namespace

long long DeclaredAudioEnd(const std::string& path, int container)
{
    HeaderReader h(path);
    switch (container)
    {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
        return ChunkEnd(h, "data", false);
    case SF_FORMAT_RF64:
        return Rf64End(h);
    case SF_FORMAT_W64:
        return W64End(h);
    case SF_FORMAT_AIFF:
        return ChunkEnd(h, "SSND", true);
    case SF_FORMAT_AU:
        return AuEnd(h);
    default:
        return -1;
    }
}

bool IsStream(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
}

std::string TruncationError(const std::string& path, int container, const std::string& shownAs)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "";
    const long long end = DeclaredAudioEnd(path, container);
    if (end <= st.st_size)
        return "";
    return "'" + shownAs + "' holds " + std::to_string(st.st_size) +
           " bytes but its header gives " + std::to_string(end) +
           "; the file is truncated or damaged";
}
} // namespace app
