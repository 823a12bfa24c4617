// scout-cli audit (see cli_audit.h).
#include "cli/cli_audit.h"

#include <cstring>

#include "cli/cli_words.h"
#include "ops/hosts.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

std::string ExpectedText(const char* prefix, const ops::ExpectedText& text) {
    if (text.text.empty())
        return "";
    return std::string(prefix) + (text.minimum ? ">=" : "") + text.text;
}

std::string Joined(const std::vector<std::string>& parts, const char* between) {
    std::string out;
    for (const std::string& part : parts)
        if (!part.empty())
            out += (out.empty() ? "" : between) + part;
    return out;
}

// The found row's texts, as search --csv gives them.
std::string OneFound(const Reply& row) {
    return Joined({DeviceText(row.model), DeviceText(row.version), DeviceText(row.revision), RowMacText(row)}, " ");
}

// The fields that differ, and those not read here.
std::string FieldsText(const AuditResult& result) {
    std::vector<std::string> fields = result.fields;
    for (const std::string& field : result.unread)
        fields.push_back(field + " not read");
    return Joined(fields, ", ");
}

// The expected row's cells as a JSON object, keyed by the header as written.
std::string ExpectedObject(const ExpectedList& expected, const ExpectedRow* row) {
    if (row == nullptr)
        return "null";
    std::string out = "{";
    for (std::size_t c = 0; c < expected.headers.size() && c < row->cells.size(); ++c)
        AppendJsonKey(out, ValidUtf8(expected.headers[c].c_str()).c_str(), ValidUtf8(row->cells[c].c_str()), c == 0);
    return out + "}";
}

std::string JsonResult(const ExpectedList& expected, const AuditResult& result) {
    std::string out = "  {";
    AppendJsonKey(out, "status", AuditStatusName(result.status), true);
    AppendJsonKey(out, "name", result.expected != nullptr ? ValidUtf8(result.expected->name.c_str()) : "");
    const std::string address = result.expected != nullptr ? result.expected->addressText
                                                           : std::string(result.found.front().address);
    AppendJsonKey(out, "address", ValidUtf8(address.c_str()));
    const Reply* found = result.found.empty() ? nullptr : &result.found.front();
    AppendJsonKey(out, "interface",
                  found != nullptr ? std::string(found->interfaceAddress) : ValidUtf8(result.expected->interfaceChoice.c_str()));
    AppendJsonKey(out, "interface_name",
                  found != nullptr ? ValidUtf8(found->interfaceName) : ValidUtf8(result.expected->interfaceName.c_str()));
    out += ", \"expected\": " + ExpectedObject(expected, result.expected);
    out += ", \"found\": " + (found != nullptr ? "{" + JsonRowKeys(*found) + "}" : std::string("null"));
    out += ", \"answers\": [";
    for (std::size_t i = 0; i < result.found.size(); ++i)
        out += (i == 0 ? "{" : ", {") + JsonRowKeys(result.found[i]) + "}";
    for (const auto& [key, fields] : {std::pair<const char*, const std::vector<std::string>*>{"fields", &result.fields},
                                      {"unread", &result.unread}}) {
        out += std::string("], \"") + key + "\": [";
        for (std::size_t i = 0; i < fields->size(); ++i) {
            out += i == 0 ? "" : ", ";
            AppendJsonString(out, (*fields)[i]);
        }
    }
    return out + "]}";
}

constexpr const char* CsvHeaders[] = {"Status",          "Name",           "Address",          "Interface",
                                      "Interface Name",  "Fields",         "Expected Model",   "Expected Version",
                                      "Expected Revision", "Expected MAC", "Found Model",      "Found Version",
                                      "Found Revision",  "Found MAC",      "Answers"};

