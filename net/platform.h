// What the search and the commands need of the world: the platform's sockets,
// clock and interface list (NetPlatform), and the front end's result list and
// error report (SearchFrontEnd). Each is a table of plain functions with a
// context pointer; the real tables live in net/win32, net/posix and the front
// ends, and tests build their own with a fake clock and scripted sockets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "query_datagram.h"

namespace scout {

using SocketHandle = std::intptr_t;
constexpr SocketHandle InvalidSocket = -1;

// One interface the search broadcasts on: its own address and the platform's
// index for it (the forwarding table's interface index on Windows).
struct BroadcastInterface {
    NetAddress address;
    std::uint32_t index;
};

enum class TableStatus {
    Ok,
    NoSpace,  // no buffer large enough could be had
    Failed,   // any other failure; the error code says which
};

// The interfaces of one search. The platform owns the storage and releases it
// in releaseInterfaces; the search only reads entries[0..count).
struct InterfaceTable {
    const BroadcastInterface* entries = nullptr;
    std::size_t count = 0;
    void* storage = nullptr;
};

struct NetPlatform {
    void* context;

    // A UDP socket (AF_INET, SOCK_DGRAM, IPPROTO_UDP), or InvalidSocket.
    SocketHandle (*openSocket)(void* context);
    // SO_BROADCAST on; false on failure.
    bool (*setBroadcast)(void* context, SocketHandle socket);
    // Asks for a receive buffer of at least this many bytes; best effort, never fails the caller.
    void (*setReceiveBuffer)(void* context, SocketHandle socket, int bytes);
    // Binds to the interface's address and port. Bound to an interface, the
    // socket sends limited broadcasts out of that interface and receives what
    // arrives for it there: unicast to its address and broadcasts on it, nothing
    // from other interfaces. Where the platform needs it (POSIX) the interface is
    // the one its index names, so two interfaces that hold the same address stay
    // apart. An address of AnyAddress binds to all local addresses.
    bool (*bindSocket)(void* context, SocketHandle socket, const BroadcastInterface& where, std::uint16_t port);
    bool (*sendTo)(void* context, SocketHandle socket, const std::uint8_t* data, std::size_t length,
                   NetAddress address, std::uint16_t port);
    // Whether a datagram is waiting, whatever its length: an empty datagram is
    // waiting too, and is then read (as zero bytes) like any other. Never blocks.
    bool (*datagramWaiting)(void* context, SocketHandle socket, bool* waiting);
    // Receives one datagram into buffer. A datagram longer than capacity is
    // discarded and reported as a failure whose last error is the platform's
    // message-too-long code.
    bool (*receiveFrom)(void* context, SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                        std::size_t* received, NetAddress* sender);
    bool (*closeSocket)(void* context, SocketHandle socket);
    // The socket layer's error code of the last failed call above.
    int (*lastError)(void* context);
    // The platform's description of an error code into text; false when it has none.
    bool (*errorText)(void* context, int code, char* text, std::size_t capacity);

    // The millisecond clock, any origin, wrapping at 2^32.
    std::uint32_t (*now)(void* context);
    void (*sleep)(void* context, std::uint32_t milliseconds);

    // The broadcast-capable interfaces in search order. On Failed, *errorCode
    // holds the platform's code for errorText.
    TableStatus (*loadInterfaces)(void* context, InterfaceTable* table, int* errorCode);
    void (*releaseInterfaces)(void* context, InterfaceTable* table);
};

struct SearchFrontEnd {
    void* context;

    void (*clearRows)(void* context);
    // Inserts row index with its column 0 text; interfaceAddress is the
    // interface whose window read the reply (a front end may ignore it).
    void (*insertRow)(void* context, int index, const char* address, NetAddress interfaceAddress);
    void (*setRowText)(void* context, int index, int column, const char* text);
    // Shows one formatted failure text and returns when the operator has seen it.
    void (*showError)(void* context, const char* text);
};

}  // namespace scout
