#include "app/files/OutputCheck.h"

#include <sndfile.h>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace app
{
namespace
{
constexpr size_t kSniffBytes = 512;
constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

// Where a file is or would be: its device and inode when it exists, otherwise its folder's
// device and inode with its name, so that two spellings of one path compare equal.
struct FileIdentity
{
    bool known = false;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string name; // empty for an existing file

    bool operator==(const FileIdentity& o) const
    {
        return known && o.known && dev == o.dev && ino == o.ino && name == o.name;
    }
};

FileIdentity IdentityOf(const std::string& path)
{
    FileIdentity id;
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
    {
        id.known = true;
        id.dev = st.st_dev;
        id.ino = st.st_ino;
        return id;
    }
    const size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    id.name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!id.name.empty() && stat(folder.c_str(), &st) == 0)
    {
        id.known = true;
        id.dev = st.st_dev;
        id.ino = st.st_ino;
    }
    return id;
}

const char* KindName(FileKind kind)
{
    switch (kind)
    {
    case FileKind::Audio:
        return "an audio file";
    case FileKind::Png:
        return "a PNG image";
    case FileKind::PropertyList:
        return "a property list";
    case FileKind::Json:
        return "a JSON file";
    default:
        return "a file";
    }
}

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

// An existing output must be a regular file that holds nothing of another kind.
bool CheckExisting(const OutputFile& out, std::string& error)
{
    struct stat st;
    if (stat(out.path.c_str(), &st) != 0)
        return true;
    if (!S_ISREG(st.st_mode))
    {
        error = std::string(out.role) + " " + Quoted(out.path) +
                " exists and is not a regular file; nothing was written";
        return false;
    }
    const FileKind existing = SniffFileKind(out.path);
    if (existing != FileKind::Unknown && existing != out.kind)
    {
        error = std::string(out.role) + " " + Quoted(out.path) + " is " + KindName(existing) +
                ", which would be replaced by " + KindName(out.kind) + "; nothing was written";
        return false;
    }
    return true;
}
} // namespace

FileKind SniffFileKind(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return FileKind::Unknown;
    char head[kSniffBytes];
    const size_t n = std::fread(head, 1, sizeof(head), f);
    std::fclose(f);
    const std::string text(head, n);
    if (text.compare(0, sizeof(kPngSignature) - 1, kPngSignature) == 0)
        return FileKind::Png;
    if (text.compare(0, 6, "bplist") == 0 || text.find("<plist") != std::string::npos)
        return FileKind::PropertyList;
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && (text[first] == '{' || text[first] == '['))
        return FileKind::Json;
    if (n == 0)
        return FileKind::Unknown;
    SF_INFO info{};
    if (SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info))
    {
        sf_close(sf);
        return FileKind::Audio;
    }
    return FileKind::Unknown;
}

bool CheckOutputs(const std::vector<std::string>& inputs, const std::vector<OutputFile>& outputs,
                  std::string& error)
{
    for (size_t i = 0; i < outputs.size(); ++i)
    {
        const OutputFile& out = outputs[i];
        const FileIdentity id = IdentityOf(out.path);
        for (const std::string& in : inputs)
        {
            if (id == IdentityOf(in))
            {
                error = std::string(out.role) + " " + Quoted(out.path) + " is the input " +
                        Quoted(in) + "; nothing was written";
                return false;
            }
        }
        for (size_t j = 0; j < i; ++j)
        {
            if (id == IdentityOf(outputs[j].path))
            {
                error = std::string(out.role) + " " + Quoted(out.path) + " is the same file as " +
                        outputs[j].role + " " + Quoted(outputs[j].path) + "; nothing was written";
                return false;
            }
        }
        if (!CheckExisting(out, error))
            return false;
    }
    return true;
}
} // namespace app
