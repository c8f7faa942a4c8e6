#include "app/TempFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
volatile sig_atomic_t gClearProgressLine = 0;

sigset_t CleanupSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    ForEachCleanupSignal([&set](int sig) { sigaddset(&set, sig); });
    return set;
}

// Holds the cleanup signals back for its lifetime, so that a file and its entry in the list
// appear and disappear together.
class SignalBlock
{
public:
    SignalBlock()
    {
        const sigset_t set = CleanupSignalSet();
        sigprocmask(SIG_BLOCK, &set, &mOld);
    }
    ~SignalBlock() { sigprocmask(SIG_SETMASK, &mOld, nullptr); }
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

private:
    sigset_t mOld;
};

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

extern "C" void OnTerminatingSignal(int sig)
{
    for (int i = 0; i < kMaxLiveTemps; ++i)
        if (const char* path = gLiveTemps[i])
            unlink(path);
    if (sig == SIGINT || sig == SIGTERM)
    {
        // A progress bar may hold the terminal's line: clear it first.
        static const char kClear[] = "\r                                                \r";
        static const char kMessage[] = "parandel: error: interrupted; no output written\n";
        if (gClearProgressLine)
            (void)!write(STDERR_FILENO, kClear, sizeof(kClear) - 1);
        (void)!write(STDERR_FILENO, kMessage, sizeof(kMessage) - 1);
        _exit(kExitInterrupted);
    }
    // The handler was installed for one delivery: raised again, the signal takes its default
    // action once this handler returns.
    raise(sig);
}
} // namespace

TempFile::~TempFile()
{
    Abandon();
}

bool TempFile::Create(const std::string& target, std::string& error)
{
    Abandon();
    mTarget = target;
    std::string pattern = target + ".partial-XXXXXX";
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

bool TempFile::Commit(std::string& error)
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

bool WriteFileAtomically(const std::string& target, const std::string& bytes, std::string& error)
{
    TempFile file;
    return file.Create(target, error) && file.Write(bytes.data(), bytes.size(), error) &&
           file.Commit(error);
}

void InstallSignalCleanup()
{
    gClearProgressLine = isatty(STDERR_FILENO) ? 1 : 0;
    CurrentUmask(); // read while the program has one thread
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = OnTerminatingSignal;
    // The cleanup runs once; no other cleanup signal interrupts it.
    action.sa_mask = CleanupSignalSet();
    action.sa_flags = SA_RESETHAND;
    ForEachCleanupSignal([&action](int sig) { sigaction(sig, &action, nullptr); });
}
} // namespace app
