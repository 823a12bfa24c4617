// The scripted world of fake_platform.h.
#include "tests/fakes/fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "net/query_datagram.h"

namespace scout::test {
namespace {

FakeWorld& W(void* context) {
    return *static_cast<FakeWorld*>(context);
}

// The error code injected for this call of op, or 0.
int Fails(FakeWorld& world, Op op) {
    const int call = ++world.calls[static_cast<int>(op)];
    for (const InjectedFailure& failure : world.failures) {
        if (failure.op == op && failure.onCall == call)
            return failure.errorCode;
    }
    return 0;
}

std::string AddressText(NetAddress address) {
    char text[AddressTextCapacity];
    FormatAddress(address, text, sizeof text);
    return text;
}

FakeWorld::FakeSocket& SocketOf(FakeWorld& world, SocketHandle socket) {
    return world.sockets[static_cast<std::size_t>(socket) - 1];
}

// Index of the first undelivered datagram for the socket's interface that has arrived.
int NextArrived(FakeWorld& world, SocketHandle socket) {
    const FakeWorld::FakeSocket& s = SocketOf(world, socket);
    for (std::size_t i = 0; i < world.datagrams.size(); ++i) {
        const ScriptedDatagram& d = world.datagrams[i];
        if (!world.delivered[i] && d.receivingInterface == s.boundInterface &&
            world.clock - s.sendTime >= d.arrivesAfterSend)
            return static_cast<int>(i);
    }
    return -1;
}

int StartSockets(void* context) {
    return W(context).startError;
}

int Open(void* context, SocketHandle* socket) {
    FakeWorld& world = W(context);
    world.log.push_back("open");
    if (const int code = Fails(world, Op::Open))
        return code;
    ++world.openSockets;
    if (world.delivered.size() != world.datagrams.size())
        world.delivered.assign(world.datagrams.size(), false);
    world.sockets.emplace_back();
    *socket = static_cast<SocketHandle>(world.sockets.size());
    return 0;
}

int SetBroadcast(void* context, SocketHandle) {
    FakeWorld& world = W(context);
    world.log.push_back("broadcast");
    return Fails(world, Op::Broadcast);
}

void SetReceiveBuffer(void* context, SocketHandle, int) {
    W(context).log.push_back("rcvbuf");
}

int Bind(void* context, SocketHandle socket, const BroadcastInterface& where, std::uint16_t port) {
    FakeWorld& world = W(context);
    world.log.push_back("bind " + AddressText(where.address) + ":" + std::to_string(port) +
                        (where.index != 0 ? " if" + std::to_string(where.index) : ""));
    if (const int code = Fails(world, Op::Bind))
        return code;
    SocketOf(world, socket).boundInterface = where.address;
    return 0;
}

bool AddressInUse(void*, int code) {
    return code == AddressInUseError;
}

int Send(void* context, SocketHandle socket, const std::uint8_t* data, std::size_t length, NetAddress address,
         std::uint16_t port) {
    FakeWorld& world = W(context);
    world.log.push_back("send " + AddressText(address) + ":" + std::to_string(port));
    if (const int code = Fails(world, Op::Send))
        return code;
    world.sent.emplace_back(data, data + length);
    FakeWorld::FakeSocket& s = SocketOf(world, socket);
    s.sendTime = world.clock;
    // Every query makes the controllers of that interface answer afresh.
    for (std::size_t i = 0; i < world.datagrams.size(); ++i)
        if (world.datagrams[i].receivingInterface == s.boundInterface)
            world.delivered[i] = false;
    return 0;
}

int CheckLink(void* context, const BroadcastInterface& via) {
    FakeWorld& world = W(context);
    world.log.push_back("link " + AddressText(via.address));
    for (const NetAddress down : world.linksDown)
        if (down == via.address)
            return NetworkDownError;
    return 0;
}

int Waiting(void* context, SocketHandle socket, bool* waiting) {
    FakeWorld& world = W(context);
    world.log.push_back("waiting");
    if (const int code = Fails(world, Op::Waiting))
        return code;
    *waiting = NextArrived(world, socket) >= 0;
    return 0;
}

int Receive(void* context, SocketHandle socket, std::uint8_t* buffer, std::size_t capacity, std::size_t* received,
            NetAddress* sender) {
    FakeWorld& world = W(context);
    world.log.push_back("recv");
    if (const int code = Fails(world, Op::Receive))
        return code;
    const int next = NextArrived(world, socket);
    if (next < 0)
        return WouldBlockError;
    world.delivered[next] = true;
    world.sockets[static_cast<std::size_t>(socket) - 1].lastDelivered = next;
    const ScriptedDatagram& d = world.datagrams[next];
    if (d.bytes.size() > capacity)
        return MessageTooLongError;
    if (!d.bytes.empty())
        std::memcpy(buffer, d.bytes.data(), d.bytes.size());
    *received = d.bytes.size();
    *sender = d.sender;
    return 0;
}

bool FrameMac(void* context, SocketHandle socket, MacAddress* mac) {
    const FakeWorld& world = W(context);
    const int last = world.sockets[static_cast<std::size_t>(socket) - 1].lastDelivered;
    if (last < 0 || world.datagrams[static_cast<std::size_t>(last)].macSource != MacSource::Frame)
        return false;
    *mac = world.datagrams[static_cast<std::size_t>(last)].mac;
    return true;
}

// The neighbour table: the MAC of a host that answered (confirmed fresh), by
// the time it is asked; an entry from before or one set by hand is no answer.
bool NeighbourMac(void* context, const BroadcastInterface& via, NetAddress address, std::uint32_t since,
                  MacAddress* mac) {
    FakeWorld& world = W(context);
    world.log.push_back("neighbour " + AddressText(address) + " if" + std::to_string(via.index));
    for (const FakeWorld::Neighbour& n : world.neighbours) {
        if (n.index == via.index && n.address == address && n.answer == NeighbourAnswer::Holder &&
            world.clock - since >= n.afterMs) {
            *mac = n.mac;
            return true;
        }
    }
    return false;
}

ReceiveFailure Classify(void*, int code) {
    if (code == MessageTooLongError)
        return ReceiveFailure::TooLong;
    return code == ConnectionResetError ? ReceiveFailure::NoDatagram : ReceiveFailure::Failed;
}

std::uint32_t Dropped(void* context, SocketHandle) {
    return W(context).droppedPerSocket;
}

void Filter(void* context, const BroadcastInterface& entry, ReversePathFilter* filter) {
    *filter = ReversePathFilter{};
    for (const auto& [index, set] : W(context).filters)
        if (index == entry.index)
            *filter = set;
}

bool FilterDrops(void* context, std::uint64_t* count) {
    FakeWorld& world = W(context);
    if (world.filterReadings.empty())
        return false;
    *count = world.filterReadings.front();
    if (world.filterReadings.size() > 1)
        world.filterReadings.erase(world.filterReadings.begin());
    return true;
}

int Close(void* context, SocketHandle) {
    FakeWorld& world = W(context);
    world.log.push_back("close");
    --world.openSockets;
    return Fails(world, Op::Close);
}

bool ErrorText(void*, int code, char* text, std::size_t capacity) {
    if (code == UndescribedError)
        return false;
    std::snprintf(text, capacity, "description of %d", code);
    return true;
}

std::uint32_t Now(void* context) {
    FakeWorld& world = W(context);
    const std::uint32_t now = world.clock;
    world.clock += world.stepPerReading;
    return now;
}

void Sleep(void* context, std::uint32_t milliseconds) {
    FakeWorld& world = W(context);
    world.log.push_back("sleep " + std::to_string(milliseconds));
    ++world.sleeps;
    if (world.onSleep)
        world.onSleep(world.sleeps);
    world.clock += milliseconds;
}

// Interface n is named "if<n>", as a test may ask for it by name, with a /24.
bool Describe(void*, const BroadcastInterface& entry, InterfaceDetails* details) {
    std::snprintf(details->name, sizeof details->name, "if%u", static_cast<unsigned>(entry.index));
    details->prefixLength = 24;
    return true;
}

TableStatus Load(void* context, InterfaceTable* table, int* errorCode) {
    FakeWorld& world = W(context);
    world.log.push_back("load");
    ++world.searches;
    *table = InterfaceTable{};
    if (world.tableStatus == TableStatus::Ok) {
        table->entries = world.interfaces.data();
        table->count = world.interfaces.size();
    }
    *errorCode = world.tableError;
    return world.tableStatus;
}

void Release(void* context, InterfaceTable*) {
    W(context).log.push_back("release");
}

void Clear(void* context) {
    FakeWorld& world = W(context);
    world.log.push_back("clear");
    world.rows.clear();
}

void Add(void* context, int index, const FoundRow& found) {
    FakeWorld& world = W(context);
    world.log.push_back("insert " + std::to_string(index));
    FakeRow row;
    row.address = found.texts[static_cast<int>(ListColumn::Address)];
    row.model = found.texts[static_cast<int>(ListColumn::Model)];
    row.version = found.texts[static_cast<int>(ListColumn::Version)];
    row.revision = found.texts[static_cast<int>(ListColumn::Revision)];
    row.interfaceAddress = found.via.address;
    row.interfaceIndex = found.via.index;
    row.macSource = found.macSource;
    row.mac = found.mac;
    if (index >= 0 && static_cast<std::size_t>(index) <= world.rows.size())
        world.rows.insert(world.rows.begin() + index, row);
}

void Warn(void* context, const char* text) {
    FakeWorld& world = W(context);
    world.log.push_back(std::string("warning ") + text);
    world.warnings.push_back(text);
}

void Begin(void* context, const BroadcastInterface& entry, std::size_t position, std::size_t count) {
    W(context).log.push_back("begin " + AddressText(entry.address) + " " + std::to_string(position) + "/" +
                             std::to_string(count));
}

bool PortHeld(void* context, const BroadcastInterface&, std::uint32_t waitedMs) {
    FakeWorld& world = W(context);
    world.log.push_back("port held " + std::to_string(waitedMs));
    return waitedMs < world.waitForPortMs;
}

void Show(void* context, const char* text) {
    FakeWorld& world = W(context);
    world.log.push_back(std::string("report ") + text);
    world.reports.push_back(text);
}

}  // namespace

void AskNeighbour(void* context, const BroadcastInterface& via, NetAddress address, bool onLink,
                  NeighbourAsking* asking) {
    FakeWorld& world = W(context);
    char text[AddressTextCapacity];
    FormatAddress(address, text, sizeof text);
    world.log.push_back(std::string("ask ") + text + " if" + std::to_string(via.index));
    *asking = NeighbourAsking{};
    asking->via = via;
    asking->address = address;
    asking->since = world.clock;
    asking->way = world.probes ? NeighbourWay::Probe : onLink ? NeighbourWay::System : NeighbourWay::None;
    asking->early = NeighbourAnswer::OffLink;
}

NeighbourWay WayOfAsking(void* context, int* code) {
    *code = W(context).probes ? 0 : 1;  // EPERM
    return W(context).probes ? NeighbourWay::Probe : NeighbourWay::System;
}

void ProbeNeighbour(void* context, NeighbourAsking* asking) {
    FakeWorld& world = W(context);
    if (asking->way == NeighbourWay::Probe)
        world.log.push_back("probe " + AddressText(asking->address) + " if" + std::to_string(asking->via.index) +
                            " at " + std::to_string(world.clock - asking->since));
}

// A host answers afterMs after the asking began: read sooner, nobody has yet.
NeighbourAnswer ReadNeighbour(void* context, NeighbourAsking* asking, MacAddress* mac) {
    FakeWorld& world = W(context);
    world.log.push_back("read " + AddressText(asking->address) + " if" + std::to_string(asking->via.index) + " at " +
                        std::to_string(world.clock - asking->since));
    if (asking->way == NeighbourWay::None)
        return asking->early;
    for (const FakeWorld::Neighbour& n : world.neighbours) {
        if (n.index == asking->via.index && n.address == asking->address && world.clock - asking->since >= n.afterMs) {
            *mac = n.mac;
            asking->code = n.code;
            return n.answer;
        }
    }
    return NeighbourAnswer::Nobody;
}

NetPlatform MakeFakePlatform(FakeWorld* world) {
    return NetPlatform{
        .context = world,
        .startSocketLayer = StartSockets,
        .openSocket = Open,
        .setBroadcast = SetBroadcast,
        .setReceiveBuffer = SetReceiveBuffer,
        .bindSocket = Bind,
        .addressInUse = AddressInUse,
        .sendTo = Send,
        .checkLink = CheckLink,
        .datagramWaiting = Waiting,
        .receiveFrom = Receive,
        .frameMac = FrameMac,
        .neighbourMac = NeighbourMac,
        .classifyReceiveFailure = Classify,
        .droppedDatagrams = Dropped,
        .closeSocket = Close,
        .errorText = ErrorText,
        .now = Now,
        .sleep = Sleep,
        .describeInterface = Describe,
        .reversePathFilter = Filter,
        .reversePathDrops = FilterDrops,
        .loadInterfaces = Load,
        .releaseInterfaces = Release,
        .askNeighbour = AskNeighbour,
        .probeNeighbour = ProbeNeighbour,
        .readNeighbour = ReadNeighbour,
        .neighbourWay = WayOfAsking,
    };
}

SearchFrontEnd MakeFakeFrontEnd(FakeWorld* world) {
    return SearchFrontEnd{
        .context = world,
        .clearRows = Clear,
        .addRow = Add,
        .showError = Show,
        .showWarning = Warn,
        .beginInterface = Begin,
        .portHeld = PortHeld,
    };
}

std::vector<std::uint8_t> ReplyBytes(std::uint32_t model, const char* version, const char* revision) {
    QueryDatagram d;
    BuildQuery(d);
    for (int i = 0; i < 4; ++i)
        d[WordAOffset + i] = static_cast<std::uint8_t>(model >> (8 * i));
    std::memcpy(&d[WordBOffset], version, std::min<std::size_t>(8, std::strlen(version)));
    std::memcpy(&d[WordDOffset], revision, std::min<std::size_t>(8, std::strlen(revision)));
    return std::vector<std::uint8_t>(d.begin(), d.end());
}

int CountLog(const FakeWorld& world, const std::string& entry) {
    int count = 0;
    for (const std::string& line : world.log)
        count += line == entry ? 1 : 0;
    return count;
}

}  // namespace scout::test
