// scout-cli: the search, the interface list it works from and the commands,
// for scripts and field laptops, over the same core as the dialog. A table
// of commands; each command is one file of cli/commands, named after it.
#include "cli/cli_main.h"

#include <string>

#include "cli/cli_help.h"
#include "cli/cli_search.h"
#include "cli/cli_session.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "cli/console.h"
#include "net/error_report.h"
#include "net/system_platform.h"
#include "scout_version.h"

namespace scout::cli {
namespace {

constexpr const char* VersionText = "scout-cli " SCOUT_VERSION_TEXT;

constexpr const char* AddressOperand = "ADDRESS";

const CommandEntry Commands[] = {
    {"search", Command::Search, 0, nullptr, nullptr, &SearchHelp, RunSearch},
    {"interfaces", Command::Interfaces, 0, nullptr, nullptr, &InterfacesHelp, RunInterfaces},
    {"reset", Command::Reset, 1, AddressOperand, AddressOperand, &ResetHelp, RunControllerCommand},
    {"factory-defaults", Command::FactoryDefaults, 1, AddressOperand, AddressOperand, &FactoryDefaultsHelp,
     RunControllerCommand},
    {"reconfigure", Command::Reconfigure, 4, "ADDRESS IP MASK GATEWAY", "ADDRESS IP MASK GATEWAY", &ReconfigureHelp,
     RunControllerCommand},
    {"apply", Command::Apply, 1, "PLAN (a CSV file, or - for standard input)", "PLAN", &ApplyHelp, RunApply},
    {"watch", Command::Watch, 0, nullptr, nullptr, &WatchHelp, RunWatch},
    {"commission", Command::Commission, 0, nullptr, nullptr, &CommissionHelp, RunCommission},
    {"audit", Command::Audit, 1, "EXPECTED (a CSV file, or - for standard input)", "EXPECTED", &AuditHelp, RunAudit},
    {"doctor", Command::Doctor, 0, nullptr, nullptr, &DoctorHelp, RunDoctor},
    {"history", Command::History, 0, nullptr, nullptr, &HistoryHelp, RunHistory},
};

}  // namespace

std::span<const CommandEntry> CommandTable() {
    return Commands;
}

int RunParsed(const NetPlatform& platform, const Options& options, const SegmentLocks& locks) {
    if (options.help) {
        Print(options.entry != nullptr ? CommandHelpText(*options.entry) : GeneralHelp(Commands));
        return ExitOk;
    }
    if (options.version) {
        Print(std::string(VersionText) + "\n");
        return ExitOk;
    }
    if (const int code = platform.startSocketLayer(platform.context); code != 0) {
        CliList list;
        ReportSocketStartFailure(MakeCliFrontEnd(&list), platform, code);
        return ExitFailure;
    }
    Session session{platform, options, RenderOptions{}, false, false, InterfaceNames{}};
    session.render.header = !options.noHeader;
    session.render.lineEnd = CsvLineEnd;
    session.status = !options.quiet && IsTerminal(stderr);
    session.names.platform = &platform;
    session.locks = &locks;
    return options.entry->run(session);
}

int Main(int argc, char** argv) {
    PrepareConsoleOutput();
    // A reader that goes away ends no run in the middle: the write fails, the
    // record is completed, and the status says that the output was lost.
    SurviveClosedOutput();
    Options options;
    std::string problem;
    if (!ParseArguments(argc, argv, Commands, &options, &problem))
        return UsageError(problem);
    if (!StandardOutputOpen()) {
        Say("cannot write the output: standard output is closed");
        return ExitFailure;
    }
    return FinishOutput(RunParsed(SystemNetPlatform(), options, SystemSegmentLocks()));
}

}  // namespace scout::cli
