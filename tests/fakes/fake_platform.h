// A scripted world for the search: a clock that moves only when the search
// sleeps (or by a set step per reading), sockets that deliver datagrams at set
// times after the query was sent, and failures injected per operation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/platform.h"
#include "net/query_datagram.h"

namespace scout::test {

enum class Op { Open, Broadcast, Bind, Send, Waiting, Receive, Close };

struct ScriptedDatagram {
    NetAddress receivingInterface;  // the interface address whose socket gets it
    std::uint32_t arrivesAfterSend; // ms after that interface's query was sent
    NetAddress sender;
    std::vector<std::uint8_t> bytes;
    MacSource macSource = MacSource::None;  // Frame: what frameMac says of it
    MacAddress mac{};
};

struct InjectedFailure {
    Op op;
    int onCall;      // 1 = the first call of that operation
    int errorCode;
};

struct FakeRow {
    std::string address, model, version, revision;
    NetAddress interfaceAddress;
    std::uint32_t interfaceIndex;
    MacSource macSource = MacSource::None;
    MacAddress mac{};
};

// Error codes the fake's errorText knows nothing of.
constexpr int UndescribedError = 9999;
constexpr int MessageTooLongError = 10040;
constexpr int WouldBlockError = 10035;
constexpr int ConnectionResetError = 10054;  // what a receive gives after an ICMP report
constexpr int NetworkDownError = 10050;
constexpr int AddressInUseError = 10048;  // another socket holds the port


struct FakeWorld {
    std::uint32_t clock = 1000;
    std::uint32_t stepPerReading = 0;   // added to the clock after each reading
    std::vector<BroadcastInterface> interfaces;
    TableStatus tableStatus = TableStatus::Ok;
    int tableError = 0;
    std::vector<ScriptedDatagram> datagrams;
    std::vector<InjectedFailure> failures;
    std::function<void(int)> onSleep;   // called with the sleep's number (1, 2, ...) before the clock moves
    int sleeps = 0;
    int searches = 0;                   // calls of loadInterfaces
    int startError = 0;                 // what startSocketLayer returns
    // Losses: what each socket's full buffer dropped, each interface's reverse-path
    // filter (by index), and the host's drop counter as each reading finds it
    // (none: it cannot be read).
    std::uint32_t droppedPerSocket = 0;
    std::vector<NetAddress> linksDown;  // interfaces with no carrier, by address
    // The front end's answer while another socket holds the port: wait up to
    // this long (0: not at all); each call is logged as "port held <ms>".
    std::uint32_t waitForPortMs = 0;

    std::vector<std::pair<std::uint32_t, ReversePathFilter>> filters;
    std::vector<std::uint64_t> filterReadings;

    // The link's hosts, as asking for an address finds them (by interface
    // index; anything else: Nobody). Without probes, an address off the
    // interface's /24 is OffLink. Each asking is logged as "ask <address> if<n>",
    // each further probe as "probe <address> if<n> at <ms>", each reading as
    // "read <address> if<n> at <ms>" (ms after the asking began).
    struct Neighbour {
        std::uint32_t index;
        NetAddress address;
        NeighbourAnswer answer;
        MacAddress mac;
        std::uint32_t afterMs = 0;  // how long after the asking the answer comes
        int code = 0;               // the asking's code with it (Busy: the frames lost)
    };
    std::vector<Neighbour> neighbours;
    bool probes = false;

    // What happened, in order: "open", "bind 10.0.0.1:65513 if2", "send", "waiting", "recv",
    // "close", "sleep 50", "report <text>", "clear", "release".
    std::vector<std::string> log;
    std::vector<std::string> reports;
    std::vector<std::string> warnings;
    std::vector<FakeRow> rows;
    std::vector<std::vector<std::uint8_t>> sent;
    int openSockets = 0;

    // internal
    int calls[7] = {};
    struct FakeSocket {
        NetAddress boundInterface = 0;
        std::uint32_t sendTime = 0;
        int lastDelivered = -1;  // the datagram the last receive gave
    };
    std::vector<FakeSocket> sockets;  // handle n is sockets[n - 1]
    std::vector<bool> delivered;
};

NetPlatform MakeFakePlatform(FakeWorld* world);
SearchFrontEnd MakeFakeFrontEnd(FakeWorld* world);

// A well-formed reply with the given model and 8-byte version and revision fields.
std::vector<std::uint8_t> ReplyBytes(std::uint32_t model, const char* version, const char* revision);

int CountLog(const FakeWorld& world, const std::string& entry);

}  // namespace scout::test
