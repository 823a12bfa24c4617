// The interfaces a run of scout-cli works from (see cli_interfaces.h).
#include "cli/cli_interfaces.h"

#include "cli/cli_look.h"
#include "cli/cli_words.h"
#include "net/error_report.h"

namespace scout::cli {

bool Interfaces::Load(const SearchFrontEnd& reports) {
    int code = 0;
    const TableStatus status = platform.loadInterfaces(platform.context, &table, &code);
    if (status == TableStatus::Ok)
        return true;
    ReportTableFailure(reports, platform, status, code);
    return false;
}

std::vector<BroadcastInterface> AllOf(const InterfaceTable& table) {
    return std::vector<BroadcastInterface>(table.entries, table.entries + table.count);
}

std::vector<KnownInterface> KnownInterfaces(Session& session, const InterfaceTable& table) {
    std::vector<KnownInterface> known;
    const auto add = [&](const BroadcastInterface& entry) {
        known.push_back(KnownInterface{entry, InterfaceNameOf(session.names, entry), PrefixOf(session.platform, entry)});
    };
    for (std::size_t i = 0; i < table.count; ++i)
        add(table.entries[i]);
    for (std::size_t i = 0; i < table.skippedCount; ++i)
        add(table.skipped[i].entry);
    return known;
}

bool ChooseInterfaces(Session& session, const SearchFrontEnd& reports, Interfaces& interfaces,
                      std::vector<BroadcastInterface>* chosen, int* exitCode) {
    chosen->clear();
    if (!interfaces.Load(reports)) {
        *exitCode = ExitFailure;
        return false;
    }
    const InterfaceTable& table = interfaces.table;
    if (session.options.interfaceChoice == nullptr) {
        chosen->assign(table.entries, table.entries + table.count);
        return true;
    }
    // Each interface once, however often it is named (by its name and its address).
    for (int c = 0; c < session.options.interfaceChoiceCount; ++c) {
        BroadcastInterface entry{};
        std::string problem;
        if (!FindInterface(session.names, table, session.options.interfaceChoices[c], &entry, &problem)) {
            *exitCode = UsageError(problem);
            return false;
        }
        bool named = false;
        for (const BroadcastInterface& earlier : *chosen)
            named = named || SameInterface(earlier, entry);
        if (!named)
            chosen->push_back(entry);
    }
    return true;
}

Opened::Opened(Session& session) : frontEnd(MakeCliFrontEnd(&list)), interfaces(session.platform) {}

bool Open(Session& session, Opened& opened, int* exitCode) {
    Observe(session, &opened.list);
    return ChooseInterfaces(session, opened.frontEnd, opened.interfaces, &opened.where, exitCode);
}

}  // namespace scout::cli
