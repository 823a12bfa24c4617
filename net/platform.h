// What the search and the commands need of the world: the platform's sockets,
// clock and interface list (NetPlatform), and the front end's result list and
// error report (SearchFrontEnd). Each is a table of plain functions with a
// context pointer, filled by name (.bindSocket = BindSocket); the real tables
// live in net/win32, net/posix and the front ends, and tests build their own
// with a fake clock and scripted sockets.
//
// A call that can fail returns the platform's error code of that very call
// (0 on success, else WSAGetLastError() or errno as the call left it), so no
// caller depends on fetching a last error in the right order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "net/address.h"
#include "net/query_datagram.h"

namespace scout {

using SocketHandle = std::intptr_t;
constexpr SocketHandle InvalidSocket = -1;
constexpr std::size_t InterfaceNameCapacity = 256;

// One interface the search broadcasts on: its own address and the platform's
// index for it (the forwarding table's interface index on Windows).
struct BroadcastInterface {
    NetAddress address;
    std::uint32_t index;
};

constexpr bool SameInterface(const BroadcastInterface& a, const BroadcastInterface& b) {
    return a.address == b.address && a.index == b.index;
}

struct InterfaceDetails {
    char name[InterfaceNameCapacity] = {};  // "" when it has none
    int prefixLength = -1;                  // -1 when not known
};

// What a failed receive means for the search.
enum class ReceiveFailure {
    Failed,      // the socket cannot be read: its window ends
    TooLong,     // a datagram longer than the buffer was discarded; the next may be read
    NoDatagram,  // nothing was read (a report of an earlier send, such as an ICMP
                 // port unreachable, that Windows hands to the next receive)
};

// The reverse-path filter of one interface, where the platform has one: its
// mode as the kernel applies it (0 off, 1 strict, 2 loose: the stricter of the
// interface's and the host-wide setting), whether the host-wide setting is on
// (then turning the interface's off is not enough), and whether this process
// reads replies past it (at the link layer), so that none is lost.
struct ReversePathFilter {
    int mode = 0;
    bool hostWide = false;
    bool readPast = false;
};

// A link-layer (Ethernet) address.
using MacAddress = std::array<std::uint8_t, 6>;

// Where a reply's MAC came from.
enum class MacSource {
    None,       // not known
    Frame,      // the Ethernet frame that carried that very datagram, read at the link layer
    Neighbour,  // the system's neighbour table: the MAC it knows for the sender's address, which
                // need not be the device that sent that datagram (several may share the address)
};

// How this workstation asks the link whether a host holds an address.
enum class NeighbourWay {
    None,    // it cannot (the platform has no way, or the way failed)
    Probe,   // an ARP probe of its own (sender address 0.0.0.0), read at the link layer
    System,  // a datagram that makes the system resolve the address; its neighbour table says
};

// What the link said about an address since the asking began.
enum class NeighbourAnswer {
    Holder,       // a host answered: its MAC
    Nobody,       // nothing answered
    OlderEntry,   // the system holds an entry from before (its MAC) and does not ask the link
                  // about it again at once (it asks only after seconds of use): not asked
    SetByHand,    // the system holds an entry set by hand (its MAC): what this workstation
                  // sends to the address goes to that MAC, whoever answers
    Busy,         // the link carried more than this process could read while it asked
                  // (code: the frames lost): an answer may be among them
    OffLink,      // the address is outside the interface's subnet: only a probe asks there
    Unsupported,  // the system cannot be asked (the code says why, where it has one)
    Failed,       // the asking failed (the code)
};

// One asking in progress: what askNeighbour began, for readNeighbour.
struct NeighbourAsking {
    NeighbourWay way = NeighbourWay::None;
    BroadcastInterface via{};
    NetAddress address = 0;
    SocketHandle socket = -1;     // the probe's link-layer socket, open until read
    std::uint32_t since = 0;      // the clock when it began
    NeighbourAnswer early = NeighbourAnswer::Nobody;  // way None: why
    int code = 0;
    std::uint64_t lostBefore = 0;  // Probe: the frames the link-layer socket had lost when it began
};

enum class TableStatus {
    Ok,
    NoSpace,  // no buffer large enough could be had
    Failed,   // any other failure; the error code says which
};

// Why an interface with an address is not searched.
enum class SkipReason {
    NoCarrier,         // up, but its link is not (an unplugged adapter, a bridge with no port)
    Down,              // set down
    NoAddress,         // up without an IPv4 address (its entry's address is AnyAddress)
    NoBroadcastRoute,  // an address, but no direct route for the limited broadcast (Windows)
    Loopback,          // the machine's own loopback: nothing but itself is behind it
    PointToPoint,      // a link without broadcast (a VPN tunnel): a broadcast reaches nobody there
};

struct SkippedInterface {
    BroadcastInterface entry;
    SkipReason reason;
};

// The interfaces of one search, and those it leaves out where the platform
// knows them. The platform owns the storage and releases it in
// releaseInterfaces; the search only reads entries[0..count).
struct InterfaceTable {
    const BroadcastInterface* entries = nullptr;
    std::size_t count = 0;
    const SkippedInterface* skipped = nullptr;
    std::size_t skippedCount = 0;
    void* storage = nullptr;
};

struct NetPlatform {
    void* context;

