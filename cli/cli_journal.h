// A watch's events in the systemd journal: each change as one entry with its
// priority and structured fields (SCOUT_EVENT, SCOUT_ADDRESS, ...), in the
// journal's native protocol, so that `journalctl SCOUT_EVENT=gone` finds them.
// The bytes are made here; cli/journal.h sends them where there is a journal.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/cli_render.h"
#include "ops/changes.h"

namespace scout::cli {

using JournalFields = std::vector<std::pair<std::string, std::string>>;

// The syslog priority of a change: a controller gone, a duplicate address,
// an address conflict and a controller the expected list does not name are
// warnings (4); the others notices (5).
int ChangePriority(ChangeKind kind, bool unexpected);

// The entry of one change: PRIORITY, SYSLOG_IDENTIFIER, MESSAGE (one line,
// as a person reads it) and the SCOUT_ fields; expected as watch --expect
// marks the change (null without a list).
JournalFields ChangeJournalFields(const Change& change, const char* expected);

// The native protocol's datagram: "NAME=value\n" each, or, for a value with a
// line feed, the name, a line feed, its length (64 bits, little-endian), the
// value and a line feed.
std::string JournalDatagram(const JournalFields& fields);

// Whether JOURNAL_STREAM (as systemd sets it: "device:inode" of the stream
// connected to the journal) names the file with this device and inode.
bool JournalStreamIs(const char* variable, unsigned long long device, unsigned long long inode);

}  // namespace scout::cli
