// scout-cli's help (see cli_help.h).
#include "cli/cli_help.h"

#include <cstring>
#include <iterator>

namespace scout::cli {
namespace {

// Where a help's words begin, after a label: "  --window MS  how long ...".
constexpr std::size_t WordsColumn = 15;

// The lines of text, each after prefix (the first) or indent (the others).
std::string Lines(const char* text, const std::string& prefix, const std::string& indent) {
    std::string out;
    const char* line = text;
    for (bool first = true;; first = false) {
        const char* end = std::strchr(line, '\n');
        const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - line) : std::strlen(line);
        out += (first ? prefix : indent) + std::string(line, length) + "\n";
        if (end == nullptr)
            return out;
        line = end + 1;
    }
}

// A label and its words, the words' lines from WordsColumn on: the first
// after the label where it fits in 80 columns, else on a line of its own.
std::string Labelled(const std::string& label, const char* words) {
    const std::string indent(WordsColumn, ' ');
    const std::string start = "  " + label;
    if (start.size() + 2 <= WordsColumn)
        return Lines(words, start + std::string(WordsColumn - start.size(), ' '), indent);
    const char* end = std::strchr(words, '\n');
    const std::size_t first = end != nullptr ? static_cast<std::size_t>(end - words) : std::strlen(words);
    if (start.size() + 2 + first <= 80)
        return Lines(words, start + "  ", indent);
    return start + "\n" + Lines(words, indent, indent);
}

// The options in the order the help of all lists them: where to look, what
// a command does, the files, watch and commission, the output.
constexpr OptionId OptionOrder[] = {
    OptionId::Interface, OptionId::Sequential, OptionId::Parallel, OptionId::Window,   OptionId::Sort,
    OptionId::DryRun,    OptionId::NoWait,     OptionId::Timeout,  OptionId::All,      OptionId::NoSearch,
    OptionId::Factory,   OptionId::Log,        OptionId::NoLog,    OptionId::Interval, OptionId::Expect,
    OptionId::Readdress, OptionId::Metrics,    OptionId::First,      OptionId::Last,     OptionId::Mask,     OptionId::Gateway,
    OptionId::Count,     OptionId::Report,     OptionId::Title,    OptionId::Json,     OptionId::Csv,
    OptionId::NoHeader,  OptionId::Quiet,      OptionId::Help,     OptionId::Version,
};
static_assert(std::size(OptionOrder) == static_cast<std::size_t>(OptionId::Metrics) + 1, "every option once");

std::string UsageLines(std::span<const CommandEntry> commands) {
    std::string out;
    for (const CommandEntry& command : commands)
        out += Lines(command.help->usage, out.empty() ? "usage: " : "       ", "       ");
    return out + "       scout-cli help [COMMAND] | -h|--help | -V|--version\n";
}

constexpr const char* Intro =
    "Finds the Ethernet motion controllers on every IPv4 network of this machine,\n"
    "and sends one of them a command.\n";

constexpr const char* CommandPath =
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
    "the command to, answers at the new address.\n";

constexpr const char* Terminal =
    "On a terminal the table's rows appear as the replies arrive, and standard\n"
    "error shows each interface as it is searched and a summary; nothing of that\n"
    "goes to a pipe or a file.\n";

constexpr const char* ExitStatus =
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

std::string CommandLabel(const CommandEntry& command) {
    return command.operandNames != nullptr ? std::string(command.name) + " " + command.operandNames : command.name;
}

}  // namespace

std::string GeneralHelp(std::span<const CommandEntry> commands) {
    std::string out = UsageLines(commands) + "\n" + Intro + "\n";
    for (const CommandEntry& command : commands)
        out += Labelled(CommandLabel(command), command.help->about);
    out += "\n" + std::string(CommandPath) + "\nOptions (scout-cli help COMMAND: those a command takes, and what\n"
           "they do there):\n";
    for (const OptionId id : OptionOrder)
        out += Labelled(OptionLabel(id), OptionWords(id));
    out += "\n" + std::string(Terminal) + "\nExamples:\n";
    for (const CommandEntry& command : commands)
        out += Lines(command.help->examples, "  ", "  ");
    return out + "\n" + ExitStatus;
}

std::string CommandHelpText(const CommandEntry& command) {
    const CommandHelp& help = *command.help;
    std::string out = Lines(help.usage, "usage: ", "       ") + "\n" + Lines(help.about, "  ", "  ") + "\nOptions:\n";
    for (const OptionUse& use : help.options)
        out += Labelled(OptionLabel(use.id), use.words != nullptr ? use.words : OptionWords(use.id));
    out += Labelled(OptionLabel(OptionId::Help), OptionWords(OptionId::Help));
    out += "\nExample" + std::string(std::strchr(help.examples, '\n') != nullptr ? "s" : "") + ":\n" +
           Lines(help.examples, "  ", "  ");
    return out + "\nEvery command, and the exit status: scout-cli --help\n";
}

}  // namespace scout::cli
