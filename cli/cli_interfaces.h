// The interfaces a run of scout-cli works from: loaded once, held for as long
// as the run needs them, and chosen as --interface says (or all); and the
// opening every searching command shares.
#pragma once

#include <vector>

#include "cli/cli_search.h"
#include "cli/cli_session.h"
#include "ops/expected.h"

namespace scout::cli {

// The interfaces of the platform, held for as long as a run needs them.
struct Interfaces {
    const NetPlatform& platform;
    InterfaceTable table;
    explicit Interfaces(const NetPlatform& p) : platform(p) {}
    ~Interfaces() { platform.releaseInterfaces(platform.context, &table); }
    Interfaces(const Interfaces&) = delete;
    Interfaces& operator=(const Interfaces&) = delete;
    bool Load(const SearchFrontEnd& reports);
};

// Every interface of the table that is searched, in its order.
std::vector<BroadcastInterface> AllOf(const InterfaceTable& table);

// Every interface of the table, searched or skipped, as a list may name it.
std::vector<KnownInterface> KnownInterfaces(Session& session, const InterfaceTable& table);

// The interfaces of the table a run covers: those --interface names (each
// once, however often named), or all. A choice no interface of the table
// answers to (none has it, or it is not searched) is an error with its line
// in *problem, unless waiting is given: then it is put there (a watch waits
// for it). A choice that names two interfaces is an error either way.
bool ChosenOf(Session& session, const InterfaceTable& table, std::vector<BroadcastInterface>* chosen,
              std::vector<std::string>* waiting, std::string* problem);

// Loads the interfaces and chooses those a search covers (ChosenOf, none
// waited for). On false, *exitCode says how the run ends.
bool ChooseInterfaces(Session& session, const SearchFrontEnd& reports, Interfaces& interfaces,
                      std::vector<BroadcastInterface>* chosen, int* exitCode);

// The opening of a command that searches: its rows, heard as the session
// shows a search's progress, and the interfaces chosen.
struct Opened {
    explicit Opened(Session& session);
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    CliList list;
    SearchFrontEnd frontEnd;  // over list
    Interfaces interfaces;
    std::vector<BroadcastInterface> where;
};
// The interfaces loaded and chosen; on false, *exitCode says how the run ends.
bool Open(Session& session, Opened& opened, int* exitCode);

}  // namespace scout::cli
