#include "editor/BitmapResources.h"

#include "editor/LICE_Bitmap.h"
#include "editor/PngFileBitmap.h"
#include "framework/WDL_Mutex.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <mutex>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
constexpr const char* kResourceFolder = "resources";
constexpr const char* kInstallResourceFolder = "share/parandel/resources";

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ExecutableDirectory()
{
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return std::string();
    std::string path(buffer.data(), static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The directory of the binary holding this code: a plug-in's shared object lies in its bundle,
// whatever program loaded it.
std::string ModuleDirectory()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&ModuleDirectory), &info) == 0 || !info.dli_fname)
        return std::string();
    const std::string path(info.dli_fname);
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FindResourceDirectory()
{
    const std::string moduleDir = ModuleDirectory();
    if (!moduleDir.empty() && IsDirectory(moduleDir + "/" + kResourceFolder))
        return moduleDir + "/" + kResourceFolder;
    const std::string exeDir = ExecutableDirectory();
    if (exeDir.empty())
        return std::string();
    const size_t slash = exeDir.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string() : exeDir.substr(0, slash);
    const std::string candidates[] = {exeDir + "/" + kResourceFolder,
                                      parent + "/" + kResourceFolder,
                                      parent + "/" + kInstallResourceFolder};
    for (const std::string& candidate : candidates)
        if (IsDirectory(candidate))
            return candidate;
    return std::string();
}

// Base name (last path component without its extension) and type (the text after the last
// "."; empty when there is none).
void SplitResourceName(const char* fileName, std::string* base, std::string* type)
{
    const std::string name(fileName);
    const size_t dot = name.rfind('.');
    *type = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const size_t slash = stem.rfind('/');
    *base = slash == std::string::npos ? stem : stem.substr(slash + 1);
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The resource folder first, then its subfolders in name order.
std::vector<std::string> SearchFolders(const std::string& root)
{
    std::vector<std::string> folders{root};
    std::vector<std::string> subfolders;
    if (DIR* dir = opendir(root.c_str()))
    {
        while (const dirent* entry = readdir(dir))
        {
            if (entry->d_name[0] == '.')
                continue;
            const std::string path = root + "/" + entry->d_name;
            if (IsDirectory(path))
                subfolders.push_back(path);
        }
        closedir(dir);
    }
    std::sort(subfolders.begin(), subfolders.end());
    folders.insert(folders.end(), subfolders.begin(), subfolders.end());
    return folders;
}

struct BitmapCache
{
    WDL_Mutex mutex;
    std::vector<std::pair<int, LICE_IBitmap*>> entries;
    // The file each loaded bitmap came from, for its scaled art.
    std::vector<std::pair<LICE_IBitmap*, std::string>> files;
    struct Scaled
    {
        LICE_IBitmap* base;
        double scale;
        LICE_IBitmap* image;
    };
    std::vector<Scaled> scaled;
};

// "@2x", "@1.5x": the suffix of the art made for a display scale.
std::string ScaleSuffix(double scale)
{
    char text[16];
    std::snprintf(text, sizeof(text), "@%gx", scale);
    return text;
}

// An image without art at the scale (one made in memory): each pixel repeated, nearest.
LICE_IBitmap* UpscaleNearest(LICE_IBitmap* base, double scale)
{
    const int w = static_cast<int>(std::lround(base->getWidth() * scale));
    const int h = static_cast<int>(std::lround(base->getHeight() * scale));
    auto* image = new LICE_MemBitmap(w, h);
    for (int y = 0; y < h; ++y)
    {
        const int sy = std::min(static_cast<int>(y / scale), base->getHeight() - 1);
        for (int x = 0; x < w; ++x)
            *image->PixelAt(x, y) =
                *base->PixelAt(std::min(static_cast<int>(x / scale), base->getWidth() - 1), sy);
    }
    return image;
}

// Lives until the process ends; its bitmaps are shared by every editor.
BitmapCache& Cache()
{
    static BitmapCache* cache = new BitmapCache();
    return *cache;
}

} // namespace

const char* ResourceDirectory()
{
    static const std::string directory = FindResourceDirectory();
    return directory.c_str();
}

