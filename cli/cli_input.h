// The files a user names for scout-cli to read (a plan, an expected list),
// and those a file it writes whole must never replace.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "ops/expected.h"

namespace scout::cli {

// A file the user names: a regular file only (a folder, device or FIFO is
// refused without waiting on it), or for "-" standard input; read no further
// than past limit, so that a file too large is said by its reader. what
// names it in the problem ("the plan").
bool ReadInputFile(const char* path, const char* what, std::size_t limit, std::string* text, std::string* problem);
// Its name as said: the path, or "standard input".
std::string InputName(const char* path);

// The line's design list at path (as ReadInputFile reads it) for audit,
// watch --expect and commission --expect alike: every fault said with its
// line, and a column of a reserved name said once. False where the run ends
// (ExitUsage); text is the file's as read.
bool ReadDesignList(const char* path, ExpectedList* list, std::string* text);

// The list as this workstation knows its interfaces (ResolveInterfaces: one
// interface however a row names it) and its addresses (no row at one of
// them): each fault said with its line; false where there is one (the run
// ends, ExitUsage). known: the interfaces as the list may name them.
bool HoldListHere(Session& session, const char* path, ExpectedList& list, const InterfaceTable& table,
                  std::vector<KnownInterface>* known);

// What a file written whole (a report, the metrics) must never replace: the
// list the run reads (where it is a file) and the record of changes.
std::vector<std::string> SparedFiles(const Options& options, const char* listPath);

}  // namespace scout::cli
