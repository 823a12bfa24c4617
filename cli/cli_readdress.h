// watch --readdress-replacements: a controller at the factory address that
// replaces the one missing row of its model on its interface gets that row's
// address (ops/replacement decides; cli_give_row sends); each doubt, each act
// an event of the watch's.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cli/cli_give_row.h"
#include "cli/cli_interfaces.h"
#include "cli/cli_look.h"
#include "cli/cli_session.h"
#include "ops/changes.h"
#include "ops/expected.h"
#include "ops/replacement.h"

namespace scout::cli {

// watch --readdress-replacements: the list's rows, what was tried (from the
// record, so across restarts), what was said, and the MAC each row's address
// answered from last, for the readdressing's record.
struct Readdressing {
    ReaddressMode mode = ReaddressMode::Off;
    NetAddress factory = 0;
    std::string recordPath;
    ReplacementTries tried;
    std::vector<KnownInterface> known;
    std::vector<BroadcastInterface> all;
    std::vector<NetAddress> own;
    std::map<std::uint32_t, std::string> said;  // per interface: the last doubt or proposal said there
    std::vector<Replacing> lastSeen;            // per row: the MAC its address answered from last
    std::map<std::size_t, Replacing> replaced;  // per row readdressed: the controller it replaced
};

// The start of --readdress-replacements: the factory address, a record that
// can be kept (where it acts), and what the record says was tried before;
// false (said) with how the watch ends.
bool StartReaddressing(Session& session, Interfaces& interfaces, const ExpectedList& list, Readdressing* r,
                       int* exitCode);

// The interfaces as the workstation has them now (a watch follows them).
void FollowReaddressing(Session& session, const InterfaceTable& table, Readdressing& r);

// After each search: the MAC each row's address answers from, and a conflict
// or duplicate at a readdressed row's address named (changes).
void NoteWhoAnswers(Readdressing& r, const ExpectedList& list, const std::vector<Reply>& rows,
                    std::vector<Change>& changes);

// Each interface where a controller waits at the factory address: the
// replacement's row given (--readdress-replacements), or proposed (=propose),
// or the doubt said; each said once until it changes.
std::vector<Change> LookForReplacements(Session& session, Readdressing& r, const ExpectedList& list,
                                        Watcher& watcher, const WatchState& state);

}  // namespace scout::cli
