// On Windows: binary standard output (CSV carries its own CR LF) and a UTF-8 console.
#include "cli/console.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

namespace scout::cli {

const char* const CsvLineEnd = "\r\n";

void PrepareConsoleOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode))
        SetConsoleOutputCP(CP_UTF8);
}

// A console, not a character device as such: NUL is one too.
bool IsTerminal(std::FILE* stream) {
    const int descriptor = _fileno(stream);
    if (descriptor < 0)
        return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != FALSE;
}

// A socket is no descriptor of the C runtime here: a write to a closed
// standard output fails and says so.
bool StandardOutputOpen() {
    return true;
}

namespace {
volatile LONG g_interrupted = 0;

// Ctrl-C and Ctrl-Break are noted; a closed console, a log-off or a shut-down
// too, and the handler then waits briefly so that the result can be written.
BOOL WINAPI NoteInterrupt(DWORD event) {
    InterlockedExchange(&g_interrupted, event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 143);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        Sleep(2000);
    return TRUE;
}
}  // namespace

void WatchInterrupts() {
    SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

// A write to a closed pipe fails on Windows; nothing ends the program for it.
void SurviveClosedOutput() {}

// Windows tells of a closed pipe only when it is written to.
bool StandardOutputGone() {
    return false;
}

int Interrupted() {
    return static_cast<int>(g_interrupted);
}

unsigned long CurrentProcessId() {
    return ::GetCurrentProcessId();
}

}  // namespace scout::cli