bool ResourcePath(const char* fileName, WDL_String* path)
{
    if (path)
        path->Set("");
    if (!fileName || !fileName[0] || !path)
        return false;
    const std::string root = ResourceDirectory();
    if (root.empty())
        return false;
    std::string base, type;
    SplitResourceName(fileName, &base, &type);
    if (base.empty())
        return false;
    std::vector<std::string> names{type.empty() ? base : base + "." + type};
    if (!type.empty() && Lower(type) != type)
        names.push_back(base + "." + Lower(type));
    for (const std::string& folder : SearchFolders(root))
    {
        for (const std::string& name : names)
        {
            const std::string candidate = folder + "/" + name;
            if (IsFile(candidate))
            {
                path->Set(candidate.c_str());
                return true;
            }
        }
    }
    return false;
}

LICE_IBitmap* OSLoadBitmap(int /*resourceId*/, const char* fileName)
{
    if (!fileName)
        return nullptr;
    std::string base, type;
    SplitResourceName(fileName, &base, &type);
    if (Lower(type) != "png")
        return nullptr;
    WDL_String path;
    if (!ResourcePath(fileName, &path))
        return nullptr;
    // Decoded when first drawn: a program that never shows the editor never decodes it.
    return PngFileBitmap::Open(path.Get());
}

BitmapRef LoadBitmap(int resourceId, const char* fileName, int frames, bool horizontal)
{
    BitmapCache& cache = Cache();
    LICE_IBitmap* bitmap = nullptr;
    {
        WDL_MutexLock lock(&cache.mutex);
        for (const auto& entry : cache.entries)
        {
            if (entry.first == resourceId)
            {
                bitmap = entry.second;
                break;
            }
        }
        if (!bitmap)
        {
            bitmap = OSLoadBitmap(resourceId, fileName);
            if (bitmap)
            {
                cache.entries.emplace_back(resourceId, bitmap);
                cache.files.emplace_back(bitmap, fileName);
            }
        }
    }
    BitmapRef ref;
    ref.bitmap = bitmap;
    ref.width = bitmap ? bitmap->getWidth() : 0;
    ref.height = bitmap ? bitmap->getHeight() : 0;
    ref.frames = frames < 1 ? 1 : frames;
    ref.horizontal = horizontal;
    return ref;
}

void DecodeCachedBitmaps(double scale)
{
    BitmapCache& cache = Cache();
    std::vector<LICE_IBitmap*> bitmaps;
    {
        WDL_MutexLock lock(&cache.mutex);
        for (const auto& entry : cache.entries)
            bitmaps.push_back(entry.second);
    }
    for (LICE_IBitmap* bitmap : bitmaps)
        if (LICE_IBitmap* image = ScaledBitmap(bitmap, scale))
            image->getBits();
}

LICE_IBitmap* ScaledBitmap(LICE_IBitmap* bitmap, double scale)
{
    if (!bitmap || scale == 1.0)
        return bitmap;
    BitmapCache& cache = Cache();
    WDL_MutexLock lock(&cache.mutex);
    for (const auto& entry : cache.scaled)
        if (entry.base == bitmap && entry.scale == scale)
            return entry.image;
    LICE_IBitmap* image = nullptr;
    for (const auto& file : cache.files)
    {
        if (file.first != bitmap)
            continue;
        std::string base, type;
        SplitResourceName(file.second.c_str(), &base, &type);
        const std::string name = base + ScaleSuffix(scale) + "." + type;
        image = OSLoadBitmap(0, name.c_str());
        if (image)
            image->getBits();
        // Art of another size would put every frame in the wrong place.
        if (image && (image->getWidth() != std::lround(bitmap->getWidth() * scale) ||
                      image->getHeight() != std::lround(bitmap->getHeight() * scale)))
        {
            delete image;
            image = nullptr;
        }
        break;
    }
    if (!image && bitmap->getBits())
        image = UpscaleNearest(bitmap, scale);
    if (image)
        cache.scaled.push_back({bitmap, scale, image});
    return image;
}

bool CacheBitmap(int resourceId, LICE_IBitmap* bitmap)
{
    if (!bitmap)
        return false;
    BitmapCache& cache = Cache();
    WDL_MutexLock lock(&cache.mutex);
    for (const auto& entry : cache.entries)
        if (entry.first == resourceId)
            return false;
    cache.entries.emplace_back(resourceId, bitmap);
    return true;
}

int FrameSourceOffset(int frame, int frames, int size)
{
    if (frames < 2 || frame < 2)
        return 0;
    return static_cast<int>(static_cast<double>(frame - 1) * size / frames + 0.5);
}
