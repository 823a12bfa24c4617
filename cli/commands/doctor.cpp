// scout-cli doctor: when a controller is not found, every check this machine
// allows (ops/doctor), then one search of every interface (or the one
// --interface names) at once, with what each heard; its lines by cli_doctor.
#include <vector>

#include "cli/cli_doctor.h"
#include "cli/cli_interfaces.h"
#include "cli/cli_look.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "ops/doctor.h"

namespace scout::cli {
namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::Interface, "only this interface: its checks, and the search"},
    {OptionId::Window},
    {OptionId::Json, "one JSON array, an object per line"},
    {OptionId::Quiet},
};

}  // namespace

const CommandHelp DoctorHelp = {
    .usage = "scout-cli doctor [--interface ADDRESS|NAME] [--json]",
    .about = "when a controller is not found: checks the interfaces, UDP\n"
             "port 65513, the reverse-path filter, the receive buffer and\n"
             "the firewall, one line each (ok, warning, problem, unknown),\n"
             "then searches every interface at once; exit 1 on a problem",
    .options = CommandOptions,
    .examples = "scout-cli doctor",
};

int RunDoctor(Session& session) {
    Opened run(session);
    int exitCode = ExitOk;
    if (!Open(session, run, &exitCode))
        return exitCode;
    DoctorInterfaces chosen;
    chosen.searched = run.where;
    if (session.options.interfaceChoice == nullptr)
        chosen.skipped.assign(run.interfaces.table.skipped,
                              run.interfaces.table.skipped + run.interfaces.table.skippedCount);
    std::vector<CheckLine> lines = CheckBeforeSearch(session.platform, SystemDoctor(), session.names, chosen);
    // doctor takes no --sequential: every interface at once
    const Looked looked = Search(session, run.list, PlanOfLook(session, chosen.searched));
    for (CheckLine& line : CheckSearch(SystemDoctor(), session.names, chosen.searched, looked.cutShort, run.list.rows))
        lines.push_back(line);
    // Replies the search lost on the way (said on standard error too): the
    // very controllers that are not found, so a problem.
    for (const std::string& warning : run.list.warnings)
        lines.push_back(CheckLine{CheckStatus::Problem, "search", warning, ""});
    Print(RenderChecks(lines, session.options.format == OutputFormat::Json));
    return DoctorExitStatus(lines);
}

}  // namespace scout::cli
