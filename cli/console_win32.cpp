// On Windows: binary standard output (CSV carries its own CR LF) and a UTF-8 console.
#include "cli/console.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>

namespace scout::cli {
void PrepareConsoleOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode))
        SetConsoleOutputCP(CP_UTF8);
}
}  // namespace scout::cli
