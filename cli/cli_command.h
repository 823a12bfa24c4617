// A command's way from what was asked to the wire and back: which interface
// lists the target, whether the command may go at all, and whether it did
// what was asked. Pure decisions over what the search saw, so that each
// refusal is tested on the fake platform; cli_main only runs them in order.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_search.h"
#include "net/address.h"
#include "net/platform.h"
#include "net/query_datagram.h"

namespace scout::cli {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;      // a failure reported, a check refused, a send failed
constexpr int ExitUsage = 2;
constexpr int ExitNotAnswered = 3;  // the command's effect was not seen
constexpr int ExitNoTarget = 4;     // the target answered nowhere, ambiguously, or more than once
constexpr int ExitSentUnreported = 5;  // the command went out, but its result could not be written
constexpr int ExitNoAddressLeft = 6;   // commission: the range had no free address for a controller

// After a command, its interface is looked at again and again, a short
// window each, until its effect is seen or the wait's time is up.
constexpr std::uint32_t LookWindowMs = 200;
constexpr std::uint32_t DefaultWaitSeconds = 30;

enum class CommandKind { Reset, FactoryDefaults, Reconfigure };

struct CommandRequest {
    CommandKind kind = CommandKind::Reset;
    NetAddress target = 0;
    ReconfigureValues values;  // of a reconfigure
    bool all = false;          // --all: a reset of every controller that answers at the target
    bool noSearch = false;     // --no-search: nothing was looked at; the address checks alone
};

// The workstation as the search before the command saw it.
struct Looked {
    std::vector<BroadcastInterface> searched;  // in search order (one with --interface)
    std::vector<bool> cutShort;                // per searched interface: its window did not finish
    std::vector<CliRow> rows;                  // every reply, in arrival order
    std::vector<NetAddress> ownAddresses;      // every address of the workstation's interfaces
};

struct Decision {
    bool send = false;
    int exitCode = ExitOk;           // of a refusal
    std::string refusal;             // why nothing is sent
    std::string warning;             // said, and sent all the same
    BroadcastInterface via{};        // where it goes
    std::vector<CliRow> targetRows;  // the target as the search saw it on via
};

// Whether and where the command goes. names gives the messages the
// interfaces' names; platform the interfaces' prefixes.
Decision DecideCommand(const NetPlatform& platform, InterfaceNames& names, const CommandRequest& request,
                       const Looked& looked);

// The datagram that carries the request.
void BuildDatagram(const CommandRequest& request, QueryDatagram& datagram);

// What the search after a reconfigure shows: success is exactly one
// controller at the new address on the interface it was sent by, with the
// target's model, version and revision (any, where nothing was seen before).
struct Verification {
    int exitCode = ExitOk;
    std::string message;
    int answering = 0;  // controllers at the new address with the target's texts
};
Verification VerifyReconfigure(const Decision& decision, NetAddress newAddress, const std::vector<CliRow>& after);

// What the looks after a command have seen so far.
struct Watch {
    bool goneSeen = false;                   // the target did not answer in a look
    std::vector<std::string> answeredBefore;  // the addresses on its interface before the command
};

struct WaitVerdict {
    bool done = false;     // the effect was seen, or the wait is over
    int exitCode = ExitOk;
    std::string outcome;   // "back", "answers", "still-answers", "gone", "not-seen", "interrupted"
    std::string message;
    std::string answersAt;  // where the target answers now, as far as it was seen ("": nowhere)
};

// One look's rows (the target's interface only), seconds after the send.
WaitVerdict JudgeLook(const CommandRequest& request, const Decision& decision, Watch& watch,
                      const std::vector<CliRow>& look, double seconds);
// The wait's time is up; last is the last look's rows.
WaitVerdict JudgeEnd(const CommandRequest& request, const Decision& decision, const Watch& watch,
                     const std::vector<CliRow>& last, double seconds);

}  // namespace scout::cli
