// Replies read at the link layer, past the kernel's reverse-path filter: a
// packet socket on one interface with a kernel filter for UDP to the tool's
// port and to the interface's address or a broadcast, each packet checked as
// the stack checks it before it is handed over as a datagram. Needs CAP_NET_RAW.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/address.h"
#include "net/platform.h"

namespace scout {

// Asks for a receive buffer of bytes: past net.core.rmem_max where the process
// may (CAP_NET_ADMIN), else as far as the cap allows.
void AskReceiveBuffer(int fd, int bytes);

// Whether this process may open a packet socket (its link-layer tap opens).
bool MayListenAtLinkLayer();

// A packet socket on the interface with that index, filtered for UDP to port
// at address, its subnet's broadcast or the limited broadcast; -1 when it
// cannot be had.
int OpenLinkListener(unsigned index, NetAddress address, std::uint16_t port);

// One datagram, as receiveFrom gives it, and the MAC of its frame: EAGAIN
// when the packet read was none the stack would have delivered, EMSGSIZE when
// it did not fit.
int ReceiveAtLinkLayer(int fd, std::uint8_t* buffer, std::size_t capacity, std::size_t* received,
                       NetAddress* sender, MacAddress* mac);

// What the listener's full buffer dropped since it opened (read once, at its end).
std::uint32_t LinkListenerDrops(int fd);

// The kernel's IPReversePathFilter counter of this network namespace.
bool ReadReversePathDrops(std::uint64_t* count);

// An IPv4 packet as the stack would take it: version 4, a whole datagram (no
// fragment), the header's and (where set, unless the kernel already vouched
// for it) the UDP checksum right, lengths consistent, UDP to port. On true,
// the payload and the sender.
struct UdpPayload {
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    NetAddress sender = 0;
};
bool ReadUdpPacket(const std::uint8_t* packet, std::size_t length, std::uint16_t port, bool checksumKnownGood,
                   UdpPayload* payload);

// The value of one counter in /proc/net/netstat's text ("TcpExt:" names line
// then values line); false when it is not there.
bool FindNetstatCounter(const char* text, const char* group, const char* name, std::uint64_t* value);

}  // namespace scout
