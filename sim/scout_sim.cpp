// scout-sim: virtual controllers for the lab. One UDP socket on port 65515
// answers each query with one reply per controller on the interface it came in
// on, sent from that controller's own address (IP_TRANSPARENT lets the lab's
// controllers need no address of their own in the namespace), and acts on the
// reset and reconfigure commands. Every datagram received is logged as one
// JSON line, bytes in hex, so that tests can check what was on the wire.
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include "net/controller_search.h"
#include "net/query_datagram.h"
#include "sim/sim_config.h"
#include "sim/sim_link.h"
#include "sim/sim_protocol.h"

namespace scout::sim {
namespace {

constexpr std::size_t MaxDatagram = 2048;
volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_drain = 0;
// Written by the signal handlers, watched by the loop's poll: a signal that
// comes between the loop's test and its poll still wakes the poll.
int g_wake[2] = {-1, -1};

void Wake() {
    const int saved = errno;
    const char byte = 1;
    if (write(g_wake[1], &byte, 1) < 0) {
        // the pipe is full: the loop is woken already
    }
    errno = saved;
}

void OnSignal(int) {
    g_stop = 1;
    Wake();
}

// SIGUSR1: read everything already queued, then log "drained", so that a test
// knows that every datagram sent before its signal is in the log.
void OnDrain(int) {
    g_drain = 1;
    Wake();
}

std::uint64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

std::string Dotted(NetAddress address) {
    char text[AddressTextCapacity];
    FormatAddress(address, text, sizeof text);
    return text;
}

std::string Hex(const std::uint8_t* bytes, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// A reply due to be sent.
struct Pending {
    std::uint64_t due;
    std::uint64_t order;
    std::size_t controller;
    NetAddress to;
    std::uint16_t port;
    int interfaceIndex;
    bool operator>(const Pending& other) const {
        return due != other.due ? due > other.due : order > other.order;
    }
};

struct Simulator {
    SimOptions options;
    std::vector<ControllerState> controllers;
    std::vector<Controller> hosts;  // answer ARP and nothing else
    SimLink link;                   // frames of its own, where it may
    std::size_t askings = 0;        // ARP requests sent for workstations so far
    int socket = -1;
    FILE* log = stdout;
    std::mt19937 random;
    std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> pending;
    std::uint64_t order = 0;
    std::uint64_t start = 0;
    std::uint64_t sentReplies = 0;
    std::uint64_t sentJunk = 0;
    // The flood of the latest query, made as it is sent: when it began, how
    // much of it has gone, where to, and how much left within the tool's
    // 1010 ms reply window.
    bool flooding = false;
    std::uint64_t floodStart = 0;
    std::uint64_t floodSent = 0;
    std::uint64_t floodInWindow = 0;
    NetAddress floodTo = 0;
    std::uint16_t floodPort = 0;
    int floodInterface = 0;
    // ARP answers of a busy stack, each sent when due.
    struct Delayed {
        std::uint64_t due;
        int index;
        std::array<std::uint8_t, ArpFrameSize> frame;
    };
    std::vector<Delayed> delayed;
    // The chatty hosts' gratuitous ARP: the interfaces it goes out of, and how
    // many went so far (each host's due at its own rate from the start).
    std::vector<int> lineInterfaces;
    std::vector<std::uint64_t> chattered;  // per host
};

// When junk datagram n of the flood is due.
std::uint64_t FloodDue(const Simulator& sim, std::uint64_t n) {
    return sim.floodStart + static_cast<std::uint64_t>(sim.options.floodSpreadMs) * n / sim.options.floodCount;
}

// Wall-clock milliseconds, so that the logs of several simulators line up.
std::uint64_t WallMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

void LogLine(Simulator& sim, const std::string& fields) {
    std::fprintf(sim.log, "{\"t_ms\": %llu, \"wall_ms\": %llu, %s}\n",
                 static_cast<unsigned long long>(NowMs() - sim.start), static_cast<unsigned long long>(WallMs()),
                 fields.c_str());
    std::fflush(sim.log);
}

// Sends from source (any address, thanks to IP_TRANSPARENT) out of interfaceIndex.
bool SendFrom(Simulator& sim, NetAddress source, int interfaceIndex, NetAddress to, std::uint16_t port,
              const std::uint8_t* data, std::size_t length) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = to;
    iovec part{const_cast<std::uint8_t*>(data), length};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &remote;
    message.msg_namelen = sizeof remote;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = interfaceIndex;
    info.ipi_spec_dst.s_addr = source;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    if (!SendWaitingForRoom([&] { return sendmsg(sim.socket, &message, 0); })) {
        std::fprintf(stderr, "scout-sim: send from %s to %s failed: %s\n", Dotted(source).c_str(),
                     Dotted(to).c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

// The MAC n after first (its last three bytes counted).
Mac CountedMac(const Mac& first, std::uint32_t n) {
    const std::uint32_t low = ((first[3] << 16 | first[4] << 8 | first[5]) + n) & 0xffffff;
    return {first[0], first[1], first[2], static_cast<std::uint8_t>(low >> 16), static_cast<std::uint8_t>(low >> 8),
            static_cast<std::uint8_t>(low)};
}

// A controller answers ARP while it is on and plugged in, where it answers
// queries; a host always.
bool Holder(void* context, int interfaceIndex, NetAddress address, Mac* mac, std::uint32_t* answerMs) {
    const Simulator& sim = *static_cast<const Simulator*>(context);
    const std::uint64_t now = NowMs();
    for (const ControllerState& state : sim.controllers) {
        if (state.config.address == address && now >= state.offlineUntil && now < state.switchedOffAt &&
            (state.interfaceIndex == 0 || state.interfaceIndex == interfaceIndex)) {
            *mac = state.config.mac;
            *answerMs = state.config.answerMs;
            return true;
        }
    }
    for (const Controller& host : sim.hosts) {
        if (host.address == address) {
            *mac = host.mac;
            *answerMs = host.answerMs;
            return true;
        }
    }
    return false;
}

void AnswerLater(void* context, int interfaceIndex, const std::uint8_t* frame, std::size_t length,
                 std::uint32_t answerMs) {
    Simulator& sim = *static_cast<Simulator*>(context);
    Simulator::Delayed later{NowMs() + answerMs, interfaceIndex, {}};
    std::memcpy(later.frame.data(), frame, length < later.frame.size() ? length : later.frame.size());
    sim.delayed.push_back(later);
}

void ReadFrames(Simulator& sim) {
    ReadFrames(sim.link, LinkAnswerer{.context = &sim, .holder = Holder, .later = AnswerLater});
}

// The ARP answers that are due, sent; the earliest still to come (UINT64_MAX: none).
std::uint64_t SendDueAnswers(Simulator& sim, std::uint64_t now) {
    std::uint64_t next = UINT64_MAX;
    std::vector<Simulator::Delayed> waiting;
    for (const Simulator::Delayed& later : sim.delayed) {
        if (later.due <= now) {
            SendFrame(sim.link, later.index, later.frame.data(), later.frame.size());
            continue;
        }
        next = later.due < next ? later.due : next;
        waiting.push_back(later);
    }
    sim.delayed.swap(waiting);
    return next;
}

// Each chatty host's gratuitous ARP that is due, sent on the line (at most a
// turn's worth at once); when the next is due (UINT64_MAX: none).
std::uint64_t Chatter(Simulator& sim, std::uint64_t now) {
    constexpr std::uint64_t PerTurn = 256;
    std::uint64_t next = UINT64_MAX;
    for (std::size_t h = 0; h < sim.hosts.size() && sim.link.fd >= 0; ++h) {
        const Controller& host = sim.hosts[h];
        if (host.chatter == 0)
            continue;
        const std::uint64_t due = (now - sim.start) * host.chatter / 1000;
        for (std::uint64_t n = 0; n < PerTurn && sim.chattered[h] < due; ++n, ++sim.chattered[h]) {
            std::uint8_t frame[ArpFrameSize];
            BuildArpFrame(1, host.mac, host.address, Mac{}, host.address, frame);
            for (const int index : sim.lineInterfaces)
                SendFrame(sim.link, index, frame, sizeof frame);
        }
        const std::uint64_t at = sim.start + (sim.chattered[h] + 1) * 1000 / host.chatter;
        next = at < next ? at : next;
    }
    return next;
}


// The reply as a frame from the controller's own MAC, to the querier's MAC
// (seen on its query), after asking for the querier by ARP as a device does
// before its first datagram to it; false where the simulator sends no frames.
bool SendReplyFrame(Simulator& sim, const Pending& p, const std::vector<std::uint8_t>& reply) {
    ControllerState& state = sim.controllers[p.controller];
    const Controller& c = state.config;
    const bool broadcast = c.reply == ReplyMode::Broadcast;
    Mac to{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    if (sim.link.fd < 0)
        return false;
    if (!broadcast && !KnownMac(sim.link, p.interfaceIndex, p.to, &to)) {
        ReadFrames(sim);
        if (!KnownMac(sim.link, p.interfaceIndex, p.to, &to))
            return false;
    }
    if (!broadcast && (state.askedFor != p.to || state.askedAs != c.address) && sim.askings < sim.options.arpAskings) {
        std::uint8_t asking[ArpFrameSize];
        BuildArpFrame(1, c.mac, c.address, Mac{}, p.to, asking);
        SendFrame(sim.link, p.interfaceIndex, asking, sizeof asking);
        state.askedFor = p.to;
        state.askedAs = c.address;
        ++sim.askings;
    }
    std::uint8_t frame[MaxDatagram + 64];
    const std::size_t length = BuildUdpFrame(c.mac, to, c.address, ControllerPort, broadcast ? BroadcastAddress : p.to,
                                             p.port, reply.data(), reply.size(), frame, sizeof frame);
    return length != 0 && SendFrame(sim.link, p.interfaceIndex, frame, length);
}

void SendReply(Simulator& sim, const Pending& p) {
    const Controller& c = sim.controllers[p.controller].config;
    const std::vector<std::uint8_t> reply = EncodeReply(c);
    const NetAddress to = c.reply == ReplyMode::Broadcast ? BroadcastAddress : p.to;
    if (SendReplyFrame(sim, p, reply) || SendFrom(sim, c.address, p.interfaceIndex, to, p.port, reply.data(), reply.size()))
        ++sim.sentReplies;
}

void SendJunk(Simulator& sim) {
    std::uint8_t bytes[DatagramLength];
    const std::size_t length = sim.options.floodLength >= 0 ? static_cast<std::size_t>(sim.options.floodLength)
                                                             : 1 + sim.random() % DatagramLength;
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(sim.random());
    if (SendFrom(sim, sim.controllers[0].config.address, sim.floodInterface, sim.floodTo, sim.floodPort, bytes, length))
        ++sim.sentJunk;
    const std::uint64_t since = NowMs() - sim.floodStart;
    if (since <= ReplyWindowMs)
        ++sim.floodInWindow;
    if (++sim.floodSent == sim.options.floodCount) {
        sim.flooding = false;
        LogLine(sim, "\"event\": \"flood-sent\", \"junk_sent\": " + std::to_string(sim.options.floodCount) +
                         ", \"within_window\": " + std::to_string(sim.floodInWindow) + ", \"took_ms\": " +
                         std::to_string(since));
    }
}

void Schedule(Simulator& sim, std::uint64_t due, std::size_t controller, NetAddress to, std::uint16_t port,
              int interfaceIndex) {
    sim.pending.push(Pending{due, sim.order++, controller, to, port, interfaceIndex});
}

// A text as a JSON string, whatever its bytes (an interface's name may hold any).
std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string InterfaceName(int index) {
    char name[IF_NAMESIZE] = "?";
    if (index > 0 && if_indextoname(static_cast<unsigned>(index), name) == nullptr)
        std::snprintf(name, sizeof name, "%d", index);
    return name;
}

// What one received datagram does: the controllers react, the answers are
// scheduled; returns the JSON fields that say what happened.
std::string Act(Simulator& sim, const std::uint8_t* bytes, std::size_t length, const sockaddr_in& from,
                int interfaceIndex) {
    const std::uint64_t now = NowMs();
    const Reaction reaction = React(sim.controllers, bytes, length, interfaceIndex, now);
    const std::uint16_t port = ntohs(from.sin_port);
    switch (reaction.action) {
    case Action::Query:
        for (const std::size_t i : reaction.answering) {
            const Controller& c = sim.controllers[i].config;
            const std::uint64_t spread = static_cast<std::uint64_t>(c.delayMaxMs) - c.delayMinMs;
            const std::uint64_t delay = c.delayMinMs + sim.random() % (spread + 1);
            Schedule(sim, now + delay, i, from.sin_addr.s_addr, port, interfaceIndex);
            if (c.answerTwice)
                Schedule(sim, now + delay + 1, i, from.sin_addr.s_addr, port, interfaceIndex);
        }
        if (sim.options.floodCount != 0 && !sim.controllers.empty()) {
            sim.flooding = true;
            sim.floodStart = now;
            sim.floodSent = 0;
            sim.floodInWindow = 0;
            sim.floodTo = from.sin_addr.s_addr;
            sim.floodPort = port;
            sim.floodInterface = interfaceIndex;
        }
        return "\"action\": \"query\", \"answering\": " + std::to_string(reaction.answering.size()) +
               ", \"flood\": " + std::to_string(sim.options.floodCount);
    case Action::Reset: {
        const Controller& c = sim.controllers[reaction.acting.front()].config;
        return "\"action\": \"reset\", \"target\": \"" + Dotted(reaction.target) +
               "\", \"factory_defaults\": " + (reaction.factoryDefaults ? "true" : "false") +
               ", \"offline_ms\": " + std::to_string(c.offlineMs) + ", \"address\": \"" + Dotted(c.address) +
               "\", \"acting\": " + std::to_string(reaction.acting.size());
    }
    case Action::Reconfigure: {
        const Controller& c = sim.controllers[reaction.acting.front()].config;
        return "\"action\": \"reconfigure\", \"target\": \"" + Dotted(reaction.target) + "\", \"address\": \"" +
               Dotted(c.address) + "\", \"mask\": \"" + Dotted(c.mask) + "\", \"gateway\": \"" + Dotted(c.gateway) +
               "\", \"acting\": " + std::to_string(reaction.acting.size());
    }
    case Action::Ignored:
        break;
    }
    std::string fields = "\"action\": \"ignored\"";
    if (reaction.command == static_cast<std::uint32_t>(CommandCode::CommandReset) ||
        reaction.command == static_cast<std::uint32_t>(CommandCode::CommandReconfigure)) {
        fields += std::string(", \"command\": \"") +
                  (reaction.command == static_cast<std::uint32_t>(CommandCode::CommandReset) ? "reset" : "reconfigure") +
                  "\", \"target\": \"" + Dotted(reaction.target) + "\"";
    }
    return fields + ", \"reason\": " + JsonText(reaction.reason);
}

void ReceiveAll(Simulator& sim) {
    for (;;) {
        std::uint8_t bytes[MaxDatagram];
        sockaddr_in from{};
        iovec part{bytes, sizeof bytes};
        alignas(cmsghdr) char control[256];
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = recvmsg(sim.socket, &message, MSG_DONTWAIT);
        if (length < 0)
            return;
        int interfaceIndex = 0;
        NetAddress destination = 0;
        for (cmsghdr* h = CMSG_FIRSTHDR(&message); h != nullptr; h = CMSG_NXTHDR(&message, h)) {
            if (h->cmsg_level == IPPROTO_IP && h->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(h), sizeof info);
                interfaceIndex = info.ipi_ifindex;
                destination = info.ipi_addr.s_addr;
            }
        }
        const auto size = static_cast<std::size_t>(length);
        const std::string action = Act(sim, bytes, size, from, interfaceIndex);
        LogLine(sim, "\"event\": \"datagram\", \"from\": \"" + Dotted(from.sin_addr.s_addr) + ":" +
                         std::to_string(ntohs(from.sin_port)) + "\", \"to\": \"" + Dotted(destination) +
                         "\", \"interface\": " + JsonText(InterfaceName(interfaceIndex)) + ", \"length\": " +
                         std::to_string(size) + ", \"hex\": \"" + Hex(bytes, size) + "\", " + action);
    }
}

bool OpenSocket(Simulator& sim) {
    sim.socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sim.socket < 0)
        return false;
    const int on = 1;
    setsockopt(sim.socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(sim.socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(sim.socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    if (setsockopt(sim.socket, IPPROTO_IP, IP_TRANSPARENT, &on, sizeof on) != 0)
        std::fprintf(stderr, "scout-sim: IP_TRANSPARENT refused (%s); controllers need local addresses\n",
                     std::strerror(errno));
    const int buffer = 8 * 1024 * 1024;
    setsockopt(sim.socket, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    setsockopt(sim.socket, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(ControllerPort);
    local.sin_addr.s_addr = INADDR_ANY;
    return bind(sim.socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

constexpr int JunkPerTurn = 1024;  // then the socket is read again

int Run(Simulator& sim) {
    std::uint64_t linkDue = Chatter(sim, NowMs());  // the next delayed ARP answer or chatter
    while (g_stop == 0) {
        int timeout = -1;
        if (!sim.pending.empty() || sim.flooding || linkDue != UINT64_MAX) {
            const std::uint64_t now = NowMs();
            std::uint64_t due = sim.flooding ? FloodDue(sim, sim.floodSent) : UINT64_MAX;
            if (!sim.pending.empty() && sim.pending.top().due < due)
                due = sim.pending.top().due;
            due = linkDue < due ? linkDue : due;
            timeout = due <= now ? 0 : static_cast<int>(due - now);
        }
        pollfd watch[3] = {{sim.socket, POLLIN, 0}, {g_wake[0], POLLIN, 0}, {sim.link.fd, POLLIN, 0}};
        const int ready = poll(watch, sim.link.fd >= 0 ? 3 : 2, timeout);
        if (ready < 0 && errno != EINTR)
            return 1;
        if (ready > 0 && (watch[1].revents & POLLIN) != 0) {
            char bytes[64];
            while (read(g_wake[0], bytes, sizeof bytes) > 0) {
            }
        }
        // Frames first: a query's sender is known by its MAC before it is answered.
        if (ready > 0 && (watch[2].revents & POLLIN) != 0)
            ReadFrames(sim);
        if (ready > 0 && (watch[0].revents & POLLIN) != 0)
            ReceiveAll(sim);
        if (g_drain != 0) {
            g_drain = 0;
            ReceiveAll(sim);
            LogLine(sim, "\"event\": \"drained\"");
        }
        const std::uint64_t now = NowMs();
        while (!sim.pending.empty() && sim.pending.top().due <= now && g_stop == 0) {
            const Pending p = sim.pending.top();
            sim.pending.pop();
            SendReply(sim, p);
        }
        for (int n = 0; n < JunkPerTurn && sim.flooding && FloodDue(sim, sim.floodSent) <= now && g_stop == 0; ++n)
            SendJunk(sim);
        const std::uint64_t answerDue = SendDueAnswers(sim, now);
        const std::uint64_t chatterDue = Chatter(sim, now);
        linkDue = answerDue < chatterDue ? answerDue : chatterDue;
    }
    LogLine(sim, "\"event\": \"stopped\", \"replies_sent\": " + std::to_string(sim.sentReplies) +
                     ", \"junk_sent\": " + std::to_string(sim.sentJunk) +
                     ", \"within_window\": " + std::to_string(sim.floodInWindow));
    return 0;
}

}  // namespace

int Main(int argc, char** argv) {
    Simulator sim;
    std::string error;
    bool help = false;
    if (!ParseSimArguments(argc, argv, &sim.options, &error, &help)) {
        std::fprintf(stderr, "scout-sim: %s\nTry 'scout-sim --help' for more information.\n", error.c_str());
        return 2;
    }
    if (help) {
        std::fputs(SimUsage, stdout);
        return 0;
    }
    sim.random.seed(sim.options.seed);
    std::uint32_t line = 0;
    for (Controller c : sim.options.controllers) {
        ++line;
        if (!c.macGiven)
            c.mac = CountedMac(sim.options.firstMac, line - 1);
        if (c.hostOnly) {
            sim.hosts.push_back(c);
            continue;
        }
        ControllerState state;
        state.config = c;
        if (!c.interfaceName.empty()) {
            state.interfaceIndex = static_cast<int>(if_nametoindex(c.interfaceName.c_str()));
            if (state.interfaceIndex == 0) {
                std::fprintf(stderr, "scout-sim: no interface %s\n", c.interfaceName.c_str());
                return 2;
            }
        }
        sim.controllers.push_back(state);
    }
    if (!sim.options.logPath.empty()) {
        sim.log = std::fopen(sim.options.logPath.c_str(), "a");
        if (sim.log == nullptr) {
            std::fprintf(stderr, "scout-sim: cannot write %s\n", sim.options.logPath.c_str());
            return 1;
        }
    }
    if (!OpenSocket(sim)) {
        std::fprintf(stderr, "scout-sim: cannot listen on UDP %u: %s\n", ControllerPort, std::strerror(errno));
        return 1;
    }
    // Without CAP_NET_RAW every controller's frames carry the namespace's MAC.
    const bool frames = OpenSimLink(&sim.link);
    if (!frames && !sim.hosts.empty()) {
        std::fprintf(stderr, "scout-sim: a host line needs frames of its own (CAP_NET_RAW): %s\n", std::strerror(errno));
        return 1;
    }
    if (pipe(g_wake) != 0 || fcntl(g_wake[0], F_SETFL, O_NONBLOCK) != 0 ||
        fcntl(g_wake[1], F_SETFL, O_NONBLOCK) != 0) {
        std::fprintf(stderr, "scout-sim: cannot make its wake-up pipe: %s\n", std::strerror(errno));
        return 1;
    }
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    struct sigaction drain{};
    drain.sa_handler = OnDrain;
    sigaction(SIGUSR1, &drain, nullptr);
    sim.start = NowMs();
    sim.lineInterfaces = LineInterfaces(sim.link);
    sim.chattered.assign(sim.hosts.size(), 0);
    // Controllers plugged in or switched off later, counted from now.
    for (ControllerState& state : sim.controllers) {
        state.offlineUntil = sim.start + state.config.onlineMs;
        if (state.config.offMs != 0)
            state.switchedOffAt = sim.start + state.config.offMs;
    }
    LogLine(sim, "\"event\": \"ready\", \"controllers\": " + std::to_string(sim.controllers.size()) +
                     ", \"hosts\": " + std::to_string(sim.hosts.size()) + ", \"frames\": " + (frames ? "true" : "false"));
    return Run(sim);
}

}  // namespace scout::sim

int main(int argc, char** argv) {
    return scout::sim::Main(argc, argv);
}
