// scout-cli's entry: the table of its commands (each one file of
// cli/commands), and a run of one of them.
#pragma once

#include <span>

#include "cli/cli_args.h"
#include "net/platform.h"
#include "ops/segment_lock.h"

namespace scout::cli {

// Every command, in the order the help lists them.
std::span<const CommandEntry> CommandTable();

// One run as read from argv, over platform (and the locks of one sender per
// segment): the help, the version, or the command, and its exit status (the
// output is not finished: FinishOutput).
int RunParsed(const NetPlatform& platform, const Options& options, const SegmentLocks& locks);

// scout-cli as started: argv read, the run, the output finished.
int Main(int argc, char** argv);

}  // namespace scout::cli
