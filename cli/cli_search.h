// scout-cli's front end of the search: the rows kept as the core hands them
// over, the interfaces' names, reports and warnings on standard error.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_render.h"
#include "net/platform.h"
#include "ops/names.h"

namespace scout::cli {


// The interface a text names among those of table: by its address, else by
// its name. Two interfaces with the one address need their name. false with
// the problem in one line.
bool FindInterface(InterfaceNames& names, const InterfaceTable& table, const char* choice,
                   BroadcastInterface* chosen, std::string* problem,
                   bool* ambiguous = nullptr);

// The search's front end over a vector of rows (kept interface by interface
// in an all-at-once search): each row's interface named (where names is set),
// and, where the caller wants them, a call as each row arrives and as each
// interface's window opens. showError and showWarning go to standard error.
struct CliList {
    std::vector<Reply> rows;
    InterfaceNames* names = nullptr;
    void* observer = nullptr;
    void (*rowAdded)(void* observer, const Reply& row) = nullptr;
    void (*interfaceBegins)(void* observer, const BroadcastInterface& entry, std::size_t position,
                            std::size_t count) = nullptr;
    // Another socket holds the tool's port on entry: whether to wait on (see
    // SearchFrontEnd::portHeld); null: never.
    bool (*portHeld)(void* observer, const BroadcastInterface& entry, std::uint32_t waitedMs) = nullptr;
    std::vector<std::string> errors;    // every failure the search reported, as said
    std::vector<std::string> warnings;  // every warning of the search, as it was also said
    bool holdWarnings = false;          // keep them unsaid (the caller says them once)
    bool sayOnce = false;               // say each error and warning only the first time
    std::vector<std::string> said;      // what was said, with sayOnce
};
SearchFrontEnd MakeCliFrontEnd(CliList* list);

// One report as one line: "scout-cli: " and the text with every run of line
// breaks folded into one space.
std::string FormatErrorLine(const char* text);

// A line (with its line end) on standard error, at once. Where standard error
// goes to the systemd journal (a service), the line is marked with its
// priority: a warning ("scout-cli: warning: ...") as one, anything else as an
// error, so that the journal's priority filters find them.
void WriteErrorLine(const std::string& line);

// A text said after the failure or warning it points to ("(the failure
// above)", "(the warning above)"), made to stand on its own, as the record
// of changes keeps it: the last of them in its place.
std::string OnItsOwn(const std::string& text, const CliList& list);

}  // namespace scout::cli
