// The search over every broadcast interface, written once for all platforms.
#include "controller_search.h"

#include <cstring>

#include "error_report.h"
#include "interval_timer.h"
#include "query_datagram.h"

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

// Reports a socket failure: the error code is fetched first, right after the
// failing call, then described. addressText is null for the messages without it.
void ReportSocketFailure(SearchState& state, const char* format, const char* addressText) {
    const int code = state.platform.lastError(state.platform.context);
    char description[ErrorTextCapacity];
    SystemErrorText(state.platform, code, description, sizeof description);
    if (addressText != nullptr)
        ReportError(state.frontEnd, format, addressText, description);
    else
        ReportError(state.frontEnd, format, description);
    state.reportedFailure = true;
}

void AddRow(SearchState& state, NetAddress sender, NetAddress interfaceAddress) {
    const SearchFrontEnd& list = state.frontEnd;
    const ReplyFields reply = ReadReply(state.datagram);
    char text[TextBufferCapacity];
    const int row = state.rowCounter;
    FormatAddress(sender, text, sizeof text);
    list.insertRow(list.context, row, text, interfaceAddress);
    FormatModelText(reply.model, text, sizeof text);
    list.setRowText(list.context, row, 1, text);
    list.setRowText(list.context, row, 2, reply.version);
    list.setRowText(list.context, row, 3, reply.revision);
    ++state.rowCounter;
}

// One listening pass: reads every datagram already waiting, for at most one
// pass's read budget, and lists each accepted reply; says whether it left any.
PassResult ReadWaitingDatagrams(SearchState& state, SocketHandle socket, NetAddress interfaceAddress,
                                const char* addressText) {
    const NetPlatform& net = state.platform;
    const std::uint32_t passStart = net.now(net.context);
    for (;;) {
        bool waiting = false;
        if (!net.datagramWaiting(net.context, socket, &waiting)) {
            ReportSocketFailure(state, "IOCTL error checking socket for data on address %s. %s.",
                                addressText);
            return PassResult::EndSearch;
        }
        if (!waiting)
            return PassResult::Drained;

        std::size_t received = 0;
        NetAddress sender = 0;
        if (!net.receiveFrom(net.context, socket, state.datagram.data(), state.datagram.size(),
                             &received, &sender)) {
            ReportSocketFailure(state, "Error attempting to receive data for address %s. %s.",
                                addressText);
            return PassResult::ReceiveFailed;
        }
        // A short reply must not show bytes of the query or of an earlier reply;
        // an empty datagram so becomes all zeros, which is no reply.
        if (received < state.datagram.size())
            std::memset(state.datagram.data() + received, 0, state.datagram.size() - received);
        if (AcceptReply(state.datagram))
            AddRow(state, sender, interfaceAddress);

        if (net.now(net.context) - passStart >= PassReadBudgetMs)
            return PassResult::Backlog;
    }
}

// Broadcasts the query on one interface and lists the replies of its window.
Next SearchInterface(SearchState& state, const BroadcastInterface& candidate) {
    const NetPlatform& net = state.platform;
    char addressText[AddressTextCapacity];
    FormatAddress(candidate.address, addressText, sizeof addressText);

    const SocketHandle socket = net.openSocket(net.context);
    if (socket == InvalidSocket) {
        ReportSocketFailure(state, "Unable to create socket. %s.", nullptr);
        return Next::EndSearch;
    }
    // After any failure below the socket is closed once the operator has closed
    // the report; a failure of that close is not reported on top.
    if (!net.setBroadcast(net.context, socket)) {
        ReportSocketFailure(state, "Unable to set socket options. %s.", nullptr);
        net.closeSocket(net.context, socket);
        return Next::EndSearch;
    }
    net.setReceiveBuffer(net.context, socket, SearchReceiveBufferBytes);
    if (!net.bindSocket(net.context, socket, candidate, ToolPort)) {
        ReportSocketFailure(state, "Error attempting to bind to socket for address %s. %s.",
                            addressText);
        net.closeSocket(net.context, socket);
        return Next::EndSearch;
    }
    BuildQuery(state.datagram);
    if (!net.sendTo(net.context, socket, state.datagram.data(), state.datagram.size(),
                    BroadcastAddress, ControllerPort)) {
        ReportSocketFailure(state, "Error sending query broadcast for address %s. %s.", addressText);
        net.closeSocket(net.context, socket);
        return Next::EndSearch;
    }

    IntervalTimer replyWindow;
    ArmTimer(replyWindow, net.now(net.context), ReplyWindowMs);
    for (;;) {
        const PassResult pass = ReadWaitingDatagrams(state, socket, candidate.address, addressText);
        if (pass == PassResult::EndSearch) {
            net.closeSocket(net.context, socket);
            return Next::EndSearch;
        }
        // The window is tested after the reads, so what waits when the first pass
        // past the window begins is still listed; the socket is never read again.
        if (pass == PassResult::ReceiveFailed || TimerExpired(replyWindow, net.now(net.context))) {
            if (!net.closeSocket(net.context, socket)) {
                ReportSocketFailure(state, "Error closing socket for address %s. %s.", addressText);
                return Next::EndSearch;
            }
            return Next::Continue;
        }
        // A pass that had to stop with datagrams still waiting is followed at once by the next.
        if (pass == PassResult::Drained)
            net.sleep(net.context, PassIntervalMs);
    }
}

}  // namespace

SearchOutcome ControllerSearch(const NetPlatform& platform, const SearchFrontEnd& frontEnd) {
    SearchState state{platform, frontEnd};
    frontEnd.clearRows(frontEnd.context);

    InterfaceTable table;
    int tableError = 0;
    const TableStatus status = platform.loadInterfaces(platform.context, &table, &tableError);
    if (status == TableStatus::NoSpace) {
        ReportError(frontEnd, "Not enough space to load forwarding table.");
        state.reportedFailure = true;
    } else if (status == TableStatus::Failed) {
        char description[ErrorTextCapacity];
        SystemErrorText(platform, tableError, description, sizeof description);
        ReportError(frontEnd, "Unable to read forwarding table. %s.", description);
        state.reportedFailure = true;
    } else {
        for (std::size_t i = 0; i < table.count; ++i) {
            if (SearchInterface(state, table.entries[i]) == Next::EndSearch)
                break;
        }
    }
    platform.releaseInterfaces(platform.context, &table);
    return SearchOutcome{state.rowCounter, state.reportedFailure};
}

}  // namespace scout
