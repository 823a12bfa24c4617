// scout-cli's command line.
#include "cli/cli_args.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr std::size_t QuotedCharacters = 64;
constexpr std::uint32_t MaxCount = 10000;

// Which subcommands an option belongs to.
enum Scope : unsigned {
    OfSearch = 1,
    OfInterfaces = 2,
    OfCommands = 4,
    OfDoctor = 8,
    OfHistory = 16,
    OfApply = 32,
    OfWatch = 64,
    OfCommission = 128,
    OfAudit = 256,
    OfAll = OfSearch | OfInterfaces | OfCommands | OfDoctor | OfHistory | OfApply | OfWatch | OfCommission | OfAudit,
};

enum class OptionId {
    Help, Version, Json, Csv, NoHeader, Quiet, NoWait, DryRun, Interface, Parallel, Window, Sort, All, NoSearch,
    Sequential, Timeout, Log, NoLog, Interval, First, Last, Mask, Gateway, Factory, Count, Report, Title, Expect,
    Metrics
};

struct OptionEntry {
    OptionId id;
    const char* name;
    const char* shortName;  // or null
    bool takesValue;
    unsigned scope;
};

constexpr OptionEntry OptionTable[] = {
    {OptionId::Help, "--help", "-h", false, OfAll},
    {OptionId::Version, "--version", "-V", false, OfAll},
    {OptionId::Json, "--json", nullptr, false, OfAll},
    {OptionId::Csv, "--csv", nullptr, false,
     OfSearch | OfInterfaces | OfCommands | OfHistory | OfApply | OfWatch | OfCommission | OfAudit},
    {OptionId::NoHeader, "--no-header", nullptr, false,
     OfSearch | OfInterfaces | OfCommands | OfHistory | OfApply | OfWatch | OfCommission | OfAudit},
    {OptionId::Quiet, "--quiet", "-q", false, OfAll},
    {OptionId::NoWait, "--no-wait", nullptr, false, OfCommands | OfApply},
    {OptionId::DryRun, "--dry-run", nullptr, false, OfCommands | OfApply | OfCommission},
    {OptionId::Interface, "--interface", nullptr, true, OfSearch | OfCommands | OfDoctor | OfWatch | OfCommission | OfAudit},
    {OptionId::Parallel, "--parallel", nullptr, false, OfSearch | OfCommands | OfApply},
    {OptionId::Window, "--window", nullptr, true,
     OfSearch | OfCommands | OfDoctor | OfApply | OfWatch | OfCommission | OfAudit},
    {OptionId::Sort, "--sort", nullptr, true, OfSearch},
    {OptionId::All, "--all", nullptr, false, OfCommands},
    {OptionId::NoSearch, "--no-search", nullptr, false, OfCommands},
    {OptionId::Sequential, "--sequential", nullptr, false, OfSearch | OfCommands | OfApply},
    {OptionId::Timeout, "--timeout", nullptr, true, OfCommands | OfApply | OfCommission},
    {OptionId::Log, "--log", nullptr, true, OfCommands | OfHistory | OfApply | OfCommission | OfAudit},
    {OptionId::NoLog, "--no-log", nullptr, false, OfCommands | OfApply | OfCommission},
    {OptionId::Interval, "--interval", nullptr, true, OfWatch | OfCommission},
    {OptionId::First, "--first", nullptr, true, OfCommission},
    {OptionId::Last, "--last", nullptr, true, OfCommission},
    {OptionId::Mask, "--mask", nullptr, true, OfCommission},
    {OptionId::Gateway, "--gateway", nullptr, true, OfCommission},
    {OptionId::Factory, "--factory", nullptr, true, OfApply | OfCommission},
    {OptionId::Count, "--count", nullptr, true, OfCommission},
    {OptionId::Report, "--report", nullptr, true, OfAudit},
    {OptionId::Title, "--title", nullptr, true, OfAudit},
    {OptionId::Expect, "--expect", nullptr, true, OfWatch},
    {OptionId::Metrics, "--metrics", nullptr, true, OfWatch},
};