std::vector<std::string> CsvResult(const AuditResult& result) {
    const ExpectedRow* row = result.expected;
    const Reply* found = result.found.empty() ? nullptr : &result.found.front();
    const std::string address = row != nullptr ? row->addressText : std::string(found->address);
    return {AuditStatusName(result.status),
            row != nullptr ? row->name : "",
            address,
            found != nullptr ? std::string(found->interfaceAddress) : row->interfaceChoice,
            found != nullptr ? std::string(found->interfaceName) : row->interfaceName,
            FieldsText(result),
            row != nullptr ? row->model : "",
            row != nullptr ? ExpectedText("", row->version) : "",
            row != nullptr ? ExpectedText("", row->revision) : "",
            row != nullptr && row->macGiven ? MacText(row->mac) : "",
            found != nullptr ? DeviceText(found->model) : "",
            found != nullptr ? DeviceText(found->version) : "",
            found != nullptr ? DeviceText(found->revision) : "",
            found != nullptr ? RowMacText(*found) : "",
            std::to_string(result.found.size())};
}

}  // namespace

namespace {

std::string Quoted(const std::string& text) {
    return "'" + SafeText(text.c_str(), 64) + "'";
}

std::string ListFaultWhy(const ListFault& fault) {
    switch (fault.kind) {
    case ListFaultKind::Csv:
        if (fault.csv.kind == CsvFaultKind::TooLarge)
            return "larger than " + std::to_string(fault.csv.limit / (1024 * 1024)) + " MiB";
        if (fault.csv.kind == CsvFaultKind::NoHeader)
            return "empty: an expected list starts with a header (address,model,version,revision,...)";
        return CsvFaultText(fault.csv) + (fault.csv.kind == CsvFaultKind::Columns ? " as the header" : "");
    case ListFaultKind::TwoColumns:
        return "two columns for " + fault.column + " (" + Quoted(fault.cell) + " and " + Quoted(fault.other) + ")";
    case ListFaultKind::NoAddressColumn:
        return "no address column: the header needs 'address' (or 'IP ADDR')";
    case ListFaultKind::NoAddress:
        return "no address";
    case ListFaultKind::NotAnAddress:
        return "the address " + Quoted(fault.cell) + " is no IPv4 address";
    case ListFaultKind::NoControllerAddress:
        return "the address " + Quoted(fault.cell) +
               " is no address a controller can hold (0.0.0.0/8, loopback, multicast or reserved)";
    case ListFaultKind::NotAMinimum:
        return "the " + fault.column + " " + Quoted(fault.cell) +
               " is no minimum: '>=' is followed by a number (>=2.14)";
    case ListFaultKind::NotAMac:
        return "the MAC " + Quoted(fault.cell) + " is no MAC (02:00:5e:10:00:01, 02-00-5E-10-00-01 or 0200.5e10.0001)";
    case ListFaultKind::NotAMask:
        return "the mask " + Quoted(fault.cell) + " is no subnet mask (255.255.255.0)";
    case ListFaultKind::NotAGateway:
        return "the gateway " + Quoted(fault.cell) + " is no IPv4 address";
    case ListFaultKind::Settings:
        return SafeText(fault.other.c_str());
    case ListFaultKind::SameMac:
        return "the MAC " + fault.cell + " is line " + std::to_string(fault.otherLine) +
               "'s too: a MAC names one controller";
    case ListFaultKind::SameRow:
        return "the same row as line " + std::to_string(fault.otherLine);
    case ListFaultKind::SecondRow:
        return "a second row for " + fault.cell + (fault.other.empty() ? std::string() : " on " + fault.other) +
               " (line " + std::to_string(fault.otherLine) + "): give each row its own interface";
    case ListFaultKind::NamedOtherwise:
        return "a second row for " + fault.cell + " on " + fault.other + " (line " + std::to_string(fault.otherLine) +
               ", which names it otherwise): give each row its own interface";
    case ListFaultKind::OwnAddress:
        return "the address " + fault.cell + " is this workstation's own: no controller holds it";
    }
    return "";
}

}  // namespace

std::string ListFaultText(const ListFault& fault) {
    const std::string why = ListFaultWhy(fault);
    return fault.line != 0 ? "line " + std::to_string(fault.line) + ": " + why : why;
}

const char* AuditStatusName(AuditStatus status) {
    switch (status) {
    case AuditStatus::Ok: return "ok";
    case AuditStatus::Mismatch: return "mismatch";
    case AuditStatus::Missing: return "missing";
    case AuditStatus::Duplicate: return "duplicate";
    case AuditStatus::Unexpected: return "unexpected";
    case AuditStatus::Unverified: return "unverified";
    case AuditStatus::NotSearched: return "not searched";
    }
    return "";
}