    // Starts the socket layer where the platform has one to start (Winsock
    // 2.2); it stays started until the process ends.
    int (*startSocketLayer)(void* context);

    // A UDP socket (AF_INET, SOCK_DGRAM, IPPROTO_UDP) into *socket.
    int (*openSocket)(void* context, SocketHandle* socket);
    // SO_BROADCAST on.
    int (*setBroadcast)(void* context, SocketHandle socket);
    // Asks for a receive buffer of at least this many bytes; best effort, never fails the caller.
    void (*setReceiveBuffer)(void* context, SocketHandle socket, int bytes);
    // Binds to the interface's address and port. Bound to an interface, the
    // socket sends limited broadcasts out of that interface and receives what
    // arrives for it there: unicast to its address and broadcasts on it, nothing
    // from other interfaces. Where the platform needs it (POSIX) the interface is
    // the one its index names, so two interfaces that hold the same address stay
    // apart. An address of AnyAddress binds to all local addresses.
    int (*bindSocket)(void* context, SocketHandle socket, const BroadcastInterface& where, std::uint16_t port);
    // Whether a code that bindSocket returned means that another socket holds
    // the port (EADDRINUSE, WSAEADDRINUSE).
    bool (*addressInUse)(void* context, int code);
    int (*sendTo)(void* context, SocketHandle socket, const std::uint8_t* data, std::size_t length,
                  NetAddress address, std::uint16_t port);
    // 0 when the interface's link is up (or the platform cannot tell), else the
    // platform's code for a network that is down: a datagram sent by an
    // interface with no carrier reaches nobody, though the send succeeds.
    int (*checkLink)(void* context, const BroadcastInterface& via);
    // Whether a datagram is waiting, whatever its length: an empty datagram is
    // waiting too, and is then read (as zero bytes) like any other. Never blocks.
    int (*datagramWaiting)(void* context, SocketHandle socket, bool* waiting);
    // Receives one datagram into buffer. A datagram longer than capacity is
    // discarded and fails with the platform's message-too-long code.
    int (*receiveFrom)(void* context, SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                       std::size_t* received, NetAddress* sender);
    // The MAC of the frame that carried the datagram the last receiveFrom on
    // socket gave, where the platform reads the link layer (false where not).
    // Cheap: it is asked for every reply within the window. Null where the
    // platform never reads frames.
    bool (*frameMac)(void* context, SocketHandle socket, MacAddress* mac);
    // The MAC the system's neighbour table holds for address on via where the
    // host confirmed it since the clock read since (now()'s clock; where the
    // system tells no time, within its reachable time): not an entry from
    // before, nor one set by hand; false where it holds none so fresh. Asked
    // after a search, not within its window: it may cost a system call or a
    // table. Null where the platform has no neighbour table.
    bool (*neighbourMac)(void* context, const BroadcastInterface& via, NetAddress address, std::uint32_t since,
                         MacAddress* mac);
    // What a code that receiveFrom returned means (never 0).
    ReceiveFailure (*classifyReceiveFailure)(void* context, int code);
    // Datagrams for this socket that were lost before it could read them,
    // because its receive buffer was full; counted up to the last receive.
    // Null where the platform cannot tell.
    std::uint32_t (*droppedDatagrams)(void* context, SocketHandle socket);
    int (*closeSocket)(void* context, SocketHandle socket);
    // The platform's description of an error code into text; false when it has none.
    bool (*errorText)(void* context, int code, char* text, std::size_t capacity);

