// The files this program reads and writes on Linux (see ops/files.h).
#include "ops/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ops/posix/file_checks.h"

namespace scout::ops {

FileError Failed(FileFault fault, int code) {
    FileError error;
    error.fault = fault;
    error.code = code != 0 ? code : EIO;
    return error;
}

FileError CheckFolder(const std::string& folder) {
    struct stat st{};
    if (::stat(folder.c_str(), &st) != 0)
        return Failed(FileFault::System, errno);
    const bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0;
    if ((st.st_uid != ::geteuid() && st.st_uid != 0) || othersWrite) {
        FileError error = Failed(FileFault::UnsafeFolder);
        error.folder = folder;
        return error;
    }
    return FileError{};
}

FileError CheckOwnRegularFile(int fd) {
    struct stat st{};
    if (::fstat(fd, &st) != 0)
        return Failed(FileFault::System, errno);
    if (S_ISDIR(st.st_mode))
        return Failed(FileFault::Folder);
    if (!S_ISREG(st.st_mode))
        return Failed(FileFault::NotRegular);
    if (st.st_uid != ::geteuid()) {
        FileError error = Failed(FileFault::OtherOwner);
        error.owner = st.st_uid;
        return error;
    }
    return FileError{};
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeParentFolder(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    errno = 0;
    return true;
}

FileError OpenRegularFile(const std::string& path, std::FILE** file) {
    *file = nullptr;
    // Not blocking: a FIFO with no writer would hold the open for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failed(errno == ENOENT ? FileFault::Missing : FileFault::System, errno);
    struct stat st{};
    FileError error;
    if (::fstat(fd, &st) != 0)
        error = Failed(FileFault::System, errno);
    else if (S_ISDIR(st.st_mode))
        error = Failed(FileFault::Folder);
    else if (!S_ISREG(st.st_mode))
        error = Failed(FileFault::NotRegular);
    if (error.fault == FileFault::None && ::fcntl(fd, F_SETFL, 0) == 0)
        *file = ::fdopen(fd, "rb");
    if (*file == nullptr) {
        if (error.fault == FileFault::None)
            error = Failed(FileFault::System, errno);
        ::close(fd);
    }
    return error;
}

namespace {

// What stands at a path a file is written whole to, as lstat saw it.
struct Standing {
    bool exists = false;
    struct stat st{};
};

FileError Examine(const std::string& path, const std::vector<std::string>& spared, Standing* standing) {
    *standing = Standing{};
    if (::lstat(path.c_str(), &standing->st) != 0) {
        if (errno != ENOENT)
            return Failed(FileFault::System, errno);
    } else {
        standing->exists = true;
        const mode_t type = standing->st.st_mode & S_IFMT;
        if (type == S_IFLNK)
            return Failed(FileFault::Link);
        if (type == S_IFDIR)
            return Failed(FileFault::Folder);
        if (type != S_IFREG)
            return Failed(FileFault::NotRegular);
        if (standing->st.st_uid != ::geteuid()) {
            FileError error = Failed(FileFault::OtherOwner);
            error.owner = standing->st.st_uid;
            return error;
        }
        for (const std::string& other : spared) {
            struct stat read{};
            if (::stat(other.c_str(), &read) == 0 && read.st_dev == standing->st.st_dev &&
                read.st_ino == standing->st.st_ino) {
                FileError error = Failed(FileFault::Spared);
                error.folder = other;
                return error;
            }
        }
    }
    return CheckFolder(FolderOf(path));
}

// The mode a file made new gets: what the umask leaves of rw-rw-rw-.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

FileError CheckWholeFile(const std::string& path, const std::vector<std::string>& spared) {
    Standing standing;
    return Examine(path, spared, &standing);
}

FileError WriteWholeFile(const std::string& path, const std::string& text, const std::vector<std::string>& spared) {
    Standing before;
    if (const FileError refused = Examine(path, spared, &before); refused.fault != FileFault::None)
        return refused;
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return Failed(FileFault::System, errno);
    // The file it replaces keeps its mode.
    ::fchmod(fd, before.exists ? before.st.st_mode & 07777 : NewFileMode());
    std::size_t done = 0;
    int code = 0;
    while (done < text.size() && code == 0) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (written == 0 || errno != EINTR)
            code = written == 0 ? ENOSPC : errno;
    }
    if (code == 0 && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && code == 0)
        code = errno;
    // What stands at the path now is what was checked (nothing put there meanwhile).
    FileError refused;
    if (code == 0) {
        Standing now;
        refused = Examine(path, spared, &now);
        if (refused.fault == FileFault::None && now.exists != before.exists)
            refused = Failed(FileFault::System, EAGAIN);
        if (refused.fault == FileFault::None && now.exists && now.st.st_ino != before.st.st_ino)
            refused = Failed(FileFault::System, EAGAIN);
    }
    if (code == 0 && refused.fault == FileFault::None && ::rename(temporary.c_str(), path.c_str()) != 0)
        code = errno;
    if (code == 0 && refused.fault == FileFault::None)
        return FileError{};
    ::unlink(temporary.c_str());
    return refused.fault != FileFault::None ? refused : Failed(FileFault::System, code);
}

bool HoldWholeFile(const std::string& path, unsigned long* holder, FileError* error) {
    *holder = 0;
    *error = FileError{};
    const std::string folder = FolderOf(path);
    const std::size_t slash = path.find_last_of('/');
    const std::string lock = folder + "/." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".lock";
    // Kept open (and locked) until the process ends.
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = Failed(errno == ELOOP ? FileFault::Link : FileFault::System, errno);
        return false;
    }
    if (const FileError own = CheckOwnRegularFile(fd); own.fault != FileFault::None) {
        *error = own;
        ::close(fd);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        char text[32] = {};
        const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
        *holder = got > 0 ? std::strtoul(text, nullptr, 10) : 0;
        ::close(fd);
        if (code != EWOULDBLOCK)
            *error = Failed(FileFault::System, code);
        return false;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        // the lock holds all the same; only the name of its holder is not said
    }
    return true;
}

}  // namespace scout::ops
