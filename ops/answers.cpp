// Who answers at an address on an interface (see answers.h).
#include "ops/answers.h"

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

}  // namespace scout::ops
