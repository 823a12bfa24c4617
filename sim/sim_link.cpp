// scout-sim at the link layer (see sim_link.h).
#include "sim/sim_link.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace scout::sim {
namespace {

constexpr std::size_t EthernetHeader = 14;

void PutWord(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

std::uint32_t Sum(const std::uint8_t* data, std::size_t length, std::uint32_t sum) {
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (length % 2 != 0)
        sum += static_cast<std::uint32_t>(data[length - 1]) << 8;
    return sum;
}

std::uint16_t Checksum(std::uint32_t sum) {
    while (sum >> 16 != 0)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

void PutEthernet(const Mac& from, const Mac& to, std::uint16_t type, std::uint8_t* frame) {
    std::memcpy(frame, to.data(), 6);
    std::memcpy(frame + 6, from.data(), 6);
    PutWord(frame + 12, type);
}

bool IsBridgePort(SimLink& link, int index) {
    if (index <= 0)
        return false;
    if (link.isPort.size() <= static_cast<std::size_t>(index))
        link.isPort.resize(static_cast<std::size_t>(index) + 1, -1);
    signed char& known = link.isPort[static_cast<std::size_t>(index)];
    if (known < 0) {
        char name[IF_NAMESIZE] = {};
        char path[64];
        struct stat info{};
        known = 0;
        if (if_indextoname(static_cast<unsigned>(index), name) != nullptr) {
            std::snprintf(path, sizeof path, "/sys/class/net/%s/brport", name);
            known = ::stat(path, &info) == 0 ? 1 : 0;
        }
    }
    return known == 1;
}

// The interface's flags (IFF_UP, ...).
bool FlagsOf(const char* name, unsigned* flags) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name);
    const bool read = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (fd >= 0)
        ::close(fd);
    *flags = read ? static_cast<unsigned short>(request.ifr_flags) : 0;
    return read;
}

void Learn(SimLink& link, int index, NetAddress address, const Mac& mac) {
    if (address == 0)
        return;
    for (SimLink::Known& k : link.known) {
        if (k.index == index && k.address == address) {
            k.mac = mac;
            return;
        }
    }
    link.known.push_back({index, address, mac});
}

}  // namespace

std::size_t BuildUdpFrame(const Mac& from, const Mac& to, NetAddress source, std::uint16_t sourcePort,
                          NetAddress destination, std::uint16_t destinationPort, const std::uint8_t* data,
                          std::size_t length, std::uint8_t* frame, std::size_t capacity) {
    const std::size_t total = EthernetHeader + 20 + 8 + length;
    if (total > capacity || length > 1472)
        return 0;
    PutEthernet(from, to, ETH_P_IP, frame);
    std::uint8_t* ip = frame + EthernetHeader;
    std::memset(ip, 0, 20);
    ip[0] = 0x45;
    PutWord(ip + 2, static_cast<std::uint16_t>(20 + 8 + length));
    PutWord(ip + 6, 0x4000);  // don't fragment
    ip[8] = 64;
    ip[9] = 17;
    std::memcpy(ip + 12, &source, 4);
    std::memcpy(ip + 16, &destination, 4);
    PutWord(ip + 10, Checksum(Sum(ip, 20, 0)));
    std::uint8_t* udp = ip + 20;
    PutWord(udp, sourcePort);
    PutWord(udp + 2, destinationPort);
    PutWord(udp + 4, static_cast<std::uint16_t>(8 + length));
    PutWord(udp + 6, 0);
    if (length != 0)
        std::memcpy(udp + 8, data, length);
    std::uint16_t sum = Checksum(Sum(udp, 8 + length, Sum(ip + 12, 8, 17u + static_cast<std::uint32_t>(8 + length))));
    PutWord(udp + 6, sum == 0 ? 0xffff : sum);
    return total;
}

void BuildArpFrame(int op, const Mac& from, NetAddress sender, const Mac& to, NetAddress target,
                   std::uint8_t* frame) {
    static const Mac everyone = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    PutEthernet(from, op == 1 ? everyone : to, ETH_P_ARP, frame);
    std::uint8_t* arp = frame + EthernetHeader;
    const std::uint8_t head[8] = {0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, static_cast<std::uint8_t>(op)};
    std::memcpy(arp, head, sizeof head);
    std::memcpy(arp + 8, from.data(), 6);
    std::memcpy(arp + 14, &sender, 4);
    if (op == 1)
        std::memset(arp + 18, 0, 6);
    else
        std::memcpy(arp + 18, to.data(), 6);
    std::memcpy(arp + 24, &target, 4);
}

