// A line held against what it should be: one result per expected row, and
// one per controller that answered and that no row names. The verdicts are
// facts; the front end words them, in a table, JSON, CSV or the report.
#pragma once

#include <string>
#include <vector>

#include "ops/expected.h"
#include "ops/reply.h"

namespace scout::ops {

enum class AuditStatus {
    Mismatch,    // it answers, but a field differs (fields)
    Missing,     // no answer at the address (on its interface, where given)
    Duplicate,   // more than one controller at the address on its interface (their texts or their
                 // frames' MACs differ, or nothing tells them apart), or answers on several
                 // interfaces where none was given
    Unexpected,  // a controller answered that no row names
    Unverified,  // it answers once, and every given field that could be read matches; one could
                 // not be read here (unread): not known to differ, not known to match
    NotSearched,  // no answer, and its interface was not searched (another was chosen, or this
                  // workstation has none of that name): not known to be missing
    Ok,          // it answers once, and every given field matches
};
// Deviations first, in this order.
constexpr int AuditStatusCount = 7;

struct AuditResult {
    AuditStatus status = AuditStatus::Ok;
    const ExpectedRow* expected = nullptr;  // null for Unexpected
    std::vector<Reply> found;               // what answered (several for Duplicate; none for Missing)
    std::vector<std::string> fields;        // Mismatch: "model", "version", "revision", "mac"
    std::vector<std::string> unread;        // the given fields not read here: "mac" (Unverified, Mismatch)
    // Several replies with the same texts, every one from one MAC: counted as
    // one answer (one controller that answered more than once, as far as a
    // look can tell).
    bool oneMac = false;
};

// The fields the row gives that the reply does not match: "model",
// "version", "revision", "mac" (a MAC only where the reply's was read).
std::vector<std::string> ExpectedDifferences(const ExpectedRow& row, const Reply& reply);

// Whether the reply is on the interface the row names (by its address or
// name, and by the Interface Name column, where given).
bool OnExpectedInterface(const ExpectedRow& row, const Reply& reply);

// What the search behind an audit covered: the interfaces searched, and
// every interface of this workstation (with its prefix). A row is on an
// interface not searched where it names one that was not (or one this
// workstation does not have), or names none and its address lies in the
// subnet of unsearched interfaces only.
struct AuditScope {
    std::vector<BroadcastInterface> searched;
    std::vector<KnownInterface> all;
};

// The results, deviations first (in the order of AuditStatus), each group in
// the expected list's order and then the order the controllers answered.
// Without a scope every row counts as searched.
std::vector<AuditResult> AuditLine(const ExpectedList& expected, const std::vector<Reply>& rows,
                                   const AuditScope* scope = nullptr);

// How many results have each status, by AuditStatus.
std::vector<int> CountStatuses(const std::vector<AuditResult>& results);

// Whether the expected row names the reply's address and interface (watch --expect).
const ExpectedRow* ExpectedFor(const ExpectedList& expected, const Reply& reply);

}  // namespace scout::ops
