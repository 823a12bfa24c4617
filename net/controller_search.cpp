// The search over every broadcast interface, written once for all platforms.
#include "net/controller_search.h"

#include <cstdio>
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
    bool* cutShort = nullptr;  // per interface of the plan, where the caller wants them
    std::uint32_t* lost = nullptr;  // the same: replies a full receive buffer lost
    void (*betweenPasses)(void* context) = nullptr;
    void* passContext = nullptr;
};

// The pause between two listening passes, and what the caller has due meanwhile.
void Pause(SearchState& state) {
    if (state.betweenPasses != nullptr)
        state.betweenPasses(state.passContext);
    state.platform.sleep(state.platform.context, PassIntervalMs);
}

void CutShort(SearchState& state, std::size_t position) {
    if (state.cutShort != nullptr)
        state.cutShort[position] = true;
}

// One interface's window: its socket while it is open, and the rows it listed.
struct Listener {
    BroadcastInterface via;
    std::size_t position;  // in the search's order, from 0
    SocketHandle socket;
    bool open;
    int rows;
    bool tooLongReported;  // a datagram too long for a reply is reported once per window
};

enum class Next { Continue, EndSearch };
enum class PassResult { Drained, Backlog, ReceiveFailed, EndSearch };
// Reported: read, after a report that the operator may have looked at for a while.
enum class ReadResult { Nothing, Read, Reported, WaitingFailed, ReceiveFailed };

void Report(SearchState& state, SocketFailure failure, NetAddress interfaceAddress, int code) {
    ReportSocketFailure(state.frontEnd, state.platform, failure, interfaceAddress, code);
    state.reportedFailure = true;
}

void AddRow(SearchState& state, int index, NetAddress sender, const Listener& listener) {
    const ReplyFields reply = ReadReply(state.datagram);
    const NetPlatform& net = state.platform;
    const BroadcastInterface& via = listener.via;
    FoundRow row;
    if (net.frameMac != nullptr && net.frameMac(net.context, listener.socket, &row.mac))
        row.macSource = MacSource::Frame;
    FormatAddress(sender, row.texts[static_cast<int>(ListColumn::Address)], TextBufferCapacity);
    FormatModelText(reply.model, row.texts[static_cast<int>(ListColumn::Model)], TextBufferCapacity);
    std::snprintf(row.texts[static_cast<int>(ListColumn::Version)], TextBufferCapacity, "%s", reply.version);
    std::snprintf(row.texts[static_cast<int>(ListColumn::Revision)], TextBufferCapacity, "%s", reply.revision);
    row.via = via;
    state.frontEnd.addRow(state.frontEnd.context, index, row);
    ++state.rowCounter;
}

// A receive that failed: a datagram too long for a reply is discarded and
// reported once per window, which goes on, so that one stray datagram on the
// segment hides no reply behind it; a report of an earlier send that the
// platform hands to a receive is no datagram; anything else ends the window.
ReadResult ReceiveFailed(SearchState& state, Listener& listener, int code) {
    const NetPlatform& net = state.platform;
    switch (net.classifyReceiveFailure(net.context, code)) {
    case ReceiveFailure::NoDatagram:
        return ReadResult::Read;
    case ReceiveFailure::TooLong:
        if (listener.tooLongReported)
            return ReadResult::Read;
        listener.tooLongReported = true;
        Report(state, SocketFailure::Receive, listener.via.address, code);
        return ReadResult::Reported;
    case ReceiveFailure::Failed:
        break;
    }
    Report(state, SocketFailure::Receive, listener.via.address, code);
    CutShort(state, listener.position);
    return ReadResult::ReceiveFailed;
}

