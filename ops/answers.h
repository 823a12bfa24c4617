// Who answers at an address on an interface: the one question every rule asks
// of what a search saw (a command's target, a new address that is taken, the
// controller at its new address, a duplicate address in watch, the one new
// controller at the factory address, the dialog's rows).
#pragma once

#include <string>
#include <vector>

#include "ops/reply.h"

namespace scout::ops {

// Every reply from address on the interface via, in the order listed.
std::vector<const Reply*> AnswersAt(const std::vector<Reply>& rows, const std::string& address,
                                    const BroadcastInterface& via);
std::vector<const Reply*> AnswersAt(const std::vector<Reply>& rows, NetAddress address, const BroadcastInterface& via);

// The interfaces on which address answers, each once, in the order listed.
std::vector<BroadcastInterface> InterfacesAnswering(const std::vector<Reply>& rows, const std::string& address);

// The same model, version and revision: the same controller as far as its
// replies tell.
bool SameTexts(const Reply& a, const Reply& b);

// Every address that answers on the interface (or on any, where via is null).
std::vector<NetAddress> AnsweringAddresses(const std::vector<Reply>& rows, const BroadcastInterface* via = nullptr);

// What the MACs of the replies from one address on one interface say of who
// sent them: nothing (no two MACs read from their own frames differ, and one
// at least is not known so), one controller that answered more than once (each
// reply's frame came from one MAC), or several controllers that share the
// address (two frames came from different MACs).
enum class WhoAnswers { Unknown, OneController, SeveralControllers };
struct SharedAnswers {
    WhoAnswers who = WhoAnswers::Unknown;
    std::vector<MacAddress> macs;  // the frames' MACs, each once, in the order listed
};
SharedAnswers WhoShares(const std::vector<const Reply*>& answers);

// After a search: each row whose frame's MAC is not known, and whose address
// no other row of its interface shares, gets the MAC the system's neighbour
// table knows for its address, where it knows one.
void FillNeighbourMacs(const NetPlatform& platform, std::vector<Reply>& rows);

// A MAC from the neighbour table tells nothing of which of several replies
// from one address on one interface came from it: such MACs are cleared.
void ForgetSharedNeighbourMacs(std::vector<Reply>& rows);

}  // namespace scout::ops
