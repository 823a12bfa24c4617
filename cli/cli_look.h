// The searches of scout-cli: each a look (ops/look) heard by a list of rows,
// with the session's progress lines, a wait for a port another scout-cli
// holds, and the rows printed as they arrive on a terminal; and the searches
// of watch and commission, one after another --interval apart.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/cli_interfaces.h"
#include "cli/cli_search.h"
#include "cli/cli_session.h"
#include "ops/look.h"

namespace scout::cli {

// Whether this process reads each reply's own frame (its MAC, past the
// reverse-path filter): an ARP probe of its own is its way to ask the link.
bool ReadsReplyFrames(const NetPlatform& platform);

// A list whose progress the session shows.
void Observe(Session& session, CliList* list);

// A look (ops/look) of the interfaces given, as the options ask (its window,
// all at once or one after another), with the interfaces' names; the caller
// adds what a command asks of it.
LookPlan PlanOfLook(Session& session, const std::vector<BroadcastInterface>& where);
// The look, heard by list (MakeCliFrontEnd); list's rows then are its rows,
// finished.
Looked Search(Session& session, CliList& list, const LookPlan& plan);
// The look before commands (ops/look), heard by list as Search's.
Looked LookBefore(Session& session, CliList& list, const std::vector<CommandRequest>& requests,
                  const CommandLook& look);

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
// Loads the interfaces into interfaces and chooses those watched (unless
// loadOnly: the caller chooses); on false, *exitCode says how the run ends.
bool StartWatcher(Watcher& watcher, Interfaces& interfaces, int* exitCode, bool loadOnly = false);
void SearchOnce(Watcher& watcher);
// Waits until --interval after the last search began; false where an
// interrupt ended the wait.
bool AwaitNextSearch(Watcher& watcher);

}  // namespace scout::cli
