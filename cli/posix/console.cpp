// On POSIX standard output already passes bytes unchanged.
#include "cli/console.h"

#include <fcntl.h>
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

}  // namespace scout::cli
