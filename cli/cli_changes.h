// What `scout-cli watch` prints of each change (ops/changes) between two
// searches: its sign, its name, the table's row, a JSON object, a CSV record.
#pragma once

#include <string>

#include "cli/cli_render.h"
#include "ops/changes.h"

namespace scout::cli {

// "+", "-", "~", "!".
const char* ChangeSign(ChangeKind kind);
// "appeared", "gone", "changed", "duplicate", "duplicate-ended", "conflict".
const char* ChangeName(ChangeKind kind);

// What a conflict is, as the table's note says it ("address conflict: " and
// its detail, the MACs and what they mean).
// What a watch did or would do with a replacement (Readdressed, Proposed,
// Held), or the detail of another change; "" where there is none.
std::string ReaddressNote(const Change& change);
std::string ConflictText(const Change& change);
std::string ConflictDetail(const Change& change);

// One change as watch prints it: the table's row (fixed columns, as a search
// streams them) behind its time of day and its sign; one JSON object on one
// line; one CSV record. time is the local time as ISO 8601.
// Where a watch holds the line against an expected list (--expect), each
// change is marked with the row's name for it, or "unexpected" (expected not
// null; the header then has its column).
std::string WatchHeader(OutputFormat format, const RenderOptions& options, bool marked = false);
std::string RenderChange(const Change& change, const std::string& time, OutputFormat format,
                         const RenderOptions& options, const char* expected = nullptr);

}  // namespace scout::cli
