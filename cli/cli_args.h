// scout-cli's command line: the command, its operands and its options, read
// strictly against the table of commands (cli_main) and the options each
// takes. Bad usage gets one line that names the problem.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "cli/cli_render.h"
#include "net/controller_search.h"

namespace scout::cli {

enum class Command { None, Search, Interfaces, Reset, FactoryDefaults, Reconfigure, Doctor, History, Apply, Watch,
                     Commission, Audit };

// Metrics stays last: the table of options (cli_options) has one entry per id.
enum class OptionId {
    Help, Version, Json, Csv, NoHeader, Quiet, NoWait, DryRun, Interface, Parallel, Window, Sort, All, NoSearch,
    Sequential, Timeout, Log, NoLog, Interval, First, Last, Mask, Gateway, Factory, Count, Report, Title, Expect,
    Readdress, Metrics
};

// What a watch does with a replaced controller at the factory address.
enum class ReaddressMode { Off, Propose, Act };

// One option a command takes, with its words there (null: the option's own).
struct OptionUse {
    OptionId id;
    const char* words = nullptr;
};

// What a command says of itself: its usage lines (from "scout-cli"; a line
// after the first is indented as under "usage: "), what it does (lines),
// the options it takes (besides -h and -V, which every command takes), and
// its examples (lines).
struct CommandHelp {
    const char* usage;
    const char* about;
    std::span<const OptionUse> options;
    const char* examples;
};

struct Session;

// One command of the table: its name, its operands (how a usage error names
// them, and how the list of commands shows them), its help, and its run.
struct CommandEntry {
    const char* name;
    Command command;
    int operands;
    const char* operandText;   // "PLAN (a CSV file, or - for standard input)"
    const char* operandNames;  // "PLAN"
    const CommandHelp* help;
    int (*run)(Session& session);
};

constexpr int MaxOperands = 4;
constexpr std::uint32_t MinWindowMs = 100;
constexpr std::uint32_t MaxWindowMs = 10000;
constexpr std::uint32_t MinWaitSeconds = 1;
constexpr std::uint32_t MaxWaitSeconds = 3600;
constexpr int MaxInterfaceChoices = 16;  // watch --interface, given again for each

struct Options {
    Command command = Command::None;
    const char* commandName = "";
    const CommandEntry* entry = nullptr;     // the command read (with --help, or after help: its help)
    OutputFormat format = OutputFormat::Table;
    bool help = false;
    bool version = false;
    bool noWait = false;
    bool dryRun = false;
    bool all = false;                        // --all: every controller that answers at ADDRESS
    bool noSearch = false;                   // --no-search: send without looking first
    const char* logPath = nullptr;           // --log FILE: the record of changes; null: the default
    bool noLog = false;                      // --no-log: record nothing
    bool noHeader = false;
    bool quiet = false;
    bool allAtOnce = true;                   // every interface in one window; --sequential: one after another
    bool sortByAddress = false;              // --sort address
    std::uint32_t windowMs = ReplyWindowMs;  // --window MS
    std::uint32_t waitMs = 30000;            // --timeout SECONDS: how long a command's effect is awaited
    std::uint32_t portWaitMs = 5000;         // how long a search waits for the port another scout-cli holds
                                             // (--timeout too, where given)
    const char* interfaceChoice = nullptr;  // --interface ADDRESS|NAME (the first, where watch names several)
    int interfaceChoiceCount = 0;
    const char* interfaceChoices[MaxInterfaceChoices] = {};
    std::uint32_t intervalMs = 2000;         // --interval SECONDS: from one search of watch or commission to the next
    // commission: the range it gives addresses from, the values each gets,
    // the factory address it waits at, and how many it commissions (0: no end).
    const char* first = nullptr;
    const char* last = nullptr;
    const char* mask = nullptr;
    const char* gateway = nullptr;
    const char* factory = "192.168.1.100";
    std::uint32_t count = 0;
    const char* reportPath = nullptr;  // audit --report FILE: the acceptance report
    const char* title = nullptr;       // audit --title TEXT
    const char* expectPath = nullptr;  // watch --expect EXPECTED
    const char* metricsPath = nullptr;  // watch --metrics FILE: the Prometheus text file
    ReaddressMode readdress = ReaddressMode::Off;  // watch --readdress-replacements[=propose]
    int operandCount = 0;
    const char* operands[MaxOperands] = {};
};

// Reads argv against the table of commands. On bad usage returns false with
// one line in *error that names the problem (without the program's name);
// nothing else is looked at then. "help COMMAND" is COMMAND's --help.
bool ParseArguments(int argc, char** argv, std::span<const CommandEntry> commands, Options* options,
                    std::string* error);

// An option as its help shows it: "--window MS", "-q, --quiet"; and its own words.
std::string OptionLabel(OptionId id);
const char* OptionWords(OptionId id);

// Seconds as people type them ("2", "1.5", "0.25": at most three decimals)
// into milliseconds, from min to max seconds; false for anything else.
bool ParseSeconds(const char* text, std::uint32_t minSeconds, std::uint32_t maxSeconds, std::uint32_t* ms);

// A text the user gave, fit to quote in a one-line message: every control
// character as \xNN, and cut at 64 characters (marked with "...").
std::string QuoteOperand(const char* text);

}  // namespace scout::cli
