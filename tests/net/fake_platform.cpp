// The scripted world of fake_platform.h.
#include "fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "net/query_datagram.h"

namespace scout::test {
namespace {

FakeWorld& W(void* context) {
    return *static_cast<FakeWorld*>(context);
}

// True when the injected failure for this call of op fires; sets the error code.
bool Fails(FakeWorld& world, Op op) {
    const int call = ++world.calls[static_cast<int>(op)];
    for (const InjectedFailure& failure : world.failures) {
        if (failure.op == op && failure.onCall == call) {
            world.lastError = failure.errorCode;
            return true;
        }
    }
    return false;
}

std::string AddressText(NetAddress address) {
    char text[AddressTextCapacity];
    FormatAddress(address, text, sizeof text);
    return text;
}

// Index of the first undelivered datagram for the bound interface that has arrived.
int NextArrived(FakeWorld& world) {
    for (std::size_t i = 0; i < world.datagrams.size(); ++i) {
        const ScriptedDatagram& d = world.datagrams[i];
        if (!world.delivered[i] && d.receivingInterface == world.boundInterface &&
            world.clock - world.sendTime >= d.arrivesAfterSend)
            return static_cast<int>(i);
    }
    return -1;
}

SocketHandle Open(void* context) {
    FakeWorld& world = W(context);
    world.log.push_back("open");
    if (Fails(world, Op::Open))
        return InvalidSocket;
    ++world.openSockets;
    if (world.delivered.size() != world.datagrams.size())
        world.delivered.assign(world.datagrams.size(), false);
    return 7;
}

bool SetBroadcast(void* context, SocketHandle) {
    FakeWorld& world = W(context);
    world.log.push_back("broadcast");
    return !Fails(world, Op::Broadcast);
}

void SetReceiveBuffer(void* context, SocketHandle, int) {
    W(context).log.push_back("rcvbuf");
}

bool Bind(void* context, SocketHandle, const BroadcastInterface& where, std::uint16_t port) {
    FakeWorld& world = W(context);
    world.log.push_back("bind " + AddressText(where.address) + ":" + std::to_string(port));
    if (Fails(world, Op::Bind))
        return false;
    world.boundInterface = where.address;
    return true;
}

bool Send(void* context, SocketHandle, const std::uint8_t* data, std::size_t length, NetAddress address,
          std::uint16_t port) {
    FakeWorld& world = W(context);
    world.log.push_back("send " + AddressText(address) + ":" + std::to_string(port));
    if (Fails(world, Op::Send))
        return false;
    world.sent.emplace_back(data, data + length);
    world.sendTime = world.clock;
    // Every query makes the controllers of that interface answer afresh.
    for (std::size_t i = 0; i < world.datagrams.size(); ++i)
        if (world.datagrams[i].receivingInterface == world.boundInterface)
            world.delivered[i] = false;
    return true;
}

bool Waiting(void* context, SocketHandle, bool* waiting) {
    FakeWorld& world = W(context);
    world.log.push_back("waiting");
    if (Fails(world, Op::Waiting))
        return false;
    *waiting = NextArrived(world) >= 0;
    return true;
}

bool Receive(void* context, SocketHandle, std::uint8_t* buffer, std::size_t capacity, std::size_t* received,
             NetAddress* sender) {
    FakeWorld& world = W(context);
    world.log.push_back("recv");
    if (Fails(world, Op::Receive))
        return false;
    const int next = NextArrived(world);
    if (next < 0) {
        world.lastError = 11;
        return false;
    }
    world.delivered[next] = true;
    const ScriptedDatagram& d = world.datagrams[next];
    if (d.bytes.size() > capacity) {
        world.lastError = MessageTooLongError;
        return false;
    }
    if (!d.bytes.empty())
        std::memcpy(buffer, d.bytes.data(), d.bytes.size());
    *received = d.bytes.size();
    *sender = d.sender;
    return true;
}

bool Close(void* context, SocketHandle) {
    FakeWorld& world = W(context);
    world.log.push_back("close");
    --world.openSockets;
    return !Fails(world, Op::Close);
}

int LastError(void* context) {
    return W(context).lastError;
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

void Insert(void* context, int index, const char* address, NetAddress interfaceAddress) {
    FakeWorld& world = W(context);
    world.log.push_back("insert " + std::to_string(index));
    FakeRow row;
    row.address = address;
    row.interfaceAddress = interfaceAddress;
    if (index >= 0 && static_cast<std::size_t>(index) <= world.rows.size())
        world.rows.insert(world.rows.begin() + index, row);
}

void SetText(void* context, int index, int column, const char* text) {
    FakeWorld& world = W(context);
    if (index < 0 || static_cast<std::size_t>(index) >= world.rows.size())
        return;
    FakeRow& row = world.rows[static_cast<std::size_t>(index)];
    (column == 1 ? row.model : column == 2 ? row.version : row.revision) = text;
}

void Show(void* context, const char* text) {
    FakeWorld& world = W(context);
    world.log.push_back(std::string("report ") + text);
    world.reports.push_back(text);
}

}  // namespace

NetPlatform MakeFakePlatform(FakeWorld* world) {
    return NetPlatform{world,   Open,  SetBroadcast, SetReceiveBuffer, Bind,      Send,
                       Waiting, Receive, Close,      LastError,        ErrorText, Now,
                       Sleep,   Load,  Release};
}

SearchFrontEnd MakeFakeFrontEnd(FakeWorld* world) {
    return SearchFrontEnd{world, Clear, Insert, SetText, Show};
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
