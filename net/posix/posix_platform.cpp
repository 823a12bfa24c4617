// NetPlatform over BSD sockets and getifaddrs. A socket bound to an interface's
// address is bound to all addresses and tied to the interface's device, which is
// what a Windows socket bound to that address sends and receives: the limited
// broadcast leaves through that interface, and both unicast replies to the
// address and broadcasts arriving on it are read, nothing from elsewhere.
//
// Where the interface's reverse-path filter is on, the kernel drops a reply
// from outside the interface's subnet before any socket sees it. A process
// that may (CAP_NET_RAW) then reads the interface's replies at the link layer
// instead, as the stack would have delivered them (net/posix/link_listener);
// one that may not is told what the filter dropped, from the kernel's counter.
#include "net/system_platform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <fcntl.h>
#include <linux/sock_diag.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/posix/link_listener.h"
#include "net/posix/link_tap.h"
#include "net/posix/neighbour.h"

namespace scout {
namespace {

// 0, or errno as the failing call left it.
int Result(int callResult) {
    return callResult < 0 ? errno : 0;
}

int StartSocketLayer(void*) {
    return 0;  // BSD sockets need no start
}

// What the platform keeps beside a UDP socket, by its descriptor: the link
// layer listener that reads its interface's replies in its place, and the
// kernel's count of what its full buffer dropped, as the last receive told it.
// No member has an initializer, so that the table costs the program no bytes
// of its own (it is zero until a socket is opened, and Fresh then).
struct SocketExtras {
    int link;  // -1: none
    std::uint32_t dropped;
    std::uint32_t index;  // the interface it is bound to
    // The last datagram received: its sender, and the MAC of its frame where
    // the link listener read it; else its bytes, to find its frame in the tap.
    NetAddress sender;
    MacSource macSource;
    MacAddress mac;
    std::uint8_t bytes[DatagramLength];
    std::size_t length;
};
constexpr int TrackedDescriptors = 1024;
SocketExtras g_extras[TrackedDescriptors];

SocketExtras Fresh() {
    SocketExtras extras{};
    extras.link = -1;
    extras.macSource = MacSource::None;
    return extras;
}

SocketExtras* ExtrasOf(SocketHandle socket) {
    return socket >= 0 && socket < TrackedDescriptors ? &g_extras[socket] : nullptr;
}

int OpenSocket(void*, SocketHandle* socket) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (fd < 0)
        return errno;
    // Each receive then says how many datagrams the full buffer dropped so far.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
    if (SocketExtras* extras = ExtrasOf(fd))
        *extras = Fresh();
    *socket = fd;
    return 0;
}

int SetBroadcast(void*, SocketHandle socket) {
    const int on = 1;
    return Result(::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_BROADCAST, &on, sizeof on));
}

void SetReceiveBuffer(void*, SocketHandle socket, int bytes) {
    AskReceiveBuffer(static_cast<int>(socket), bytes);
}

// The interface's reverse-path filter as the kernel applies it: the stricter
// of its own and the host-wide setting.
int ReadFilterSetting(const char* interfaceName) {
    char path[96];
    std::snprintf(path, sizeof path, "/proc/sys/net/ipv4/conf/%s/rp_filter", interfaceName);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[8] = {};
    const ssize_t length = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    return length > 0 ? std::atoi(text) : 0;
}

void ReversePathFilterOf(void*, const BroadcastInterface& entry, ReversePathFilter* filter) {
    *filter = ReversePathFilter{};
    char name[IF_NAMESIZE] = {};
    if (::if_indextoname(entry.index, name) == nullptr)
        return;
    const int own = ReadFilterSetting(name);
    const int all = ReadFilterSetting("all");
    filter->mode = own > all ? own : all;
    filter->hostWide = all != 0;
    filter->readPast = filter->mode != 0 && MayListenAtLinkLayer();
}

// Bound to an interface, the socket is tied to the device its index names (not
// to the first device found with its address: two may share one).
bool AddressInUse(void*, int code) {
    return code == EADDRINUSE;
}