// Reads one datagram if one is waiting, and lists it at row when it is a reply.
ReadResult ReadOne(SearchState& state, Listener& listener, int row, bool* listed) {
    const NetPlatform& net = state.platform;
    *listed = false;
    bool waiting = false;
    if (const int code = net.datagramWaiting(net.context, listener.socket, &waiting); code != 0) {
        Report(state, SocketFailure::CheckWaiting, listener.via.address, code);
        CutShort(state, listener.position);
        return ReadResult::WaitingFailed;
    }
    if (!waiting)
        return ReadResult::Nothing;
    std::size_t received = 0;
    NetAddress sender = 0;
    if (const int code = net.receiveFrom(net.context, listener.socket, state.datagram.data(), state.datagram.size(),
                                         &received, &sender);
        code != 0)
        return ReceiveFailed(state, listener, code);
    // A short reply must not show bytes of the query or of an earlier reply;
    // an empty datagram so becomes all zeros, which is no reply.
    if (received < state.datagram.size())
        std::memset(state.datagram.data() + received, 0, state.datagram.size() - received);
    if (AcceptReply(state.datagram)) {
        AddRow(state, row, sender, listener);
        *listed = true;
    }
    return ReadResult::Read;
}

// One listening pass: reads every datagram already waiting, for at most one
// pass's read budget, and lists each accepted reply; says whether it left any.
// After a report the budget starts afresh, so what arrived while the operator
// read it is still read.
PassResult ReadWaitingDatagrams(SearchState& state, Listener& listener) {
    const NetPlatform& net = state.platform;
    std::uint32_t passStart = net.now(net.context);
    for (;;) {
        bool listed = false;
        switch (ReadOne(state, listener, state.rowCounter, &listed)) {
        case ReadResult::Nothing:
            return PassResult::Drained;
        case ReadResult::WaitingFailed:
            return PassResult::EndSearch;
        case ReadResult::ReceiveFailed:
            return PassResult::ReceiveFailed;
        case ReadResult::Reported:
            passStart = net.now(net.context);
            break;
        case ReadResult::Read:
            break;
        }
        if (net.now(net.context) - passStart >= PassReadBudgetMs)
            return PassResult::Backlog;
    }
}

// What the operator knows the interface by: "eth1 10.1.0.1", or the address.
void LabelOf(const NetPlatform& net, const BroadcastInterface& entry, char* label, std::size_t capacity) {
    char address[AddressTextCapacity];
    FormatAddress(entry.address, address, sizeof address);
    InterfaceDetails details;
    if (net.describeInterface(net.context, entry, &details) && details.name[0] != '\0')
        std::snprintf(label, capacity, "%s %s", details.name, address);
    else
        std::snprintf(label, capacity, "%s", address);
}

// Replies the socket's full receive buffer lost are said before it closes.
void WarnOfLosses(SearchState& state, const Listener& listener) {
    const NetPlatform& net = state.platform;
    if (net.droppedDatagrams == nullptr)
        return;
    const std::uint32_t lost = net.droppedDatagrams(net.context, listener.socket);
    if (lost == 0)
        return;
    if (state.lost != nullptr)
        state.lost[listener.position] += lost;
    char label[InterfaceNameCapacity + AddressTextCapacity];
    LabelOf(net, listener.via, label, sizeof label);
    WarnBufferLoss(state.frontEnd, label, lost);
}

// The window's end: losses said, the socket closed; a failed close is reported.
bool CloseListener(SearchState& state, Listener& listener) {
    const NetPlatform& net = state.platform;
    WarnOfLosses(state, listener);
    listener.open = false;
    if (const int code = net.closeSocket(net.context, listener.socket); code != 0) {
        Report(state, SocketFailure::Close, listener.via.address, code);
        return false;
    }
    return true;
}

// Opens the interface's socket and broadcasts the query on it; a failure is
// reported and the socket closed.
bool SendQuery(SearchState& state, Listener& listener) {
    BuildQuery(state.datagram);
    listener.open = OpenAndBroadcast(state.platform, state.frontEnd, listener.via, state.datagram,
                                     SocketFailure::SendQuery, SearchReceiveBufferBytes, true, &listener.socket);
    if (!listener.open) {
        state.reportedFailure = true;
        CutShort(state, listener.position);
    }
    return listener.open;
}

