// The wait after commands have gone out: the interfaces they went by are
// looked at again and again, a short window each, all at once, until every
// command's effect is seen or --timeout is up. Ctrl-C or SIGTERM meanwhile
// ends the wait, not the program: the commands went out, and their results
// are still written.
#pragma once

#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_session.h"

namespace scout::cli {

// One command awaited: what was asked, where it went, what was seen of it.
struct Awaited {
    CommandRequest request;
    Decision decision;
    Watch watch;
    WaitVerdict verdict;  // done once its effect was seen, or the wait ended
    double seconds = 0;   // after the send, when it was judged
};

// The verdict of a command that could not be sent (the send said why).
WaitVerdict NotSent();

// What became of a command, in the record of changes.
// What became of a command, in the record of changes, its reason standing on
// its own (the warning it points to in its place).
void RecordVerdict(Recorder& recorder, const Awaited& awaited, const CliList& list);

// Waits for every command of awaited; before holds the rows the search before
// the commands saw. On return every verdict is done, and list holds the last
// look's rows.
void AwaitEffects(Session& session, std::vector<Awaited>& awaited, const std::vector<CliRow>& before, CliList& list);

}  // namespace scout::cli
