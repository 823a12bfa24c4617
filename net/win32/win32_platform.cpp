// NetPlatform over Winsock 2, the IP Helper forwarding table and the multimedia clock.
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <mmsystem.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "net/system_platform.h"
#include "net/win32/adapters.h"
#include "net/win32/forward_table_loader.h"

namespace scout {
namespace {

SOCKET AsSocket(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

// 0, or the code Winsock gives for the call that just failed.
int Result(int callResult) {
    return callResult == SOCKET_ERROR ? ::WSAGetLastError() : 0;
}

// Version 2.2; what WSAStartup tells of the layer it started is not needed.
int StartSocketLayer(void*) {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
}

// Not in every SDK's headers (mstcpip.h); the values are fixed.
constexpr DWORD UdpConnectionReset = _WSAIOW(IOC_VENDOR, 12);  // SIO_UDP_CONNRESET
constexpr DWORD UdpNetworkReset = _WSAIOW(IOC_VENDOR, 15);     // SIO_UDP_NETRESET

// An ICMP port unreachable or time exceeded from any host on the segment
// would otherwise make the socket's next receive fail, and end its window.
// A system that does not know the option has no such behaviour to turn off.
void IgnoreIcmpReports(SOCKET s) {
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(s, UdpConnectionReset, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    ::WSAIoctl(s, UdpNetworkReset, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
}

int OpenSocket(void*, SocketHandle* socket) {
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return ::WSAGetLastError();
    IgnoreIcmpReports(s);
    *socket = static_cast<SocketHandle>(s);
    return 0;
}

int SetBroadcast(void*, SocketHandle socket) {
    const BOOL on = TRUE;
    return Result(
        ::setsockopt(AsSocket(socket), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on));
}

void SetReceiveBuffer(void*, SocketHandle socket, int bytes) {
    ::setsockopt(AsSocket(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                 sizeof bytes);
}

// Winsock ties a socket bound to an interface's address to that interface.
bool AddressInUse(void*, int code) {
    return code == WSAEADDRINUSE;
}

int BindSocket(void*, SocketHandle socket, const BroadcastInterface& where, std::uint16_t port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = where.address;
    return Result(::bind(AsSocket(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local));
}

int SendTo(void*, SocketHandle socket, const std::uint8_t* data, std::size_t length, NetAddress address,
           std::uint16_t port) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = address;
    return Result(::sendto(AsSocket(socket), reinterpret_cast<const char*>(data), static_cast<int>(length), 0,
                           reinterpret_cast<const sockaddr*>(&remote), sizeof remote));
}

// The adapter that holds the address (or has the index) and its operational
// state: an adapter that is not up (no carrier, disabled, unplugged) is a
// network that is down. Where it cannot be read the link counts as up.
int CheckLink(void*, const BroadcastInterface& via) {
    IP_ADAPTER_ADDRESSES* adapters = LoadAdapters();
    int code = 0;
    for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next) {
        if (AdapterHolds(*a, via)) {
            code = a->OperStatus == IfOperStatusUp ? 0 : WSAENETDOWN;
            break;
        }
    }
    std::free(adapters);
    return code;
}

// FIONREAD counts the bytes queued, so an empty datagram alone in the queue
// counts 0 (under Wine: an empty one at its head); when it says 0, select
// tells whether a datagram is waiting all the same.
int DatagramWaiting(void*, SocketHandle socket, bool* waiting) {
    u_long bytes = 0;
    if (::ioctlsocket(AsSocket(socket), FIONREAD, &bytes) == SOCKET_ERROR)
        return ::WSAGetLastError();
    if (bytes != 0) {
        *waiting = true;
        return 0;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(AsSocket(socket), &readable);
    timeval immediately{0, 0};
    const int ready = ::select(0, &readable, nullptr, nullptr, &immediately);
    if (ready == SOCKET_ERROR)
        return ::WSAGetLastError();
    *waiting = ready > 0;
    return 0;
}

// A datagram longer than capacity fails with WSAEMSGSIZE and is discarded.
int ReceiveFrom(void*, SocketHandle socket, std::uint8_t* buffer, std::size_t capacity, std::size_t* received,
                NetAddress* sender) {
    sockaddr_in remote{};
    int remoteLength = sizeof remote;
    const int length = ::recvfrom(AsSocket(socket), reinterpret_cast<char*>(buffer),
                                  static_cast<int>(capacity), 0, reinterpret_cast<sockaddr*>(&remote),
                                  &remoteLength);
    if (length == SOCKET_ERROR)
        return ::WSAGetLastError();
    *received = static_cast<std::size_t>(length);
    *sender = remote.sin_addr.s_addr;
    return 0;
}

using GetEntryFunction = NETIO_STATUS(WINAPI*)(PMIB_IPNET_ROW2);
using GetTableFunction = NETIO_STATUS(WINAPI*)(ADDRESS_FAMILY, PMIB_IPNET_TABLE2*);
using FreeTableFunction = VOID(WINAPI*)(PVOID);

// The neighbour table's functions, looked up at run time: the program starts
// where they are missing.
struct IpHelper {
    GetEntryFunction getEntry = nullptr;
    GetTableFunction getTable = nullptr;
    FreeTableFunction freeTable = nullptr;
};

const IpHelper& Helper() {
    static const IpHelper helper = [] {
        IpHelper found;
        if (const HMODULE module = ::GetModuleHandleA("iphlpapi.dll")) {
            found.getEntry = reinterpret_cast<GetEntryFunction>(
                reinterpret_cast<void*>(::GetProcAddress(module, "GetIpNetEntry2")));
            found.getTable = reinterpret_cast<GetTableFunction>(
                reinterpret_cast<void*>(::GetProcAddress(module, "GetIpNetTable2")));
            found.freeTable = reinterpret_cast<FreeTableFunction>(
                reinterpret_cast<void*>(::GetProcAddress(module, "FreeMibTable")));
        }
        return found;
    }();
    return helper;
}

// An entry with a MAC that the host confirmed lately: reachable, which
// Windows holds an entry for its reachable time (about 30 s) after the host
// last answered; it tells no nearer time that a look could hold it to (Wine
// shows one still resolving with a MAC of zeros, and a stale one of Linux's as
// reachable). A stale entry is from before, and one set by hand was never
// confirmed.
bool KnownEntry(const MIB_IPNET_ROW2& row, MacAddress* mac) {
    static const UCHAR none[6] = {};
    if (row.PhysicalAddressLength != 6 || std::memcmp(row.PhysicalAddress, none, 6) == 0 ||
        row.State != NlnsReachable)
        return false;
    std::memcpy(mac->data(), row.PhysicalAddress, 6);
    return true;
}

// Where the one entry cannot be asked for (Wine has no GetIpNetEntry2), the
// whole table, read again where it is older than 10 ms (a search of
// thousands reads it a hundred times a second at most).
bool EntryFromTable(const IpHelper& helper, std::uint32_t index, NetAddress address, MacAddress* mac) {
    if (helper.getTable == nullptr || helper.freeTable == nullptr)
        return false;
    static MIB_IPNET_TABLE2* table = nullptr;
    static DWORD readAt = 0;
    const auto find = [&] {
        for (ULONG i = 0; table != nullptr && i < table->NumEntries; ++i) {
            const MIB_IPNET_ROW2& row = table->Table[i];
            if (row.InterfaceIndex == index && row.Address.Ipv4.sin_addr.s_addr == address)
                return KnownEntry(row, mac);
        }
        return false;
    };
    if (table != nullptr && ::GetTickCount() - readAt < 10)
        return find();
    if (table != nullptr)
        helper.freeTable(table);
    table = nullptr;
    if (helper.getTable(AF_INET, &table) != NO_ERROR)
        table = nullptr;
    readAt = ::GetTickCount();  // once read: a slow read is not read again at once
    return find();
}

// What the system's neighbour table knows of the address.
bool NeighbourMac(void*, const BroadcastInterface& via, NetAddress address, std::uint32_t, MacAddress* mac) {
    const IpHelper& helper = Helper();
    MIB_IPNET_ROW2 row{};
    row.Address.si_family = AF_INET;
    row.Address.Ipv4.sin_family = AF_INET;
    row.Address.Ipv4.sin_addr.s_addr = address;
    row.InterfaceIndex = via.index;
    const NETIO_STATUS status = helper.getEntry != nullptr ? helper.getEntry(&row) : ERROR_NOT_SUPPORTED;
    if (status == NO_ERROR)
        return KnownEntry(row, mac);
    if (status == ERROR_NOT_SUPPORTED || status == ERROR_CALL_NOT_IMPLEMENTED)
        return EntryFromTable(helper, via.index, address, mac);
    return false;
}

// Should a report of an earlier send still reach a receive (a system that
// ignored IgnoreIcmpReports), it is no datagram and no reason to stop reading.
ReceiveFailure ClassifyReceiveFailure(void*, int code) {
    switch (code) {
    case WSAEMSGSIZE:
        return ReceiveFailure::TooLong;
    case WSAECONNRESET:
    case WSAENETRESET:
        return ReceiveFailure::NoDatagram;
    default:
        return ReceiveFailure::Failed;
    }
}

int CloseSocket(void*, SocketHandle socket) {
    return Result(::closesocket(AsSocket(socket)));
}

// The system message table's text in the user's default language, as the
// platform allocates it; copied out and released at once.
bool ErrorText(void*, int code, char* text, std::size_t capacity) {
    char* message = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, static_cast<DWORD>(code), 0x0400, reinterpret_cast<char*>(&message), 0, nullptr);
    const bool found = length != 0 && message != nullptr;
    if (found) {
        std::strncpy(text, message, capacity - 1);
        text[capacity - 1] = '\0';
    }
    ::LocalFree(message);
    return found;
}

std::uint32_t Now(void*) {
    return ::timeGetTime();
}

void Sleep(void*, std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

// The adapter's friendly name ("Ethernet 2", "Wi-Fi") and the prefix of its
// address, from the adapter list by the forwarding table's interface index.
// Windows resolves an address for a datagram to it: an empty one to the
// discard port, from the interface's address. Its neighbour table (Vista and
// later: GetIpNetTable2, looked up at run time) then says who answered.
void AskNeighbour(void*, const BroadcastInterface& via, NetAddress address, bool onLink, NeighbourAsking* asking) {
    *asking = NeighbourAsking{};
    asking->via = via;
    asking->address = address;
    asking->since = ::timeGetTime();
    if (!onLink) {
        asking->early = NeighbourAnswer::OffLink;
        return;
    }
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        asking->code = ::WSAGetLastError();
        asking->early = NeighbourAnswer::Failed;
        return;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = via.address;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = ::htons(9);
    to.sin_addr.s_addr = address;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
        ::sendto(s, "", 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
        asking->code = ::WSAGetLastError();
        asking->early = NeighbourAnswer::Failed;
    } else {
        asking->way = NeighbourWay::System;
    }
    ::closesocket(s);
}

NeighbourAnswer ReadNeighbour(void*, NeighbourAsking* asking, MacAddress* mac) {
    if (asking->way != NeighbourWay::System)
        return asking->early;
    const auto getTable = Helper().getTable;
    const auto freeTable = Helper().freeTable;
    if (getTable == nullptr || freeTable == nullptr) {
        asking->code = ERROR_NOT_SUPPORTED;
        return NeighbourAnswer::Unsupported;
    }
    MIB_IPNET_TABLE2* table = nullptr;
    const NETIO_STATUS status = getTable(AF_INET, &table);
    if (status != NO_ERROR) {
        asking->code = static_cast<int>(status);
        return NeighbourAnswer::Failed;
    }
    NeighbourAnswer answer = NeighbourAnswer::Nobody;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        if (row.InterfaceIndex != asking->via.index || row.Address.Ipv4.sin_addr.s_addr != asking->address ||
            row.PhysicalAddressLength != 6)
            continue;
        // An entry still resolving has no MAC yet (Wine shows it as zeros).
        static const UCHAR none[6] = {};
        if (std::memcmp(row.PhysicalAddress, none, 6) == 0)
            continue;
        std::memcpy(mac->data(), row.PhysicalAddress, 6);
        // Set by hand: Windows never asks, and sends to that MAC. Reachable:
        // confirmed within the system's reachable time (by this asking, or
        // seconds before); stale, delay, probe: from before, asked about again
        // only after seconds of use.
        if (row.State == NlnsPermanent)
            answer = NeighbourAnswer::SetByHand;
        else if (row.State == NlnsReachable)
            answer = NeighbourAnswer::Holder;
        else if (row.State == NlnsStale || row.State == NlnsDelay || row.State == NlnsProbe)
            answer = NeighbourAnswer::OlderEntry;
    }
    freeTable(table);
    return answer;
}

// Windows never probes: its own resolution, read back where the table can be.
NeighbourWay WayOfAsking(void*, int* code) {
    *code = 0;
    return Helper().getTable != nullptr && Helper().freeTable != nullptr ? NeighbourWay::System : NeighbourWay::None;
}

bool DescribeInterface(void*, const BroadcastInterface& entry, InterfaceDetails* details) {
    *details = InterfaceDetails{};
    IP_ADAPTER_ADDRESSES* adapters = LoadAdapters();
    bool found = false;
    if (adapters != nullptr) {
        for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr && !found; a = a->Next) {
            if (a->IfIndex != entry.index)
                continue;
            found = true;
            if (a->FriendlyName != nullptr &&
                ::WideCharToMultiByte(CP_UTF8, 0, a->FriendlyName, -1, details->name,
                                      static_cast<int>(sizeof details->name), nullptr, nullptr) == 0)
                details->name[0] = '\0';
            for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
                const sockaddr* address = u->Address.lpSockaddr;
                if (address == nullptr || address->sa_family != AF_INET)
                    continue;
                sockaddr_in in;
                std::memcpy(&in, address, sizeof in);
                // Before Vista the entry ends before its prefix length.
                if (in.sin_addr.s_addr == entry.address &&
                    u->Length > offsetof(IP_ADAPTER_UNICAST_ADDRESS_LH, OnLinkPrefixLength))
                    details->prefixLength = u->OnLinkPrefixLength;
            }
        }
    }
    std::free(adapters);
    return found;
}

// Each IPv4 address of an adapter that has none of the table's limited-
// broadcast routes: the loopback adapter's, loopback; where its adapter is
// not up, no carrier; else no route.
std::size_t FindSkipped(const InterfaceTable& table, SkippedInterface* skipped, std::size_t capacity) {
    IP_ADAPTER_ADDRESSES* adapters = LoadAdapters();
    std::size_t count = 0;
    for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next) {
        const bool loopback = a->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
        for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
            const sockaddr* address = u->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET || count == capacity)
                continue;
            sockaddr_in in;
            std::memcpy(&in, address, sizeof in);
            bool searched = false;
            for (std::size_t i = 0; i < table.count && !searched; ++i)
                searched = table.entries[i].address == in.sin_addr.s_addr;
            if (!searched)
                skipped[count++] = SkippedInterface{{in.sin_addr.s_addr, a->IfIndex},
                                                    loopback                          ? SkipReason::Loopback
                                                    : a->OperStatus == IfOperStatusUp ? SkipReason::NoBroadcastRoute
                                                                                      : SkipReason::NoCarrier};
        }
    }
    std::free(adapters);
    return count;
}