int BindSocket(void*, SocketHandle socket, const BroadcastInterface& where, std::uint16_t port) {
    const int fd = static_cast<int>(socket);
    if (where.address != AnyAddress) {
        char name[IF_NAMESIZE] = {};
        if (::if_indextoname(where.index, name) == nullptr)
            return errno;
        // A bind tried again keeps the device it has (a second setting may
        // need privileges the first does not).
        char bound[IF_NAMESIZE] = {};
        socklen_t boundLength = sizeof bound;
        const bool already = ::getsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, bound, &boundLength) == 0 &&
                             std::strcmp(bound, name) == 0;
        if (!already &&
            ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, name, static_cast<socklen_t>(std::strlen(name) + 1)) != 0)
            return errno;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = INADDR_ANY;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return errno;
    // Replies the reverse-path filter would drop are read at the link layer,
    // where this process may; without that, the filter's counter tells.
    SocketExtras* extras = ExtrasOf(socket);
    ReversePathFilter filter;
    if (extras != nullptr && where.address != AnyAddress && port != 0) {
        extras->index = where.index;
        ReversePathFilterOf(nullptr, where, &filter);
        if (filter.readPast)
            extras->link = OpenLinkListener(where.index, where.address, port);
        // Else the process's tap, where it may have one, gives each reply's MAC.
        int code = 0;
        if (extras->link < 0)
            LinkTap(&code);
    }
    return 0;
}

int SendTo(void*, SocketHandle socket, const std::uint8_t* data, std::size_t length, NetAddress address,
           std::uint16_t port) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = address;
    const ssize_t sent = ::sendto(static_cast<int>(socket), data, length, 0,
                                  reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    return sent < 0 ? errno : 0;
}

// The device's flags: IFF_RUNNING is its carrier. An interface the table
// does not know by its index (a caller that has only its address) is looked
// up by that address.
int CheckLink(void*, const BroadcastInterface& via) {
    char name[IF_NAMESIZE] = {};
    bool named = via.index != 0 && ::if_indextoname(via.index, name) != nullptr;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return 0;
    int code = 0;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET)
            continue;
        sockaddr_in in;
        std::memcpy(&in, a->ifa_addr, sizeof in);
        const bool same = named ? std::strcmp(a->ifa_name, name) == 0 : in.sin_addr.s_addr == via.address;
        if (same) {
            code = (a->ifa_flags & IFF_RUNNING) == 0 ? ENETDOWN : 0;
            break;
        }
    }
    ::freeifaddrs(list);
    return code;
}

// FIONREAD would give the size of the next datagram, 0 for an empty one: poll
// tells whether one is queued at all.
int DatagramWaiting(void*, SocketHandle socket, bool* waiting) {
    const SocketExtras* extras = ExtrasOf(socket);
    const int fd = extras != nullptr && extras->link >= 0 ? extras->link : static_cast<int>(socket);
    pollfd watch{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&watch, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return errno;
    *waiting = ready > 0 && (watch.revents & (POLLIN | POLLERR)) != 0;
    return 0;
}

// The kernel's count of what the socket's full buffer dropped, where the
// receive carried it.
void NoteDropped(SocketExtras* extras, msghdr& message) {
    if (extras == nullptr)
        return;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL && c->cmsg_len >= CMSG_LEN(sizeof(std::uint32_t))) {
            std::uint32_t dropped = 0;
            std::memcpy(&dropped, CMSG_DATA(c), sizeof dropped);
            extras->dropped = dropped;
        }
    }
}

