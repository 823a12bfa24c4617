// Replies read at the link layer (see link_listener.h).
#include "net/posix/link_listener.h"

#include "net/posix/link_tap.h"
#include "net/query_datagram.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace scout {
namespace {

constexpr std::size_t IpHeaderMinimum = 20;
constexpr std::size_t UdpHeaderLength = 8;
constexpr std::uint8_t UdpProtocol = 17;
// Room for a whole Ethernet frame's packet: longer ones are no reply and are
// read only to be discarded.
constexpr std::size_t PacketCapacity = 2048;

std::uint16_t Word(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

// The Internet checksum's running sum of bytes taken as 16-bit words.
std::uint32_t SumWords(const std::uint8_t* data, std::size_t length, std::uint32_t sum) {
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += Word(data + i);
    if (length % 2 != 0)
        sum += static_cast<std::uint32_t>(data[length - 1]) << 8;
    return sum;
}

std::uint16_t Fold(std::uint32_t sum) {
    while (sum >> 16 != 0)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(sum);
}

// The subnet's broadcast address of the interface's address, or the address.
NetAddress SubnetBroadcast(unsigned index, NetAddress address) {
    NetAddress broadcast = address;
    char name[IF_NAMESIZE] = {};
    ifaddrs* list = nullptr;
    if (::if_indextoname(index, name) == nullptr || ::getifaddrs(&list) != 0)
        return broadcast;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET || std::strcmp(a->ifa_name, name) != 0 ||
            (a->ifa_flags & IFF_BROADCAST) == 0 || a->ifa_broadaddr == nullptr)
            continue;
        sockaddr_in own;
        sockaddr_in wide;
        std::memcpy(&own, a->ifa_addr, sizeof own);
        std::memcpy(&wide, a->ifa_broadaddr, sizeof wide);
        if (own.sin_addr.s_addr == address)
            broadcast = wide.sin_addr.s_addr;
    }
    ::freeifaddrs(list);
    return broadcast;
}

}  // namespace

void AskReceiveBuffer(int fd, int bytes) {
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

// Asked by opening the process's link-layer tap, which is kept: a packet
// socket opened only to be closed again waits for the kernel (10 ms and more).
bool MayListenAtLinkLayer() {
    int code = 0;
    return LinkTap(&code) >= 0;
}

int OpenLinkListener(unsigned index, NetAddress address, std::uint16_t port) {
    // Protocol 0 until the filter is set: nothing queues unfiltered meanwhile.
    const int fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const std::uint32_t own = ntohl(address);
    const std::uint32_t wide = ntohl(SubnetBroadcast(index, address));
    // The packet as the network layer has it: UDP, no fragment, to port,
    // to the interface's address or a broadcast.
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 9),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, UdpProtocol, 0, 10),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, 0x3fff, 8, 0),
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 2),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, port, 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, 16),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, own, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0xffffffffu, 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, wide, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0x40000),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    const sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    sockaddr_ll where{};
    where.sll_family = AF_PACKET;
    where.sll_protocol = htons(ETH_P_IP);
    where.sll_ifindex = static_cast<int>(index);
    if (::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        ::close(fd);
        return -1;
    }
    // Each packet then tells whether the kernel already checked its UDP
    // checksum, or has not yet filled it in (a packet of this host, or of a
    // virtual link that leaves it to the receiver).
    const int on = 1;
    ::setsockopt(fd, SOL_PACKET, PACKET_AUXDATA, &on, sizeof on);
    AskReceiveBuffer(fd, 4 * 1024 * 1024);
    return fd;
}

bool ReadUdpPacket(const std::uint8_t* packet, std::size_t length, std::uint16_t port, bool checksumKnownGood,
                   UdpPayload* payload) {
    if (length < IpHeaderMinimum || packet[0] >> 4 != 4)
        return false;
    const std::size_t headerLength = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
    const std::size_t totalLength = Word(packet + 2);
    if (headerLength < IpHeaderMinimum || totalLength < headerLength + UdpHeaderLength || totalLength > length)
        return false;
    if ((Word(packet + 6) & 0x3fff) != 0 || packet[9] != UdpProtocol)
        return false;
    if (Fold(SumWords(packet, headerLength, 0)) != 0xffff)
        return false;
    const std::uint8_t* udp = packet + headerLength;
    const std::size_t udpLength = Word(udp + 4);
    if (udpLength < UdpHeaderLength || udpLength > totalLength - headerLength || Word(udp + 2) != port)
        return false;
    if (!checksumKnownGood && Word(udp + 6) != 0) {
        // The pseudo-header: both addresses, the protocol and the UDP length.
        std::uint32_t sum = SumWords(packet + 12, 8, UdpProtocol + static_cast<std::uint32_t>(udpLength));
        if (Fold(SumWords(udp, udpLength, sum)) != 0xffff)
            return false;
    }
    std::memcpy(&payload->sender, packet + 12, sizeof payload->sender);
    payload->data = udp + UdpHeaderLength;
    payload->length = udpLength - UdpHeaderLength;
    return true;
}

