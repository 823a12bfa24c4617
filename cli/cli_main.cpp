// scout-cli: the search (and the interface list it works from) for scripts and
// field laptops, over the same core as the dialog.
#include <cstdio>
#include <cstring>
#include <string>

#include "../net/controller_search.h"
#include "../net/error_report.h"
#include "../net/system_platform.h"
#include "cli_output.h"
#include "console.h"

namespace scout::cli {
namespace {

constexpr const char* VersionText = "1.1.0.519";
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

constexpr const char* UsageLine = "usage: scout-cli [--help] [--version] <search|interfaces> [--json|--csv]\n";

constexpr const char* HelpText =
    "Finds the Ethernet motion controllers on every IPv4 network of this machine.\n"
    "\n"
    "  search       broadcast a query on each broadcast interface in turn and list\n"
    "               every controller that answers within 1010 ms, in arrival order\n"
    "  interfaces   list the broadcast interfaces the search uses, in search order\n"
    "\n"
    "  --json       one JSON array of objects\n"
    "  --csv        comma-separated values with a header line\n"
    "  --help       this text\n"
    "  --version    the program's version\n"
    "\n"
    "Exit status: 0 done, 1 a failure was reported, 2 bad usage.\n";

enum class Command { None, Search, Interfaces };

struct Arguments {
    Command command = Command::None;
    OutputFormat format = OutputFormat::Table;
    bool help = false;
    bool version = false;
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
        } else if (arguments->command == Command::None && std::strcmp(argument, "search") == 0) {
            arguments->command = Command::Search;
        } else if (arguments->command == Command::None && std::strcmp(argument, "interfaces") == 0) {
            arguments->command = Command::Interfaces;
        } else {
            return false;
        }
    }
    return arguments->help || arguments->version || arguments->command != Command::None;
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

int RunInterfaces(const NetPlatform& platform, OutputFormat format) {
    CliList list;
    const SearchFrontEnd frontEnd = MakeCliFrontEnd(&list);
    InterfaceTable table;
    int errorCode = 0;
    const TableStatus status = platform.loadInterfaces(platform.context, &table, &errorCode);
    int exitCode = ExitOk;
    if (status == TableStatus::NoSpace) {
        ReportError(frontEnd, "Not enough space to load forwarding table.");
        exitCode = ExitFailure;
    } else if (status == TableStatus::Failed) {
        char description[ErrorTextCapacity];
        SystemErrorText(platform, errorCode, description, sizeof description);
        ReportError(frontEnd, "Unable to read forwarding table. %s.", description);
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
    int startError = 0;
    if (!StartSocketLayer(&startError)) {
        CliList list;
        char description[ErrorTextCapacity];
        SystemErrorText(platform, startError, description, sizeof description);
        ReportError(MakeCliFrontEnd(&list), "Error attempting to initialize sockets. %s.", description);
        return ExitFailure;
    }
    if (arguments.command == Command::Interfaces)
        return RunInterfaces(platform, arguments.format);
    return RunSearch(platform, arguments.format);
}

}  // namespace scout::cli

int main(int argc, char** argv) {
    return scout::cli::Main(argc, argv);
}
