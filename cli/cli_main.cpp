// scout-cli: the search, the interface list it works from and the three
// commands, for scripts and field laptops, over the same core as the dialog.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/console.h"
#include "net/address.h"
#include "net/controller_commands.h"
#include "net/controller_search.h"
#include "net/error_report.h"
#include "net/query_datagram.h"
#include "net/system_platform.h"

namespace scout::cli {
namespace {

constexpr const char* VersionText = "scout-cli 1.1.0.519";
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;      // a failure reported, a check refused, a send failed
constexpr int ExitUsage = 2;
constexpr int ExitNotAnswered = 3;  // the reconfigured controller did not answer at its new address
constexpr int ExitNoTarget = 4;     // the target answered nowhere, or on more than one interface

constexpr const char* UsageText =
    "usage: scout-cli search [--interface ADDRESS|NAME] [--json|--csv]\n"
    "       scout-cli interfaces [--json|--csv]\n"
    "       scout-cli reset ADDRESS [OPTIONS]\n"
    "       scout-cli factory-defaults ADDRESS [OPTIONS]\n"
    "       scout-cli reconfigure ADDRESS IP MASK GATEWAY [OPTIONS]\n"
    "       scout-cli --help | --version\n";

constexpr const char* HelpText =
    "Finds the Ethernet motion controllers on every IPv4 network of this machine,\n"
    "and sends one of them a command.\n"
    "\n"
    "  search       broadcast a query on each broadcast interface in turn and list\n"
    "               every controller that answers within its window, in arrival order\n"
    "  interfaces   list the broadcast interfaces the search uses, in search order\n"
    "  reset ADDRESS             power-on reset of the controller at ADDRESS\n"
    "  factory-defaults ADDRESS  reset that also restores its factory defaults\n"
    "  reconfigure ADDRESS IP MASK GATEWAY\n"
    "               give it a new address, subnet mask and gateway (0.0.0.0: none)\n"
    "\n"
    "A command is one broadcast datagram, sent by the interface on which the\n"
    "controller answers: scout-cli first searches every interface for ADDRESS\n"
    "(unless --interface names one), then sends, waits 5 s as the dialog does,\n"
    "searches again and prints the rows. After reconfigure it says whether the\n"
    "controller answers at its new address.\n"
    "\n"
    "Options of the commands (OPTIONS):\n"
    "  --interface ADDRESS|NAME  send by this interface; nothing is searched first\n"
    "  --dry-run    say what would be sent (interface, target, the 40 bytes) and send nothing\n"
    "  --no-wait    send the command and exit\n"
    "Options of all:\n"
    "  --json       one JSON document (an array of rows; an object for a command)\n"
    "  --csv        comma-separated values with a header line\n"
    "  -h, --help   this text\n"
    "  -V, --version\n"
    "\n"
    "Exit status:\n"
    "  0  done (also a search with no rows)\n"
    "  1  a failure was reported, a check refused the command, or it could not be sent\n"
    "  2  bad usage\n"
    "  3  the reconfigured controller did not answer at its new address\n"
    "  4  no controller answered at ADDRESS, or it answered on more than one\n"
    "     interface (choose one with --interface); nothing was sent\n";

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void Say(const std::string& line) {
    std::fputs(("scout-cli: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

int UsageError(const std::string& problem) {
    Say(problem);
    std::fputs("Try 'scout-cli --help' for more information.\n", stderr);
    return ExitUsage;
}

std::string AddressText(NetAddress address) {
    char text[AddressTextCapacity];
    FormatAddress(address, text, sizeof text);
    return text;
}

bool SameInterface(const BroadcastInterface& a, const BroadcastInterface& b) {
    return a.address == b.address && a.index == b.index;
}

// "ws0 10.1.0.1", or the address alone where the platform has no name.
std::string DescribeInterface(const NetPlatform& platform, const BroadcastInterface& entry) {
    char name[InterfaceNameCapacity] = {};
    std::string text;
    if (platform.interfaceName(platform.context, entry, name, sizeof name) && name[0] != '\0')
        text = QuoteOperand(name) + " ";
    return text + AddressText(entry.address);
}

// The interfaces of the platform, held for as long as a run needs them.
struct Interfaces {
    const NetPlatform& platform;
    InterfaceTable table;
    explicit Interfaces(const NetPlatform& p) : platform(p) {}
    ~Interfaces() { platform.releaseInterfaces(platform.context, &table); }
    Interfaces(const Interfaces&) = delete;
    Interfaces& operator=(const Interfaces&) = delete;

    bool Load(const SearchFrontEnd& reports) {
        int code = 0;
        const TableStatus status = platform.loadInterfaces(platform.context, &table, &code);
        if (status == TableStatus::Ok)
            return true;
        ReportTableFailure(reports, platform, status, code);
        return false;
    }
};

// The interface --interface names: by its address, else by its name. Two
// interfaces with the one address need their name.
bool ResolveInterface(const NetPlatform& platform, const InterfaceTable& table, const char* choice,
                      BroadcastInterface* chosen, std::string* problem) {
    NetAddress address = 0;
    const bool byAddress = ParseDottedAddress(choice, &address);
    std::vector<BroadcastInterface> matches;
    for (std::size_t i = 0; i < table.count; ++i) {
        const BroadcastInterface& entry = table.entries[i];
        char name[InterfaceNameCapacity] = {};
        const bool named = platform.interfaceName(platform.context, entry, name, sizeof name);
        if ((byAddress && entry.address == address) || (!byAddress && named && std::strcmp(name, choice) == 0))
            matches.push_back(entry);
    }
    if (matches.size() == 1) {
        *chosen = matches[0];
        return true;
    }
    if (matches.empty()) {
        *problem = "no broadcast interface has the address or name '" + QuoteOperand(choice) +
                   "' (scout-cli interfaces lists them)";
    } else {
        std::string names;
        for (const BroadcastInterface& entry : matches)
            names += (names.empty() ? "" : ", ") + DescribeInterface(platform, entry);
        *problem = "more than one interface has the address " + AddressText(address) + " (" + names +
                   "); name one with --interface";
    }
    return false;
}

int RunSearch(const NetPlatform& platform, const Options& options) {
    CliList list;
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    SearchOutcome outcome;
    if (options.interfaceChoice != nullptr) {
        Interfaces interfaces(platform);
        if (!interfaces.Load(frontEnd))
            return ExitFailure;
        BroadcastInterface chosen{};
        std::string problem;
        if (!ResolveInterface(platform, interfaces.table, options.interfaceChoice, &chosen, &problem))
            return UsageError(problem);
        outcome = SearchInterfaces(platform, frontEnd, &chosen, 1);
    } else {
        outcome = ControllerSearch(platform, frontEnd);
    }
    Print(RenderRows(list.rows, options.format));
    return outcome.reportedFailure ? ExitFailure : ExitOk;
}

int RunInterfaces(const NetPlatform& platform, const Options& options) {
    CliList list;
    Interfaces interfaces(platform);
    if (!interfaces.Load(MakeCliFrontEnd(&list)))
        return ExitFailure;
    Print(RenderInterfaces(interfaces.table.entries, interfaces.table.count, options.format));
    return ExitOk;
}

std::string Hex(const QueryDatagram& datagram) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : datagram) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

bool SameTexts(const CliRow& a, const CliRow& b) {
    return std::strcmp(a.model, b.model) == 0 && std::strcmp(a.version, b.version) == 0 &&
           std::strcmp(a.revision, b.revision) == 0;
}

// One command: where it goes (by --interface, or by the interface that lists
// the target), the checks before anything is sent, the send, and (unless
// --no-wait) the wait, the new search and what it shows.
int RunCommand(const NetPlatform& platform, const Options& options) {
    CliList list;
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    NetAddress target = 0;
    if (!ParseDottedAddress(options.operands[0], &target) || target == AnyAddress || target == BroadcastAddress)
        return UsageError("the controller address '" + QuoteOperand(options.operands[0]) +
                          "' is not a dotted-decimal unicast address");
    const std::string targetText = AddressText(target);
    const bool reconfigure = options.command == Command::Reconfigure;
    ReconfigureValues values;
    if (reconfigure) {
        char message[MessageCapacity];
        if (!CheckReconfigureFields(options.operands[1], options.operands[2], options.operands[3], &values, message,
                                    sizeof message)) {
            ReportError(frontEnd, "%s", message);
            return ExitFailure;
        }
    }
    const std::string newAddress = AddressText(values.address);

    Interfaces interfaces(platform);
    if (!interfaces.Load(frontEnd))
        return ExitFailure;
    BroadcastInterface via{};
    std::vector<CliRow> targetRows;  // the target as the search before the command saw it
    if (options.interfaceChoice != nullptr) {
        std::string problem;
        if (!ResolveInterface(platform, interfaces.table, options.interfaceChoice, &via, &problem))
            return UsageError(problem);
    } else {
        const SearchOutcome before = SearchInterfaces(platform, frontEnd, interfaces.table.entries,
                                                      interfaces.table.count);
        if (before.reportedFailure) {
            Say("the search before the command did not finish; nothing was sent.");
            return ExitFailure;
        }
        std::vector<BroadcastInterface> listing;
        for (const CliRow& row : list.rows) {
            if (std::strcmp(row.address, targetText.c_str()) != 0)
                continue;
            targetRows.push_back(row);
            bool known = false;
            for (const BroadcastInterface& entry : listing)
                known = known || SameInterface(entry, row.via);
            if (!known)
                listing.push_back(row.via);
        }
        if (listing.empty()) {
            Say("No controller answered at " + targetText + "; nothing was sent.");
            return ExitNoTarget;
        }
        if (listing.size() > 1) {
            std::string names;
            for (const BroadcastInterface& entry : listing)
                names += (names.empty() ? "" : ", ") + DescribeInterface(platform, entry);
            Say("Controllers answer at " + targetText + " on " + std::to_string(listing.size()) + " interfaces (" +
                names + "); choose one with --interface; nothing was sent.");
            return ExitNoTarget;
        }
        via = listing[0];
        if (reconfigure && values.address != target) {
            for (const CliRow& row : list.rows) {
                if (SameInterface(row.via, via) && std::strcmp(row.address, newAddress.c_str()) == 0) {
                    Say("A controller already answers at " + newAddress + "; nothing was sent.");
                    return ExitFailure;
                }
            }
        }
        if (targetRows.size() > 1)
            Say(std::to_string(targetRows.size()) + " controllers answer at " + targetText + " on " +
                DescribeInterface(platform, via) + "; every one of them gets the command.");
    }

    QueryDatagram datagram;
    if (reconfigure)
        BuildReconfigure(datagram, target, values.address, values.mask, values.gateway);
    else
        BuildReset(datagram, target, options.command == Command::FactoryDefaults);
    const std::string interfaceText = AddressText(via.address);
    CommandResult result;
    result.command = options.commandName;
    result.target = targetText.c_str();
    result.interfaceAddress = interfaceText.c_str();
    if (options.dryRun) {
        result.dryRun = true;
        result.datagramHex = Hex(datagram);
        Print(RenderCommandResult(result, options.format));
        return ExitOk;
    }
    result.sent = SendCommand(platform, frontEnd, via, datagram);
    if (!result.sent || options.noWait) {
        Print(RenderCommandResult(result, options.format));
        return result.sent ? ExitOk : ExitFailure;
    }

    platform.sleep(platform.context, CommandSettleMs);
    const SearchOutcome after = options.interfaceChoice != nullptr
                                    ? SearchInterfaces(platform, frontEnd, &via, 1)
                                    : SearchInterfaces(platform, frontEnd, interfaces.table.entries,
                                                       interfaces.table.count);
    result.rows = &list.rows;
    int answering = 0;
    if (reconfigure) {
        // Only the target counts: a row from the new address on its interface
        // that, where the search before saw the target, also carries its texts.
        for (const CliRow& row : list.rows) {
            if (!SameInterface(row.via, via) || std::strcmp(row.address, newAddress.c_str()) != 0)
                continue;
            bool isTarget = targetRows.empty();
            for (const CliRow& seen : targetRows)
                isTarget = isTarget || SameTexts(seen, row);
            answering += isTarget ? 1 : 0;
        }
        result.newAddress = newAddress.c_str();
        result.answeringAtNewAddress = answering;
    }
    Print(RenderCommandResult(result, options.format));
    if (after.reportedFailure)
        return ExitFailure;
    if (!reconfigure)
        return ExitOk;
    if (answering == 0) {
        Say("no controller answered at the new address " + newAddress);
        return ExitNotAnswered;
    }
    Say(answering == 1 ? "a controller answers at the new address " + newAddress
                       : std::to_string(answering) + " controllers answer at the new address " + newAddress);
    return ExitOk;
}

}  // namespace

int Main(int argc, char** argv) {
    PrepareConsoleOutput();
    Options options;
    std::string problem;
    if (!ParseArguments(argc, argv, &options, &problem))
        return UsageError(problem);
    if (options.help) {
        Print(std::string(UsageText) + "\n" + HelpText);
        return ExitOk;
    }
    if (options.version) {
        Print(std::string(VersionText) + "\n");
        return ExitOk;
    }
    const NetPlatform& platform = SystemNetPlatform();
    if (const int code = platform.startSocketLayer(platform.context); code != 0) {
        CliList list;
        ReportSocketStartFailure(MakeCliFrontEnd(&list), platform, code);
        return ExitFailure;
    }
    switch (options.command) {
    case Command::Search:
        return RunSearch(platform, options);
    case Command::Interfaces:
        return RunInterfaces(platform, options);
    case Command::None:
        break;
    default:
        return RunCommand(platform, options);
    }
    return ExitUsage;
}

}  // namespace scout::cli

int main(int argc, char** argv) {
    return scout::cli::Main(argc, argv);
}
