// scout-cli's side of the record of changes (ops/record): what a command's
// lines say of the run, and `scout-cli history`, which reads the record back
// as a table, CSV or JSON, naming and skipping a line it cannot read.
#pragma once

#include <cstdio>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_render.h"
#include "cli/cli_search.h"
#include "ops/command.h"
#include "ops/record.h"

namespace scout::cli {

// The record of changes: --log FILE, or the default.
std::string RecordPath(const Options& options);

// The record of one command as it goes (off with --no-log, and for a dry run).
Recorder MakeRecorder(const Options& options, InterfaceNames& names, const CommandRequest& request,
                      const Decision& decision);

// What history writes, piece by piece, and the lines of the record it skips.
struct HistoryOutput {
    void* context = nullptr;
    void (*write)(void* context, const std::string& text) = nullptr;
    void (*skipped)(void* context, const std::string& why) = nullptr;  // "line N: why"
};
// `scout-cli history` over an open record file as a table (newest last; two
// passes, for the widths), CSV or JSON, in bounded memory; false where the
// file could not be read (its errno in *error).
bool StreamHistory(std::FILE* file, OutputFormat format, const RenderOptions& options, const HistoryOutput& out,
                   int* error);
// history where there is no record yet.
std::string EmptyHistory(OutputFormat format, const RenderOptions& options);

}  // namespace scout::cli