void AnnounceInterface(const SearchFrontEnd& frontEnd, const BroadcastInterface& entry, std::size_t position,
                       std::size_t count) {
    if (frontEnd.beginInterface != nullptr)
        frontEnd.beginInterface(frontEnd.context, entry, position, count);
}

// Broadcasts the query on one interface and lists the replies of its window.
Next SearchInterface(SearchState& state, const BroadcastInterface& candidate, std::size_t position,
                     std::uint32_t windowMs) {
    const NetPlatform& net = state.platform;
    Listener listener{candidate, position, InvalidSocket, false, 0, false};
    if (!SendQuery(state, listener))
        return Next::EndSearch;

    IntervalTimer replyWindow;
    ArmTimer(replyWindow, net.now(net.context), windowMs);
    for (;;) {
        const PassResult pass = ReadWaitingDatagrams(state, listener);
        if (pass == PassResult::EndSearch) {
            net.closeSocket(net.context, listener.socket);
            return Next::EndSearch;
        }
        // The window is tested after the reads, so what waits when the first pass
        // past the window begins is still listed; the socket is never read again.
        if (pass == PassResult::ReceiveFailed || TimerExpired(replyWindow, net.now(net.context)))
            return CloseListener(state, listener) ? Next::Continue : Next::EndSearch;
        // A pass that had to stop with datagrams still waiting is followed at once by the next.
        if (pass == PassResult::Drained)
            Pause(state);
    }
}

void SearchEach(SearchState& state, const BroadcastInterface* interfaces, std::size_t count, std::uint32_t windowMs) {
    for (std::size_t i = 0; i < count; ++i) {
        AnnounceInterface(state.frontEnd, interfaces[i], i + 1, count);
        if (SearchInterface(state, interfaces[i], i, windowMs) == Next::EndSearch) {
            // This window and those that never opened.
            for (std::size_t rest = i; rest < count; ++rest)
                CutShort(state, rest);
            break;
        }
    }
}

// One sweep over every open listener, reading at most one datagram of each.
// Each reply is listed after the rows of the interfaces before it in search
// order, so the rows stand interface by interface. Says whether any was read;
// *reported when a report was shown meanwhile.
bool Sweep(SearchState& state, Listener* listeners, std::size_t count, bool* reported) {
    const NetPlatform& net = state.platform;
    bool readAny = false;
    int before = 0;  // the rows of the interfaces before this one
    for (std::size_t i = 0; i < count; ++i) {
        Listener& listener = listeners[i];
        const int row = before + listener.rows;
        before += listener.rows;
        if (!listener.open)
            continue;
        bool listed = false;
        const ReadResult result = ReadOne(state, listener, row, &listed);
        if (result == ReadResult::WaitingFailed || result == ReadResult::ReceiveFailed) {
            net.closeSocket(net.context, listener.socket);
            listener.open = false;
            continue;
        }
        if (result == ReadResult::Nothing)
            continue;
        readAny = true;
        *reported = *reported || result == ReadResult::Reported;
        if (listed) {
            ++listener.rows;
            ++before;
        }
    }
    return readAny;
}

// Every query at once, then one window for all: sweeps read at most one
// datagram of each socket in turn, so that a flood on one interface does not
// starve the others, for at most one pass's read budget. A failure ends only
// its own interface.
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
        for (std::size_t i = 0; i < count; ++i)
            CutShort(state, i);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        listeners[i] = Listener{interfaces[i], i, InvalidSocket, false, 0, false};
        if (SendQuery(state, listeners[i]))
            AnnounceInterface(state.frontEnd, interfaces[i], i + 1, count);
    }
    IntervalTimer replyWindow;
    ArmTimer(replyWindow, net.now(net.context), windowMs);
    for (;;) {
        std::uint32_t passStart = net.now(net.context);
        bool backlog = false;
        for (bool readAny = true; readAny && !backlog;) {
            bool reported = false;
            readAny = Sweep(state, listeners, count, &reported);
            if (reported)
                passStart = net.now(net.context);
            backlog = readAny && net.now(net.context) - passStart >= PassReadBudgetMs;
        }
        bool anyOpen = false;
        for (std::size_t i = 0; i < count; ++i)
            anyOpen = anyOpen || listeners[i].open;
        if (!anyOpen || TimerExpired(replyWindow, net.now(net.context)))
            break;
        if (!backlog)
            Pause(state);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (listeners[i].open)
            CloseListener(state, listeners[i]);
    }
    std::free(listeners);
}

