// One sender per segment, on Linux (see segment_lock.h).
#include "ops/segment_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "net/address.h"

namespace scout::ops {
namespace {

// The network namespace's identity ("4026531840"): the lab's namespaces, and
// containers, each have their own interfaces of the same addresses.
std::string NamespaceId() {
    char target[64] = {};
    const ssize_t got = ::readlink("/proc/self/ns/net", target, sizeof target - 1);
    std::string id;
    for (ssize_t i = 0; i < got; ++i)
        if (target[i] >= '0' && target[i] <= '9')
            id += target[i];
    return id.empty() ? "0" : id;
}

// /run/lock where every user may make files there (Debian's, sticky and
// world-writable), else /tmp: every program of the workstation, root or
// not, picks the same folder.
std::string LockPath(const BroadcastInterface& via) {
    struct stat folder {};
    const bool shared = ::lstat("/run/lock", &folder) == 0 && S_ISDIR(folder.st_mode) &&
                        (folder.st_mode & 01777) == 01777;
    const char* dir = shared ? "/run/lock" : "/tmp";
    char address[AddressTextCapacity];
    FormatAddress(via.address, address, sizeof address);
    return std::string(dir) + "/ethernet-scout-net" + NamespaceId() + "-" + address + ".lock";
}

FileError Fault(FileFault fault, int code) {
    FileError error;
    error.fault = fault;
    error.code = code;
    return error;
}

// The lock file, opened as it stands (another user's too: where the system
// protects files in sticky folders, even root may not create one there), or
// made, readable and writable by every user of the workstation.
int OpenLockFile(const std::string& path, FileError* error) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
            if (fd >= 0)
                ::fchmod(fd, 0666);
            else if (errno == EEXIST)
                continue;
        }
        if (fd < 0) {
            *error = Fault(errno == ELOOP ? FileFault::Link : FileFault::System, errno);
            return -1;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            *error = Fault(S_ISDIR(st.st_mode) ? FileFault::Folder : FileFault::NotRegular, 0);
            ::close(fd);
            return -1;
        }
        return fd;
    }
    *error = Fault(FileFault::System, EEXIST);
    return -1;
}

std::string ProgramOf(unsigned long pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%lu/comm", pid);
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr)
        return "";
    char name[32] = {};
    const std::size_t got = std::fread(name, 1, sizeof name - 1, file);
    std::fclose(file);
    std::string text(name, got);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace

LockTry TryLockSegment(const BroadcastInterface& via, SegmentLock* lock, unsigned long* holder,
                       std::string* holderName, FileError* error) {
    *holder = 0;
    holderName->clear();
    *error = FileError{};
    lock->name = LockPath(via);
    const int fd = OpenLockFile(lock->name, error);
    if (fd < 0)
        return LockTry::Failed;
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd, F_SETLK, &whole) == 0) {
        lock->handle = fd;
        return LockTry::Held;
    }
    const int code = errno;
    if (code != EAGAIN && code != EACCES) {
        *error = Fault(FileFault::System, code);
        ::close(fd);
        return LockTry::Failed;
    }
    struct flock who {};
    who.l_type = F_WRLCK;
    who.l_whence = SEEK_SET;
    if (::fcntl(fd, F_GETLK, &who) == 0 && who.l_type != F_UNLCK && who.l_pid > 0) {
        *holder = static_cast<unsigned long>(who.l_pid);
        *holderName = ProgramOf(*holder);
    }
    ::close(fd);
    return LockTry::Busy;
}

void ReleaseSegment(SegmentLock* lock) {
    if (lock->handle < 0)
        return;
    ::close(static_cast<int>(lock->handle));  // the lock goes with its descriptor
    lock->handle = -1;
}

}  // namespace scout::ops
