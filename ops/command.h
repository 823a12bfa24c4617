// Whether and where a command may go, decided over what the search before
// it saw: the rule both front ends follow (scout-cli for a command and each
// row of a plan, the dialog for its three buttons). The decision is facts: a
// kind and the addresses, interfaces and counts it is about; each front end
// words them.
#pragma once

#include <cstddef>
#include <vector>

#include "net/address.h"
#include "net/platform.h"
#include "net/query_datagram.h"
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

// The workstation as the search before the command saw it.
struct Looked {
    std::vector<BroadcastInterface> searched;  // in search order (one where a single interface is chosen)
    std::vector<bool> cutShort;                // per searched interface: its window did not finish
    std::vector<Reply> rows;                   // every reply, in arrival order
    std::vector<NetAddress> ownAddresses;      // every address of the workstation's interfaces
    bool hostsAsked = false;                   // the links were asked for the new address (hosts)
    std::vector<HostAnswer> hosts;             // per interface asked
};

// What the search saw, as the decision sees it for a command bound to one
// interface (a plan's interface column, the dialog's selected row).
Looked OnlyOn(const Looked& looked, const BroadcastInterface& entry);

// Every address of the workstation's interfaces, searched or skipped.
std::vector<NetAddress> OwnAddresses(const InterfaceTable& table);

enum class RefusalKind {
    None,
    OwnAddress,         // address is one of this workstation's
    SubnetEdge,         // address is the network or broadcast address of where's subnet (prefix)
    NotFound,           // no controller answered at the target
    SeveralInterfaces,  // the target answers on every one of interfaces
    CutShort,           // where's window did not finish, and it could list the target
    SeveralReplies,     // count replies came from the target on where (a reconfigure, or no "all")
    NewAddressTaken,    // a controller already answers at address on where
    HeldByHost,         // a host that does not answer as a controller holds address on where (mac)
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
    std::vector<MacAddress> macs;  // SeveralReplies: the frames' MACs, where they tell the controllers apart
};

// What goes with a command that may go.
enum class DecisionNote {
    None,
    Unchecked,          // sent without a search: only the addresses were checked
    SeveralRepliesAll,  // replies came from the target on via, and every one gets it
    AnsweredTwice,      // replies came from the target on via, every one from one MAC: one controller
};

struct Decision {
    bool send = false;
    Refusal refusal;                // why not, where it may not go
    DecisionNote note = DecisionNote::None;
    std::size_t replies = 0;        // SeveralRepliesAll, AnsweredTwice: how many
    MacAddress mac{};               // AnsweredTwice: the one controller's
    std::vector<MacAddress> macs;   // SeveralRepliesAll: the frames' MACs, where they tell them apart
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

// Where a new address lies outside the subnet of every interface given (the
// workstation reaches the controller afterwards only with a route or a
// second address): true, with the new address's subnet and prefix. False
// where it lies in one, or where a prefix is not known.
bool LeavesEverySubnet(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                       NetAddress newAddress, NetAddress newMask, NetAddress* subnet, int* prefix);

}  // namespace scout::ops
