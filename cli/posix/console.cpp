// On POSIX standard output already passes bytes unchanged.
#include "cli/console.h"

#include <fcntl.h>
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

int Interrupted() {
    return g_interrupted;
}

}  // namespace scout::cli
