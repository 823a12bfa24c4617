// Whether and where a command may go, decided over what the search before
// it saw: the rule both front ends follow (scout-cli for a command and each
// row of a plan, the dialog for its three buttons). The decision is facts: a
// kind and the addresses, interfaces and counts it is about; each front end
// words them.
#pragma once

#include <cstddef>
#include <vector>

#include "net/address.h"
#include "net/controller_search.h"
#include "net/platform.h"
#include "net/query_datagram.h"
#include "ops/answers.h"
#include "ops/hosts.h"
#include "ops/reply.h"

namespace scout::ops {

enum class CommandKind { Reset, FactoryDefaults, Reconfigure };

struct CommandRequest {
    CommandKind kind = CommandKind::Reset;
    NetAddress target = 0;
    ReconfigureValues values;  // of a reconfigure
    bool all = false;          // a reset of every controller that answers at the target
    bool noSearch = false;     // nothing was looked at; the address checks alone
};

// The workstation as the look before the command saw it (ops/look).
struct Looked {
    std::vector<BroadcastInterface> searched;  // in search order (one where a single interface is chosen)
    std::vector<bool> cutShort;                // per searched interface: its window did not finish
    std::vector<Reply> rows;                   // every reply, finished (ops/look), in the order listed
    std::vector<NetAddress> ownAddresses;      // every address of the workstation's interfaces
    bool hostsAsked = false;                   // the links were asked for the new address (hosts)
    std::vector<HostAnswer> hosts;             // per interface and address asked
    // Where the look was bound to some interfaces: whether the others were
    // looked at too (for a target that answered on none of those), and what
    // answered there.
    bool lookedElsewhere = false;
    std::vector<Reply> elsewhere;
    // The search itself: per searched interface the replies a full receive
    // buffer lost, the packets the reverse-path filter dropped, whether a
    // failure was reported, when it began (the clock) and how long it took.
    std::vector<std::uint32_t> lost;
    std::uint64_t filtered = 0;
    SearchOutcome outcome;
    std::uint32_t startedAt = 0;
    std::uint32_t tookMs = 0;
};

// What the search saw, as the decision sees it for a command bound to one
// interface (a plan's interface column, the dialog's selected row); the rows
// of the other interfaces are kept apart, to say where a target answers.
Looked OnlyOn(const Looked& looked, const BroadcastInterface& entry);

// Every address of the workstation's interfaces, searched or skipped.
std::vector<NetAddress> OwnAddresses(const InterfaceTable& table);

enum class RefusalKind {
    None,
    OwnAddress,         // address is one of this workstation's
    SubnetEdge,         // address is the network or broadcast address of where's subnet (prefix)
    NotFound,           // no controller answered at the target (on where, where the look was bound to
                        // it: then interfaces are those where it does answer)
    SeveralInterfaces,  // the target answers on every one of interfaces
    CutShort,           // where's window did not finish, and it could list the target
    SeveralReplies,     // count replies came from the target on where (a reconfigure, or no "all"); who
                        // says what tells them apart
    NewAddressTaken,    // a controller already answers at address on where
    HeldByHost,         // a host that does not answer as a controller holds address on where (mac)
    SetByHand,          // this workstation's neighbour table holds an entry set by hand for address on
                        // where (mac): what it sends there goes to that MAC, not to the controller
};
// Which address a refusal is about.
enum class Subject { Target, NewAddress };

struct Refusal {
    RefusalKind kind = RefusalKind::None;
    Subject subject = Subject::Target;
    NetAddress address = 0;
    BroadcastInterface where{};
    int prefix = -1;
    std::vector<BroadcastInterface> interfaces;
    std::size_t count = 0;
    MacAddress mac{};
    SharedAnswers who;  // SeveralReplies: who sent them, as their texts and frames tell
};

// What goes with a command that may go.
enum class DecisionNote {
    None,
    Unchecked,          // sent without a search: only the addresses were checked
    SeveralRepliesAll,  // replies came from the target on via, and every one gets it
};

struct Decision {
    bool send = false;
    Refusal refusal;                // why not, where it may not go
    DecisionNote note = DecisionNote::None;
    std::size_t replies = 0;        // SeveralRepliesAll: how many
    SharedAnswers who;              // SeveralRepliesAll: who sent them
    BroadcastInterface via{};       // where it goes
    std::vector<Reply> targetRows;  // the target as the search saw it on via
    // A reconfigure's new address, as the link of via answered for it where it
    // was asked (hostsAsked): anything but Nobody is said beside the command.
    bool hostsChecked = false;
    HostAnswer hosts;
};

// Whether and where the command goes; platform gives the interfaces'
// prefixes (for the subnet's edges).
Decision DecideCommand(const NetPlatform& platform, const CommandRequest& request, const Looked& looked);

// The datagram that carries the request.
void BuildDatagram(const CommandRequest& request, QueryDatagram& datagram);

// How a reconfigure's new address and mask fit the wire the controller stays
// on (the interface the command leaves by) and the workstation's other
// interfaces: an address outside that wire's subnet is reached there only
// with a route (and where it lies in another interface's subnet, that is
// another wire); a mask other than the wire's makes the controller disagree
// with its neighbours about who is on the link.
struct NewAddressFit {
    bool known = false;          // via's prefix is known; nothing is said otherwise
    int viaPrefix = -1;
    bool outsideVia = false;     // the new address lies outside via's subnet
    bool outsideEvery = false;   // and outside the subnet of every interface given
    BroadcastInterface other{};  // outsideVia, not outsideEvery: the first interface whose subnet holds it
    NetAddress subnet = 0;       // outsideVia: the new address's own subnet, by the new mask
    int newPrefix = -1;
    bool maskDiffers = false;    // the new mask's prefix is not via's
};
NewAddressFit FitOfNewAddress(const NetPlatform& platform, const BroadcastInterface& via,
                              const std::vector<BroadcastInterface>& interfaces, NetAddress newAddress,
                              NetAddress newMask);

}  // namespace scout::ops
