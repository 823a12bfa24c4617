// What changed from one search to the next, for a watch (and the wait of
// commission): the controllers that appeared, those gone (missing from two
// searches in a row), those answering at a known address with other texts,
// addresses that more than one controller answers at on one interface (and
// when that ends), and address conflicts: one address answering from two
// MACs, or a known address answering from another MAC than before (another
// device took its place). Pure, over the rows each search listed.
#pragma once

#include <string>
#include <vector>

#include "ops/reply.h"

namespace scout::ops {

// Readdressed, Held and Proposed are a watch's own acts on replacements
// (ops/replacement), not changes a search shows.
enum class ChangeKind { Appeared, Gone, Changed, Duplicate, DuplicateEnded, Conflict, Readdressed, Held, Proposed };

// What a conflict is: several MACs answer at once, or another MAC than before.
enum class ConflictKind { Shared, Replaced };

struct Change {
    ChangeKind kind = ChangeKind::Appeared;
    Reply row;      // as the search saw it (as last seen, for Gone)
    int count = 1;  // Duplicate: how many answer there
    ConflictKind conflict = ConflictKind::Shared;
    std::vector<MacAddress> macs;  // Conflict: those that answer (Shared); the one before, the one now (Replaced)
    // Readdressed, Held, Proposed: the design row (its label), the address it
    // gives, the MAC last seen there (where one was), and why not (Held) or
    // what the wait saw. A conflict or duplicate at a readdressed row's
    // address names the controller it replaced (replaced, in detail).
    std::string rowLabel, newAddress, detail;
    bool replacedKnown = false;
    MacAddress replaced{};
};

// The controllers known so far, by address and interface.
struct KnownController {
    Reply row;
    int misses = 0;          // searches in a row that did not list it
    bool duplicate = false;  // more than one answers there
    bool conflict = false;   // more than one MAC answers there
};
struct WatchState {
    std::vector<KnownController> known;
};

// The changes one search brings; failed lists the interfaces whose window a
// failure cut short (their controllers are not counted missing).
std::vector<Change> CompareSearch(WatchState& state, const std::vector<Reply>& rows,
                                  const std::vector<BroadcastInterface>& failed);

// A watch's interfaces from one search to the next (a USB adapter plugged in,
// a docking station, an interface down and up again): those that appeared,
// and those gone, each in its list's order.
struct InterfaceChanges {
    std::vector<BroadcastInterface> appeared, gone;
};
InterfaceChanges CompareInterfaces(const std::vector<BroadcastInterface>& before,
                                   const std::vector<BroadcastInterface>& now);

// An interface gone: the controllers known on it are forgotten (the
// interface is said gone once, not each of them), and are new again if it
// comes back.
void ForgetInterface(WatchState& state, const BroadcastInterface& via);

}  // namespace scout::ops