// A decimal number from min to max, nothing else (no sign, no space).
bool ParseBounded(const char* text, std::uint32_t min, std::uint32_t max, std::uint32_t* result) {
    std::uint32_t value = 0;
    int digits = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || ++digits > 5)
            return false;
        value = value * 10 + static_cast<std::uint32_t>(*p - '0');
    }
    if (digits == 0 || value < min || value > max)
        return false;
    *result = value;
    return true;
}

}  // namespace

bool ParseSeconds(const char* text, std::uint32_t minSeconds, std::uint32_t maxSeconds, std::uint32_t* ms) {
    std::uint32_t whole = 0, fraction = 0;
    int digits = 0, decimals = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (++digits > 5)
            return false;
        whole = whole * 10 + static_cast<std::uint32_t>(*p - '0');
    }
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p) {
            if (++decimals > 3)
                return false;
            fraction = fraction * 10 + static_cast<std::uint32_t>(*p - '0');
        }
        if (decimals == 0)
            return false;
    }
    if (*p != '\0' || digits == 0)
        return false;
    for (int d = decimals; d < 3; ++d)
        fraction *= 10;
    const std::uint32_t value = whole * 1000 + fraction;
    if (value < minSeconds * 1000 || value > maxSeconds * 1000)
        return false;
    *ms = value;
    return true;
}

