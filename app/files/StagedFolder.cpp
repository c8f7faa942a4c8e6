#include "app/files/StagedFolder.h"

#include "app/files/TempFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace app
{
namespace
{
bool IsDirectory(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Failure(const std::string& what, const std::string& path)
{
    return "cannot " + what + " '" + path + "': " + std::strerror(errno);
}

class Staging
{
public:
    // A folder named through a link is written where the link leads; the link stays.
    explicit Staging(const std::string& dir) : mDir(Resolved(dir)) {}
    ~Staging()
    {
        if (!mPath.empty())
        {
            RemoveFolder(mPath);
            ClearStagingFolder();
        }
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    bool Create(const FolderFiles& files, std::string& error)
    {
        RemoveStaleTemporaries(mDir);
        std::string pattern = TemporaryStem(mDir) + ".partial-XXXXXX";
        // The folder is made and listed for the signal cleanup in one step.
        SignalBlock block;
        if (!mkdtemp(pattern.data()))
        {
            error = Failure("create a folder beside", mDir);
            return false;
        }
        chmod(pattern.c_str(), 0777 & ~CurrentUmask());
        mPath = pattern;
        for (const auto& file : files)
            mPaths.push_back(mPath + "/" + file.first);
        Register();
        return true;
    }
    bool Write(const FolderFiles& files, std::string& error)
    {
        for (const auto& [name, bytes] : files)
            if (!WriteFileAtomically(mPath + "/" + name, bytes, error, CommitKind::Staged))
                return false;
        return true;
    }
    // Links the previous folder's files and links that are not replaced; the entries that
    // cannot be linked are kept for the swap. A link made but not yet listed for the signal
    // cleanup would keep it from removing the folder: the signals wait.
    bool CarryOver(const FolderFiles& files, std::string& error)
    {
        SignalBlock block;
        std::set<std::string> replaced;
        for (const auto& file : files)
            replaced.insert(file.first);
        for (const std::string& name : FolderEntries(mDir))
        {
            if (replaced.count(name))
                continue;
            const std::string from = mDir + "/" + name, to = mPath + "/" + name;
            struct stat st;
            if (lstat(from.c_str(), &st) != 0)
                continue;
            // A folder is moved in at the swap; anything else is linked now or the write fails
            // with the previous folder as it was.
            if (S_ISDIR(st.st_mode))
            {
                mToMove.push_back(name);
                continue;
            }
            if (S_ISLNK(st.st_mode) ? !CopyLink(from, to) : link(from.c_str(), to.c_str()) != 0)
            {
                error = Failure("keep", from) + "; the previous report is unchanged";
                Register();
                return false;
            }
            mPaths.push_back(to);
        }
        Register();
        return true;
    }
    // Exchanges the folders, moves the entries that could not be linked, removes the previous
    // folder; all with the signals held back.
    bool Swap(std::string& error)
    {
        SignalBlock block;
        const bool existed = IsDirectory(mDir);
        const int swapped =
            existed ? renameat2(AT_FDCWD, mPath.c_str(), AT_FDCWD, mDir.c_str(), RENAME_EXCHANGE)
                    : rename(mPath.c_str(), mDir.c_str());
        if (swapped != 0)
        {
            error = Failure("replace", mDir);
            return false;
        }
        bool moved = true;
        for (const std::string& name : mToMove)
            moved = rename((mPath + "/" + name).c_str(), (mDir + "/" + name).c_str()) == 0 && moved;
        // Only links and replaced files are removed; a folder that could not be moved keeps the
        // previous folder where it is.
        if (existed)
            RemoveFolder(mPath);
        if (!moved)
            std::fprintf(stderr, "parandel: warning: the previous '%s' is kept as '%s'\n",
                         mDir.c_str(), mPath.c_str());
        ClearStagingFolder();
        NoteCommittedOutput();
        mPath.clear();
        return true;
    }

private:
    static bool CopyLink(const std::string& from, const std::string& to)
    {
        char target[4096];
        const ssize_t n = readlink(from.c_str(), target, sizeof(target) - 1);
        if (n < 0)
            return false;
        target[n] = '\0';
        return symlink(target, to.c_str()) == 0;
    }
    // The signal cleanup removes the files staged so far and the folder.
    void Register()
    {
        std::vector<std::string> all = mPaths;
        all.push_back(mPath);
        SetStagingFolder(all);
    }

    // The folder's own path: links resolved, no trailing slash ("rep/" would put the staging
    // folder inside).
    static std::string Resolved(const std::string& dir)
    {
        if (char* real = realpath(dir.c_str(), nullptr))
        {
            const std::string resolved = real;
            std::free(real);
            return resolved;
        }
        std::string path = dir;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        return path;
    }

    const std::string mDir;
    std::string mPath;
    std::vector<std::string> mPaths;
    std::vector<std::string> mToMove;
};
} // namespace

bool HoldsWorkingFolder(const std::string& dir)
{
    struct stat target;
    if (stat(dir.c_str(), &target) != 0)
        return false;
    std::string up = ".";
    for (int depth = 0; depth < 256; ++depth, up += "/..")
    {
        struct stat st, parent;
        if (stat(up.c_str(), &st) != 0)
            return false;
        if (st.st_dev == target.st_dev && st.st_ino == target.st_ino)
            return true;
        if (stat((up + "/..").c_str(), &parent) != 0 ||
            (parent.st_dev == st.st_dev && parent.st_ino == st.st_ino))
            return false; // the root
    }
    return false;
}

bool WriteFolderAtomically(const std::string& dir, const FolderFiles& files, std::string& error)
{
    Staging staging(dir);
    return staging.Create(files, error) && staging.Write(files, error) &&
           staging.CarryOver(files, error) && staging.Swap(error);
}
} // namespace app
