// Windows has no systemd journal: a watch's events go to standard output only.
#include "cli/journal.h"

namespace scout::cli {

JournalStreams ConnectedJournal() {
    return JournalStreams{};
}

int SendJournalEntry(const std::string&) {
    return 1;
}

}  // namespace scout::cli
