// What changed from one search to the next, for `scout-cli watch` (and the
// wait of `commission`): the controllers that appeared, those gone (missing
// from two searches in a row), those answering at a known address with other
// texts, and addresses that more than one controller answers at on one
// interface (and when that ends). Pure, over the rows each search listed.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_render.h"
#include "cli/cli_row.h"

namespace scout::cli {

enum class ChangeKind { Appeared, Gone, Changed, Duplicate, DuplicateEnded };

struct Change {
    ChangeKind kind = ChangeKind::Appeared;
    CliRow row;     // as the search saw it (as last seen, for Gone)
    int count = 1;  // Duplicate: how many answer there
};

// The controllers known so far, by address and interface.
struct KnownController {
    CliRow row;
    int misses = 0;          // searches in a row that did not list it
    bool duplicate = false;  // more than one answers there
};
struct WatchState {
    std::vector<KnownController> known;
};

// The changes one search brings; failed lists the interfaces whose window a
// failure cut short (their controllers are not counted missing).
std::vector<Change> CompareSearch(WatchState& state, const std::vector<CliRow>& rows,
                                  const std::vector<BroadcastInterface>& failed);

// "+", "-", "~", "!".
const char* ChangeSign(ChangeKind kind);
// "appeared", "gone", "changed", "duplicate", "duplicate-ended".
const char* ChangeName(ChangeKind kind);

// One change as watch prints it: the table's row (fixed columns, as a search
// streams them) behind its sign; one JSON object on one line; one CSV record.
// time is the local time as ISO 8601.
std::string WatchHeader(OutputFormat format, const RenderOptions& options);
std::string RenderChange(const Change& change, const std::string& time, OutputFormat format,
                         const RenderOptions& options);

}  // namespace scout::cli
