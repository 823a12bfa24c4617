// On POSIX standard output already passes bytes unchanged.
#include "console.h"

namespace scout::cli {
void PrepareConsoleOutput() {}
}
