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

// Who sent the replies from one address on one interface, as far as they
// tell: replies whose texts differ are different controllers, whatever their
// MAC, and so are replies whose frames came from different MACs. Replies with
// the same texts whose frames all came from one MAC may be one controller
// that answered more than once, or controllers of one batch that share a MAC
// (an unprogrammed EEPROM, a bridge that rewrites MACs): nothing tells them
// apart. Where a MAC was not read from each reply's own frame and the texts
// agree, nothing is known.
enum class WhoAnswers { Unknown, OneMac, SeveralControllers };
struct SharedAnswers {
    WhoAnswers who = WhoAnswers::Unknown;
    std::vector<MacAddress> macs;  // the frames' MACs, each once, in the order listed
    std::size_t framed = 0;        // replies whose own frame's MAC was read
    bool textsDiffer = false;      // two of the replies carry other texts
};
SharedAnswers WhoShares(const std::vector<const Reply*>& answers);

// After a search that began when the clock read since: each row whose
// frame's MAC is not known, and whose address no other row of its interface
// shares, gets the MAC the system's neighbour table had confirmed for its
// address within the search, where it had (an older entry, or one set by
// hand, says nothing of who answers now).
void FinishRows(const NetPlatform& platform, std::vector<Reply>& rows, std::uint32_t since);

}  // namespace scout::ops