int ReceiveAtLinkLayer(int fd, std::uint8_t* buffer, std::size_t capacity, std::size_t* received,
                       NetAddress* sender, MacAddress* mac) {
    std::uint8_t packet[PacketCapacity];
    sockaddr_ll from{};
    iovec part{packet, sizeof packet};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(tpacket_auxdata))];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = ::recvmsg(fd, &message, MSG_DONTWAIT | MSG_TRUNC);
    if (length < 0)
        return errno;
    bool checksumKnownGood = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_PACKET && c->cmsg_type == PACKET_AUXDATA &&
            c->cmsg_len >= CMSG_LEN(sizeof(tpacket_auxdata))) {
            tpacket_auxdata aux;
            std::memcpy(&aux, CMSG_DATA(c), sizeof aux);
            checksumKnownGood = (aux.tp_status & (TP_STATUS_CSUMNOTREADY | TP_STATUS_CSUM_VALID)) != 0;
        }
    }
    // What this host sent, or what was meant for another host's address, the
    // stack would not deliver either.
    if (from.sll_pkttype == PACKET_OUTGOING || from.sll_pkttype == PACKET_OTHERHOST)
        return EAGAIN;
    if (static_cast<std::size_t>(length) > sizeof packet)
        return EMSGSIZE;
    UdpPayload payload;
    if (!ReadUdpPacket(packet, static_cast<std::size_t>(length), ToolPort, checksumKnownGood, &payload))
        return EAGAIN;
    if (payload.length > capacity)
        return EMSGSIZE;
    if (payload.length != 0)
        std::memcpy(buffer, payload.data, payload.length);
    *received = payload.length;
    *sender = payload.sender;
    *mac = MacAddress{};
    if (from.sll_halen == mac->size())
        std::memcpy(mac->data(), from.sll_addr, mac->size());
    return 0;
}

std::uint32_t LinkListenerDrops(int fd) {
    tpacket_stats stats{};
    socklen_t length = sizeof stats;
    if (::getsockopt(fd, SOL_PACKET, PACKET_STATISTICS, &stats, &length) != 0)
        return 0;
    return stats.tp_drops;
}

bool FindNetstatCounter(const char* text, const char* group, const char* name, std::uint64_t* value) {
    const std::size_t groupLength = std::strlen(group);
    const std::size_t nameLength = std::strlen(name);
    for (const char* line = text; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        const char* next = end != nullptr ? end + 1 : line + std::strlen(line);
        if (end == nullptr)
            end = next;
        if (std::strncmp(line, group, groupLength) != 0 || *next == '\0' ||
            std::strncmp(next, group, groupLength) != 0) {
            line = next;
            continue;
        }
        // This line names the counters and the next holds their values, word for word.
        const char* names = line + groupLength;
        const char* values = next + groupLength;
        while (names < end) {
            while (names < end && *names == ' ')
                ++names;
            while (*values == ' ')
                ++values;
            const char* nameEnd = names;
            while (nameEnd < end && *nameEnd != ' ')
                ++nameEnd;
            if (nameEnd == names || *values == '\0' || *values == '\n')
                return false;
            if (static_cast<std::size_t>(nameEnd - names) == nameLength && std::strncmp(names, name, nameLength) == 0) {
                char* valueEnd = nullptr;
                *value = std::strtoull(values, &valueEnd, 10);
                return valueEnd != values;
            }
            names = nameEnd;
            while (*values != ' ' && *values != '\n' && *values != '\0')
                ++values;
        }
        return false;
    }
    return false;
}

bool ReadReversePathDrops(std::uint64_t* count) {
    const int fd = ::open("/proc/net/netstat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[16384];
    std::size_t used = 0;
    for (;;) {
        const ssize_t got = ::read(fd, text + used, sizeof text - 1 - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        used += static_cast<std::size_t>(got);
        if (used == sizeof text - 1)
            break;
    }
    ::close(fd);
    text[used] = '\0';
    return FindNetstatCounter(text, "TcpExt:", "IPReversePathFilter", count);
}

}  // namespace scout
