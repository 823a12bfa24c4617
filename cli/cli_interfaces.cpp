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

bool ChosenOf(Session& session, const InterfaceTable& table, std::vector<BroadcastInterface>* chosen,
              std::vector<std::string>* waiting, std::string* problem) {
    chosen->clear();
    if (waiting != nullptr)
        waiting->clear();
    if (session.options.interfaceChoice == nullptr) {
        chosen->assign(table.entries, table.entries + table.count);
        return true;
    }
    for (int c = 0; c < session.options.interfaceChoiceCount; ++c) {
        const char* choice = session.options.interfaceChoices[c];
        BroadcastInterface entry{};
        bool ambiguous = false;
        if (!FindInterface(session.names, table, choice, &entry, problem, &ambiguous)) {
            if (ambiguous || waiting == nullptr)
                return false;
            waiting->push_back(choice);
            continue;
        }
        bool named = false;
        for (const BroadcastInterface& earlier : *chosen)
            named = named || SameInterface(earlier, entry);
        if (!named)
            chosen->push_back(entry);
    }
    problem->clear();
    return true;
}

bool ChooseInterfaces(Session& session, const SearchFrontEnd& reports, Interfaces& interfaces,
                      std::vector<BroadcastInterface>* chosen, int* exitCode) {
    chosen->clear();
    if (!interfaces.Load(reports)) {
        *exitCode = ExitFailure;
        return false;
    }
    std::string problem;
    if (ChosenOf(session, interfaces.table, chosen, nullptr, &problem))
        return true;
    *exitCode = UsageError(problem);
    return false;
}

Opened::Opened(Session& session) : frontEnd(MakeCliFrontEnd(&list)), interfaces(session.platform) {}

bool Open(Session& session, Opened& opened, int* exitCode) {
    Observe(session, &opened.list);
    return ChooseInterfaces(session, opened.frontEnd, opened.interfaces, &opened.where, exitCode);
}

}  // namespace scout::cli
