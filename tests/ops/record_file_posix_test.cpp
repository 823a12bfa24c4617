// The record of changes on Linux as a bad day meets it: a disk that fills in
// the middle of a line, a link planted in its place, a file or folder of
// another user, several writers at once, a root run in another user's home.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ops/record.h"
#include "tests/fakes/scratch.h"

namespace scout::ops {
namespace {

using test::Contents;
using test::Scratch;

RecordLine Line(const std::string& target) {
    RecordLine line;
    line.time = "2026-12-09T10:00:00+00:00";
    line.event = "intent";
    line.target = target;
    line.reason = std::string(300, 'r');
    return line;
}

TEST(RecordFilePosix, AWriteCutShortLeavesTheFileAsItWas) {
    Scratch scratch;
    const std::string path = scratch.Path("c.jsonl");
    ASSERT_EQ(AppendRecords(path, {Line("10.1.0.20")}).fault, FileFault::None);
    const std::string before = Contents(path);
    // A child whose files may not grow past a few more bytes: as a full disk, the write stops in the line.
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(before.size() + 100), static_cast<rlim_t>(before.size() + 100)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const FileError error = AppendRecords(path, {Line("10.1.0.21"), Line("10.1.0.22")});
        ::_exit(error.fault == FileFault::System ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write failed, and said why";
    EXPECT_EQ(Contents(path), before) << "nothing of the two lines is left";
}

TEST(RecordFilePosix, ALinkInTheRecordsPlaceIsRefusedAndItsTargetLeftAlone) {
    Scratch scratch;
    const std::string target = scratch.Path("roots-file");
    { std::ofstream(target) << "precious\n"; }
    const std::string link = scratch.Path("commands.jsonl");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    const FileError error = AppendRecords(link, {Line("10.1.0.20")});
    EXPECT_EQ(error.fault, FileFault::Link);
    EXPECT_EQ(Contents(target), "precious\n");
}

TEST(RecordFilePosix, WhatIsNoFileOfThisUsersOwnIsRefused) {
    Scratch scratch;
    const std::string fifo = scratch.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(AppendRecords(fifo, {Line("10.1.0.20")}).fault, FileFault::NotRegular) << "without waiting on it";
    std::FILE* file = nullptr;
    EXPECT_EQ(OpenRegularFile(fifo, &file).fault, FileFault::NotRegular) << "a FIFO with no writer is not waited on";
    EXPECT_EQ(OpenRegularFile("/dev/zero", &file).fault, FileFault::NotRegular);

    // A folder others may write to, without the sticky bit /tmp has.
    const std::string open = scratch.Path("open");
    ASSERT_EQ(::mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    const FileError unsafe = AppendRecords(open + "/c.jsonl", {Line("10.1.0.20")});
    EXPECT_EQ(unsafe.fault, FileFault::UnsafeFolder);
    EXPECT_EQ(unsafe.folder, open);
    EXPECT_FALSE(std::filesystem::exists(open + "/c.jsonl"));

    if (::geteuid() != 0)
        GTEST_SKIP() << "a file of another user's takes root to make";
    const std::string theirs = scratch.Path("theirs.jsonl");
    { std::ofstream(theirs) << ""; }
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    const FileError other = AppendRecords(theirs, {Line("10.1.0.20")});
    EXPECT_EQ(other.fault, FileFault::OtherOwner);
    EXPECT_EQ(other.owner, 65534u);
    EXPECT_EQ(Contents(theirs), "");
}

TEST(RecordFilePosix, WritersAtOnceNeverTearALine) {
    Scratch scratch;
    const std::string path = scratch.Path("c.jsonl");
    constexpr int Writers = 4, Lines = 200;
    pid_t children[Writers];
    for (int w = 0; w < Writers; ++w) {
        children[w] = ::fork();
        if (children[w] == 0) {
            bool all = true;
            for (int n = 0; n < Lines; ++n)
                all = AppendRecords(path, {Line("10.1." + std::to_string(w) + "." + std::to_string(n))}).fault ==
                          FileFault::None && all;
            ::_exit(all ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<std::string> bad;
    EXPECT_EQ(ReadRecords(Contents(path), &bad).size(), static_cast<std::size_t>(Writers * Lines));
    EXPECT_TRUE(bad.empty()) << bad.size() << " torn lines, the first " << (bad.empty() ? "" : bad[0]);
}

TEST(RecordFilePosix, TheDefaultRecordIsTheEffectiveUsersOwn) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "a home of another user's takes root to make";
    Scratch scratch;
    const std::string theirs = scratch.Path("their-state"), mine = scratch.Path("my-home");
    ASSERT_EQ(::mkdir(theirs.c_str(), 0755), 0);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::mkdir(mine.c_str(), 0755), 0);
    const char* savedState = std::getenv("XDG_STATE_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string keepState = savedState != nullptr ? savedState : "", keepHome = savedHome != nullptr ? savedHome : "";
    ::setenv("XDG_STATE_HOME", theirs.c_str(), 1);
    ::setenv("HOME", mine.c_str(), 1);
    EXPECT_EQ(DefaultRecordPath(), mine + "/.local/state/ethernet-scout/commands.jsonl")
        << "a state folder of another user's is passed over for this user's own home";
    ::setenv("XDG_STATE_HOME", mine.c_str(), 1);
    EXPECT_EQ(DefaultRecordPath(), mine + "/ethernet-scout/commands.jsonl");
    savedState != nullptr ? ::setenv("XDG_STATE_HOME", keepState.c_str(), 1) : ::unsetenv("XDG_STATE_HOME");
    savedHome != nullptr ? ::setenv("HOME", keepHome.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace scout::ops
