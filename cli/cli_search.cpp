// scout-cli's front end of the search: the rows kept as the core hands them
// over, the interfaces' names asked of the platform once, reports and
// warnings on standard error.
#include "cli/cli_search.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/cli_args.h"
#include "cli/cli_render.h"
#include "cli/journal.h"
#include "net/address.h"
#include "net/error_report.h"
#include "ops/look.h"

namespace scout::cli {
namespace {

// --- the front end ---

CliList& L(void* context) {
    return *static_cast<CliList*>(context);
}

void ClearRows(void* context) {
    L(context).rows.clear();
}

// A row at its index; the observer hears of it as it arrives.
void AddRow(void* context, int index, const FoundRow& found) {
    CliList& list = L(context);
    const Reply row = ReplyOf(found, list.names);
    const std::size_t at = index < 0 ? 0 : static_cast<std::size_t>(index);
    list.rows.insert(list.rows.begin() + static_cast<std::ptrdiff_t>(at < list.rows.size() ? at : list.rows.size()),
                     row);
    if (list.rowAdded != nullptr)
        list.rowAdded(list.observer, row);
}

void BeginInterface(void* context, const BroadcastInterface& entry, std::size_t position, std::size_t count) {
    CliList& list = L(context);
    if (list.interfaceBegins != nullptr)
        list.interfaceBegins(list.observer, entry, position, count);
}

// The last texts said, as many as a run may point back to (a watch runs for days).
void Keep(std::vector<std::string>& said, const char* text) {
    constexpr std::size_t Kept = 64;
    if (said.size() == Kept)
        said.erase(said.begin());
    said.push_back(text);
}

// A search again and again (watch) says each failure once.
bool SaidBefore(CliList& list, const std::string& line) {
    if (!list.sayOnce)
        return false;
    for (const std::string& said : list.said)
        if (said == line)
            return true;
    list.said.push_back(line);
    return false;
}

void ShowError(void* context, const char* text) {
    Keep(L(context).errors, text);
    const std::string line = FormatErrorLine(text);
    if (SaidBefore(L(context), line))
        return;
    WriteErrorLine(line);
}

// A warning goes to standard error whatever -q says: something was lost.
void ShowWarning(void* context, const char* text) {
    Keep(L(context).warnings, text);
    if (L(context).holdWarnings)
        return;
    const std::string line = FormatErrorLine((std::string("warning: ") + text).c_str());
    if (SaidBefore(L(context), line))
        return;
    WriteErrorLine(line);
}

bool PortHeld(void* context, const BroadcastInterface& entry, std::uint32_t waitedMs) {
    const CliList& list = L(context);
    return list.portHeld != nullptr && list.portHeld(list.observer, entry, waitedMs);
}

// One line of a text: its line breaks folded, its end trimmed.
std::string OneLine(const std::string& text) {
    std::string line = FormatErrorLine(text.c_str());
    line = line.substr(std::string("scout-cli: ").size());
    while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
        line.pop_back();
    return line;
}

}  // namespace

std::string OnItsOwn(const std::string& text, const CliList& list) {
    std::string out = text;
    const std::pair<const char*, const std::vector<std::string>*> pointers[] = {
        {"(the failure above)", &list.errors}, {"(the warning above)", &list.warnings}};
    for (const auto& [pointer, said] : pointers) {
        const std::size_t at = out.find(pointer);
        if (at != std::string::npos && !said->empty())
            out.replace(at, std::strlen(pointer), "(" + OneLine(said->back()) + ")");
    }
    return out;
}

SearchFrontEnd MakeCliFrontEnd(CliList* list) {
    return SearchFrontEnd{
        .context = list,
        .clearRows = ClearRows,
        .addRow = AddRow,
        .showError = ShowError,
        .showWarning = ShowWarning,
        .beginInterface = BeginInterface,
        .portHeld = PortHeld,
    };
}

std::string FormatErrorLine(const char* text) {
    std::string line = "scout-cli: ";
    bool inBreak = false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') {
            if (!inBreak)
                line += ' ';
            inBreak = true;
        } else {
            line += *p;
            inBreak = false;
        }
    }
    line += '\n';
    return line;
}

void WriteErrorLine(const std::string& line) {
    // syslog's priorities, as systemd reads them before a line it passes on.
    static const bool journal = ConnectedJournal().error;
    const std::string marked =
        !journal ? line : (line.rfind("scout-cli: warning: ", 0) == 0 ? "<4>" : "<3>") + line;
    std::fwrite(marked.data(), 1, marked.size(), stderr);
    std::fflush(stderr);
}

bool FindInterface(InterfaceNames& names, const InterfaceTable& table, const char* choice,
                   BroadcastInterface* chosen, std::string* problem, bool* ambiguous) {
    NetAddress address = 0;
    const bool byAddress = ParseDottedAddress(choice, &address);
    std::vector<BroadcastInterface> matches;
    for (std::size_t i = 0; i < table.count; ++i) {
        const BroadcastInterface& entry = table.entries[i];
        if ((byAddress && entry.address == address) || (!byAddress && InterfaceNameOf(names, entry) == choice))
            matches.push_back(entry);
    }
    if (matches.size() == 1) {
        *chosen = matches[0];
        return true;
    }
    if (matches.empty()) {
        *problem = "no broadcast interface has the address or name '" + QuoteOperand(choice) +
                   "' (scout-cli interfaces lists them)";
        for (std::size_t i = 0; i < table.skippedCount; ++i) {
            const SkippedInterface& skipped = table.skipped[i];
            if ((byAddress && address != AnyAddress && skipped.entry.address == address) ||
                (!byAddress && InterfaceNameOf(names, skipped.entry) == choice))
                *problem = "the interface '" + QuoteOperand(choice) + "' is not searched: " +
                           SkipReasonText(skipped.reason) + " (scout-cli interfaces lists them)";
        }
    } else {
        if (ambiguous != nullptr)
            *ambiguous = true;
        std::string labels;
        for (const BroadcastInterface& entry : matches)
            labels += (labels.empty() ? "" : ", ") +
                      InterfaceLabel(InterfaceNameOf(names, entry).c_str(), AddressString(entry.address).c_str());
        *problem = "more than one interface has the address " + AddressString(address) + " (" + labels +
                   "); name one with --interface";
    }
    return false;
}

}  // namespace scout::cli
