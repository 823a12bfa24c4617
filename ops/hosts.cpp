// Whether a host holds an address a command would give (see hosts.h).
#include "ops/hosts.h"

#include <cstdio>
#include <string>

#include "ops/names.h"

namespace scout::ops {

HostAsking AskForHosts(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                       const std::vector<NetAddress>& addresses) {
    HostAsking asking;
    asking.since = platform.now(platform.context);
    asking.probesSent = 1;
    for (const BroadcastInterface& via : interfaces) {
        const int prefix = PrefixOf(platform, via);
        for (const NetAddress address : addresses) {
            if (platform.askNeighbour == nullptr || platform.readNeighbour == nullptr) {
                asking.unasked.push_back(HostAnswer{address, via, NeighbourAnswer::Unsupported, {}, 0, prefix});
                continue;
            }
            NeighbourAsking one;
            // Outside a known subnet the system's own resolution cannot be relied on.
            platform.askNeighbour(platform.context, via, address, InSubnet(address, via.address, prefix), &one);
            asking.askings.push_back(one);
            asking.prefixes.push_back(prefix);
        }
    }
    return asking;
}

void KeepAsking(const NetPlatform& platform, HostAsking& asking) {
    if (asking.askings.empty() || platform.probeNeighbour == nullptr)
        return;
    const std::uint32_t elapsed = platform.now(platform.context) - asking.since;
    while (asking.probesSent < ProbeCount && ProbeOffsetsMs[asking.probesSent] <= elapsed) {
        for (NeighbourAsking& one : asking.askings)
            platform.probeNeighbour(platform.context, &one);
        ++asking.probesSent;
    }
}

std::vector<HostAnswer> HostsAnswered(const NetPlatform& platform, HostAsking& asking) {
    // The deadline is the same for every command, however long its look was.
    constexpr std::uint32_t PassMs = 50;
    for (;;) {
        KeepAsking(platform, asking);
        const std::uint32_t elapsed = platform.now(platform.context) - asking.since;
        if (asking.askings.empty() || elapsed >= LinkAnswerMs)
            break;
        const std::uint32_t left = LinkAnswerMs - elapsed;
        platform.sleep(platform.context, left < PassMs ? left : PassMs);
    }
    std::vector<HostAnswer> answers = asking.unasked;
    for (std::size_t i = 0; i < asking.askings.size(); ++i) {
        NeighbourAsking& one = asking.askings[i];
        HostAnswer answer;
        answer.address = one.address;
        answer.via = one.via;
        answer.answer = platform.readNeighbour(platform.context, &one, &answer.mac);
        answer.code = one.code;
        answer.prefix = asking.prefixes[i];
        answers.push_back(answer);
    }
    asking.askings.clear();
    asking.prefixes.clear();
    return answers;
}

std::vector<HostAnswer> AskTheLink(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                                   const std::vector<NetAddress>& addresses) {
    HostAsking asking = AskForHosts(platform, interfaces, addresses);
    return HostsAnswered(platform, asking);
}

const HostAnswer* HostAnswerOn(const std::vector<HostAnswer>& answers, NetAddress address,
                               const BroadcastInterface& via) {
    for (const HostAnswer& answer : answers)
        if (answer.address == address && SameInterface(answer.via, via))
            return &answer;
    return nullptr;
}

std::string MacText(const MacAddress& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace scout::ops