bool ReadFrame(const std::uint8_t* frame, std::size_t length, FrameSeen* seen) {
    *seen = FrameSeen{};
    if (length < EthernetHeader)
        return false;
    const std::uint16_t type = static_cast<std::uint16_t>(frame[12] << 8 | frame[13]);
    const std::uint8_t* body = frame + EthernetHeader;
    const std::size_t bodyLength = length - EthernetHeader;
    if (type == ETH_P_ARP) {
        if (bodyLength < 28 || body[0] != 0 || body[1] != 1 || body[2] != 8 || body[3] != 0 || body[4] != 6 ||
            body[5] != 4 || body[6] != 0 || (body[7] != 1 && body[7] != 2))
            return false;
        seen->arpRequest = body[7] == 1;
        std::memcpy(seen->senderMac.data(), body + 8, 6);
        std::memcpy(&seen->sender, body + 14, 4);
        std::memcpy(&seen->target, body + 24, 4);
        return true;
    }
    if (type == ETH_P_IP && bodyLength >= 20 && body[0] >> 4 == 4) {
        std::memcpy(seen->senderMac.data(), frame + 6, 6);
        std::memcpy(&seen->sender, body + 12, 4);
        return true;
    }
    return false;
}

bool OpenSimLink(SimLink* link) {
    link->fd = ::socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL));
    return link->fd >= 0;
}

void ReadFrames(SimLink& link, const LinkAnswerer& answerer) {
    if (link.fd < 0)
        return;
    std::uint8_t frame[2048];
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(link.fd, frame, sizeof frame, 0, reinterpret_cast<sockaddr*>(&from),
                                       &fromLength);
        if (got < 0)
            return;
        // A frame is seen on the bridge's port and again on the bridge: taken once, there.
        if (from.sll_pkttype == PACKET_OUTGOING || IsBridgePort(link, from.sll_ifindex))
            continue;
        FrameSeen seen;
        if (!ReadFrame(frame, static_cast<std::size_t>(got), &seen))
            continue;
        Learn(link, from.sll_ifindex, seen.sender, seen.senderMac);
        Mac holder{};
        std::uint32_t answerMs = 0;
        if (seen.arpRequest && answerer.holder(answerer.context, from.sll_ifindex, seen.target, &holder, &answerMs)) {
            std::uint8_t reply[ArpFrameSize];
            BuildArpFrame(2, holder, seen.target, seen.senderMac, seen.sender, reply);
            if (answerMs == 0)
                SendFrame(link, from.sll_ifindex, reply, sizeof reply);
            else
                answerer.later(answerer.context, from.sll_ifindex, reply, sizeof reply, answerMs);
        }
    }
}

std::vector<int> LineInterfaces(SimLink& link) {
    std::vector<int> indexes;
    struct if_nameindex* names = ::if_nameindex();
    for (const struct if_nameindex* n = names; n != nullptr && n->if_index != 0; ++n) {
        const int index = static_cast<int>(n->if_index);
        unsigned flags = 0;
        if (std::string(n->if_name) == "lo" || IsBridgePort(link, index) || !FlagsOf(n->if_name, &flags) ||
            (flags & IFF_UP) == 0)
            continue;
        indexes.push_back(index);
    }
    if (names != nullptr)
        ::if_freenameindex(names);
    return indexes;
}

bool KnownMac(const SimLink& link, int index, NetAddress address, Mac* mac) {
    for (const SimLink::Known& k : link.known) {
        if (k.index == index && k.address == address) {
            *mac = k.mac;
            return true;
        }
    }
    return false;
}

bool SendFrame(SimLink& link, int index, const std::uint8_t* frame, std::size_t length) {
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_ifindex = index;
    to.sll_halen = 6;
    std::memcpy(to.sll_addr, frame, 6);
    return SendWaitingForRoom(
        [&] { return ::sendto(link.fd, frame, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to); });
}

}  // namespace scout::sim
