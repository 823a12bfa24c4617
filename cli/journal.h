// The platform side of the journal: whether standard output or standard error
// is connected to the systemd journal (JOURNAL_STREAM, as systemd sets it for
// a service), and one entry sent to it. Windows has no such journal.
#pragma once

#include <string>

namespace scout::cli {

struct JournalStreams {
    bool output = false;  // standard output goes to the journal
    bool error = false;   // standard error goes to the journal
};
JournalStreams ConnectedJournal();

// Sends one entry (cli_journal's datagram) to the journal's socket; 0, or
// the error code of the call that failed.
int SendJournalEntry(const std::string& datagram);

}  // namespace scout::cli