namespace {

struct CommandEntry {
    const char* name;
    Command command;
    Scope scope;
    int operands;
    const char* operandText;  // how the usage error names them
};

constexpr CommandEntry CommandTable[] = {
    {"search", Command::Search, OfSearch, 0, nullptr},
    {"interfaces", Command::Interfaces, OfInterfaces, 0, nullptr},
    {"reset", Command::Reset, OfCommands, 1, "ADDRESS"},
    {"factory-defaults", Command::FactoryDefaults, OfCommands, 1, "ADDRESS"},
    {"reconfigure", Command::Reconfigure, OfCommands, 4, "ADDRESS IP MASK GATEWAY"},
    {"doctor", Command::Doctor, OfDoctor, 0, nullptr},
    {"history", Command::History, OfHistory, 0, nullptr},
    {"apply", Command::Apply, OfApply, 1, "PLAN (a CSV file, or - for standard input)"},
    {"watch", Command::Watch, OfWatch, 0, nullptr},
    {"commission", Command::Commission, OfCommission, 0, nullptr},
    {"audit", Command::Audit, OfAudit, 1, "EXPECTED (a CSV file, or - for standard input)"},
};

std::string Quoted(const char* text) {
    return "'" + QuoteOperand(text) + "'";
}

const OptionEntry* FindOption(const char* word, std::size_t nameLength) {
    for (const OptionEntry& entry : OptionTable) {
        if (std::strlen(entry.name) == nameLength && std::strncmp(word, entry.name, nameLength) == 0)
            return &entry;
        if (entry.shortName != nullptr && std::strcmp(word, entry.shortName) == 0)
            return &entry;
    }
    return nullptr;
}

// The usage and the help, from the same names as the tables above.
// The --window range and default, from their constants (checked at compile time).
#define WINDOW_RANGE "100 to 10000 (default 1010)"
static_assert(MinWindowMs == 100 && MaxWindowMs == 10000 && ReplyWindowMs == 1010,
              "WINDOW_RANGE says the --window limits and default");

constexpr const char* Usage =
    "usage: scout-cli search [--interface ADDRESS|NAME] [--sequential] [--window MS] [--sort address]\n"
    "                        [--json|--csv] [--no-header] [-q]\n"
    "       scout-cli interfaces [--json|--csv] [--no-header] [-q]\n"
    "       scout-cli reset ADDRESS [--all] [OPTIONS]\n"
    "       scout-cli factory-defaults ADDRESS [--all] [OPTIONS]\n"
    "       scout-cli reconfigure ADDRESS IP MASK GATEWAY [OPTIONS]\n"
    "       scout-cli doctor [--interface ADDRESS|NAME] [--json]\n"
    "       scout-cli apply PLAN [--dry-run] [--no-wait] [--timeout SECONDS] [--factory ADDRESS]\n"
    "                            [--log FILE|--no-log] [--json|--csv] [--no-header] [-q]\n"
    "       scout-cli watch [--interface ADDRESS|NAME]... [--interval SECONDS] [--window MS]\n"
    "                       [--expect EXPECTED] [--metrics FILE] [--json|--csv] [--no-header] [-q]\n"
    "       scout-cli commission --first IP [--last IP] --mask MASK --gateway GW\n"
    "                            [--factory ADDRESS] [--count N] [--interface ADDRESS|NAME]\n"
    "                            [--dry-run] [--interval SECONDS] [OPTIONS]\n"
    "       scout-cli audit EXPECTED [--report FILE] [--title TEXT] [--interface ADDRESS|NAME]\n"
    "                            [--window MS] [--log FILE] [--json|--csv] [--no-header] [-q]\n"
    "       scout-cli history [--log FILE] [--json|--csv] [--no-header]\n"
    "       scout-cli -h|--help | -V|--version\n";

constexpr const char* Help =
    "Finds the Ethernet motion controllers on every IPv4 network of this machine,\n"
    "and sends one of them a command.\n"
    "\n"
    "  search       broadcast a query on every broadcast interface at once and\n"
    "               list every controller that answers, interface by interface:\n"
    "               a reply is listed when it arrives within the window (1010 ms\n"
    "               after the query) or before the pass that ends the window\n"
    "  interfaces   list the broadcast interfaces the search uses, in search order:\n"
    "               name, address, prefix length and index; then those it skips,\n"
    "               and why (loopback, down, no carrier, point-to-point ...)\n"
    "  reset ADDRESS             power-on reset of the controller at ADDRESS\n"
    "  factory-defaults ADDRESS  reset that also restores its factory defaults\n"
    "  reconfigure ADDRESS IP MASK GATEWAY\n"
    "               give it a new address, subnet mask and gateway (0.0.0.0: none)\n"
    "  apply PLAN   the commands of a plan, a CSV file (- for standard input)\n"
    "               whose header is address,action,new_address,mask,gateway,model,\n"
    "               interface: action is reset, factory-defaults or reconfigure\n"
    "               (new_address, mask and gateway for reconfigure only), model an\n"
    "               optional guard (KRV-ETH1A2B), interface an optional name or\n"
    "               address. The whole plan is checked against one search first;\n"
    "               any problem is named with its line and nothing is sent. Then\n"
    "               every command goes, all are awaited together, and one result\n"
    "               per row is printed: line, target, action, outcome, where it\n"
    "               answers now, seconds\n"
    "  watch        search every interface at once again and again (--interval,\n"
    "               default 2 s) and print only what changes: + a controller\n"
    "               appears, - one is gone (missing twice in a row), ~ one at a\n"
    "               known address answers with other texts, ! several answer at\n"
    "               one address (and when that ends); --json: one object per line.\n"
    "               Ctrl-C or SIGTERM ends it (exit 0). Under systemd each event\n"
    "               also goes to the journal, with its priority and SCOUT_ fields\n"
    "  commission   new controllers one at a time, as they are plugged in: waits\n"
    "               for one at the factory address (--factory, default\n"
    "               192.168.1.100), gives it the next address from --first to\n"
    "               --last (default: the end of the subnet) that none answers at,\n"
    "               verifies and records it, and waits for the next; with two\n"
    "               there at once it sends nothing until one is left. Ends on\n"
    "               Ctrl-C, after --count N, or when the range is used up, with a\n"
    "               summary; exit 3 when one was not verified, 6 when the range had\n"
    "               no free address for one\n"
    "  audit EXPECTED  the line against what it should be: EXPECTED is a CSV file\n"
    "               (- for standard input) with a header naming its columns:\n"
    "               address (or IP ADDR), model, version, revision, interface, mac,\n"
    "               name; an empty cell is any, a version may be a minimum (>=2.14);\n"
    "               search --csv writes one. One search, then one result per row\n"
    "               and per controller no row names: ok, mismatch (the fields\n"
    "               named), missing, duplicate, unexpected; exit 0 when all are\n"
    "               ok, 1 when not, 2 for a fault of the list (each with its line).\n"
    "               --report FILE writes the acceptance report, one HTML page\n"
    "               (--title TEXT, default \"Controller acceptance\")\n"
    "  history      the record of every command sent (and refused), newest last\n"
    "  doctor       when a controller is not found: checks the interfaces, UDP\n"
    "               port 65513, the reverse-path filter, the receive buffer and\n"
    "               the firewall, one line each (ok, warning, problem, unknown),\n"
    "               then searches every interface at once; exit 1 on a problem\n"
    "\n"
    "A command is one broadcast datagram, sent by the interface on which the\n"
    "controller answers: scout-cli first searches every interface for ADDRESS\n"
    "(or the one --interface names), then sends, and looks at that interface\n"
    "again and again until the effect is seen (the controller is back, or\n"
    "answers at its new address) or --timeout runs out, and prints the rows of\n"
    "the last look and what it saw. Nothing is sent when ADDRESS does not\n"
    "answer, answers on several interfaces or more than once (several\n"
    "controllers share it, or one answers twice), when the new address already\n"
    "answers or is this machine's own, or when a search window did not finish.\n"
    "After reconfigure it checks that exactly one controller, the one it sent\n"
    "the command to, answers at the new address.\n"
    "\n"
    "Options of search and the commands:\n"
    "  --interface ADDRESS|NAME  only this interface: the search, and a command\n"
    "               is looked for and sent there\n"
    "  --sequential search one interface after another, a window each, as the\n"
    "               dialog does (default: every interface at once, one window\n"
    "               for all; --parallel says so too)\n"
    "  --window MS  how long each interface listens, " WINDOW_RANGE "\n"
    "  --sort address   list the rows in address order (search; default: arrival)\n"
    "Options of the commands (OPTIONS) and of apply (not --all, --no-search):\n"
    "  --dry-run    say what would be sent (interface, target, the 40 bytes) and send nothing\n"
    "  --no-wait    send the command and exit\n"
    "  --timeout SECONDS  how long the command's effect is awaited, 1 to 3600\n"
    "               (default 30)\n"
    "  --all        reset or factory-defaults: every controller that answers at\n"
    "               ADDRESS on the interface gets it (not reconfigure)\n"
    "  --log FILE   the record of changes (default ~/.local/state/ethernet-scout/\n"
    "               commands.jsonl; Windows: %LOCALAPPDATA%\\Ethernet Scout\\...):\n"
    "               a JSON line before each command is sent and one with its\n"
    "               outcome; where it cannot be written, nothing is sent\n"
    "  --no-search  send by --interface without looking first, for a controller\n"
    "               whose replies this machine cannot receive; only the addresses\n"
    "               are checked\n"
    "  --no-log     record nothing\n"
    "Options of watch and commission:\n"
    "  --interval SECONDS  from one search to the next, 1 to 3600 (default 2; at\n"
    "               least the window)\n"
    "  --expect EXPECTED  watch: mark each event with the list's name for the\n"
    "               controller (expected), or as unexpected\n"
    "  --metrics FILE  watch: after each search, write the line's metrics to FILE\n"
    "               in the Prometheus text format, whole (for the node exporter's\n"
    "               or windows_exporter's textfile collector)\n"
    "  --interface ADDRESS|NAME  watch: given again, each interface it names\n"
    "Options of all:\n"
    "  --json       one JSON document (an array of rows; an object for a command)\n"
    "  --csv        RFC 4180 comma-separated values with a header line\n"
    "  --no-header  no header line in the table or CSV\n"
    "  -q, --quiet  no progress lines on a terminal\n"
    "  -h, --help   this text\n"
    "  -V, --version\n"
    "\n"
    "On a terminal the table's rows appear as the replies arrive, and standard\n"
    "error shows each interface as it is searched and a summary; nothing of that\n"
    "goes to a pipe or a file.\n"
    "\n"
    "Examples:\n"
    "  scout-cli search\n"
    "  scout-cli search --sort address --csv > controllers.csv\n"
    "  scout-cli reset 10.1.0.20\n"
    "  scout-cli reconfigure 192.168.1.100 10.1.0.77 255.255.255.0 10.1.0.254 --interface eth1\n"
    "  scout-cli apply commissioning.csv --dry-run\n"
    "  scout-cli watch --json | jq .\n"
    "  scout-cli commission --first 10.1.0.101 --mask 255.255.255.0 --gateway 10.1.0.254 --count 10\n"
    "\n"
    "Exit status:\n"
    "  0  done (also a search with no rows)\n"
    "  1  a failure was reported, a check refused the command, it could not be\n"
    "     sent, or the output could not be written\n"
    "  2  bad usage\n"
    "  3  the command's effect was not seen in time (after reconfigure: not\n"
    "     exactly the controller answers at its new address); apply: for some row\n"
    "  4  no controller answered at ADDRESS, it answered on more than one\n"
    "     interface (choose one with --interface), or more than once there\n"
    "     (--all for a reset); nothing was sent; apply: so for some row of the plan\n"
    "  5  the command was sent, but its result could not be written (a full disk,\n"
    "     or a reader that went away); the record holds it\n"
    "  6  commission: the range had no free address for a controller\n"
    "  130, 143  interrupted while awaiting the effect (the result was written)\n";

}  // namespace

