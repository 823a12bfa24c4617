// One run of scout-cli: what it was asked, where it writes, the interfaces it
// works from and the searches it makes. Every subcommand's flow (cli_main,
// cli_apply) is built of these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_record.h"
#include "ops/command_path.h"
#include "cli/cli_search.h"
#include "net/controller_search.h"
#include "net/platform.h"
#include "ops/expected.h"
#include "ops/look.h"

namespace scout::cli {

// Standard output, every write checked; the first failure is kept for
// FinishOutput, which says it once and gives the run's status.
void Print(const std::string& text);
int FinishOutput(int status);
// From here on, an output that cannot be written ends with ExitSentUnreported.
void NoteCommandSent();
// Whether a write to standard output failed, and whether because its reader
// went away; Forget... lets a run that ends on that end with its own status.
bool OutputFailed();
bool OutputClosed();
void ForgetClosedOutput();

// A file the user names (a plan, an expected list): a regular file only (a
// folder, device or FIFO is refused without waiting on it), or for "-"
// standard input; read no further than past limit, so that a file too large
// is said by its reader. what names it in the problem ("the plan").
bool ReadInputFile(const char* path, const char* what, std::size_t limit, std::string* text, std::string* problem);
// Its name as said: the path, or "standard input".
std::string InputName(const char* path);

// What a file written whole (a report, the metrics) must never replace: the
// list the run reads (where it is a file) and the record of changes.
std::vector<std::string> SparedFiles(const Options& options, const char* listPath);

// "scout-cli: LINE" on standard error; bad usage adds the --help line.
void Say(const std::string& line);
int UsageError(const std::string& problem);

struct Session {
    const NetPlatform& platform;
    const Options& options;
    RenderOptions render;
    bool status = false;      // progress lines on standard error (a terminal, not --quiet)
    bool streamRows = false;  // the table's rows printed as they arrive
    InterfaceNames names;     // of every list of the run
    bool saidPortWait = false;  // "waiting for port 65513 ..." was said
};

// A progress line, where the session shows them.
void Status(const Session& session, const std::string& line);
// A list whose progress the session shows.
void Observe(Session& session, CliList* list);

// The interfaces of the platform, held for as long as a run needs them.
struct Interfaces {
    const NetPlatform& platform;
    InterfaceTable table;
    explicit Interfaces(const NetPlatform& p) : platform(p) {}
    ~Interfaces() { platform.releaseInterfaces(platform.context, &table); }
    Interfaces(const Interfaces&) = delete;
    Interfaces& operator=(const Interfaces&) = delete;
    bool Load(const SearchFrontEnd& reports);
};

// Every interface of the table that is searched, in its order.
std::vector<BroadcastInterface> AllOf(const InterfaceTable& table);

// Every interface of the table, searched or skipped, as a list may name it.
std::vector<KnownInterface> KnownInterfaces(Session& session, const InterfaceTable& table);

// Loads the interfaces and chooses those a search covers: the one
// --interface names, or all. On false, *exitCode says how the run ends.
bool ChooseInterfaces(Session& session, const SearchFrontEnd& reports, Interfaces& interfaces,
                      std::vector<BroadcastInterface>* chosen, int* exitCode);

// A look (ops/look) of the interfaces given, as the options ask (its window,
// all at once or one after another), with the interfaces' names; the caller
// adds what a command asks of it.
LookPlan PlanOfLook(Session& session, const std::vector<BroadcastInterface>& where);
// The look, heard by list (MakeCliFrontEnd); list's rows then are its rows,
// finished.
Looked Search(Session& session, CliList& list, const LookPlan& plan);
// The look before commands (ops/look), heard by list as Search's.
Looked LookBefore(Session& session, CliList& list, const std::vector<CommandRequest>& requests,
                  const CommandLook& look);

// A setting of seconds as given: "30 s", "1.5 s".
std::string SecondsSetting(std::uint32_t ms);
// "3 controllers".
std::string Count(std::size_t n, const char* one, const char* many);

// The record of changes: the intent before a command goes (false: it may
// not go; the reason was said), then what became of it; and what is said
// where an intent could not be written.
bool RecordIntent(Recorder& recorder);
void RecordAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason);
std::string NothingSentWithoutRecord(const std::string& path, const FileError& error);

// The commands' one path (ops/command_path) with scout-cli's looks, lines
// and words: every intent recorded (false, said, and nothing sent where
// they cannot be), each sent, all awaited unless --no-wait, every verdict
// recorded. list then holds the last look's rows.
bool SendAndAwait(Session& session, CliList& list, std::vector<Outgoing>& commands, const std::vector<Reply>& before);

}  // namespace scout::cli
