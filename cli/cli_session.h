// One run of scout-cli: what it was asked, and its output: standard output
// with every write checked, and the lines it says on standard error (a
// problem, a warning, a progress line on a terminal). Every command's flow
// (cli/commands) is built on it.
#pragma once

#include <string>

#include "cli/cli_args.h"
#include "cli/cli_render.h"
#include "net/platform.h"
#include "ops/names.h"
#include "ops/segment_lock.h"

namespace scout::cli {

// Standard output, every write checked; the first failure is kept for
// FinishOutput, which says it once and gives the run's status.
void Print(const std::string& text);
int FinishOutput(int status);
// From here on, an output that cannot be written ends with ExitSentUnreported.
void NoteCommandSent();
// Whether a write to standard output failed, and whether because its reader
// went away; Forget... lets a run that ends on that end with its own status.
bool OutputFailed();
bool OutputClosed();
void ForgetClosedOutput();

// "scout-cli: LINE" on standard error; bad usage adds the --help line.
void Say(const std::string& line);
int UsageError(const std::string& problem);

struct Session {
    const NetPlatform& platform;
    const Options& options;
    RenderOptions render;
    bool status = false;      // progress lines on standard error (a terminal, not --quiet)
    bool streamRows = false;  // the table's rows printed as they arrive
    InterfaceNames names;     // of every list of the run
    bool saidPortWait = false;  // "waiting for port 65513 ..." was said
    const SegmentLocks* locks = nullptr;  // one sender per segment (null: none taken)
};

// A progress line, where the session shows them.
void Status(const Session& session, const std::string& line);

}  // namespace scout::cli
