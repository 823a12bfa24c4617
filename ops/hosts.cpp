// Whether a host holds an address a command would give (see hosts.h).
#include "ops/hosts.h"

#include <cstdio>
#include <string>

namespace scout::ops {
namespace {

int PrefixOf(const NetPlatform& platform, const BroadcastInterface& entry) {
    InterfaceDetails details;
    return platform.describeInterface(platform.context, entry, &details) ? details.prefixLength : -1;
}


}  // namespace

HostAsking AskForHosts(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                       NetAddress address) {
    HostAsking asking;
    for (const BroadcastInterface& via : interfaces) {
        const int prefix = PrefixOf(platform, via);
        if (platform.askNeighbour == nullptr || platform.readNeighbour == nullptr) {
            asking.unasked.push_back(HostAnswer{address, via, NeighbourAnswer::Unsupported, {}, 0, prefix});
            continue;
        }
        NeighbourAsking one;
        // Outside a known subnet the system's own resolution cannot be relied on.
        platform.askNeighbour(platform.context, via, address, InSubnet(address, via.address, prefix), &one);
        asking.askings.push_back(one);
    }
    return asking;
}

std::vector<HostAnswer> HostsAnswered(const NetPlatform& platform, HostAsking& asking) {
    std::vector<HostAnswer> answers = asking.unasked;
    for (NeighbourAsking& one : asking.askings) {
        HostAnswer answer;
        answer.address = one.address;
        answer.via = one.via;
        answer.answer = platform.readNeighbour(platform.context, &one, &answer.mac);
        answer.code = one.code;
        answer.prefix = PrefixOf(platform, one.via);
        answers.push_back(answer);
    }
    asking.askings.clear();
    return answers;
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
