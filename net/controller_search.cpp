// The search over every broadcast interface, written once for all platforms.
#include "net/controller_search.h"

#include <cstring>

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

void Report(SearchState& state, SocketFailure failure, NetAddress interfaceAddress, int code) {
    ReportSocketFailure(state.frontEnd, state.platform, failure, interfaceAddress, code);
    state.reportedFailure = true;
}

void AddRow(SearchState& state, NetAddress sender, const BroadcastInterface& via) {
    const SearchFrontEnd& list = state.frontEnd;
    const ReplyFields reply = ReadReply(state.datagram);
    char text[TextBufferCapacity];
    const int row = state.rowCounter;
    FormatAddress(sender, text, sizeof text);
    list.insertRow(list.context, row, text, via);
    FormatModelText(reply.model, text, sizeof text);
    list.setRowText(list.context, row, ListColumn::Model, text);
    list.setRowText(list.context, row, ListColumn::Version, reply.version);
    list.setRowText(list.context, row, ListColumn::Revision, reply.revision);
    ++state.rowCounter;
}

// One listening pass: reads every datagram already waiting, for at most one
// pass's read budget, and lists each accepted reply; says whether it left any.
PassResult ReadWaitingDatagrams(SearchState& state, SocketHandle socket, const BroadcastInterface& via) {
    const NetPlatform& net = state.platform;
    const std::uint32_t passStart = net.now(net.context);
    for (;;) {
        bool waiting = false;
        if (const int code = net.datagramWaiting(net.context, socket, &waiting); code != 0) {
            Report(state, SocketFailure::CheckWaiting, via.address, code);
            return PassResult::EndSearch;
        }
        if (!waiting)
            return PassResult::Drained;

        std::size_t received = 0;
        NetAddress sender = 0;
        if (const int code = net.receiveFrom(net.context, socket, state.datagram.data(), state.datagram.size(),
                                             &received, &sender);
            code != 0) {
            Report(state, SocketFailure::Receive, via.address, code);
            return PassResult::ReceiveFailed;
        }
        // A short reply must not show bytes of the query or of an earlier reply;
        // an empty datagram so becomes all zeros, which is no reply.
        if (received < state.datagram.size())
            std::memset(state.datagram.data() + received, 0, state.datagram.size() - received);
        if (AcceptReply(state.datagram))
            AddRow(state, sender, via);

        if (net.now(net.context) - passStart >= PassReadBudgetMs)
            return PassResult::Backlog;
    }
}

// Broadcasts the query on one interface and lists the replies of its window.
Next SearchInterface(SearchState& state, const BroadcastInterface& candidate) {
    const NetPlatform& net = state.platform;
    const NetAddress address = candidate.address;

    SocketHandle socket = InvalidSocket;
    if (const int code = net.openSocket(net.context, &socket); code != 0) {
        Report(state, SocketFailure::CreateSocket, address, code);
        return Next::EndSearch;
    }
    // After any failure below the socket is closed once the operator has closed
    // the report; a failure of that close is not reported on top.
    if (const int code = net.setBroadcast(net.context, socket); code != 0) {
        Report(state, SocketFailure::SetOptions, address, code);
        net.closeSocket(net.context, socket);
        return Next::EndSearch;
    }
    net.setReceiveBuffer(net.context, socket, SearchReceiveBufferBytes);
    if (const int code = net.bindSocket(net.context, socket, candidate, ToolPort); code != 0) {
        Report(state, SocketFailure::Bind, address, code);
        net.closeSocket(net.context, socket);
        return Next::EndSearch;
    }
    BuildQuery(state.datagram);
    if (const int code = net.sendTo(net.context, socket, state.datagram.data(), state.datagram.size(),
                                    BroadcastAddress, ControllerPort);
        code != 0) {
        Report(state, SocketFailure::SendQuery, address, code);
        net.closeSocket(net.context, socket);
        return Next::EndSearch;
    }

    IntervalTimer replyWindow;
    ArmTimer(replyWindow, net.now(net.context), ReplyWindowMs);
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
                Report(state, SocketFailure::Close, address, code);
                return Next::EndSearch;
            }
            return Next::Continue;
        }
        // A pass that had to stop with datagrams still waiting is followed at once by the next.
        if (pass == PassResult::Drained)
            net.sleep(net.context, PassIntervalMs);
    }
}

void SearchEach(SearchState& state, const BroadcastInterface* interfaces, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (SearchInterface(state, interfaces[i]) == Next::EndSearch)
            break;
    }
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
        SearchEach(state, table.entries, table.count);
    }
    platform.releaseInterfaces(platform.context, &table);
    return SearchOutcome{state.rowCounter, state.reportedFailure};
}

SearchOutcome SearchInterfaces(const NetPlatform& platform, const SearchFrontEnd& frontEnd,
                               const BroadcastInterface* interfaces, std::size_t count) {
    SearchState state{platform, frontEnd};
    frontEnd.clearRows(frontEnd.context);
    SearchEach(state, interfaces, count);
    return SearchOutcome{state.rowCounter, state.reportedFailure};
}

}  // namespace scout