std::string ExpectedSummary(const ExpectedRow& row) {
    const std::string text = Joined({row.model, ExpectedText("", row.version), ExpectedText("", row.revision),
                                     row.macGiven ? MacText(row.mac) : ""},
                                    " ");
    return text.empty() ? "any" : text;
}

std::string FoundSummary(const AuditResult& result) {
    if (result.oneMac)  // counted as one answer, and said so
        return OneFound(result.found.front()) + " (" + std::to_string(result.found.size()) +
               " replies, one MAC)";
    std::vector<std::string> each;
    for (const Reply& row : result.found)
        each.push_back(OneFound(row));
    return Joined(each, "; ");
}

std::string ResultInterface(const AuditResult& result) {
    if (!result.found.empty())
        return InterfaceLabel(result.found.front().interfaceName, result.found.front().interfaceAddress);
    return Joined({result.expected->interfaceName, result.expected->interfaceChoice}, " ");
}

std::string AuditSummary(const std::vector<AuditResult>& results) {
    if (results.empty())
        return "nothing expected, and nothing answered";
    const std::vector<int> counts = CountStatuses(results);
    // Said ok first, then the deviations, as a handover reads it.
    const AuditStatus order[] = {AuditStatus::Ok,        AuditStatus::Unverified, AuditStatus::NotSearched,
                                 AuditStatus::Mismatch,  AuditStatus::Missing,    AuditStatus::Duplicate,
                                 AuditStatus::Unexpected};
    std::vector<std::string> parts;
    for (const AuditStatus status : order)
        if (counts[static_cast<std::size_t>(status)] > 0)
            parts.push_back(std::to_string(counts[static_cast<std::size_t>(status)]) + " " + AuditStatusName(status));
    return Joined(parts, ", ");
}

std::string RenderAudit(const ExpectedList& expected, const std::vector<AuditResult>& results, OutputFormat format,
                        const RenderOptions& options) {
    if (format == OutputFormat::Json) {
        if (results.empty())
            return "[]\n";
        std::string out = "[\n";
        for (std::size_t i = 0; i < results.size(); ++i)
            out += JsonResult(expected, results[i]) + (i + 1 < results.size() ? ",\n" : "\n");
        return out + "]\n";
    }
    std::vector<std::vector<std::string>> rows;
    if (format == OutputFormat::Csv) {
        for (const AuditResult& result : results)
            rows.push_back(CsvResult(result));
        return RenderStrings(CsvHeaders, static_cast<int>(std::size(CsvHeaders)), rows, format, options);
    }
    constexpr const char* TableHeaders[] = {"Status", "Name", "IP ADDR", "Interface", "Fields", "Expected", "Found"};
    for (const AuditResult& result : results) {
        const std::string address = result.expected != nullptr ? result.expected->addressText
                                                               : std::string(result.found.front().address);
        rows.push_back({AuditStatusName(result.status), result.expected != nullptr ? result.expected->name : "",
                        address, ResultInterface(result), FieldsText(result),
                        result.expected != nullptr ? ExpectedSummary(*result.expected) : "",
                        FoundSummary(result)});
    }
    return RenderStrings(TableHeaders, static_cast<int>(std::size(TableHeaders)), rows, format, options) +
           AuditSummary(results) + "\n";
}

int AuditExit(const std::vector<AuditResult>& results) {
    int status = ExitOk;
    for (const AuditResult& result : results) {
        if (result.status == AuditStatus::Unverified || result.status == AuditStatus::NotSearched)
            status = ExitNotAnswered;
        else if (result.status != AuditStatus::Ok)
            return ExitFailure;
    }
    return status;
}

std::string UnreadHint(const std::vector<AuditResult>& results, bool canReadFrames) {
    std::size_t unread = 0;
    for (const AuditResult& result : results)
        unread += result.unread.empty() ? 0 : 1;
    if (unread == 0)
        return "";
    return "the MAC of " + std::to_string(unread) + (unread == 1 ? " controller" : " controllers") +
           " could not be read here: this workstation knows a MAC only from each reply's own frame (scout-cli reads "
           "those as root on Linux" +
           (canReadFrames ? "" : ", and this process may not") +
           ") or from a neighbour entry its system confirmed during the search";
}

}  // namespace scout::cli