// The forward table's interfaces, and behind them in the same block the
// adapters' addresses that it leaves out, for `interfaces` and doctor.
TableStatus LoadInterfaces(void*, InterfaceTable* table, int* errorCode) {
    const TableStatus status = LoadForwardTable(&::GetIpForwardTable, table, errorCode);
    if (status != TableStatus::Ok)
        return status;
    constexpr std::size_t MaxSkipped = 64;
    SkippedInterface skipped[MaxSkipped];
    const std::size_t skippedCount = FindSkipped(*table, skipped, MaxSkipped);
    if (skippedCount == 0)
        return status;
    void* storage = std::malloc(table->count * sizeof(BroadcastInterface) + skippedCount * sizeof(SkippedInterface));
    if (storage == nullptr)
        return status;  // the search needs only the table
    auto* entries = static_cast<BroadcastInterface*>(storage);
    if (table->count != 0)
        std::memcpy(entries, table->entries, table->count * sizeof(BroadcastInterface));
    auto* tail = reinterpret_cast<SkippedInterface*>(entries + table->count);
    std::memcpy(tail, skipped, skippedCount * sizeof(SkippedInterface));
    std::free(table->storage);
    table->entries = entries;
    table->skipped = tail;
    table->skippedCount = skippedCount;
    table->storage = storage;
    return status;
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
    .frameMac = nullptr,  // Windows reads no frames
    .neighbourMac = NeighbourMac,
    .classifyReceiveFailure = ClassifyReceiveFailure,
    .droppedDatagrams = nullptr,  // Winsock does not count what a full buffer dropped
    .closeSocket = CloseSocket,
    .errorText = ErrorText,
    .now = Now,
    .sleep = Sleep,
    .describeInterface = DescribeInterface,
    .reversePathFilter = nullptr,  // Windows has no reverse-path filter for these replies
    .reversePathDrops = nullptr,
    .loadInterfaces = LoadInterfaces,
    .releaseInterfaces = ReleaseInterfaces,
    .askNeighbour = AskNeighbour,
    .probeNeighbour = nullptr,  // Windows never probes: it asks once, by its own resolution
    .readNeighbour = ReadNeighbour,
    .neighbourWay = WayOfAsking,
};

}  // namespace

const NetPlatform& SystemNetPlatform() {
    return g_platform;
}

}  // namespace scout
