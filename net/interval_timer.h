// A span of the platform's 32-bit millisecond clock that survives the clock's wrap.
#pragma once

#include <cstdint>

namespace scout {

struct IntervalTimer {
    std::uint32_t start = 0;
    std::uint32_t duration = 0;
};

inline void ArmTimer(IntervalTimer& timer, std::uint32_t now, std::uint32_t duration) {
    timer.start = now;
    timer.duration = duration;
}

// Unsigned subtraction is taken modulo 2^32, so a wrap between the two readings
// still yields the true elapsed time.
inline bool TimerExpired(const IntervalTimer& timer, std::uint32_t now) {
    const std::uint32_t elapsed = now - timer.start;
    return elapsed >= timer.duration;
}

}  // namespace scout
