// The systemd journal on Linux: JOURNAL_STREAM against the streams' own
// device and inode, and the native protocol's socket.
#include "cli/journal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "cli/cli_journal.h"

namespace scout::cli {
namespace {

constexpr const char* JournalSocket = "/run/systemd/journal/socket";

bool StreamIsJournal(int descriptor, const char* variable) {
    struct stat st {};
    return ::fstat(descriptor, &st) == 0 &&
           JournalStreamIs(variable, static_cast<unsigned long long>(st.st_dev),
                           static_cast<unsigned long long>(st.st_ino));
}

}  // namespace

JournalStreams ConnectedJournal() {
    const char* variable = std::getenv("JOURNAL_STREAM");
    JournalStreams streams;
    if (variable == nullptr)
        return streams;
    streams.output = StreamIsJournal(STDOUT_FILENO, variable);
    streams.error = StreamIsJournal(STDERR_FILENO, variable);
    return streams;
}

int SendJournalEntry(const std::string& datagram) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, JournalSocket, sizeof address.sun_path - 1);
    const ssize_t sent = ::sendto(fd, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int code = sent < 0 ? errno : 0;
    ::close(fd);
    return code;
}

}  // namespace scout::cli
