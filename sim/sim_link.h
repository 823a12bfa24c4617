// scout-sim at the link layer, where it may (CAP_NET_RAW): frames of its own,
// so that each virtual controller, and each host of the line, has a MAC of its
// own on the wire. Replies go out from the controller's MAC; ARP for a
// controller's or a host's address is answered with its MAC; and before a
// controller's first reply to a workstation it asks for the workstation's
// address by ARP, as a device does, so that the workstation learns its MAC.
#pragma once

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "net/address.h"

namespace scout::sim {

// One send, tried again while it is interrupted or the device queue is full
// (a real network would drop; the lab waits); false on any other failure,
// errno saying why.
template <typename Send>
bool SendWaitingForRoom(Send send) {
    for (;;) {
        if (send() >= 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != ENOBUFS && errno != EAGAIN)
            return false;
        usleep(200);
    }
}

using Mac = std::array<std::uint8_t, 6>;

// An Ethernet frame of an IPv4 UDP datagram from source to destination, both
// checksums filled in; returns its length (at most 14 + 20 + 8 + length).
std::size_t BuildUdpFrame(const Mac& from, const Mac& to, NetAddress source, std::uint16_t sourcePort,
                          NetAddress destination, std::uint16_t destinationPort, const std::uint8_t* data,
                          std::size_t length, std::uint8_t* frame, std::size_t capacity);

// An Ethernet frame of an ARP request (op 1, to every MAC) or reply (op 2).
constexpr std::size_t ArpFrameSize = 14 + 28;
void BuildArpFrame(int op, const Mac& from, NetAddress sender, const Mac& to, NetAddress target,
                   std::uint8_t* frame);

// What a frame read says: an ARP request for target from sender (senderMac),
// or the source of an IPv4 datagram (an ARP reply's sender too).
struct FrameSeen {
    bool arpRequest = false;
    NetAddress sender = 0;
    Mac senderMac{};
    NetAddress target = 0;  // of an ARP request
};
bool ReadFrame(const std::uint8_t* frame, std::size_t length, FrameSeen* seen);

// Who holds what, as the simulator answers ARP: asked with an interface index
// and an address, the MAC that answers, if any, and how long after the
// request it answers; an answer not due at once is handed to later.
struct LinkAnswerer {
    void* context;
    bool (*holder)(void* context, int interfaceIndex, NetAddress address, Mac* mac, std::uint32_t* answerMs);
    void (*later)(void* context, int interfaceIndex, const std::uint8_t* frame, std::size_t length,
                  std::uint32_t answerMs);
};

struct SimLink {
    int fd = -1;
    struct Known {
        int index;
        NetAddress address;
        Mac mac;
    };
    std::vector<Known> known;           // the senders seen, by interface: whom a reply goes to
    std::vector<signed char> isPort;    // by interface index: a bridge's port (-1 not yet asked)
};

// The raw packet socket on every interface; false where it cannot be had.
bool OpenSimLink(SimLink* link);

// Reads every frame waiting: learns its sender's MAC, answers ARP.
void ReadFrames(SimLink& link, const LinkAnswerer& answerer);

// The interfaces a frame of the simulator's own goes out of to reach the
// line: every one that is up, but the loopback and the ports of a bridge (the
// bridge forwards to them).
std::vector<int> LineInterfaces(SimLink& link);

// The MAC of a sender seen on the interface; false where none was.
bool KnownMac(const SimLink& link, int index, NetAddress address, Mac* mac);

// Sends a frame out of the interface; false where it could not.
bool SendFrame(SimLink& link, int index, const std::uint8_t* frame, std::size_t length);

}  // namespace scout::sim
