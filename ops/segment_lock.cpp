// The system's locks of one sender per segment, as a seam (see segment_lock.h);
// the locks themselves are the platform's (ops/posix, ops/win32).
#include "ops/segment_lock.h"

namespace scout::ops {

const SegmentLocks& SystemSegmentLocks() {
    static const SegmentLocks system = {
        .context = nullptr,
        .tryLock = [](void*, const BroadcastInterface& via, SegmentLock* lock, unsigned long* holder,
                      std::string* holderName, FileError* error) {
            return TryLockSegment(via, lock, holder, holderName, error);
        },
        .release = [](void*, SegmentLock* lock) { ReleaseSegment(lock); },
    };
    return system;
}

}  // namespace scout::ops
