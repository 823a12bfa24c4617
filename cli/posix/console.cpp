// On POSIX standard output already passes bytes unchanged.
#include "cli/console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace scout::cli {

const char* const CsvLineEnd = "\n";

void PrepareConsoleOutput() {}

bool IsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

bool StandardOutputOpen() {
    return ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
}

namespace {
volatile sig_atomic_t g_interrupted = 0;

void NoteInterrupt(int signal) {
    g_interrupted = 128 + signal;
}
}  // namespace

void WatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void SurviveClosedOutput() {
    ::signal(SIGPIPE, SIG_IGN);
}

bool StandardOutputGone() {
    pollfd entry{STDOUT_FILENO, POLLOUT, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & (POLLERR | POLLHUP)) != 0;
}

unsigned long CurrentProcessId() {
    return static_cast<unsigned long>(::getpid());
}

int Interrupted() {
    return g_interrupted;
}

}  // namespace scout::cli
