// scout-cli interfaces: the broadcast interfaces the search uses, in search
// order, then those it skips and why.
#include <vector>

#include "cli/cli_interfaces.h"
#include "cli/cli_render.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "net/error_report.h"

namespace scout::cli {
namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::Json}, {OptionId::Csv}, {OptionId::NoHeader}, {OptionId::Quiet},
};

}  // namespace

const CommandHelp InterfacesHelp = {
    .usage = "scout-cli interfaces [--json|--csv] [--no-header] [-q]",
    .about = "list the broadcast interfaces the search uses, in search order:\n"
             "name, address, prefix length and index; then those it skips,\n"
             "and why (loopback, down, no carrier, point-to-point ...)",
    .options = CommandOptions,
    .examples = "scout-cli interfaces",
};

int RunInterfaces(Session& session) {
    CliList list;
    Interfaces interfaces(session.platform);
    if (!interfaces.Load(MakeCliFrontEnd(&list)))
        return ExitFailure;
    std::vector<InterfaceLine> lines;
    for (std::size_t i = 0; i < interfaces.table.count; ++i) {
        InterfaceLine line{interfaces.table.entries[i], InterfaceDetails{}};
        if (!session.platform.describeInterface(session.platform.context, line.entry, &line.details))
            line.details = InterfaceDetails{};
        lines.push_back(line);
    }
    for (std::size_t i = 0; i < interfaces.table.skippedCount; ++i) {
        const SkippedInterface& skipped = interfaces.table.skipped[i];
        InterfaceLine line{skipped.entry, InterfaceDetails{}, SkipReasonText(skipped.reason)};
        if (!session.platform.describeInterface(session.platform.context, line.entry, &line.details))
            line.details = InterfaceDetails{};
        lines.push_back(line);
    }
    Print(RenderInterfaces(lines, session.options.format, session.render));
    return ExitOk;
}

}  // namespace scout::cli
