// The look at the line: one search of the interfaces given, its rows
// finished (each row's MAC where this workstation can tell it), and, before a
// command that gives addresses, the link of each interface asked who holds
// each of them, with the one deadline (ops/hosts). Every search of scout-cli
// is one (a search, a watch's, an audit's, the look before a command and the
// looks while its effect is awaited), so that every rule decides over rows
// finished alike. The dialog keeps deciding over the rows its list shows; it
// shares the link's asking and the rules, not the search.
#pragma once

#include <cstdint>
#include <vector>

#include "net/controller_search.h"
#include "ops/command.h"
#include "ops/names.h"

namespace scout::ops {

struct LookPlan {
    std::vector<BroadcastInterface> interfaces;  // searched, in this order
    std::uint32_t windowMs = ReplyWindowMs;
    bool allAtOnce = true;
    std::vector<NetAddress> ownAddresses;        // the workstation's, for the decision
    // New addresses a command would give: the link of every interface searched
    // is asked who holds each, while the search runs.
    std::vector<NetAddress> askFor;
    // A command's target (0: none), and the workstation's interfaces not
    // searched: where the target answers on none of those searched, the
    // others are looked at too (quietly), so that a refusal can say where it
    // does answer.
    NetAddress target = 0;
    std::vector<BroadcastInterface> elsewhere;
    InterfaceNames* names = nullptr;  // the rows' interface names (null: none)
};

// The look: frontEnd hears of it as of any search (each row as it arrives,
// failures, warnings); the rows it hands back are finished.
Looked Look(const NetPlatform& platform, const SearchFrontEnd& frontEnd, const LookPlan& plan);

// The look before commands, one for every front end and every command: the
// search of plan.interfaces, the link of each interface asked who holds each
// new address the requests give (a reconfigure's, where it is not its
// target's own), and a single request's target looked for quietly on the
// workstation's other interfaces (all) where it answers on none of those. A
// front end that has its look already (the rows the dialog's list shows,
// commission's last search) gives it as listed: then only the link of
// plan.interfaces is asked. With noSearch nothing is looked at: the rules
// decide over the addresses alone.
struct CommandLook {
    LookPlan plan;                        // where and how to search (its askFor and target are the requests')
    std::vector<BroadcastInterface> all;  // every interface of the workstation
    std::vector<NetAddress> own;          // the workstation's addresses
    const Looked* listed = nullptr;
    bool noSearch = false;
};
Looked LookBeforeCommands(const NetPlatform& platform, const SearchFrontEnd& frontEnd,
                          const std::vector<CommandRequest>& requests, const CommandLook& look);

// The interfaces of all that are none of these, in all's order.
std::vector<BroadcastInterface> Except(const std::vector<BroadcastInterface>& all,
                                       const std::vector<BroadcastInterface>& these);

// A reply as a row of the rules: its texts, its interface (named where names
// is given), its MAC where the search read one.
Reply ReplyOf(const FoundRow& found, InterfaceNames* names);

}  // namespace scout::ops
