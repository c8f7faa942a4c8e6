#pragma once
// Every output file of the program (audio, PNG, JSON, preset) is written here: beside its target
// under a unique temporary name "<target>.partial-XXXXXX", with the permissions a new file
// normally gets (0666 less the umask), and renamed into place once complete. Until then the
// temporary file is removed on failure, on destruction and on every terminating signal the
// program can catch, so a failed or interrupted run never leaves a partial file and never
// touches the target. What a run that could not clean up (SIGKILL) left is removed by the next run
// that writes the same target.

#include <csignal>
#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace app
{
// What a committed file is: an output in its place, or a file of a staging folder, which is no
// output until the folder is swapped in (an interruption before then must not say it was kept).
enum class CommitKind
{
    Output,
    Staged
};

class TempFile
{
public:
    TempFile() = default;
    // Removes the temporary file unless Commit succeeded.
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Creates and opens the temporary file beside target. False with a one-line error.
    bool Create(const std::string& target, std::string& error);
    // The open descriptor (−1 when none); it stays owned by this object.
    int Descriptor() const { return mFd; }
    const std::string& Target() const { return mTarget; }
    // Writes all n bytes at the current position.
    bool Write(const void* data, size_t n, std::string& error);
    // Closes the file and renames it onto the target. False (and the temporary file removed)
    // with a one-line error.
    bool Commit(std::string& error, CommitKind kind = CommitKind::Output);
    // Closes and removes the temporary file; safe to call more than once.
    void Abandon();

private:
    std::string WriteError(int err) const;

    int mFd = -1;
    std::string mTarget;
    std::string mTemp;
    int mSlot = -1; // in the signal cleanup list
};

// Holds every cleanup signal back for its lifetime: what happens inside is not cut short, and a
// signal that came meanwhile is handled at the end.
class SignalBlock
{
public:
    SignalBlock();
    ~SignalBlock();
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

private:
    sigset_t mOld;
};

// The temporary name of target without its random end: the target's, shortened when the
// suffix ".partial-XXXXXX" would make it longer than a file name may be.
std::string TemporaryStem(const std::string& target);
// Removes this user's regular files and staging folders named exactly as temporaries of target
// that were last written before this run started: what a run ended by SIGKILL or a power cut left.
void RemoveStaleTemporaries(const std::string& target);
// Names in a folder other than . and ..; empty when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& dir);
// Removes a folder's files and links, then the folder if that left it empty; never a folder in
// it.
void RemoveFolder(const std::string& dir);
// The process's file mode creation mask, read without changing it.
mode_t CurrentUmask();
// Notes that an output is in place: an interruption from now on says so.
void NoteCommittedOutput();
// A staging folder for the signal cleanup: its files, then the folder last; replaced by the next
// call, dropped by ClearStagingFolder.
void SetStagingFolder(const std::vector<std::string>& paths);
void ClearStagingFolder();

// Writes bytes to target through a TempFile.
bool WriteFileAtomically(const std::string& target, const std::string& bytes, std::string& error,
                         CommitKind kind = CommitKind::Output);

// Installs the handler of every terminating signal that can be caught: it removes the live
// temporary files, then ends the program: SIGINT and SIGTERM with exit code 130 and the one
// line "interrupted; no output written" (or, once an output is in place, a line saying the
// completed outputs were kept), any other signal by that signal, as it would have. A signal the
// program was started with ignored stays ignored.
void InstallSignalCleanup();
} // namespace app
