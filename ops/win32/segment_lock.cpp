// One sender per segment, on Windows (see segment_lock.h): a named mutex in
// the Global namespace, so that a service in session 0 and a user's dialog
// or scout-cli meet. Who holds a mutex cannot be read.
#include "ops/segment_lock.h"

#include <windows.h>

#include "net/address.h"

namespace scout::ops {

LockTry TryLockSegment(const BroadcastInterface& via, SegmentLock* lock, unsigned long* holder,
                       std::string* holderName, FileError* error) {
    *holder = 0;
    holderName->clear();
    *error = FileError{};
    char address[AddressTextCapacity];
    FormatAddress(via.address, address, sizeof address);
    // By the address alone: the dialog knows an interface by its address.
    lock->name = std::string("Global\\EthernetScout-segment-") + address;
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, lock->name.c_str());
    if (mutex == nullptr) {
        error->fault = FileFault::System;
        error->code = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
        return LockTry::Failed;
    }
    const DWORD waited = ::WaitForSingleObject(mutex, 0);
    // An abandoned mutex (its holder ended without releasing it) is held now.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        lock->handle = reinterpret_cast<std::intptr_t>(mutex);
        return LockTry::Held;
    }
    ::CloseHandle(mutex);
    if (waited == WAIT_TIMEOUT)
        return LockTry::Busy;
    error->fault = FileFault::System;
    error->code = EIO;
    return LockTry::Failed;
}

void ReleaseSegment(SegmentLock* lock) {
    if (lock->handle < 0)
        return;
    HANDLE mutex = reinterpret_cast<HANDLE>(lock->handle);
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
    lock->handle = -1;
}

}  // namespace scout::ops
