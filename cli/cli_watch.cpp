// scout-cli watch (see cli_watch.h).
#include "cli/cli_watch.h"

#include "cli/cli_words.h"

#include "ops/answers.h"
#include "ops/audit.h"

#include "cli/cli_record.h"
#include "cli/console.h"

namespace scout::cli {

bool StartWatcher(Watcher& watcher, Interfaces& interfaces, int* exitCode) {
    watcher.list.names = &watcher.session.names;
    watcher.list.sayOnce = true;
    return ChooseInterfaces(watcher.session, MakeCliFrontEnd(&watcher.list), interfaces, &watcher.where, exitCode);
}

void SearchOnce(Watcher& watcher) {
    const NetPlatform& platform = watcher.session.platform;
    watcher.startedAt = platform.now(platform.context);
    std::vector<bool> cutShort;
    Search(watcher.session, MakeCliFrontEnd(&watcher.list), watcher.where, &cutShort);
    watcher.failed.clear();
    for (std::size_t i = 0; i < watcher.where.size(); ++i)
        if (cutShort[i])
            watcher.failed.push_back(watcher.where[i]);
}

bool AwaitNextSearch(Watcher& watcher) {
    const NetPlatform& platform = watcher.session.platform;
    const std::uint32_t interval = watcher.session.options.intervalMs;
    for (;;) {
        if (Interrupted() != 0 || StandardOutputGone())
            return false;
        const std::uint32_t passed = platform.now(platform.context) - watcher.startedAt;
        if (passed >= interval)
            return true;
        platform.sleep(platform.context, interval - passed < 50 ? interval - passed : 50);
    }
}

namespace {

// The list a watch holds the line against, where --expect names one.
bool ReadWatchList(const Options& options, ExpectedList* expected, int* exitCode) {
    if (options.expectPath == nullptr)
        return true;
    std::string text, problem;
    if (!ReadInputFile(options.expectPath, "the expected list", MaxExpectedBytes, &text, &problem)) {
        Say(problem);
        *exitCode = ExitUsage;
        return false;
    }
    std::vector<std::string> faults;
    *expected = ReadExpected(text, &faults);
    for (const std::string& fault : faults)
        Say(InputName(options.expectPath) + (fault.compare(0, 5, "line ") == 0 ? ", " : ": ") + fault);
    *exitCode = ExitUsage;
    return faults.empty();
}

// The row's name for the change's controller (its address where it has none), or "unexpected".
std::string Mark(const ExpectedList& expected, const Change& change) {
    const ExpectedRow* row = ExpectedFor(expected, change.row);
    if (row == nullptr)
        return "unexpected";
    return row->name.empty() ? row->addressText : row->name;
}

}  // namespace

int RunWatch(Session& session) {
    ExpectedList expected;
    int listExit = ExitOk;
    if (!ReadWatchList(session.options, &expected, &listExit))
        return listExit;
    const bool marked = session.options.expectPath != nullptr;
    Watcher watcher{session, {}, {}, {}, 0};
    Interfaces interfaces(session.platform);
    int exitCode = ExitOk;
    if (!StartWatcher(watcher, interfaces, &exitCode))
        return exitCode;
    if (watcher.where.empty()) {
        Say("no broadcast interface to watch (scout-cli interfaces lists them)");
        return ExitFailure;
    }
    WatchInterrupts();
    SurviveClosedOutput();
    Status(session, "watching " + Count(watcher.where.size(), "interface", "interfaces") + " every " +
                        SecondsSetting(session.options.intervalMs) + "; Ctrl-C ends it");
    Print(WatchHeader(session.options.format, session.render, marked));
    WatchState state;
    do {
        SearchOnce(watcher);
        const std::string time = LocalTimeText();
        // A neighbour table's MAC says nothing of which of several replies at one address sent which.
        std::vector<Reply> rows = watcher.list.rows;
        ForgetSharedNeighbourMacs(rows);
        for (const Change& change : CompareSearch(state, rows, watcher.failed)) {
            const std::string mark = marked ? Mark(expected, change) : std::string();
            Print(RenderChange(change, time, session.options.format, session.render,
                               marked ? mark.c_str() : nullptr));
        }
        if (OutputFailed())
            break;
    } while (AwaitNextSearch(watcher));
    // Ctrl-C, or a reader that went away, is how a watch ends.
    ForgetClosedOutput();
    return ExitOk;
}

}  // namespace scout::cli
