// One sender per segment: a lock per interface that every scout-cli of this
// workstation (and the dialog) holds from the look before a command to its
// verdict, so that two programs never send to one segment at once. Linux: a
// lock file in /run/lock named after the interface's address and its network
// namespace, locked with fcntl (its holder's process id read back); Windows:
// a named mutex in the Global namespace named after the interface's address
// (ops/posix, ops/win32).
#pragma once

#include <cstdint>
#include <string>

#include "net/platform.h"
#include "ops/files.h"

namespace scout::ops {

struct SegmentLock {
    std::intptr_t handle = -1;  // the lock file's descriptor, or the mutex's handle
    std::string name;           // where the lock lives, as said
};

enum class LockTry { Held, Busy, Failed };

// One try: Held (lock then holds it), Busy (another process holds it:
// *holder its process id and *holderName its program's name, 0 and "" where
// they cannot be told), or Failed (*error: the lock cannot be had here: a
// link, a device or a FIFO where the lock file should be, no permission).
LockTry TryLockSegment(const BroadcastInterface& via, SegmentLock* lock, unsigned long* holder,
                       std::string* holderName, FileError* error);
void ReleaseSegment(SegmentLock* lock);

// The seam a front end takes the locks through: the system's (the two
// functions above), or a test's.
struct SegmentLocks {
    void* context = nullptr;
    LockTry (*tryLock)(void* context, const BroadcastInterface& via, SegmentLock* lock, unsigned long* holder,
                       std::string* holderName, FileError* error) = nullptr;
    void (*release)(void* context, SegmentLock* lock) = nullptr;
};
const SegmentLocks& SystemSegmentLocks();

}  // namespace scout::ops
