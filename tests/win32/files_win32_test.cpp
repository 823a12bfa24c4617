// A file written whole on Windows while another program reads it, as
// windows_exporter reads the metrics file: the rename waits for a short read,
// and a reader that does not let go leaves the file as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "ops/files.h"

namespace scout::ops {
namespace {

std::string Scratch(const char* name) {
    char folder[MAX_PATH] = {};
    ::GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name + "-" + std::to_string(::GetCurrentProcessId());
}

std::string Read(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    char text[64] = {};
    DWORD read = 0;
    ::ReadFile(file, text, sizeof text - 1, &read, nullptr);
    ::CloseHandle(file);
    return std::string(text, read);
}

// Opened as Go's os.Open opens a file: shared for reading and writing, not for deletion.
HANDLE OpenAsAReaderDoes(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
}

TEST(WholeFileWin32, AShortReadOnlyDelaysTheRename) {
    const std::string path = Scratch("scout-metrics.prom");
    ASSERT_EQ(WriteWholeFile(path, "before\n", {}).fault, FileFault::None);
    HANDLE reader = OpenAsAReaderDoes(path);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::thread done([reader] {
        ::Sleep(150);
        ::CloseHandle(reader);
    });
    const FileError error = WriteWholeFile(path, "after\n", {});
    done.join();
    EXPECT_EQ(error.fault, FileFault::None) << error.code;
    EXPECT_EQ(Read(path), "after\n");
    ::DeleteFileA(path.c_str());
}

TEST(WholeFileWin32, AReaderThatHoldsOnLeavesTheFileAsItWas) {
    const std::string path = Scratch("scout-held.prom");
    ASSERT_EQ(WriteWholeFile(path, "before\n", {}).fault, FileFault::None);
    HANDLE reader = OpenAsAReaderDoes(path);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const FileError error = WriteWholeFile(path, "after\n", {});
    ::CloseHandle(reader);
    EXPECT_EQ(error.fault, FileFault::System);
    EXPECT_EQ(Read(path), "before\n");
    WIN32_FIND_DATAA found;
    HANDLE left = ::FindFirstFileA((path + ".*.tmp").c_str(), &found);
    EXPECT_EQ(left, INVALID_HANDLE_VALUE) << "no temporary file left behind: " << found.cFileName;
    if (left != INVALID_HANDLE_VALUE)
        ::FindClose(left);
    ::DeleteFileA(path.c_str());
}

// What is no regular file, and the list being read by another of its names,
// are refused and left as they were.
TEST(WholeFileWin32, ReplacesNothingItShouldNot) {
    const std::string folder = Scratch("scout-whole");
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string list = folder + "\\line4.csv";
    ASSERT_EQ(WriteWholeFile(list, "address\n", {}).fault, FileFault::None);
    const struct {
        std::string path;
        FileFault fault;
    } cases[] = {
        {"NUL", FileFault::NotRegular},
        {folder, FileFault::Folder},
        {list, FileFault::Spared},
        {folder + "\\.\\LINE4.CSV", FileFault::Spared},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WriteWholeFile(c.path, "<html>", {list}).fault, c.fault) << c.path;
    EXPECT_EQ(Read(list), "address\n");
    ::DeleteFileA(list.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace scout::ops
