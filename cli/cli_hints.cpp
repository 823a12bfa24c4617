// The hints where nothing happened (see cli_hints.h).
#include "cli/cli_hints.h"

#include "cli/cli_render.h"
#include "cli/cli_text.h"

namespace scout::cli {
namespace {

std::uint32_t MaskOf(int prefix) {
    return prefix <= 0 ? 0 : prefix >= 32 ? 0xFFFFFFFFu : 0xFFFFFFFFu << (32 - prefix);
}

}  // namespace

std::string NoInterfaceHint() {
    return "no interface to search: none is up with an IPv4 address and a link. Check the cable and the "
           "adapter's address; `scout-cli interfaces` lists what is there and why each is skipped";
}

std::vector<std::string> NothingAnsweredHints(InterfaceNames& names, const std::vector<BroadcastInterface>& searched,
                                              const std::vector<bool>& cutShort, const std::vector<CliRow>& rows) {
    std::vector<std::string> hints;
    for (std::size_t i = 0; i < searched.size(); ++i) {
        if (i < cutShort.size() && cutShort[i])
            continue;
        bool answered = false;
        for (const CliRow& row : rows)
            answered = answered || SameInterface(row.via, searched[i]);
        if (answered)
            continue;
        const std::string name = InterfaceNameOf(names, searched[i]);
        const std::string label = InterfaceLabel(name.c_str(), AddressString(searched[i].address).c_str());
        hints.push_back("nothing answered on " + label + "; `scout-cli doctor --interface " +
                        (name.empty() ? AddressString(searched[i].address) : SafeText(name.c_str())) +
                        "` looks for the cause");
    }
    return hints;
}

std::string UnreachableAfterwardsHint(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                                      NetAddress newAddress, NetAddress newMask) {
    const std::uint32_t wanted = HostOrder(newAddress);
    for (const BroadcastInterface& entry : interfaces) {
        InterfaceDetails details;
        if (!platform.describeInterface(platform.context, entry, &details) || details.prefixLength < 0)
            return "";  // where a prefix is not known, nothing can be said
        const std::uint32_t mask = MaskOf(details.prefixLength);
        if ((wanted & mask) == (HostOrder(entry.address) & mask))
            return "";
    }
    const std::uint32_t mask = HostOrder(newMask);
    const std::uint32_t network = wanted & mask;
    int prefix = 0;
    for (std::uint32_t m = mask; (m & 0x80000000u) != 0; m <<= 1)
        ++prefix;
    char subnet[AddressTextCapacity];
    FormatAddress(MakeAddress(static_cast<std::uint8_t>(network >> 24), static_cast<std::uint8_t>(network >> 16),
                              static_cast<std::uint8_t>(network >> 8), static_cast<std::uint8_t>(network)),
                  subnet, sizeof subnet);
    return "warning: " + AddressString(newAddress) + " lies outside the subnet of every interface of this workstation: "
           "after the command it reaches the controller only with a route to " + subnet + "/" +
           std::to_string(prefix) + " or a second address there";
}

}  // namespace scout::cli
