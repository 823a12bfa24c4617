// scout-cli: the search, the interface list it works from and the three
// commands, for scripts and field laptops, over the same core as the dialog.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_output.h"
#include "cli/console.h"
#include "net/address.h"
#include "net/controller_commands.h"
#include "net/controller_search.h"
#include "net/error_report.h"
#include "net/system_platform.h"

namespace scout::cli {
namespace {

constexpr const char* VersionText = "1.1.0.519";
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
constexpr int ExitNotAnswered = 3;

constexpr const char* UsageLine =
    "usage: scout-cli [--help] [--version] <search|interfaces> [--json|--csv]\n"
    "       scout-cli <reset|factory-defaults> ADDRESS [--no-wait] [--json|--csv]\n"
    "       scout-cli reconfigure ADDRESS IP MASK GATEWAY [--no-wait] [--json|--csv]\n";

constexpr const char* HelpText =
    "Finds the Ethernet motion controllers on every IPv4 network of this machine.\n"
    "\n"
    "  search       broadcast a query on each broadcast interface in turn and list\n"
    "               every controller that answers within 1010 ms, in arrival order\n"
    "  interfaces   list the broadcast interfaces the search uses, in search order\n"
    "  reset ADDRESS             power-on reset of the controller at ADDRESS\n"
    "  factory-defaults ADDRESS  reset that also restores its factory defaults\n"
    "  reconfigure ADDRESS IP MASK GATEWAY\n"
    "               give it a new address, subnet mask and gateway (0.0.0.0: none)\n"
    "  A command is one broadcast datagram; then, as the dialog does, scout-cli\n"
    "  waits 5 s and searches again, and prints the rows. After reconfigure it\n"
    "  says whether a controller answered from the new address.\n"
    "\n"
    "  --no-wait    send the command and exit\n"
    "  --json       one JSON array of objects\n"
    "  --csv        comma-separated values with a header line\n"
    "  --help       this text\n"
    "  --version    the program's version\n"
    "\n"
    "Exit status: 0 done, 1 a failure was reported or a check refused the\n"
    "command, 2 bad usage, 3 the reconfigured controller did not answer.\n";

enum class Command { None, Search, Interfaces, Reset, FactoryDefaults, Reconfigure };

struct CommandName {
    const char* name;
    Command command;
    int operands;
};
constexpr CommandName CommandNames[] = {{"search", Command::Search, 0},
                                        {"interfaces", Command::Interfaces, 0},
                                        {"reset", Command::Reset, 1},
                                        {"factory-defaults", Command::FactoryDefaults, 1},
                                        {"reconfigure", Command::Reconfigure, 4}};
constexpr int MaxOperands = 4;

struct Arguments {
    Command command = Command::None;
    OutputFormat format = OutputFormat::Table;
    bool help = false;
    bool version = false;
    bool noWait = false;
    int expectedOperands = 0;
    int operandCount = 0;
    const char* operands[MaxOperands] = {};
};

bool ParseArguments(int argc, char** argv, Arguments* arguments) {
    bool formatGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            arguments->help = true;
        } else if (std::strcmp(argument, "--version") == 0) {
            arguments->version = true;
        } else if (std::strcmp(argument, "--json") == 0 || std::strcmp(argument, "--csv") == 0) {
            if (formatGiven)
                return false;
            formatGiven = true;
            arguments->format = argument[2] == 'j' ? OutputFormat::Json : OutputFormat::Csv;
        } else if (std::strcmp(argument, "--no-wait") == 0) {
            arguments->noWait = true;
        } else if (argument[0] == '-' && argument[1] == '-') {
            return false;
        } else if (arguments->command == Command::None) {
            for (const CommandName& entry : CommandNames) {
                if (std::strcmp(argument, entry.name) == 0) {
                    arguments->command = entry.command;
                    arguments->expectedOperands = entry.operands;
                }
            }
            if (arguments->command == Command::None)
                return false;
        } else if (arguments->operandCount < arguments->expectedOperands) {
            arguments->operands[arguments->operandCount++] = argument;
        } else {
            return false;
        }
    }
    if (arguments->help || arguments->version)
        return true;
    if (arguments->command == Command::None || arguments->operandCount != arguments->expectedOperands)
        return false;
    // --no-wait belongs to the commands only.
    return !arguments->noWait || arguments->expectedOperands > 0;
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int RunSearch(const NetPlatform& platform, OutputFormat format) {
    CliList list;
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    const SearchOutcome outcome = ControllerSearch(platform, frontEnd);
    Print(RenderRows(list.rows, format));
    return outcome.reportedFailure ? ExitFailure : ExitOk;
}

// Sends one command, then (unless noWait) waits as the dialog does, searches
// and prints the rows; after a reconfigure, says whether the new address answered.
int RunCommand(const NetPlatform& platform, const Arguments& arguments) {
    CliList list;
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    NetAddress target = 0;
    if (!ParseDottedAddress(arguments.operands[0], &target) || target == AnyAddress || target == BroadcastAddress) {
        std::fprintf(stderr, "scout-cli: the controller address \"%s\" is not a dotted-decimal unicast address\n%s",
                     arguments.operands[0], UsageLine);
        return ExitUsage;
    }
    ReconfigureValues values;
    if (arguments.command == Command::Reconfigure) {
        char message[MessageCapacity];
        if (!CheckReconfigureFields(arguments.operands[1], arguments.operands[2], arguments.operands[3], &values,
                                    message, sizeof message)) {
            ReportError(frontEnd, "%s", message);
            return ExitFailure;
        }
        SendReconfigureCommand(platform, target, values.address, values.mask, values.gateway);
    } else {
        SendResetCommand(platform, target, arguments.command == Command::FactoryDefaults);
    }
    if (arguments.noWait)
        return ExitOk;

    platform.sleep(platform.context, CommandSettleMs);
    const SearchOutcome outcome = ControllerSearch(platform, frontEnd);
    Print(RenderRows(list.rows, arguments.format));
    if (outcome.reportedFailure)
        return ExitFailure;
    if (arguments.command != Command::Reconfigure)
        return ExitOk;
    char newAddress[AddressTextCapacity];
    FormatAddress(values.address, newAddress, sizeof newAddress);
    for (const CliRow& row : list.rows) {
        if (std::strcmp(row.address, newAddress) == 0) {
            std::fprintf(stderr, "scout-cli: a controller answers at the new address %s\n", newAddress);
            return ExitOk;
        }
    }
    std::fprintf(stderr, "scout-cli: no controller answered at the new address %s\n", newAddress);
    return ExitNotAnswered;
}

int RunInterfaces(const NetPlatform& platform, OutputFormat format) {
    CliList list;
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    InterfaceTable table;
    int errorCode = 0;
    const TableStatus status = platform.loadInterfaces(platform.context, &table, &errorCode);
    int exitCode = ExitOk;
    if (status != TableStatus::Ok) {
        ReportTableFailure(frontEnd, platform, status, errorCode);
        exitCode = ExitFailure;
    } else {
        Print(RenderInterfaces(table.entries, table.count, format));
    }
    platform.releaseInterfaces(platform.context, &table);
    return exitCode;
}

}  // namespace

int Main(int argc, char** argv) {
    PrepareConsoleOutput();
    Arguments arguments;
    if (!ParseArguments(argc, argv, &arguments)) {
        std::fputs(UsageLine, stderr);
        return ExitUsage;
    }
    if (arguments.help) {
        Print(std::string(UsageLine) + "\n" + HelpText);
        return ExitOk;
    }
    if (arguments.version) {
        Print(std::string(VersionText) + "\n");
        return ExitOk;
    }
    const NetPlatform& platform = SystemNetPlatform();
    if (const int code = platform.startSocketLayer(platform.context); code != 0) {
        CliList list;
        ReportSocketStartFailure(MakeCliFrontEnd(&list), platform, code);
        return ExitFailure;
    }
    if (arguments.command == Command::Interfaces)
        return RunInterfaces(platform, arguments.format);
    if (arguments.command == Command::Search)
        return RunSearch(platform, arguments.format);
    return RunCommand(platform, arguments);
}

}  // namespace scout::cli

int main(int argc, char** argv) {
    return scout::cli::Main(argc, argv);
}
