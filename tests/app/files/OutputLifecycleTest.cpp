// The life of an output from its temporary file to its place: a report folder replaced as a
// whole or not at all, what an interruption says, temporaries that fit any file name, and the
// temporaries of a killed run removed by the next run that writes the same target.

#include "app/files/TempFile.h"
#include "support/CliTestFixture.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
class OutputLifecycle : public CliTestFixture
{
protected:
    OutputLifecycle() : CliTestFixture("lifecycle") {}

    void WriteNoise(const std::string& name, unsigned seed) const
    {
        Write(Path(name), {testsig::Noise(20000, seed, 0.5), testsig::Noise(20000, seed + 1, 0.3)});
    }

    // Every entry of a folder with its bytes ("<dir>" for a folder).
    static std::map<std::string, std::string> Contents(const std::string& folder)
    {
        std::map<std::string, std::string> all;
        if (DIR* d = opendir(folder.c_str()))
        {
            while (dirent* e = readdir(d))
            {
                const std::string name = e->d_name, path = folder + "/" + name;
                struct stat st;
                if (name != "." && name != ".." && stat(path.c_str(), &st) == 0)
                    all[name] = S_ISDIR(st.st_mode) ? "<dir>" : ReadWholeFile(path);
            }
            closedir(d);
        }
        return all;
    }

    // The first line a child writes on stderr after the signal cleanup, the file written (none,
    // an output, a file of a staging folder) and a SIGTERM, and its exit code.
    std::pair<std::string, int> InterruptedChild(int written) const
    {
        int fds[2];
        if (pipe(fds) != 0)
            return {"", -1};
        const pid_t pid = fork();
        if (pid == 0)
        {
            dup2(fds[1], STDERR_FILENO);
            app::InstallSignalCleanup();
            std::string error;
            if (written > 0)
                app::WriteFileAtomically(Path("written"), "x", error,
                                         written == 1 ? app::CommitKind::Output
                                                      : app::CommitKind::Staged);
            raise(SIGTERM);
            _exit(0);
        }
        close(fds[1]);
        char buf[256] = {};
        const ssize_t n = read(fds[0], buf, sizeof(buf) - 1);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        return {std::string(buf, n > 0 ? static_cast<size_t>(n) : 0),
                WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    }
};
} // namespace

TEST_F(OutputLifecycle, AReportFolderIsReplacedWholeOrNotAtAll)
{
    WriteNoise("a.wav", 1);
    ASSERT_EQ(Run({"analyze", Path("a.wav"), "--report", Path("rep"), "--quiet"}).exitCode, 0);
    std::ofstream(Path("rep/notes.txt")) << "mine";
    mkdir(Path("rep/drafts").c_str(), 0777);
    const auto before = Contents(Path("rep"));
    ASSERT_EQ(before.size(), 6u);

    // The pictures fit under the limit, report.json does not: the run dies by SIGXFSZ partway.
    const CommandResult cut =
        RunCommand({"/usr/bin/prlimit", "--fsize=200000", PARANDEL_CLI, "analyze", Path("a.wav"),
                    "--width", "80", "--report", Path("rep"), "--quiet"},
                   dir);
    EXPECT_EQ(cut.exitCode, 128 + SIGXFSZ) << cut.err;
    EXPECT_EQ(Contents(Path("rep")), before);
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.wav", "rep"})) << "no staging folder left";
    // With SIGXFSZ ignored (as a caller may start it) the write fails as on a full disk instead.
    const CommandResult failed =
        RunCommand({"/bin/sh", "-c", "trap '' XFSZ; exec \"$@\"", "sh", "/usr/bin/prlimit",
                    "--fsize=200000", PARANDEL_CLI, "analyze", Path("a.wav"), "--width", "80",
                    "--report", Path("rep"), "--quiet"},
                   dir);
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    EXPECT_NE(failed.err.find("File too large"), std::string::npos) << failed.err;
    EXPECT_EQ(Contents(Path("rep")), before);
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.wav", "rep"}));

    // A complete run replaces the report and keeps what is not its own; the folder may be named
    // with a trailing slash, but not be the working folder it would pull away.
    ASSERT_EQ(Run({"analyze", Path("a.wav"), "--width", "80", "--report", Path("rep/"), "--quiet"})
                  .exitCode,
              0);
    EXPECT_EQ(Run({"analyze", Path("a.wav"), "--report", ".", "--quiet"}).exitCode, 2);
    const auto after = Contents(Path("rep"));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_NE(after.at("report.json"), before.at("report.json"));
    EXPECT_EQ(after.at("notes.txt"), "mine");
    EXPECT_EQ(after.at("drafts"), "<dir>");
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.wav", "rep"}));
}

