// On POSIX standard output already passes bytes unchanged.
#include "cli/console.h"

namespace scout::cli {
void PrepareConsoleOutput() {}
}
