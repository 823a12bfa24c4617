// A new address given to the one controller at the factory address, for
// commission (its range, or a design row) and a watch's replacements alike:
// the checks of reconfigure with the interface's link asked, then one
// reconfigure sent, awaited and recorded (with the design row and the MAC it
// replaces, where there are).
#pragma once

#include <string>
#include <vector>

#include "cli/cli_search.h"
#include "cli/cli_session.h"
#include "ops/commission.h"
#include "ops/look.h"

namespace scout::cli {

// The last search as the look before a command to the interface via.
Looked LookedOn(const BroadcastInterface& via, const std::vector<Reply>& rows, const std::vector<NetAddress>& own);

// The decision to send request, the link of the interface asked first (the
// look before the command is the last search, looked); what goes with a
// warning is said (all: every interface, for the new address's warnings).
// False where it is refused (decision->refusal).
bool DecideOnTheLink(Session& session, const Looked& looked, const std::vector<BroadcastInterface>& all,
                     const CommandRequest& request, Decision* decision);

// What became of a reconfigure sent to the factory address.
struct Given {
    bool recorded = true;  // false: its intent could not be written, and nothing was sent (said)
    std::string outcome;   // OutcomeName's
    std::string message;   // what the wait saw, where it was not verified
    double seconds = 0;
    bool verified = false;
};
// The MAC a readdressing replaces, for the record.
struct Replacing {
    std::string row;  // RowLabel ("" for none)
    bool known = false;
    MacAddress mac{};
    const char* command = "reconfigure";  // as the record names it
};
Given SendToFactory(Session& session, CliList& list, const CommandRequest& request, const Decision& decision,
                    const Looked& looked, const Replacing& replacing);

// A row's address refused: recorded as a refused reconfigure, with why.
void RecordRefused(Session& session, const CommandRequest& request, const Decision& decision,
                   const Replacing& replacing, const std::string& why);

// A design row's settings (RowSettings), the checks and the link as
// DecideOnTheLink: the request and decision to send, or false with why not
// (in words, as said).
bool DecideRow(Session& session, const ExpectedRow& row, const RowDefaults& defaults, NetAddress factory,
               const Looked& looked, const std::vector<BroadcastInterface>& all, CommandRequest* request,
               Decision* decision, std::string* why);

}  // namespace scout::cli