TEST_F(OutputLifecycle, ATerminatedReportLeavesOneWholeFolderAndSaysWhich)
{
    // The folders two settings' complete runs leave, and how long a run takes.
    WriteNoise("a.wav", 2);
    const auto report = [this](int setting)
    {
        return std::vector<std::string>{PARANDEL_CLI,         "analyze",  Path("a.wav"), "--width",
                                        setting ? "80" : "0", "--report", Path("rep"),   "--quiet"};
    };
    std::map<std::string, std::string> whole[2];
    const auto start = std::chrono::steady_clock::now();
    for (int setting : {0, 1})
    {
        ASSERT_EQ(RunCommand(report(setting), dir).exitCode, 0);
        whole[setting] = Contents(Path("rep"));
    }
    const std::chrono::duration<double> run = (std::chrono::steady_clock::now() - start) / 2;
    ASSERT_NE(whole[0], whole[1]);

    // SIGTERM at moments over a run, most near its end, where the folders are exchanged, and
    // past it: the folder is the previous one and the message does not say it was kept, or the
    // new one and the message does not say nothing was written.
    int current = 1;
    for (int i = 0; i < 12; ++i)
    {
        const int next = 1 - current;
        const pid_t pid = SpawnCommand(report(next), dir);
        ASSERT_GT(pid, 0);
        const double share = i < 4 ? i / 4.0 : 0.8 + 0.04 * (i - 4);
        usleep(static_cast<useconds_t>(run.count() * 1e6 * share));
        kill(pid, SIGTERM);
        const CommandResult r = WaitCommand(pid, dir, 30);
        const auto now = Contents(Path("rep"));
        const bool saysKept = r.err.find("kept") != std::string::npos;
        if (now == whole[current])
            EXPECT_FALSE(saysKept) << i << ": " << r.exitCode << " " << r.err;
        else
        {
            EXPECT_EQ(now, whole[next]) << i << ": a mix of the two folders";
            EXPECT_TRUE(r.exitCode == 0 || saysKept) << i << ": " << r.exitCode << " " << r.err;
            EXPECT_EQ(r.err.find("no output written"), std::string::npos) << i << ": " << r.err;
            current = next;
        }
        EXPECT_EQ(Files(), (std::vector<std::string>{"a.wav", "rep"})) << i;
    }
}

TEST_F(OutputLifecycle, AnInterruptionSaysWhetherOutputsWereKept)
{
    const auto [nothing, code1] = InterruptedChild(0);
    EXPECT_EQ(code1, 130);
    EXPECT_EQ(nothing, "parandel: error: interrupted; no output written\n");
    const auto [some, code2] = InterruptedChild(1);
    EXPECT_EQ(code2, 130);
    EXPECT_EQ(some.find("no output written"), std::string::npos) << some;
    EXPECT_NE(some.find("kept"), std::string::npos) << some;
    // A file finished in a staging folder is no output until the folder is swapped in.
    EXPECT_EQ(InterruptedChild(2).first, nothing);
}

TEST_F(OutputLifecycle, NamesUpToTheLongestAreWritten)
{
    WriteNoise("in.wav", 3);
    for (size_t length : {241, 250, 255})
    {
        const std::string name = std::string(length - 4, 'n') + ".wav";
        const CommandResult r = Run({"process", Path("in.wav"), Path(name), "--quiet"});
        EXPECT_EQ(r.exitCode, 0) << length << ": " << r.err;
        EXPECT_EQ(Read(Path(name)).channels, 2) << length;
        std::remove(Path(name).c_str());
    }
    EXPECT_EQ(Files(), std::vector<std::string>{"in.wav"});
}

