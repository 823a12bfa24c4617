// scout-cli search: every controller that answers, interface by interface,
// as a table (on a terminal, row by row as the replies arrive), CSV or JSON.
#include <algorithm>
#include <vector>

#include "cli/cli_interfaces.h"
#include "cli/cli_look.h"
#include "cli/cli_render.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "cli/console.h"
#include "net/address.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::Interface}, {OptionId::Sequential}, {OptionId::Parallel}, {OptionId::Window}, {OptionId::Sort},
    {OptionId::Json},      {OptionId::Csv},        {OptionId::NoHeader}, {OptionId::Quiet},
};

void SortByAddress(std::vector<Reply>* rows) {
    auto key = [](const Reply& row) {
        NetAddress address = 0;
        ParseDottedAddress(row.address, &address);
        return HostOrder(address);
    };
    std::stable_sort(rows->begin(), rows->end(), [&](const Reply& a, const Reply& b) { return key(a) < key(b); });
}

}  // namespace

const CommandHelp SearchHelp = {
    .usage = "scout-cli search [--interface ADDRESS|NAME] [--sequential] [--window MS] [--sort address]\n"
             "                 [--json|--csv] [--no-header] [-q]",
    .about = "broadcast a query on every broadcast interface at once and\n"
             "list every controller that answers, interface by interface:\n"
             "a reply is listed when it arrives within the window (1010 ms\n"
             "after the query) or before the pass that ends the window",
    .options = CommandOptions,
    .examples = "scout-cli search\n"
                "scout-cli search --sort address --csv > controllers.csv",
};

int RunSearch(Session& session) {
    Opened run(session);
    int exitCode = ExitOk;
    if (!Open(session, run, &exitCode))
        return exitCode;
    // On a terminal the rows appear as the replies arrive, one after another or
    // all at once; the table printed at the end of an all-at-once search would
    // stand interface by interface.
    session.streamRows =
        session.options.format == OutputFormat::Table && IsTerminal(stdout) && !session.options.sortByAddress;
    if (run.where.empty()) {
        Say(NoInterfaceHint());
        Print(RenderRows(run.list.rows, session.options.format, session.render));
        return ExitOk;
    }
    if (session.streamRows && session.render.header)
        Print(StreamHeader());
    const Looked looked = Search(session, run.list, PlanOfLook(session, run.where));
    if (!session.streamRows) {
        if (session.options.sortByAddress)
            SortByAddress(&run.list.rows);
        Print(RenderRows(run.list.rows, session.options.format, session.render));
    }
    Status(session, Count(run.list.rows.size(), "controller", "controllers") + " on " +
                        Count(run.where.size(), "interface", "interfaces") + ", " +
                        SecondsOf(looked.tookMs / 1000.0) + " s");
    if (!session.options.quiet)
        for (const std::string& hint : NothingAnsweredHints(session.names, run.where, looked.cutShort, run.list.rows))
            Say(hint);
    return looked.outcome.reportedFailure ? ExitFailure : ExitOk;
}

}  // namespace scout::cli