int ReceiveFrom(void*, SocketHandle socket, std::uint8_t* buffer, std::size_t capacity, std::size_t* received,
                NetAddress* sender) {
    SocketExtras* extras = ExtrasOf(socket);
    if (extras != nullptr && extras->link >= 0) {
        const int code = ReceiveAtLinkLayer(extras->link, buffer, capacity, received, sender, &extras->mac);
        extras->sender = *sender;
        extras->macSource = code == 0 ? MacSource::Frame : MacSource::None;
        extras->length = 0;
        return code;
    }
    sockaddr_in remote{};
    iovec part{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
    msghdr message{};
    message.msg_name = &remote;
    message.msg_namelen = sizeof remote;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = ::recvmsg(static_cast<int>(socket), &message, MSG_DONTWAIT);
    if (length < 0)
        return errno;
    NoteDropped(extras, message);
    // What Winsock reports as WSAEMSGSIZE: the datagram did not fit and is gone.
    if ((message.msg_flags & MSG_TRUNC) != 0)
        return EMSGSIZE;
    *received = static_cast<std::size_t>(length);
    *sender = remote.sin_addr.s_addr;
    if (extras != nullptr) {
        extras->sender = *sender;
        extras->macSource = MacSource::None;
        extras->length = *received < sizeof extras->bytes ? *received : sizeof extras->bytes;
        std::memcpy(extras->bytes, buffer, extras->length);
    }
    return 0;
}

// The frame's MAC where a listener or the tap read it.
bool FrameMac(void*, SocketHandle socket, MacAddress* mac) {
    SocketExtras* extras = ExtrasOf(socket);
    if (extras == nullptr)
        return false;
    if (extras->macSource == MacSource::None && extras->link < 0 &&
        ReplyFrameMac(extras->index, extras->sender, extras->bytes, extras->length, &extras->mac))
        extras->macSource = MacSource::Frame;
    *mac = extras->mac;
    return extras->macSource == MacSource::Frame;
}

bool NeighbourMac(void*, const BroadcastInterface& via, NetAddress address, std::uint32_t since, MacAddress* mac) {
    return KnownNeighbour(via.index, address, since, mac);
}

// Nothing waiting after all (the link layer's frame was none the stack would
// have delivered) is no datagram; a datagram too long was discarded.
ReceiveFailure ClassifyReceiveFailure(void*, int code) {
    if (code == EMSGSIZE)
        return ReceiveFailure::TooLong;
    return code == EAGAIN || code == EWOULDBLOCK ? ReceiveFailure::NoDatagram : ReceiveFailure::Failed;
}

// What a receive's SO_RXQ_OVFL count says is only what was dropped before
// that datagram was queued: a burst that fills the buffer loses its tail after
// the last datagram that fitted. The socket's own count (SO_MEMINFO) says it
// all; the last receive's count stands where the kernel has no such option.
std::uint32_t DroppedDatagrams(void*, SocketHandle socket) {
    SocketExtras* extras = ExtrasOf(socket);
    if (extras == nullptr)
        return 0;
    if (extras->link >= 0)
        return LinkListenerDrops(extras->link);
    std::uint32_t memory[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof memory;
    if (::getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_MEMINFO, memory, &length) == 0 &&
        length > SK_MEMINFO_DROPS * sizeof memory[0] && memory[SK_MEMINFO_DROPS] > extras->dropped)
        return memory[SK_MEMINFO_DROPS];
    return extras->dropped;
}

bool ReversePathDrops(void*, std::uint64_t* count) {
    return ReadReversePathDrops(count);
}

int CloseSocket(void*, SocketHandle socket) {
    if (SocketExtras* extras = ExtrasOf(socket)) {
        if (extras->link >= 0)
            ::close(extras->link);
        *extras = Fresh();
    }
    return Result(::close(static_cast<int>(socket)));
}

bool ErrorText(void*, int code, char* text, std::size_t capacity) {
    const char* description = std::strerror(code);
    if (description == nullptr)
        return false;
    std::strncpy(text, description, capacity - 1);
    text[capacity - 1] = '\0';
    return true;
}

std::uint32_t Now(void*) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void Sleep(void*, std::uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// The number of one bits of an interface's netmask as getifaddrs gives it.
int NetmaskPrefix(const sockaddr* mask) {
    if (mask == nullptr || mask->sa_family != AF_INET)
        return -1;
    sockaddr_in in;
    std::memcpy(&in, mask, sizeof in);
    return __builtin_popcount(in.sin_addr.s_addr);
}

// The kernel's name of the interface, and the prefix of its address there.
bool DescribeInterface(void*, const BroadcastInterface& entry, InterfaceDetails* details) {
    *details = InterfaceDetails{};
    char kernelName[IF_NAMESIZE] = {};
    if (::if_indextoname(entry.index, kernelName) == nullptr)
        return false;
    std::snprintf(details->name, sizeof details->name, "%s", kernelName);
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (const ifaddrs* a = list; a != nullptr && details->prefixLength < 0; a = a->ifa_next) {
            if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET || std::strcmp(a->ifa_name, kernelName) != 0)
                continue;
            sockaddr_in in;
            std::memcpy(&in, a->ifa_addr, sizeof in);
            if (in.sin_addr.s_addr == entry.address)
                details->prefixLength = NetmaskPrefix(a->ifa_netmask);
        }
        ::freeifaddrs(list);
    }
    return true;
}

// The two lists of a table, in one block: the interfaces searched (in
// interface-index order), then those skipped.
struct TableBuilder {
    BroadcastInterface* entries;
    SkippedInterface* skipped;
    std::size_t count = 0;
    std::size_t skippedCount = 0;
};

bool Listed(const TableBuilder& table, unsigned index) {
    for (std::size_t i = 0; i < table.count; ++i)
        if (table.entries[i].index == index)
            return true;
    for (std::size_t i = 0; i < table.skippedCount; ++i)
        if (table.skipped[i].entry.index == index)
            return true;
    return false;
}

void AddSearched(TableBuilder& table, BroadcastInterface entry) {
    std::size_t at = table.count;
    while (at > 0 && table.entries[at - 1].index > entry.index) {
        table.entries[at] = table.entries[at - 1];
        --at;
    }
    table.entries[at] = entry;
    ++table.count;
}

