// scout-cli's options: what each is called, what value it takes and what it sets.
#include "cli/cli_options.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr std::size_t QuotedCharacters = 64;
constexpr std::uint32_t MaxCount = 10000;

// The --window range and default, from their constants (checked at compile time).
#define WINDOW_RANGE "100 to 10000 (default 1010)"
static_assert(MinWindowMs == 100 && MaxWindowMs == 10000 && ReplyWindowMs == 1010,
              "WINDOW_RANGE says the --window limits and default");

constexpr OptionEntry OptionTable[OptionCount] = {
    {OptionId::Help, "--help", "-h", nullptr, "this text"},
    {OptionId::Version, "--version", "-V", nullptr, "the version"},
    {OptionId::Json, "--json", nullptr, nullptr, "one JSON document (an array of rows; an object for a command)"},
    {OptionId::Csv, "--csv", nullptr, nullptr, "RFC 4180 comma-separated values with a header line"},
    {OptionId::NoHeader, "--no-header", nullptr, nullptr, "no header line in the table or CSV"},
    {OptionId::Quiet, "--quiet", "-q", nullptr, "no progress lines on a terminal"},
    {OptionId::NoWait, "--no-wait", nullptr, nullptr, "send and exit, without awaiting the effect"},
    {OptionId::DryRun, "--dry-run", nullptr, nullptr,
     "say what would be sent (interface, target, the 40 bytes) and send nothing"},
    {OptionId::Interface, "--interface", nullptr, "ADDRESS|NAME", "only this interface"},
    {OptionId::Parallel, "--parallel", nullptr, nullptr, "every interface at once, one window for all (the default)"},
    {OptionId::Window, "--window", nullptr, "MS", "how long each interface listens, " WINDOW_RANGE},
    {OptionId::Sort, "--sort", nullptr, "address", "list the rows in address order (default: arrival)"},
    {OptionId::All, "--all", nullptr, nullptr,
     "every controller that answers at ADDRESS on the interface gets it"},
    {OptionId::NoSearch, "--no-search", nullptr, nullptr,
     "send by --interface without looking first, for a controller\n"
     "whose replies this machine cannot receive; only the addresses\n"
     "are checked"},
    {OptionId::Sequential, "--sequential", nullptr, nullptr,
     "search one interface after another, a window each, as the\n"
     "dialog does (default: every interface at once, one window\n"
     "for all)"},
    {OptionId::Timeout, "--timeout", nullptr, "SECONDS", "how long the effect is awaited, 1 to 3600 (default 30)"},
    {OptionId::Log, "--log", nullptr, "FILE",
     "the record of changes (default ~/.local/state/ethernet-scout/\n"
     "commands.jsonl; Windows: %LOCALAPPDATA%\\Ethernet Scout\\...):\n"
     "a JSON line before each command is sent and one with its\n"
     "outcome; where it cannot be written, nothing is sent"},
    {OptionId::NoLog, "--no-log", nullptr, nullptr, "record nothing"},
    {OptionId::Interval, "--interval", nullptr, "SECONDS",
     "from one search to the next, 1 to 3600 (default 2; at\nleast the window)"},
    {OptionId::First, "--first", nullptr, "IP", "the first address given"},
    {OptionId::Last, "--last", nullptr, "IP", "the last address given (default: the end of the subnet)"},
    {OptionId::Mask, "--mask", nullptr, "MASK", "the subnet mask each controller gets"},
    {OptionId::Gateway, "--gateway", nullptr, "GW", "the gateway each controller gets (0.0.0.0: none)"},
    {OptionId::Factory, "--factory", nullptr, "ADDRESS",
     "the factory address, where a controller answers with its\nfactory settings (default 192.168.1.100)"},
    {OptionId::Count, "--count", nullptr, "N", "how many, 1 to 10000 (default: no end)"},
    {OptionId::Report, "--report", nullptr, "FILE", "write the acceptance report, one HTML page"},
    {OptionId::Title, "--title", nullptr, "TEXT", "the report's title (default \"Controller acceptance\")"},
    {OptionId::Expect, "--expect", nullptr, "EXPECTED",
     "mark each event with the list's name for the\ncontroller (expected), or as unexpected"},
    {OptionId::Readdress, "--readdress-replacements", nullptr, "propose",
     "a controller at the factory address that replaces the one\n"
     "missing row of its model there gets that row's address;\n"
     "=propose says what it would do and sends nothing", true},
    {OptionId::Metrics, "--metrics", nullptr, "FILE",
     "after each search, write the line's metrics to FILE\n"
     "in the Prometheus text format, whole (for the node exporter's\n"
     "or windows_exporter's textfile collector)"},
};

constexpr bool InOrderOfTheirIds() {
    for (std::size_t i = 0; i < OptionCount; ++i)
        if (static_cast<std::size_t>(OptionTable[i].id) != i)
            return false;
    return true;
}
static_assert(InOrderOfTheirIds(), "one entry per option, in the order of their ids");

const OptionEntry& EntryOf(OptionId id) {
    return OptionTable[static_cast<std::size_t>(id)];
}

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

std::string OptionLabel(OptionId id) {
    const OptionEntry& entry = EntryOf(id);
    std::string label = entry.shortName != nullptr ? std::string(entry.shortName) + ", " + entry.name : entry.name;
    if (entry.optionalValue)
        return label + "[=" + entry.value + "]";
    return entry.value != nullptr ? label + " " + entry.value : label;
}

const char* OptionWords(OptionId id) {
    return EntryOf(id).words;
}

std::string QuoteOperand(const char* text) {
    return SafeText(text, QuotedCharacters);
}

namespace {


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

}  // namespace

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
    case OptionId::Readdress:
        if (value != nullptr && std::strcmp(value, "propose") != 0) {
            *error = "--readdress-replacements takes =propose or nothing, not " + Quoted(value);
            return false;
        }
        options->readdress = value != nullptr ? ReaddressMode::Propose : ReaddressMode::Act;
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

}  // namespace scout::cli
