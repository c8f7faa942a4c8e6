#include "app/files/TempFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace app
{
namespace
{
constexpr int kExitInterrupted = 130;
// More outputs than any command writes at once (a batch writes one per worker, at most 256).
constexpr int kMaxLiveTemps = 512;

// Terminating signals a program can catch, with the real-time signals after them (SIGKILL and
// SIGSTOP cannot be caught; the crash signals SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP
// and SIGSYS are left to their default, and to the sanitizers, which report them).
constexpr int kCleanupSignals[] = {SIGHUP,    SIGINT,  SIGQUIT, SIGTERM,   SIGPIPE,
                                   SIGALRM,   SIGUSR1, SIGUSR2, SIGXCPU,   SIGXFSZ,
                                   SIGVTALRM, SIGPROF, SIGIO,   SIGSTKFLT, SIGPWR};

template <typename F> void ForEachCleanupSignal(F f)
{
    for (int sig : kCleanupSignals)
        f(sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        f(sig);
}

// Heap copies of the live temporary paths. The signal handler only reads them and calls
// unlink, both safe in a handler; every change happens with the signals blocked.
const char* volatile gLiveTemps[kMaxLiveTemps] = {};
// A staging folder's files, then the folder itself, null-terminated; removed in that order.
char* const* volatile gStaging = nullptr;
volatile sig_atomic_t gClearProgressLine = 0;
// Set once any output has been renamed into place, so that an interruption says so.
// Written by any worker of a batch, read by the handler: a lock-free atomic is both.
std::atomic<int> gCommitted{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads gCommitted");
// When this run started: temporaries of its targets older than this are stale.
timespec gRunStart = {0, 0};
constexpr const char kPartialInfix[] = ".partial-";
constexpr size_t kRandomLength = 6; // mkstemp's XXXXXX

sigset_t CleanupSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    ForEachCleanupSignal([&set](int sig) { sigaddset(&set, sig); });
    return set;
}

// Workers of a batch create and finish their outputs at once: the list changes under a lock
// (which the handler, only reading, never takes).
std::mutex gLiveTempsMutex;

int Register(const char* path)
{
    std::lock_guard<std::mutex> lock(gLiveTempsMutex);
    for (int i = 0; i < kMaxLiveTemps; ++i)
    {
        if (gLiveTemps[i])
            continue;
        gLiveTemps[i] = strdup(path);
        return gLiveTemps[i] ? i : -1;
    }
    return -1;
}

void Unregister(int slot)
{
    if (slot < 0 || slot >= kMaxLiveTemps)
        return;
    std::lock_guard<std::mutex> lock(gLiveTempsMutex);
    const char* path = gLiveTemps[slot];
    gLiveTemps[slot] = nullptr;
    std::free(const_cast<char*>(path));
}

void FreeStagingList(char* const* list)
{
    if (!list)
        return;
    for (char* const* p = list; *p; ++p)
        std::free(*p);
    std::free(const_cast<char**>(list));
}

void ReplaceStagingList(char* const* list)
{
    char* const* old = nullptr;
    {
        SignalBlock block;
        old = gStaging;
        gStaging = list;
    }
    FreeStagingList(old);
}
} // namespace

// The process's umask, read once: reading it means setting it, which must not happen while
// another thread creates a file.
mode_t CurrentUmask()
{
    static const mode_t mask = []
    {
        const mode_t m = umask(0);
        umask(m);
        return m;
    }();
    return mask;
}

namespace
{
extern "C" void OnTerminatingSignal(int sig)
{
    // The code the signal interrupted may be about to read errno: unlink must not change it.
    const int savedErrno = errno;
    for (int i = 0; i < kMaxLiveTemps; ++i)
        if (const char* path = gLiveTemps[i])
            unlink(path);
    if (char* const* staging = gStaging)
    {
        for (; staging[0] && staging[1]; ++staging)
            unlink(staging[0]);
        if (staging[0])
            rmdir(staging[0]);
    }
    if (sig == SIGINT || sig == SIGTERM)
    {
        // A progress bar may hold the terminal's line: clear it first.
        static const char kClear[] = "\r                                                \r";
        static const char kNothing[] = "parandel: error: interrupted; no output written\n";
        static const char kSome[] = "parandel: error: interrupted; the outputs completed before "
                                    "it were kept, nothing partial was left\n";
        if (gClearProgressLine)
            (void)!write(STDERR_FILENO, kClear, sizeof(kClear) - 1);
        if (gCommitted.load(std::memory_order_relaxed))
            (void)!write(STDERR_FILENO, kSome, sizeof(kSome) - 1);
        else
            (void)!write(STDERR_FILENO, kNothing, sizeof(kNothing) - 1);
        _exit(kExitInterrupted);
    }
    // The handler was installed for one delivery: raised again, the signal takes its default
    // action once this handler returns.
    raise(sig);
    errno = savedErrno;
}
} // namespace

SignalBlock::SignalBlock()
{
    const sigset_t set = CleanupSignalSet();
    sigprocmask(SIG_BLOCK, &set, &mOld);
}

SignalBlock::~SignalBlock()
{
    sigprocmask(SIG_SETMASK, &mOld, nullptr);
}

TempFile::~TempFile()
{
    Abandon();
}

bool TempFile::Create(const std::string& target, std::string& error)
{
    Abandon();
    mTarget = target;
    RemoveStaleTemporaries(target);
    std::string pattern = TemporaryStem(target) + kPartialInfix + "XXXXXX";
    SignalBlock block;
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
    {
        error = WriteError(errno);
        return false;
    }
    mSlot = Register(pattern.c_str());
    if (mSlot < 0)
    {
        ::close(fd);
        unlink(pattern.c_str());
        error = WriteError(ENOMEM);
        return false;
    }
    // mkstemp makes the file private (0600); the finished file should look like any other.
    fchmod(fd, 0666 & ~CurrentUmask());
    mFd = fd;
    mTemp = pattern;
    return true;
}

bool TempFile::Write(const void* data, size_t n, std::string& error)
{
    const auto* p = static_cast<const char*>(data);
    while (n > 0)
    {
        const ssize_t written = mFd >= 0 ? ::write(mFd, p, n) : -1;
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
        {
            error = WriteError(mFd >= 0 && written == 0 ? ENOSPC : errno);
            return false;
        }
        p += written;
        n -= static_cast<size_t>(written);
    }
    return true;
}

bool TempFile::Commit(std::string& error, CommitKind kind)
{
    if (mFd < 0 || mTemp.empty())
    {
        error = WriteError(EBADF);
        return false;
    }
    const int closed = ::close(mFd);
    mFd = -1;
    if (closed != 0)
    {
        error = WriteError(errno);
        Abandon();
        return false;
    }
    SignalBlock block;
    if (std::rename(mTemp.c_str(), mTarget.c_str()) != 0)
    {
        error = WriteError(errno);
        Abandon();
        return false;
    }
    Unregister(mSlot);
    mSlot = -1;
    mTemp.clear();
    if (kind == CommitKind::Output)
        NoteCommittedOutput();
    return true;
}

void TempFile::Abandon()
{
    if (mFd >= 0)
    {
        ::close(mFd);
        mFd = -1;
    }
    if (!mTemp.empty())
    {
        SignalBlock block;
        unlink(mTemp.c_str());
        Unregister(mSlot);
        mSlot = -1;
        mTemp.clear();
    }
}

std::string TempFile::WriteError(int err) const
{
    return "cannot write '" + mTarget + "': " + std::strerror(err);
}

bool WriteFileAtomically(const std::string& target, const std::string& bytes, std::string& error,
                         CommitKind kind)
{
    TempFile file;
    return file.Create(target, error) && file.Write(bytes.data(), bytes.size(), error) &&
           file.Commit(error, kind);
}

std::string TemporaryStem(const std::string& target)
{
    // The name with the suffix must fit a file name (NAME_MAX bytes): a long name is shortened.
    const size_t slash = target.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t room = NAME_MAX - (sizeof(kPartialInfix) - 1) - kRandomLength;
    return target.substr(0, nameStart + std::min(target.size() - nameStart, room));
}

void RemoveStaleTemporaries(const std::string& target)
{
    if (gRunStart.tv_sec == 0)
        return;
    const std::string stem = TemporaryStem(target) + kPartialInfix;
    const size_t slash = stem.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : stem.substr(0, slash + 1);
    const std::string prefix = slash == std::string::npos ? stem : stem.substr(slash + 1);
    DIR* d = opendir(folder.c_str());
    if (!d)
        return;
    while (const dirent* e = readdir(d))
    {
        const std::string name = e->d_name;
        if (name.size() != prefix.size() + kRandomLength ||
            name.compare(0, prefix.size(), prefix) != 0 ||
            !std::all_of(name.begin() + prefix.size(), name.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            continue;
        const std::string path = (slash == std::string::npos ? "" : folder) + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || st.st_uid != geteuid() ||
            !(st.st_mtim.tv_sec < gRunStart.tv_sec ||
              (st.st_mtim.tv_sec == gRunStart.tv_sec && st.st_mtim.tv_nsec < gRunStart.tv_nsec)))
            continue;
        if (S_ISREG(st.st_mode))
            unlink(path.c_str());
        else if (S_ISDIR(st.st_mode))
            RemoveFolder(path); // a staging folder
    }
    closedir(d);
}

std::vector<std::string> FolderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str()))
    {
        while (const dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
        closedir(d);
    }
    return names;
}

void RemoveFolder(const std::string& dir)
{
    for (const std::string& name : FolderEntries(dir))
        unlink((dir + "/" + name).c_str());
    rmdir(dir.c_str());
}

void NoteCommittedOutput()
{
    gCommitted.store(1, std::memory_order_relaxed);
}

void SetStagingFolder(const std::vector<std::string>& paths)
{
    char** list = static_cast<char**>(std::calloc(paths.size() + 1, sizeof(char*)));
    for (size_t i = 0; list && i < paths.size(); ++i)
        list[i] = strdup(paths[i].c_str());
    ReplaceStagingList(list);
}

void ClearStagingFolder()
{
    ReplaceStagingList(nullptr);
}

void InstallSignalCleanup()
{
    clock_gettime(CLOCK_REALTIME, &gRunStart);
    gClearProgressLine = isatty(STDERR_FILENO) ? 1 : 0;
    CurrentUmask(); // read while the program has one thread
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = OnTerminatingSignal;
    // The cleanup runs once; no other cleanup signal interrupts it.
    action.sa_mask = CleanupSignalSet();
    action.sa_flags = SA_RESETHAND;
    ForEachCleanupSignal(
        [&action](int sig)
        {
            // A signal the caller ignores (nohup, trap '') stays ignored: it ends nothing.
            struct sigaction old;
            if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_IGN)
                sigaction(sig, &action, nullptr);
        });
}
} // namespace app