// Why an interface with an IPv4 address is not searched; false: it is.
// Loopback, or a link without broadcast (a tunnel); down: set so; no
// carrier: up without a link (Windows drops such an adapter's routes, and a
// broadcast there reaches nobody).
bool SkipReasonOf(unsigned flags, SkipReason* reason) {
    if ((flags & IFF_LOOPBACK) != 0) {
        *reason = SkipReason::Loopback;
        return true;
    }
    if ((flags & IFF_BROADCAST) == 0) {
        *reason = SkipReason::PointToPoint;
        return true;
    }
    if ((flags & IFF_UP) == 0) {
        *reason = SkipReason::Down;
        return true;
    }
    if ((flags & IFF_RUNNING) == 0) {
        *reason = SkipReason::NoCarrier;
        return true;
    }
    return false;
}

// An interface that is up with no IPv4 address at all, and is not a port of
// a bridge (whose address is the bridge's).
bool UpWithoutAddress(const ifaddrs* entry) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET)
        return false;
    const unsigned flags = entry->ifa_flags;
    if ((flags & IFF_UP) == 0 || (flags & IFF_LOOPBACK) != 0 || (flags & IFF_BROADCAST) == 0)
        return false;
    char master[128];
    std::snprintf(master, sizeof master, "/sys/class/net/%s/master", entry->ifa_name);
    return ::access(master, F_OK) != 0;
}

// Every IPv4 interface, by its first (primary) address: searched when it is
// broadcast-capable, not loopback, and up with a link, else skipped with the
// reason; and, skipped, each interface that is up without an IPv4 address.
TableStatus LoadInterfaces(void*, InterfaceTable* table, int* errorCode) {
    *table = InterfaceTable{};
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        *errorCode = errno;
        return TableStatus::Failed;
    }
    std::size_t capacity = 0;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next)
        ++capacity;
    const std::size_t slots = capacity == 0 ? 1 : capacity;
    void* storage = std::malloc(slots * (sizeof(BroadcastInterface) + sizeof(SkippedInterface)));
    if (storage == nullptr) {
        ::freeifaddrs(list);
        return TableStatus::NoSpace;
    }
    TableBuilder built{static_cast<BroadcastInterface*>(storage),
                       reinterpret_cast<SkippedInterface*>(static_cast<BroadcastInterface*>(storage) + slots)};
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const unsigned flags = entry->ifa_flags;
        const unsigned index = ::if_nametoindex(entry->ifa_name);
        if (index == 0 || Listed(built, index))
            continue;  // a secondary address of an interface already listed
        sockaddr_in in;
        std::memcpy(&in, entry->ifa_addr, sizeof in);
        const BroadcastInterface found{in.sin_addr.s_addr, index};
        SkipReason reason;
        if (SkipReasonOf(flags, &reason))
            built.skipped[built.skippedCount++] = SkippedInterface{found, reason};
        else
            AddSearched(built, found);
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const unsigned index = ::if_nametoindex(entry->ifa_name);
        if (UpWithoutAddress(entry) && index != 0 && !Listed(built, index))
            built.skipped[built.skippedCount++] =
                SkippedInterface{BroadcastInterface{AnyAddress, index}, SkipReason::NoAddress};
    }
    ::freeifaddrs(list);
    table->entries = built.entries;
    table->count = built.count;
    table->skipped = built.skipped;
    table->skippedCount = built.skippedCount;
    table->storage = storage;
    return TableStatus::Ok;
}

void ReleaseInterfaces(void*, InterfaceTable* table) {
    std::free(table->storage);
    *table = InterfaceTable{};
}

const NetPlatform g_platform = {
    .context = nullptr,
    .startSocketLayer = StartSocketLayer,
    .openSocket = OpenSocket,
    .setBroadcast = SetBroadcast,
    .setReceiveBuffer = SetReceiveBuffer,
    .bindSocket = BindSocket,
    .addressInUse = AddressInUse,
    .sendTo = SendTo,
    .checkLink = CheckLink,
    .datagramWaiting = DatagramWaiting,
    .receiveFrom = ReceiveFrom,
    .frameMac = FrameMac,
    .neighbourMac = NeighbourMac,
    .classifyReceiveFailure = ClassifyReceiveFailure,
    .droppedDatagrams = DroppedDatagrams,
    .closeSocket = CloseSocket,
    .errorText = ErrorText,
    .now = Now,
    .sleep = Sleep,
    .describeInterface = DescribeInterface,
    .reversePathFilter = ReversePathFilterOf,
    .reversePathDrops = ReversePathDrops,
    .loadInterfaces = LoadInterfaces,
    .releaseInterfaces = ReleaseInterfaces,
    .askNeighbour = AskNeighbour,
    .probeNeighbour = ProbeNeighbour,
    .readNeighbour = ReadNeighbour,
    .neighbourWay = WayOfAsking,
};

}  // namespace

const NetPlatform& SystemNetPlatform() {
    return g_platform;
}

}  // namespace scout
