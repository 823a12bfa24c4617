// scout-cli watch (see cli_watch.h).
#include "cli/cli_watch.h"

#include "cli/cli_words.h"

#include "ops/answers.h"

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

int RunWatch(Session& session) {
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
    Print(WatchHeader(session.options.format, session.render));
    WatchState state;
    do {
        SearchOnce(watcher);
        const std::string time = LocalTimeText();
        // A neighbour table's MAC says nothing of which of several replies at one address sent which.
        std::vector<Reply> rows = watcher.list.rows;
        ForgetSharedNeighbourMacs(rows);
        for (const Change& change : CompareSearch(state, rows, watcher.failed))
            Print(RenderChange(change, time, session.options.format, session.render));
        if (OutputFailed())
            break;
    } while (AwaitNextSearch(watcher));
    // Ctrl-C, or a reader that went away, is how a watch ends.
    ForgetClosedOutput();
    return ExitOk;
}

}  // namespace scout::cli