const char* UsageText() {
    return Usage;
}

const char* HelpText() {
    return Help;
}

std::string QuoteOperand(const char* text) {
    return SafeText(text, QuotedCharacters);
}

namespace {

// What a reading of argv has met so far.
struct Reading {
    bool seen[std::size(OptionTable)] = {};  // by OptionId
    const OptionEntry* given[std::size(OptionTable)] = {};
    std::size_t givenCount = 0;
    const CommandEntry* command = nullptr;
    bool optionsEnded = false;  // after "--"
    const char* extra = nullptr;  // the first operand too many
};

bool Seen(const Reading& reading, OptionId id) {
    return reading.seen[static_cast<std::size_t>(id)];
}

// A value from min to max into *result, or the line that says what it takes.
bool Bounded(const OptionEntry& entry, const char* takes, const char* value, std::uint32_t min, std::uint32_t max,
             std::uint32_t* result, std::string* error) {
    if (ParseBounded(value, min, max, result))
        return true;
    *error = std::string(entry.name) + " takes " + takes + " from " + std::to_string(min) + " to " +
             std::to_string(max) + ", not " + Quoted(value);
    return false;
}

// Seconds, with decimals, from MinWaitSeconds to MaxWaitSeconds, in ms.
bool Seconds(const OptionEntry& entry, const char* value, std::uint32_t* ms, std::string* error) {
    if (ParseSeconds(value, MinWaitSeconds, MaxWaitSeconds, ms))
        return true;
    *error = std::string(entry.name) + " takes seconds from " + std::to_string(MinWaitSeconds) + " to " +
             std::to_string(MaxWaitSeconds) + ", not " + Quoted(value);
    return false;
}

// What one option (with its value, where it takes one) sets.
bool SetOption(const OptionEntry& entry, const char* value, Options* options, std::string* error) {
    switch (entry.id) {
    case OptionId::Help:
        options->help = true;
        break;
    case OptionId::Version:
        options->version = true;
        break;
    case OptionId::Json:
        options->format = OutputFormat::Json;
        break;
    case OptionId::Csv:
        options->format = OutputFormat::Csv;
        break;
    case OptionId::NoWait:
        options->noWait = true;
        break;
    case OptionId::DryRun:
        options->dryRun = true;
        break;
    case OptionId::All:
        options->all = true;
        break;
    case OptionId::NoSearch:
        options->noSearch = true;
        break;
    case OptionId::Interface:
        if (options->interfaceChoiceCount == MaxInterfaceChoices) {
            *error = "--interface given more than " + std::to_string(MaxInterfaceChoices) + " times";
            return false;
        }
        if (options->interfaceChoice == nullptr)
            options->interfaceChoice = value;
        options->interfaceChoices[options->interfaceChoiceCount++] = value;
        break;
    case OptionId::NoHeader:
        options->noHeader = true;
        break;
    case OptionId::Quiet:
        options->quiet = true;
        break;
    case OptionId::Parallel:
        options->allAtOnce = true;
        break;
    case OptionId::Sequential:
        options->allAtOnce = false;
        break;
    case OptionId::Window:
        return Bounded(entry, "milliseconds", value, MinWindowMs, MaxWindowMs, &options->windowMs, error);
    case OptionId::Timeout:
        if (!Seconds(entry, value, &options->waitMs, error))
            return false;
        options->portWaitMs = options->waitMs;
        break;
    case OptionId::Interval:
        return Seconds(entry, value, &options->intervalMs, error);
    case OptionId::Count:
        return Bounded(entry, "a number", value, 1, MaxCount, &options->count, error);
    case OptionId::Log:
        options->logPath = value;
        break;
    case OptionId::NoLog:
        options->noLog = true;
        break;
    case OptionId::First:
        options->first = value;
        break;
    case OptionId::Last:
        options->last = value;
        break;
    case OptionId::Mask:
        options->mask = value;
        break;
    case OptionId::Gateway:
        options->gateway = value;
        break;
    case OptionId::Factory:
        options->factory = value;
        break;
    case OptionId::Report:
        options->reportPath = value;
        break;
    case OptionId::Title:
        options->title = value;
        break;
    case OptionId::Expect:
        options->expectPath = value;
        break;
    case OptionId::Metrics:
        options->metricsPath = value;
        break;
    case OptionId::Sort:
        if (std::strcmp(value, "address") != 0) {
            *error = "--sort takes 'address', not " + Quoted(value);
            return false;
        }
        options->sortByAddress = true;
        break;
    }
    return true;
}

// The option at argv[*i], given once, with its value ("--name=value", or the
// next word) where it takes one.
bool ReadOption(int argc, char** argv, int* i, Reading* reading, Options* options, std::string* error) {
    const char* word = argv[*i];
    const char* equals = std::strchr(word, '=');
    const std::size_t nameLength = equals != nullptr ? static_cast<std::size_t>(equals - word) : std::strlen(word);
    const OptionEntry* entry = FindOption(word, nameLength);
    if (entry == nullptr) {
        *error = "unknown option " + Quoted(word);
        return false;
    }
    // watch alone may name several interfaces (CheckCommand tells the others).
    if (Seen(*reading, entry->id) && entry->id != OptionId::Interface) {
        *error = std::string(entry->name) + " given twice";
        return false;
    }
    if (!Seen(*reading, entry->id))
        reading->given[reading->givenCount++] = entry;
    reading->seen[static_cast<std::size_t>(entry->id)] = true;
    const char* value = nullptr;
    if (entry->takesValue) {
        if (equals != nullptr)
            value = equals + 1;
        else if (*i + 1 < argc)
            value = argv[++*i];
        if (value == nullptr || value[0] == '\0') {
            *error = std::string(entry->name) + " needs a value";
            return false;
        }
    } else if (equals != nullptr) {
        *error = std::string(entry->name) + " takes no value";
        return false;
    }
    return SetOption(*entry, value, options, error);
}

// The first word that is no option names the command; the words after it are its operands.
bool ReadWord(const char* word, Reading* reading, Options* options, std::string* error) {
    if (reading->command == nullptr) {
        for (const CommandEntry& entry : CommandTable)
            if (std::strcmp(word, entry.name) == 0)
                reading->command = &entry;
        if (reading->command == nullptr) {
            *error = "unknown command " + Quoted(word);
            return false;
        }
    } else if (options->operandCount < reading->command->operands) {
        options->operands[options->operandCount++] = word;
    } else if (reading->extra == nullptr) {
        reading->extra = word;
    }
    return true;
}

// Options that exclude each other, whatever the command.
bool CheckExclusions(const Reading& reading, std::string* error) {
    if (Seen(reading, OptionId::Parallel) && Seen(reading, OptionId::Sequential))
        *error = "--parallel and --sequential exclude each other";
    else if (Seen(reading, OptionId::Json) && Seen(reading, OptionId::Csv))
        *error = "--json and --csv exclude each other";
    else if (Seen(reading, OptionId::Json) && Seen(reading, OptionId::NoHeader))
        *error = "--no-header is for the table and CSV, not --json";
    else if (Seen(reading, OptionId::Log) && Seen(reading, OptionId::NoLog))
        *error = "--log and --no-log exclude each other";
    return error->empty();
}

// The command's operands, and the options it takes and needs.
bool CheckCommand(const Reading& reading, Options* options, std::string* error) {
    const CommandEntry& command = *reading.command;
    options->command = command.command;
    options->commandName = command.name;
    if (command.operands == 0 && reading.extra != nullptr) {
        *error = std::string(command.name) + " takes no operand, not " + Quoted(reading.extra);
        return false;
    }
    if (command.operands != 0 && options->operandCount != command.operands) {
        *error = std::string(command.name) + " needs " + command.operandText;
        return false;
    }
    if (command.operands != 0 && reading.extra != nullptr) {
        *error = std::string(command.name) + " takes " + (command.operands == 1 ? "one " : "") + command.operandText +
                 ", not " + Quoted(reading.extra) + " too";
        return false;
    }
    for (std::size_t i = 0; i < reading.givenCount; ++i) {
        if ((reading.given[i]->scope & command.scope) == 0) {
            *error = std::string(reading.given[i]->name) + " is not an option of " + command.name;
            return false;
        }
    }
    if (options->all && options->command == Command::Reconfigure)
        *error = "--all is not an option of reconfigure (every controller there would get the one new address)";
    else if (options->command == Command::Commission &&
             (options->first == nullptr || options->mask == nullptr || options->gateway == nullptr))
        *error = "commission needs --first IP, --mask MASK and --gateway GW";
    else if ((options->command == Command::Watch || options->command == Command::Commission) &&
             options->intervalMs < options->windowMs)
        *error = "--interval must be at least the window (" + std::to_string(options->windowMs) + " ms)";
    else if (options->noSearch && options->interfaceChoice == nullptr)
        *error = "--no-search needs --interface (the interface to send by)";
    else if (options->interfaceChoiceCount > 1 && options->command != Command::Watch)
        *error = "--interface given twice";
    return error->empty();
}

}  // namespace

bool ParseArguments(int argc, char** argv, Options* options, std::string* error) {
    static_assert(static_cast<std::size_t>(OptionId::Metrics) + 1 == std::size(OptionTable), "one entry per option");
    error->clear();
    Reading reading;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        const bool option = !reading.optionsEnded && word[0] == '-' && word[1] != '\0';
        if (option && std::strcmp(word, "--") == 0)
            reading.optionsEnded = true;
        else if (option ? !ReadOption(argc, argv, &i, &reading, options, error)
                        : !ReadWord(word, &reading, options, error))
            return false;
    }
    if (!CheckExclusions(reading, error))
        return false;
    if (options->help || options->version)
        return true;
    if (reading.command == nullptr) {
        *error = "no command given (search, interfaces, reset, factory-defaults, reconfigure, apply, watch, commission, doctor "
                 "or history)";
        return false;
    }
    return CheckCommand(reading, options, error);
}

}  // namespace scout::cli
