// commission's range as its options give it, and its lines (see cli_commission.h).
#include "cli/cli_commission.h"

#include <cstdio>

#include "ops/text.h"

namespace scout::cli {

bool ReadRange(const char* first, const char* last, NetAddress mask, AddressRange* range, std::string* problem) {
    if (!ParseDottedAddress(first, &range->first) || !ControllerCanHold(range->first)) {
        *problem = "--first takes an address a controller can hold, not '" + SafeText(first, 64) + "'";
        return false;
    }
    if (last == nullptr) {
        range->last = LastHostOf(range->first, mask);
    } else if (!ParseDottedAddress(last, &range->last) || !ControllerCanHold(range->last)) {
        *problem = "--last takes an address a controller can hold, not '" + SafeText(last, 64) + "'";
        return false;
    }
    switch (CheckRange(*range, mask)) {
    case RangeFault::None:
        return true;
    case RangeFault::LastBeforeFirst:
        *problem = "--last " + AddressString(range->last) + " comes before --first " + AddressString(range->first);
        return false;
    case RangeFault::OutsideSubnet:
        *problem = "--last " + AddressString(range->last) + " lies outside the subnet " +
                   AddressString(FromHostOrder(HostOrder(range->first) & HostOrder(mask))) + "/" +
                   std::to_string(PrefixLengthOf(mask)) + " that --first and --mask make";
        return false;
    }
    return false;
}

std::string CommissionedLine(const Commissioned& done, std::uint32_t count) {
    // A dry run plans the controllers after the one it saw, not yet seen.
    const std::string who = done.before.model[0] != '\0' ? DeviceTexts(done.before) : std::string("the next controller");
    std::string line = std::to_string(done.number) + (count != 0 ? "/" + std::to_string(count) : std::string()) +
                       " " + who + " \xE2\x86\x92 " + done.newAddress + ", ";
    if (done.outcome == "dry-run")
        return line + "not sent (dry run)";
    if (done.verified)
        return line + "verified after " + SecondsOf(done.seconds) + " s";
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
            out += ", \"seconds\": " + SecondsOf(d.seconds);
            out += i + 1 < done.size() ? "},\n" : "}\n]\n";
        }
        return out;
    }
    std::vector<std::vector<std::string>> rows;
    for (const Commissioned& d : done)
        rows.push_back({std::to_string(d.number), DecodeWindows1252(d.before.model),
                        DecodeWindows1252(d.before.version), DecodeWindows1252(d.before.revision),
                        InterfaceLabel(d.before.interfaceName, d.before.interfaceAddress), d.newAddress, d.outcome,
                        SecondsOf(d.seconds)});
    const char* headers[] = {"#", "Model", "Version", "Revision", "Interface", "New address", "Outcome", "Seconds"};
    return RenderStrings(headers, 8, rows, format, options);
}

}  // namespace scout::cli
