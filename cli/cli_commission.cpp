// The pure parts of commission (see cli_commission.h).
#include "cli/cli_commission.h"

#include <cstdio>

#include "cli/cli_text.h"

namespace scout::cli {
namespace {

NetAddress FromHostOrder(std::uint32_t value) {
    return MakeAddress(static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                       static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value));
}

std::string Texts(const CliRow& row) {
    return SafeText(DecodeWindows1252(row.model).c_str()) + " " + SafeText(DecodeWindows1252(row.version).c_str()) +
           " " + SafeText(DecodeWindows1252(row.revision).c_str());
}

}  // namespace

bool ReadRange(const char* first, const char* last, NetAddress mask, AddressRange* range, std::string* problem) {
    if (!ParseDottedAddress(first, &range->first) || !ControllerCanHold(range->first)) {
        *problem = "--first takes an address a controller can hold, not '" + SafeText(first, 64) + "'";
        return false;
    }
    if (last == nullptr) {
        // The last host of first's subnet: its broadcast address less one.
        range->last = FromHostOrder((HostOrder(range->first) | ~HostOrder(mask)) - 1);
    } else if (!ParseDottedAddress(last, &range->last) || !ControllerCanHold(range->last)) {
        *problem = "--last takes an address a controller can hold, not '" + SafeText(last, 64) + "'";
        return false;
    }
    if (HostOrder(range->last) < HostOrder(range->first)) {
        *problem = "--last " + AddressString(range->last) + " comes before --first " + AddressString(range->first);
        return false;
    }
    // Every address given lies in the one subnet its mask makes: a range that
    // runs past it would give addresses that no reconfigure gives.
    const std::uint32_t bits = HostOrder(mask);
    if ((HostOrder(range->last) & bits) != (HostOrder(range->first) & bits)) {
        int prefix = 0;
        for (std::uint32_t m = bits; (m & 0x80000000u) != 0; m <<= 1)
            ++prefix;
        *problem = "--last " + AddressString(range->last) + " lies outside the subnet " +
                   AddressString(FromHostOrder(HostOrder(range->first) & bits)) + "/" + std::to_string(prefix) +
                   " that --first and --mask make";
        return false;
    }
    return true;
}

NetAddress NextFree(const AddressRange& range, NetAddress from, const std::vector<NetAddress>& taken) {
    for (NetAddress candidate = from; candidate != 0; candidate = AddressAfter(range, candidate)) {
        if (HostOrder(candidate) < HostOrder(range.first))
            continue;
        bool used = false;
        for (const NetAddress address : taken)
            used = used || address == candidate;
        if (!used)
            return candidate;
    }
    return 0;
}

NetAddress AddressAfter(const AddressRange& range, NetAddress address) {
    return HostOrder(address) >= HostOrder(range.last) ? 0 : FromHostOrder(HostOrder(address) + 1);
}

std::string CommissionedLine(const Commissioned& done, std::uint32_t count) {
    // A dry run plans the controllers after the one it saw, not yet seen.
    const std::string who = done.before.model[0] != '\0' ? Texts(done.before) : std::string("the next controller");
    std::string line = std::to_string(done.number) + (count != 0 ? "/" + std::to_string(count) : std::string()) +
                       " " + who + " \xE2\x86\x92 " + done.newAddress + ", ";
    if (done.outcome == "dry-run")
        return line + "not sent (dry run)";
    if (done.verified)
        return line + "verified after " + SecondsText(done.seconds) + " s";
    return line + "not verified: " + done.message;
}

std::string RenderCommissioned(const std::vector<Commissioned>& done, OutputFormat format,
                               const RenderOptions& options) {
    if (format == OutputFormat::Json) {
        std::string out = done.empty() ? "[]\n" : "[\n";
        for (std::size_t i = 0; i < done.size(); ++i) {
            const Commissioned& d = done[i];
            out += "  {\"number\": " + std::to_string(d.number) + ", " + JsonRowKeys(d.before);
            AppendJsonKey(out, "new_address", d.newAddress);
            AppendJsonKey(out, "outcome", d.outcome);
            out += std::string(", \"verified\": ") + (d.verified ? "true" : "false");
            out += ", \"seconds\": " + SecondsText(d.seconds);
            out += i + 1 < done.size() ? "},\n" : "}\n]\n";
        }
        return out;
    }
    std::vector<std::vector<std::string>> rows;
    for (const Commissioned& d : done)
        rows.push_back({std::to_string(d.number), DecodeWindows1252(d.before.model),
                        DecodeWindows1252(d.before.version), DecodeWindows1252(d.before.revision),
                        InterfaceLabel(d.before.interfaceName, d.before.interfaceAddress), d.newAddress, d.outcome,
                        SecondsText(d.seconds)});
    const char* headers[] = {"#", "Model", "Version", "Revision", "Interface", "New address", "Outcome", "Seconds"};
    return RenderStrings(headers, 8, rows, format, options);
}

}  // namespace scout::cli
