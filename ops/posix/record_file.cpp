// Where the record of changes lives on Linux, and how a line is appended.
#include "ops/record.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "ops/posix/file_checks.h"

namespace scout::ops {
namespace {

// Whether the folder (its nearest part that exists) is the effective
// user's, or the system's: a folder of another user's is not, whoever set
// $HOME or $XDG_STATE_HOME to it.
bool OwnFolder(const std::string& path) {
    std::string folder = path;
    struct stat st{};
    while (::stat(folder.c_str(), &st) != 0) {
        const std::string up = FolderOf(folder);
        if (up == folder)
            return false;
        folder = up;
    }
    return st.st_uid == ::geteuid() || st.st_uid == 0;
}

// One write of the whole text at the end of the locked file, after a line
// end where the file does not end in one; a write that is cut short, or that
// does not reach the disk, is undone.
FileError WriteWhole(int fd, const std::string& text) {
    struct stat st{};
    if (::fstat(fd, &st) != 0)
        return Failed(FileFault::System, errno);
    const off_t before = st.st_size;
    std::string out;
    char last = '\n';
    if (before > 0 && ::pread(fd, &last, 1, before - 1) == 1 && last != '\n')
        out = "\n";
    out += text;
    ssize_t written = 0;
    do
        written = ::write(fd, out.data(), out.size());
    while (written < 0 && errno == EINTR);
    int code = written < 0 ? errno : static_cast<std::size_t>(written) != out.size() ? ENOSPC : 0;
    if (code == 0 && ::fdatasync(fd) != 0 && errno != EINVAL)
        code = errno;
    if (code == 0)
        return FileError{};
    if (::ftruncate(fd, before) != 0) {
        // the file keeps what was written of it; the reader names that line
    }
    return Failed(FileFault::System, code);
}

}  // namespace

std::string DefaultRecordPath() {
    // The record is the effective user's own: a $XDG_STATE_HOME or $HOME of
    // another user's (root run with a user's environment) is not used, and
    // the password database names the home folder instead.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/' && OwnFolder(state))
        return std::string(state) + "/ethernet-scout/commands.jsonl";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/' || !OwnFolder(home)) {
        const passwd* entry = ::getpwuid(::geteuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::string(home) + "/.local/state/ethernet-scout/commands.jsonl";
}

FileError AppendRecordText(const std::string& path, const std::string& text) {
    if (!MakeParentFolder(path))
        return Failed(FileFault::System, errno);
    if (const FileError folder = CheckFolder(FolderOf(path)); folder.fault != FileFault::None)
        return folder;
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return Failed(errno == ELOOP ? FileFault::Link : errno == EISDIR ? FileFault::Folder : FileFault::System,
                      errno);
    FileError error = CheckOwnRegularFile(fd);
    if (error.fault == FileFault::None && ::flock(fd, LOCK_EX) != 0)
        error = Failed(FileFault::System, errno);
    if (error.fault == FileFault::None)
        error = WriteWhole(fd, text);
    ::close(fd);
    return error;
}

}  // namespace scout::ops
