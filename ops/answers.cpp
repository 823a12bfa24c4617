// Who answers at an address on an interface (see answers.h).
#include "ops/answers.h"

#include <algorithm>
#include <cstring>

namespace scout::ops {

std::vector<const Reply*> AnswersAt(const std::vector<Reply>& rows, const std::string& address,
                                    const BroadcastInterface& via) {
    std::vector<const Reply*> there;
    for (const Reply& row : rows)
        if (SameInterface(row.via, via) && address == row.address)
            there.push_back(&row);
    return there;
}

std::vector<const Reply*> AnswersAt(const std::vector<Reply>& rows, NetAddress address, const BroadcastInterface& via) {
    char text[AddressTextCapacity];
    FormatAddress(address, text, sizeof text);
    return AnswersAt(rows, std::string(text), via);
}

std::vector<BroadcastInterface> InterfacesAnswering(const std::vector<Reply>& rows, const std::string& address) {
    std::vector<BroadcastInterface> where;
    for (const Reply& row : rows) {
        if (address != row.address)
            continue;
        bool known = false;
        for (const BroadcastInterface& entry : where)
            known = known || SameInterface(entry, row.via);
        if (!known)
            where.push_back(row.via);
    }
    return where;
}

bool SameTexts(const Reply& a, const Reply& b) {
    return std::strcmp(a.model, b.model) == 0 && std::strcmp(a.version, b.version) == 0 &&
           std::strcmp(a.revision, b.revision) == 0;
}

std::vector<NetAddress> AnsweringAddresses(const std::vector<Reply>& rows, const BroadcastInterface* via) {
    std::vector<NetAddress> addresses;
    for (const Reply& row : rows) {
        NetAddress address = 0;
        if ((via == nullptr || SameInterface(row.via, *via)) && ParseDottedAddress(row.address, &address))
            addresses.push_back(address);
    }
    return addresses;
}

SharedAnswers WhoShares(const std::vector<const Reply*>& answers) {
    SharedAnswers shared;
    bool allFramed = !answers.empty();
    for (const Reply* answer : answers) {
        shared.textsDiffer = shared.textsDiffer || !SameTexts(*answer, *answers[0]);
        if (answer->macSource != MacSource::Frame) {
            allFramed = false;
            continue;
        }
        ++shared.framed;
        bool known = false;
        for (const MacAddress& mac : shared.macs)
            known = known || mac == answer->mac;
        if (!known)
            shared.macs.push_back(answer->mac);
    }
    if (shared.macs.size() > 1 || shared.textsDiffer)
        shared.who = WhoAnswers::SeveralControllers;
    else if (allFramed)
        shared.who = WhoAnswers::OneMac;
    return shared;
}

namespace {

// The rows grouped by interface and address, so that a search of thousands
// costs no more than a sort: use(first, end) for each group of order.
template <typename Use>
void EachPlace(std::vector<Reply>& rows, Use use) {
    std::vector<Reply*> order;
    for (Reply& row : rows)
        order.push_back(&row);
    const auto before = [](const Reply* a, const Reply* b) {
        if (a->via.index != b->via.index)
            return a->via.index < b->via.index;
        if (a->via.address != b->via.address)
            return a->via.address < b->via.address;
        return std::strcmp(a->address, b->address) < 0;
    };
    std::sort(order.begin(), order.end(), before);
    for (std::size_t first = 0; first < order.size();) {
        std::size_t end = first + 1;
        while (end < order.size() && !before(order[first], order[end]))
            ++end;
        use(order.data() + first, order.data() + end);
        first = end;
    }
}

}  // namespace

void FinishRows(const NetPlatform& platform, std::vector<Reply>& rows, std::uint32_t since) {
    if (platform.neighbourMac == nullptr)
        return;
    EachPlace(rows, [&](Reply** first, Reply** end) {
        Reply& row = **first;
        NetAddress address = 0;
        if (end - first == 1 && row.macSource == MacSource::None && ParseDottedAddress(row.address, &address) &&
            platform.neighbourMac(platform.context, row.via, address, since, &row.mac))
            row.macSource = MacSource::Neighbour;
    });
}

}  // namespace scout::ops