// The host's count of datagrams its reverse-path filter dropped, read before
// and after a search: a rise, where an interface searched had the filter on
// and its replies were not read past it, is said once per search.
struct FilterWatch {
    bool counted = false;
    std::uint64_t before = 0;
};

FilterWatch WatchFilter(const NetPlatform& net) {
    FilterWatch watch;
    if (net.reversePathDrops != nullptr && net.reversePathFilter != nullptr)
        watch.counted = net.reversePathDrops(net.context, &watch.before);
    return watch;
}

// Returns how many packets the filter dropped where it said so, else 0.
std::uint64_t WarnOfFilteredReplies(const SearchState& state, const FilterWatch& watch,
                                    const BroadcastInterface* interfaces, std::size_t count) {
    const NetPlatform& net = state.platform;
    std::uint64_t after = 0;
    if (!watch.counted || !net.reversePathDrops(net.context, &after) || after <= watch.before)
        return 0;
    char filtered[MessageCapacity / 2] = {};
    char firstName[InterfaceNameCapacity] = {};
    bool allToo = false;
    std::size_t used = 0;
    for (std::size_t i = 0; i < count; ++i) {
        ReversePathFilter filter;
        net.reversePathFilter(net.context, interfaces[i], &filter);
        if (filter.mode == 0 || filter.readPast)
            continue;
        InterfaceDetails details;
        if (!net.describeInterface(net.context, interfaces[i], &details) || details.name[0] == '\0')
            continue;
        if (firstName[0] == '\0')
            std::snprintf(firstName, sizeof firstName, "%s", details.name);
        allToo = allToo || filter.hostWide;
        const int written = std::snprintf(filtered + used, sizeof filtered - used, "%srp_filter %d on %s",
                                          used == 0 ? "" : ", ", filter.mode, details.name);
        if (written < 0 || static_cast<std::size_t>(written) >= sizeof filtered - used)
            break;
        used += static_cast<std::size_t>(written);
    }
    if (used == 0)
        return 0;
    WarnFilteredReplies(state.frontEnd, after - watch.before, filtered, firstName, allToo);
    return after - watch.before;
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
        const FilterWatch watch = WatchFilter(platform);
        SearchEach(state, table.entries, table.count, ReplyWindowMs);
        WarnOfFilteredReplies(state, watch, table.entries, table.count);
    }
    platform.releaseInterfaces(platform.context, &table);
    return SearchOutcome{state.rowCounter, state.reportedFailure};
}

SearchOutcome SearchInterfaces(const NetPlatform& platform, const SearchFrontEnd& frontEnd, const SearchPlan& plan) {
    SearchState state{platform, frontEnd};
    state.cutShort = plan.cutShort;
    state.lost = plan.lost;
    state.betweenPasses = plan.betweenPasses;
    state.passContext = plan.passContext;
    frontEnd.clearRows(frontEnd.context);
    const FilterWatch watch = WatchFilter(platform);
    if (plan.allAtOnce)
        SearchAllAtOnce(state, plan.interfaces, plan.count, plan.windowMs);
    else
        SearchEach(state, plan.interfaces, plan.count, plan.windowMs);
    const std::uint64_t filtered = WarnOfFilteredReplies(state, watch, plan.interfaces, plan.count);
    if (plan.filtered != nullptr)
        *plan.filtered += filtered;
    return SearchOutcome{state.rowCounter, state.reportedFailure};
}

}  // namespace scout
