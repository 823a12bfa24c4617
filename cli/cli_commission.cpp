// commission's range as its options give it, and its lines (see cli_commission.h).
#include "cli/cli_commission.h"

#include <cstdio>

#include "ops/hosts.h"
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
    const std::string mac = done.row.empty() || done.before.macSource == MacSource::None
                                ? std::string()
                                : " MAC " + MacText(done.before.mac);
    std::string line = std::to_string(done.number) + (count != 0 ? "/" + std::to_string(count) : std::string()) +
                       " " + who + mac + " \xE2\x86\x92 " + done.newAddress +
                       (done.row.empty() ? std::string() : " as " + done.row) + ", ";
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

namespace {

const char* RowStatusName(RowStatus status) {
    switch (status) {
    case RowStatus::Commissioned: return "commissioned";
    case RowStatus::NotVerified: return "not-verified";
    case RowStatus::Refused: return "refused";
    case RowStatus::DryRun: return "dry-run";
    case RowStatus::Answers: return "answers";
    case RowStatus::Missing: return "missing";
    }
    return "";
}

}  // namespace

std::string RenderRowOutcomes(const ExpectedList& list, const std::vector<RowOutcome>& outcomes, OutputFormat format,
                              const RenderOptions& options) {
    const auto mac = [](const Reply& r) { return r.macSource == MacSource::None ? std::string() : MacText(r.mac); };
    if (format == OutputFormat::Json) {
        std::string out = list.rows.empty() ? "[]\n" : "[\n";
        for (std::size_t i = 0; i < list.rows.size(); ++i) {
            const ExpectedRow& row = list.rows[i];
            const RowOutcome& o = outcomes[i];
            out += "  {\"line\": " + std::to_string(row.line);
            AppendJsonKey(out, "name", ValidUtf8(row.name.c_str()));
            AppendJsonKey(out, "address", row.addressText);
            AppendJsonKey(out, "model", DecodeWindows1252(o.controller.model));
            AppendJsonKey(out, "mac", mac(o.controller));
            AppendJsonKey(out, "status", RowStatusName(o.status));
            out += std::string(", \"verified\": ") + (o.status == RowStatus::Commissioned ? "true" : "false");
            AppendJsonKey(out, "why", ValidUtf8(o.why.c_str()));
            out += i + 1 < list.rows.size() ? "},\n" : "}\n]\n";
        }
        return out;
    }
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < list.rows.size(); ++i) {
        const RowOutcome& o = outcomes[i];
        rows.push_back({std::to_string(list.rows[i].line), list.rows[i].name, DecodeWindows1252(o.controller.model),
                        mac(o.controller), list.rows[i].addressText, RowStatusName(o.status), o.why});
    }
    const char* headers[] = {"Line", "Name", "Model", "MAC", "IP ADDR", "Status", "Why"};
    return RenderStrings(headers, 7, rows, format, options);
}

}  // namespace scout::cli
