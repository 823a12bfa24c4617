// The wait after commands have gone out: the interfaces they went by are
// looked at again and again, a short window each, all at once, until every
// command's effect is seen or the wait's time is up. An interrupt ends the
// wait, not the commands: they went out, and each gets its verdict.
#pragma once

#include <cstdint>
#include <vector>

#include "ops/verdict.h"

namespace scout::ops {

// After a command, its interface is looked at again and again, a short
// window each, until its effect is seen or the wait's time is up.
constexpr std::uint32_t LookWindowMs = 200;

// One command awaited: what was asked, where it went, what was seen of it.
struct Awaited {
    CommandRequest request;
    Decision decision;
    Watch watch;
    WaitVerdict verdict;  // done once its effect was seen, or the wait ended
};

// What the wait needs of its front end.
struct Looks {
    void* context = nullptr;
    // One short look (windowMs) at the interfaces given, all at once: its rows into *rows.
    void (*look)(void* context, const std::vector<BroadcastInterface>& where, std::uint32_t windowMs,
                 std::vector<Reply>* rows) = nullptr;
    // 0, or the exit status an interrupt stands for (130, 143).
    int (*interrupted)(void* context) = nullptr;
    // The target of one was first seen gone, ms after the wait began. Null: not told.
    void (*wentAway)(void* context, const Awaited& one, std::uint32_t ms) = nullptr;
};

// The interfaces of the commands not yet judged, each once.
std::vector<BroadcastInterface> StillWatched(const std::vector<Awaited>& awaited);

// Waits for every command of awaited that is not judged yet, up to limitMs;
// before holds the rows the search before the commands saw. On return every
// verdict is done, and *last holds the last look's rows.
void AwaitEffects(const NetPlatform& platform, std::vector<Awaited>& awaited, const std::vector<Reply>& before,
                  std::uint32_t limitMs, const Looks& looks, std::vector<Reply>* last);

// Replies were lost during the wait: a command not seen may well have done
// what it was asked (one that still answers was seen, and is told as it is).
void MarkLostReplies(std::vector<Awaited>& awaited);

}  // namespace scout::ops
