// Files written whole on Linux (a report, the metrics), and the SHA-256 of
// what a report is made from.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ops/files.h"
#include "ops/sha256.h"
#include "tests/fakes/scratch.h"

namespace scout::ops {
namespace {

using test::Contents;
using test::Scratch;

// A file written whole (a report, the metrics) replaces only a regular file
// of this user's own, or makes one; everything else that may stand at its
// path is refused and left exactly as it was: a device, a FIFO, a link, a
// folder, the list being read (by any of its names), the record of changes.
TEST(FilesPosix, AFileWrittenWholeReplacesNothingItShouldNot) {
    Scratch scratch;
    const std::string list = scratch.Path("line4.csv");
    const std::string record = scratch.Path("commands.jsonl");
    { std::ofstream(list) << "address\n10.1.0.20\n"; }
    { std::ofstream(record) << "{}\n"; }
    const std::string fifo = scratch.Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = scratch.Path("link.html");
    ASSERT_EQ(::symlink(list.c_str(), link.c_str()), 0);
    const std::string hard = scratch.Path("hard.csv");
    ASSERT_EQ(::link(list.c_str(), hard.c_str()), 0);
    const std::string folder = scratch.Path("folder");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::vector<std::string> spared = {record, list};
    const struct {
        std::string path;
        FileFault fault;
    } cases[] = {
        {"/dev/null", FileFault::NotRegular},
        {fifo, FileFault::NotRegular},
        {link, FileFault::Link},
        {folder, FileFault::Folder},
        {list, FileFault::Spared},
        {hard, FileFault::Spared},
        {scratch.Path("./line4.csv"), FileFault::Spared},
        {record, FileFault::Spared},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckWholeFile(c.path, spared).fault, c.fault) << c.path;
        EXPECT_EQ(WriteWholeFile(c.path, "<html>", spared).fault, c.fault) << c.path;
    }
    EXPECT_EQ(Contents(list), "address\n10.1.0.20\n") << "the list, by every name, as it was";
    EXPECT_EQ(Contents(record), "{}\n");
    struct stat st{};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link neither followed nor replaced";
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path("")))
        EXPECT_EQ(entry.path().string().find(".csv."), std::string::npos) << "no temporary file left: " << entry.path();
}

TEST(FilesPosix, AFileReplacedKeepsItsModeAndANewOneTakesTheUmask) {
    Scratch scratch;
    const std::string report = scratch.Path("report.html");
    { std::ofstream(report) << "old"; }
    ASSERT_EQ(::chmod(report.c_str(), 0600), 0);
    ASSERT_EQ(WriteWholeFile(report, "new", {}).fault, FileFault::None);
    EXPECT_EQ(Contents(report), "new");
    struct stat st{};
    ASSERT_EQ(::stat(report.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "a private report stays private";
    const mode_t mask = ::umask(027);
    const std::string fresh = scratch.Path("fresh.prom");
    ASSERT_EQ(WriteWholeFile(fresh, "x", {}).fault, FileFault::None);
    ::umask(mask);
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (::geteuid() != 0)
        GTEST_SKIP() << "a file of another user's takes root to make";
    const std::string theirs = scratch.Path("theirs.html");
    { std::ofstream(theirs) << "theirs"; }
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_EQ(WriteWholeFile(theirs, "mine", {}).fault, FileFault::OtherOwner);
    EXPECT_EQ(Contents(theirs), "theirs");
}

}  // namespace
}  // namespace scout::ops
