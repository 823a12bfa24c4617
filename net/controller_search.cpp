// The search over every broadcast interface, written once for all platforms.
#include "net/controller_search.h"

#include <cstdlib>
#include <cstring>

#include "net/broadcast_socket.h"
#include "net/error_report.h"
#include "net/interval_timer.h"
#include "net/query_datagram.h"

namespace scout {
namespace {

struct SearchState {
    const NetPlatform& platform;
    const SearchFrontEnd& frontEnd;
    QueryDatagram datagram{};  // one buffer for the query and every receive
    int rowCounter = 0;
    bool reportedFailure = false;
};

enum class Next { Continue, EndSearch };
enum class PassResult { Drained, Backlog, ReceiveFailed, EndSearch };
enum class ReadResult { Nothing, Read, WaitingFailed, ReceiveFailed };

void Report(SearchState& state, SocketFailure failure, NetAddress interfaceAddress, int code) {
    ReportSocketFailure(state.frontEnd, state.platform, failure, interfaceAddress, code);
    state.reportedFailure = true;
}

void AddRow(SearchState& state, int row, NetAddress sender, const BroadcastInterface& via) {
    const SearchFrontEnd& list = state.frontEnd;
    const ReplyFields reply = ReadReply(state.datagram);
    char text[TextBufferCapacity];
    FormatAddress(sender, text, sizeof text);
    list.insertRow(list.context, row, text, via);
    FormatModelText(reply.model, text, sizeof text);
    list.setRowText(list.context, row, ListColumn::Model, text);
    list.setRowText(list.context, row, ListColumn::Version, reply.version);
    list.setRowText(list.context, row, ListColumn::Revision, reply.revision);
    ++state.rowCounter;
}

// Reads one datagram if one is waiting, and lists it at row when it is a reply.
ReadResult ReadOne(SearchState& state, SocketHandle socket, const BroadcastInterface& via, int row, bool* listed) {
    const NetPlatform& net = state.platform;
    *listed = false;
    bool waiting = false;
    if (const int code = net.datagramWaiting(net.context, socket, &waiting); code != 0) {
        Report(state, SocketFailure::CheckWaiting, via.address, code);
        return ReadResult::WaitingFailed;
    }
    if (!waiting)
        return ReadResult::Nothing;
    std::size_t received = 0;
    NetAddress sender = 0;
    if (const int code =
            net.receiveFrom(net.context, socket, state.datagram.data(), state.datagram.size(), &received, &sender);
        code != 0) {
        Report(state, SocketFailure::Receive, via.address, code);
        return ReadResult::ReceiveFailed;
    }
    // A short reply must not show bytes of the query or of an earlier reply;
    // an empty datagram so becomes all zeros, which is no reply.
    if (received < state.datagram.size())
        std::memset(state.datagram.data() + received, 0, state.datagram.size() - received);
    if (AcceptReply(state.datagram)) {
        AddRow(state, row, sender, via);
        *listed = true;
    }
    return ReadResult::Read;
}

// One listening pass: reads every datagram already waiting, for at most one
// pass's read budget, and lists each accepted reply; says whether it left any.
PassResult ReadWaitingDatagrams(SearchState& state, SocketHandle socket, const BroadcastInterface& via) {
    const NetPlatform& net = state.platform;
    const std::uint32_t passStart = net.now(net.context);
    for (;;) {
        bool listed = false;
        switch (ReadOne(state, socket, via, state.rowCounter, &listed)) {
        case ReadResult::Nothing:
            return PassResult::Drained;
        case ReadResult::WaitingFailed:
            return PassResult::EndSearch;
        case ReadResult::ReceiveFailed:
            return PassResult::ReceiveFailed;
        case ReadResult::Read:
            break;
        }
        if (net.now(net.context) - passStart >= PassReadBudgetMs)
            return PassResult::Backlog;
    }
}

// Opens the interface's socket and broadcasts the query on it; a failure is
// reported and the socket closed.
bool SendQuery(SearchState& state, const BroadcastInterface& candidate, SocketHandle* opened) {
    BuildQuery(state.datagram);
    if (OpenAndBroadcast(state.platform, state.frontEnd, candidate, state.datagram, SocketFailure::SendQuery,
                         SearchReceiveBufferBytes, opened))
        return true;
    state.reportedFailure = true;
    return false;
}

void AnnounceInterface(const SearchFrontEnd& frontEnd, const BroadcastInterface& entry, std::size_t position,
                       std::size_t count) {
    if (frontEnd.beginInterface != nullptr)
        frontEnd.beginInterface(frontEnd.context, entry, position, count);
}

// Broadcasts the query on one interface and lists the replies of its window.
Next SearchInterface(SearchState& state, const BroadcastInterface& candidate, std::uint32_t windowMs) {
    const NetPlatform& net = state.platform;
    SocketHandle socket = InvalidSocket;
    if (!SendQuery(state, candidate, &socket))
        return Next::EndSearch;

    IntervalTimer replyWindow;
    ArmTimer(replyWindow, net.now(net.context), windowMs);
    for (;;) {
        const PassResult pass = ReadWaitingDatagrams(state, socket, candidate);
        if (pass == PassResult::EndSearch) {
            net.closeSocket(net.context, socket);
            return Next::EndSearch;
        }
        // The window is tested after the reads, so what waits when the first pass
        // past the window begins is still listed; the socket is never read again.
        if (pass == PassResult::ReceiveFailed || TimerExpired(replyWindow, net.now(net.context))) {
            if (const int code = net.closeSocket(net.context, socket); code != 0) {
                Report(state, SocketFailure::Close, candidate.address, code);
                return Next::EndSearch;
            }
            return Next::Continue;
        }
        // A pass that had to stop with datagrams still waiting is followed at once by the next.
        if (pass == PassResult::Drained)
            net.sleep(net.context, PassIntervalMs);
    }
}

void SearchEach(SearchState& state, const BroadcastInterface* interfaces, std::size_t count, std::uint32_t windowMs) {
    for (std::size_t i = 0; i < count; ++i) {
        AnnounceInterface(state.frontEnd, interfaces[i], i + 1, count);
        if (SearchInterface(state, interfaces[i], windowMs) == Next::EndSearch)
            break;
    }
}

// One interface of a search of all at once.
struct Listener {
    BroadcastInterface via;
    SocketHandle socket;
    bool open;
    int rows;
};

// Every query at once, then one window for all: sweeps read at most one
// datagram of each socket in turn, so that a flood on one interface does not
// starve the others, for at most one pass's read budget. A failure ends only
// its own interface. Each reply is listed after the rows of the interfaces
// before it in search order, so the rows stand interface by interface.
// (A plain buffer, as the forwarding table's: scout.exe links this file and
// carries no C++ library it does not use.)
void SearchAllAtOnce(SearchState& state, const BroadcastInterface* interfaces, std::size_t count,
                     std::uint32_t windowMs) {
    const NetPlatform& net = state.platform;
    if (count == 0)
        return;
    auto* listeners = static_cast<Listener*>(std::malloc(count * sizeof(Listener)));
    if (listeners == nullptr) {
        ReportNoMemoryForInterfaces(state.frontEnd, count);
        state.reportedFailure = true;
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        SocketHandle socket = InvalidSocket;
        const bool sent = SendQuery(state, interfaces[i], &socket);
        listeners[i] = Listener{interfaces[i], socket, sent, 0};
        if (sent)
            AnnounceInterface(state.frontEnd, interfaces[i], i + 1, count);
    }
    IntervalTimer replyWindow;
    ArmTimer(replyWindow, net.now(net.context), windowMs);
    for (;;) {
        const std::uint32_t passStart = net.now(net.context);
        bool backlog = false;
        for (bool readAny = true; readAny && !backlog;) {
            readAny = false;
            int before = 0;  // the rows of the interfaces before this one
            for (std::size_t i = 0; i < count; ++i) {
                Listener& listener = listeners[i];
                const int row = before + listener.rows;
                before += listener.rows;
                if (!listener.open)
                    continue;
                bool listed = false;
                const ReadResult result = ReadOne(state, listener.socket, listener.via, row, &listed);
                if (result == ReadResult::WaitingFailed || result == ReadResult::ReceiveFailed) {
                    net.closeSocket(net.context, listener.socket);
                    listener.open = false;
                } else if (result == ReadResult::Read) {
                    readAny = true;
                    if (listed) {
                        ++listener.rows;
                        ++before;
                    }
                }
            }
            backlog = readAny && net.now(net.context) - passStart >= PassReadBudgetMs;
        }
        bool anyOpen = false;
        for (std::size_t i = 0; i < count; ++i)
            anyOpen = anyOpen || listeners[i].open;
        if (!anyOpen || TimerExpired(replyWindow, net.now(net.context)))
            break;
        if (!backlog)
            net.sleep(net.context, PassIntervalMs);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!listeners[i].open)
            continue;
        if (const int code = net.closeSocket(net.context, listeners[i].socket); code != 0)
            Report(state, SocketFailure::Close, listeners[i].via.address, code);
    }
    std::free(listeners);
}

}  // namespace

SearchOutcome ControllerSearch(const NetPlatform& platform, const SearchFrontEnd& frontEnd) {
    SearchState state{platform, frontEnd};
    frontEnd.clearRows(frontEnd.context);

    InterfaceTable table;
    int tableError = 0;
    const TableStatus status = platform.loadInterfaces(platform.context, &table, &tableError);
    if (status != TableStatus::Ok) {
        ReportTableFailure(frontEnd, platform, status, tableError);
        state.reportedFailure = true;
    } else {
        SearchEach(state, table.entries, table.count, ReplyWindowMs);
    }
    platform.releaseInterfaces(platform.context, &table);
    return SearchOutcome{state.rowCounter, state.reportedFailure};
}

SearchOutcome SearchInterfaces(const NetPlatform& platform, const SearchFrontEnd& frontEnd, const SearchPlan& plan) {
    SearchState state{platform, frontEnd};
    frontEnd.clearRows(frontEnd.context);
    if (plan.allAtOnce)
        SearchAllAtOnce(state, plan.interfaces, plan.count, plan.windowMs);
    else
        SearchEach(state, plan.interfaces, plan.count, plan.windowMs);
    return SearchOutcome{state.rowCounter, state.reportedFailure};
}

}  // namespace scout
