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

// The decision to send request to the one controller at the factory address
// (one, as the last search saw it), over a look of its own: the interface
// searched again while its link is asked who holds the new address (one
// deadline for both, so no longer than the link alone), so that a controller
// plugged in since the last search is seen before the command goes, not
// after. What goes with a warning is said (all: every interface, for the new
// address's warnings). Moved where the factory address is not as it was (no
// one, more than one, or another MAC there): nothing is decided about the
// address then; Refused where the address is refused (decision->refusal).
enum class AtFactoryNow { Send, Refused, Moved };
AtFactoryNow DecideAtFactory(Session& session, const Reply& one, const std::vector<NetAddress>& own,
                             const std::vector<BroadcastInterface>& all, const CommandRequest& request,
                             Decision* decision, Looked* fresh);

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

// A design row's settings (RowSettings), then DecideAtFactory: the request
// and decision to send, or why not (Refused: in words, as said). A
// controller found answering at the row's address is Moved: the row is not
// missing after all.
AtFactoryNow DecideRow(Session& session, const ExpectedRow& row, const RowDefaults& defaults, NetAddress factory,
                       const Reply& one, const std::vector<NetAddress>& own,
                       const std::vector<BroadcastInterface>& all, CommandRequest* request, Decision* decision,
                       Looked* fresh, std::string* why);

}  // namespace scout::cli