    // The millisecond clock, any origin, wrapping at 2^32.
    std::uint32_t (*now)(void* context);
    void (*sleep)(void* context, std::uint32_t milliseconds);

    // What the operator knows the interface by: its name (Linux: the kernel's
    // name, Windows: the adapter's friendly name, UTF-8) and the prefix length
    // of its address; false when the platform knows neither.
    bool (*describeInterface)(void* context, const BroadcastInterface& entry, InterfaceDetails* details);

    // The interface's reverse-path filter; null where the platform has none.
    void (*reversePathFilter)(void* context, const BroadcastInterface& entry, ReversePathFilter* filter);
    // Datagrams the reverse-path filter dropped so far (a counter of the whole
    // host or network namespace); false, or null, where it cannot be read.
    bool (*reversePathDrops)(void* context, std::uint64_t* count);

    // The broadcast-capable interfaces in search order. On Failed, *errorCode
    // holds the platform's code for errorText.
    TableStatus (*loadInterfaces)(void* context, InterfaceTable* table, int* errorCode);
    void (*releaseInterfaces)(void* context, InterfaceTable* table);

    // Asks the link of via whether a host holds address (before a controller
    // is given it): by a probe where this process may send one, else, for an
    // address of via's subnet (onLink), by the system's own resolution. Never
    // blocks; readNeighbour, once the link had time to answer, says what did
    // and ends the asking. Null where the platform cannot ask at all.
    void (*askNeighbour)(void* context, const BroadcastInterface& via, NetAddress address, bool onLink,
                         NeighbourAsking* asking);
    // One more probe for an asking that probes (one frame may be lost); what
    // the link carried meanwhile is kept for readNeighbour. Nothing where the
    // asking does not probe. Null where the platform never probes.
    void (*probeNeighbour)(void* context, NeighbourAsking* asking);
    NeighbourAnswer (*readNeighbour)(void* context, NeighbourAsking* asking, MacAddress* mac);
    // How this process would ask (nothing is sent): Probe, else System with
    // *code saying why it may not probe (0 where the platform never does), or
    // None. Null where askNeighbour is.
    NeighbourWay (*neighbourWay)(void* context, int* code);
};

// The four columns of the result list, in the order the list shows them; each
// front end keeps its own header texts for them.
enum class ListColumn : int { Address = 0, Model = 1, Version = 2, Revision = 3 };
constexpr int ListColumnCount = 4;

// One reply as the search hands it over, whole: its texts in ListColumn order
// (the sender's dotted address, the model text, the version and revision as
// the device sent them), and the interface whose window read it, the one a
// command to that controller is sent by.
struct FoundRow {
    char texts[ListColumnCount][TextBufferCapacity];
    BroadcastInterface via;
    MacAddress mac{};  // the sender's, where macSource says it is known
    MacSource macSource = MacSource::None;
};

struct SearchFrontEnd {
    void* context;

    void (*clearRows)(void* context);
    // Adds one row, as position index of the list (the all-at-once search
    // keeps the rows interface by interface, so a row may go before others);
    // the calls come in the order the replies were read.
    void (*addRow)(void* context, int index, const FoundRow& row);
    // Shows one formatted failure text and returns when the operator has seen it.
    void (*showError)(void* context, const char* text);
    // Shows a warning: the search went on, and its rows stand, but something was
    // lost on the way. Null where the front end does not show warnings.
    void (*showWarning)(void* context, const char* text);
    // The window of an interface opens (position counts from 1, of count);
    // null where the front end does not show it.
    void (*beginInterface)(void* context, const BroadcastInterface& entry, std::size_t position, std::size_t count);
    // Another socket holds the tool's port on entry, and the search has
    // waited waitedMs for it so far: true to wait on (the bind is tried again
    // shortly), false to report the failed bind. Null: never wait.
    bool (*portHeld)(void* context, const BroadcastInterface& entry, std::uint32_t waitedMs);
};

}  // namespace scout
