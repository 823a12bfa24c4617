// The search: on every broadcast interface in turn, broadcast one query and list
// every reply read within that interface's reply window.
#pragma once

#include <cstdint>

#include "net/platform.h"

namespace scout {

constexpr std::uint32_t ReplyWindowMs = 1010;
constexpr std::uint32_t PassIntervalMs = 50;
// A pass stops reading after this long even if datagrams keep arriving, so a
// flood cannot hold the socket open past its window: the last pass begins at
// most one sleep after the window and ends at most this long after that.
// A pass stopped with datagrams still waiting is followed at once by the next.
constexpr std::uint32_t PassReadBudgetMs = 25;
// Room for well over a thousand replies that arrive at once.
constexpr int SearchReceiveBufferBytes = 4 * 1024 * 1024;

struct SearchOutcome {
    int rows = 0;
    bool reportedFailure = false;
};

// Clears the list, reads the platform's interfaces and searches each in turn.
SearchOutcome ControllerSearch(const NetPlatform& platform, const SearchFrontEnd& frontEnd);

// scout-cli's search: of the interfaces it chose, with the window it chose,
// one after another as the dialog searches, or all at once: one socket per
// interface, bound as always, every query sent, then one window for all.
struct SearchPlan {
    const BroadcastInterface* interfaces = nullptr;
    std::size_t count = 0;
    std::uint32_t windowMs = ReplyWindowMs;
    bool allAtOnce = false;
    // Where not null, count flags the search sets for each interface whose
    // window a failure cut short or kept from opening (what it did not hear
    // may have been there); it leaves the others as they were.
    bool* cutShort = nullptr;
    // Where not null: count counters the search adds to, for each interface,
    // the replies its full receive buffer lost; and where filtered is not
    // null, the packets the reverse-path filter dropped while it listened
    // (where this process does not read past it), every interface at once.
    std::uint32_t* lost = nullptr;
    std::uint64_t* filtered = nullptr;
    // Where not null: called between listening passes, before each sleep, so
    // that the caller can do what is due meanwhile (the look's probes).
    void (*betweenPasses)(void* context) = nullptr;
    void* passContext = nullptr;
};
SearchOutcome SearchInterfaces(const NetPlatform& platform, const SearchFrontEnd& frontEnd, const SearchPlan& plan);

}  // namespace scout