TEST_F(OutputLifecycle, TheNextRunRemovesOnlyItsTargetsStaleTemporaries)
{
    WriteNoise("in.wav", 5);
    const std::vector<std::string> others = {
        "out.wav.partial-AbC12",    // not the pattern
        "out.wav.partial-AbC1234",  // not the pattern
        "other.wav.partial-AbC123", // another target
        "out.wav.partial-NeW456",   // written after the run started
    };
    for (const std::string& name : others)
        std::ofstream(Path(name)) << "x";
    std::ofstream(Path("out.wav.partial-AbC123")) << "left by a killed run";
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    for (const char* name : {"out.wav.partial-AbC123", "out.wav.partial-AbC12",
                             "out.wav.partial-AbC1234", "other.wav.partial-AbC123"})
        ASSERT_EQ(utimensat(AT_FDCWD, Path(name).c_str(), old, 0), 0);
    const timespec future[2] = {{UTIME_OMIT, 0}, {time(nullptr) + 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path("out.wav.partial-NeW456").c_str(), future, 0), 0);

    const CommandResult r = Run({"process", Path("in.wav"), Path("out.wav"), "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> expected = others;
    expected.insert(expected.end(), {"in.wav", "out.wav"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Files(), expected);

    // A report's staging folder left likewise goes with the next report written there.
    for (const char* stale : {"rep.partial-AbC123", "rep.partial-AbC12"})
    {
        mkdir(Path(stale).c_str(), 0777);
        std::ofstream(Path(stale) + "/report.json") << "left by a killed run";
        ASSERT_EQ(utimensat(AT_FDCWD, Path(stale).c_str(), old, 0), 0);
    }
    ASSERT_EQ(Run({"analyze", Path("in.wav"), "--report", Path("rep"), "--quiet"}).exitCode, 0);
    EXPECT_NE(access(Path("rep.partial-AbC123").c_str(), F_OK), 0);
    EXPECT_EQ(ReadWholeFile(Path("rep.partial-AbC12/report.json")), "left by a killed run");
    for (const char* made : {"rep", "rep.partial-AbC12"})
        std::filesystem::remove_all(Path(made));
}

TEST_F(OutputLifecycle, WhatCannotBeWrittenSaysWhyBeforeWriting)
{
    // The demo checks all its files first.
    mkdir(Path("demo").c_str(), 0777);
    mkdir(Path("demo/demo-output.wav").c_str(), 0777);
    for (const char* stale : {"demo/demo-input.wav", "demo/editor.png"})
        std::remove(Path(stale).c_str()); // the fixture empties only its own folder
    CommandResult r = Run({"demo", Path("demo"), "--quiet"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("demo-output.wav"), std::string::npos) << r.err;
    EXPECT_EQ(Contents(Path("demo")).size(), 1u);

    // Vorbis has no tables for 768 kHz: the message says so, not "Format not recognised".
    Write(Path("hi.wav"), {testsig::Noise(20000, 7, 0.5), testsig::Noise(20000, 8, 0.5)},
          SF_FORMAT_WAV | SF_FORMAT_PCM_16, 768000);
    r = Run({"process", Path("hi.wav"), Path("hi.ogg"), "--quiet"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("768000 Hz"), std::string::npos) << r.err;
    EXPECT_EQ(access(Path("hi.ogg").c_str(), F_OK), -1);
}

TEST_F(OutputLifecycle, AFullDiskIsNamedForEveryFormat)
{
    WriteNoise("in.wav", 9);
    mkdir(Path("small").c_str(), 0777);
    for (const char* ext : {"ogg", "flac", "wav"})
    {
        // A 4 KB file system of its own, in a mount namespace of the child.
        const std::string script = "mount -t tmpfs -o size=4k tmpfs \"$1\" || exit 99; exec \"$0\" "
                                   "process \"$2\" \"$1/out." +
                                   std::string(ext) + "\" --quiet";
        const CommandResult r = RunCommand({"/usr/bin/unshare", "-rm", "/bin/sh", "-c", script,
                                            PARANDEL_CLI, Path("small"), Path("in.wav")},
                                           dir);
        if (r.exitCode == 99)
            GTEST_SKIP() << "no mount namespace here: " << r.err;
        EXPECT_EQ(r.exitCode, 1) << ext << ": " << r.err;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << ext << ": " << r.err;
    }
}
