// One run of scout-cli: its output and what it says (see cli_session.h).
#include "cli/cli_session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/cli_search.h"
#include "cli/cli_words.h"

namespace scout::cli {
namespace {

// Standard output: every write checked, the first failure kept for the end.
int g_outputError = 0;
// Once a command went out, an output that cannot be written has its own exit
// status, so that a script does not send it twice.
bool g_commandSent = false;
// The reader went away, and the run ends on that with its own status.
bool g_outputGone = false;

}  // namespace

void Print(const std::string& text) {
    if (g_outputError != 0 || text.empty())
        return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        g_outputError = errno != 0 ? errno : EIO;
}

// The status after everything was written: a failed write, flush or close of
// standard output is a failure, said once (a reader that went away, as
// `| head -1` does, is not told about).
int FinishOutput(int status) {
    if (g_outputGone)
        return status;
    errno = 0;
    if (g_outputError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0))
        g_outputError = errno != 0 ? errno : EIO;
    if (std::fclose(stdout) != 0 && g_outputError == 0)
        g_outputError = errno != 0 ? errno : EIO;
    if (g_outputError == 0)
        return status;
    // A reader that went away after a command went out is said: the command's
    // result is lost, and a script must not send it again.
    if (g_outputError != EPIPE)
        Say(std::string("cannot write the output: ") + std::strerror(g_outputError));
    else if (g_commandSent)
        Say("cannot write the output: its reader went away; the command was sent");
    if (g_commandSent)
        return ExitSentUnreported;
    return ExitFailure;
}

bool OutputFailed() {
    return g_outputError != 0;
}

bool OutputClosed() {
    return g_outputError == EPIPE || g_outputError == EINVAL;
}

void ForgetClosedOutput() {
    g_outputGone = OutputClosed();
}

void NoteCommandSent() {
    g_commandSent = true;
}

void Say(const std::string& line) {
    WriteErrorLine("scout-cli: " + line + "\n");
}

int UsageError(const std::string& problem) {
    Say(problem);
    std::fputs("Try 'scout-cli --help' for more information.\n", stderr);
    return ExitUsage;
}

void Status(const Session& session, const std::string& line) {
    if (!session.status)
        return;
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace scout::cli
