// A watch's events as journal entries (see cli_journal.h).
#include "cli/cli_journal.h"

#include <cstdint>
#include <cstring>

#include "cli/cli_changes.h"
#include "cli/cli_render.h"
#include "ops/hosts.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr int Warning = 4;
constexpr int Notice = 5;

// What happened, as the entry's message begins.
const char* EventWords(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Appeared: return "controller appeared";
    case ChangeKind::Gone: return "controller gone";
    case ChangeKind::Changed: return "controller changed";
    case ChangeKind::Duplicate: return "duplicate address";
    case ChangeKind::DuplicateEnded: return "duplicate address ended";
    case ChangeKind::Conflict: return "address conflict";
    case ChangeKind::Readdressed: return "replacement readdressed";
    case ChangeKind::Held: return "replacement not readdressed";
    case ChangeKind::Proposed: return "replacement to readdress";
    }
    return "";
}

std::string Message(const Change& change, const char* expected) {
    const Reply& row = change.row;
    std::string message = std::string(EventWords(change.kind)) + ": " + DeviceText(row.address) + " " +
                          DeviceTexts(row) + " on " + InterfaceLabel(row.interfaceName, row.interfaceAddress);
    if (change.row.macSource != MacSource::None)
        message += " (MAC " + MacText(row.mac) + ")";
    if (change.kind == ChangeKind::Duplicate)
        message += ": " + std::to_string(change.count) + " replies: several controllers share this address, or one "
                                                           "answers twice";
    if (change.kind == ChangeKind::Conflict)
        message += ": " + ConflictDetail(change) + (change.detail.empty() ? "" : "; " + change.detail);
    else if (!ReaddressNote(change).empty())
        message += ": " + ReaddressNote(change);
    if (expected != nullptr)
        message += std::strcmp(expected, "unexpected") == 0 ? std::string(" [unexpected]")
                                                            : " [expected: " + SafeText(expected) + "]";
    return message;
}

}  // namespace

int ChangePriority(ChangeKind kind, bool unexpected) {
    switch (kind) {
    case ChangeKind::Gone:
    case ChangeKind::Duplicate:
    case ChangeKind::Conflict:
    case ChangeKind::Held: return Warning;
    case ChangeKind::Appeared:
    case ChangeKind::Changed:
    case ChangeKind::DuplicateEnded:
    case ChangeKind::Readdressed:
    case ChangeKind::Proposed: break;
    }
    return unexpected ? Warning : Notice;
}

JournalFields ChangeJournalFields(const Change& change, const char* expected) {
    const Reply& row = change.row;
    const bool unexpected = expected != nullptr && std::strcmp(expected, "unexpected") == 0;
    JournalFields fields = {
        {"PRIORITY", std::to_string(ChangePriority(change.kind, unexpected))},
        {"SYSLOG_IDENTIFIER", "scout-cli"},
        {"MESSAGE", Message(change, expected)},
        {"SCOUT_EVENT", ChangeName(change.kind)},
        {"SCOUT_ADDRESS", DeviceText(row.address)},
        {"SCOUT_INTERFACE", row.interfaceAddress},
        {"SCOUT_INTERFACE_NAME", SafeText(row.interfaceName)},
        {"SCOUT_MODEL", DeviceText(row.model)},
        {"SCOUT_VERSION", DeviceText(row.version)},
        {"SCOUT_REVISION", DeviceText(row.revision)},
        {"SCOUT_MAC", RowMacText(row)},
    };
    if (change.kind == ChangeKind::Duplicate)
        fields.emplace_back("SCOUT_COUNT", std::to_string(change.count));
    if (change.kind == ChangeKind::Conflict) {
        std::string macs;
        for (const MacAddress& mac : change.macs)
            macs += (macs.empty() ? "" : " ") + MacText(mac);
        fields.emplace_back("SCOUT_CONFLICT", change.conflict == ConflictKind::Shared ? "shared" : "replaced");
        fields.emplace_back("SCOUT_MACS", macs);
    }
    if (!change.rowLabel.empty())
        fields.emplace_back("SCOUT_ROW", SafeText(change.rowLabel.c_str()));
    if (!change.newAddress.empty())
        fields.emplace_back("SCOUT_NEW_ADDRESS", change.newAddress);
    if (change.replacedKnown)
        fields.emplace_back("SCOUT_REPLACES", MacText(change.replaced));
    if (expected != nullptr)
        fields.emplace_back("SCOUT_EXPECTED", SafeText(expected));
    return fields;
}

std::string JournalDatagram(const JournalFields& fields) {
    std::string out;
    for (const auto& [name, value] : fields) {
        if (value.find('\n') == std::string::npos) {
            out += name + "=" + value + "\n";
            continue;
        }
        out += name + "\n";
        std::uint64_t length = value.size();
        for (int byte = 0; byte < 8; ++byte, length >>= 8)
            out += static_cast<char>(length & 0xFF);
        out += value + "\n";
    }
    return out;
}

bool JournalStreamIs(const char* variable, unsigned long long device, unsigned long long inode) {
    if (variable == nullptr)
        return false;
    const std::string expected = std::to_string(device) + ":" + std::to_string(inode);
    return expected == variable;
}

}  // namespace scout::cli
