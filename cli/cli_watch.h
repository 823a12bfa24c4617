// scout-cli watch: every interface searched at once, again and again, and
// only what changes printed, as it happens, until Ctrl-C or a closed output.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/cli_changes.h"
#include "cli/cli_session.h"

namespace scout::cli {

int RunWatch(Session& session);

// The searches of watch and commission, one after another --interval apart:
// each is one window over every interface given, each failure said once.
struct Watcher {
    Session& session;
    std::vector<BroadcastInterface> where;
    CliList list;
    std::vector<BroadcastInterface> failed;  // of the last search: cut short by a failure
    std::uint32_t startedAt = 0;             // of the last search
    Looked last;                             // the last search
    std::uint32_t searchMs = 0;              // how long the last search took
};
// Loads the interfaces into interfaces and chooses those watched; on false,
// *exitCode says how the run ends.
bool StartWatcher(Watcher& watcher, Interfaces& interfaces, int* exitCode);
void SearchOnce(Watcher& watcher);
// Waits until --interval after the last search began; false where an
// interrupt ended the wait.
bool AwaitNextSearch(Watcher& watcher);

}  // namespace scout::cli
