// scout-cli's command line.
#include "cli/cli_args.h"

#include <cstring>
#include <string>

#include "cli/cli_options.h"

namespace scout::cli {
namespace {

// What a reading of argv has met so far.
struct Reading {
    bool seen[OptionCount] = {};  // by OptionId
    const OptionEntry* given[OptionCount] = {};
    std::size_t givenCount = 0;
    const CommandEntry* command = nullptr;
    bool help = false;            // the first word was "help"
    bool helpOfHelp = false;      // "help help": the help of all
    bool optionsEnded = false;    // after "--"
    const char* extra = nullptr;  // the first operand too many
};

bool Seen(const Reading& reading, OptionId id) {
    return reading.seen[static_cast<std::size_t>(id)];
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
    if (entry->optionalValue) {
        if (equals != nullptr && equals[1] == '\0') {
            *error = std::string(entry->name) + " needs a value after '='";
            return false;
        }
        value = equals != nullptr ? equals + 1 : nullptr;
    } else if (entry->value != nullptr) {
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

// The first word that is no option names the command (after "help", the
// command whose help is asked); the words after it are its operands.
bool ReadWord(const char* word, std::span<const CommandEntry> commands, Reading* reading, Options* options,
              std::string* error) {
    if (reading->help && (reading->command != nullptr || reading->helpOfHelp)) {
        *error = "help takes one command, not " + Quoted(word) + " too";
        return false;
    }
    if (reading->command == nullptr && std::strcmp(word, "help") == 0) {
        reading->helpOfHelp = reading->help;
        reading->help = true;
        options->help = true;
    } else if (reading->command == nullptr) {
        for (const CommandEntry& entry : commands)
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

// Whether the command takes the option (each takes -h and -V).
bool Takes(const CommandEntry& command, OptionId id) {
    if (id == OptionId::Help || id == OptionId::Version)
        return true;
    for (const OptionUse& use : command.help->options)
        if (use.id == id)
            return true;
    return false;
}

// The command's operands, and the options it takes and needs.
bool CheckCommand(const Reading& reading, Options* options, std::string* error) {
    const CommandEntry& command = *reading.command;
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
        if (Takes(command, reading.given[i]->id))
            continue;
        *error = std::string(reading.given[i]->name) + " is not an option of " + command.name +
                 (reading.given[i]->id == OptionId::All && command.command == Command::Reconfigure
                      ? " (every controller there would get the one new address)"
                      : "");
        return false;
    }
    if (options->command == Command::Commission && options->expectPath != nullptr &&
        (options->first != nullptr || options->last != nullptr))
        *error = std::string("--expect gives each controller its row's address: ") +
                 (options->first != nullptr ? "--first" : "--last") + " does not go with it";
    else if (options->command == Command::Commission && options->expectPath == nullptr &&
             (options->first == nullptr || options->mask == nullptr || options->gateway == nullptr))
        *error = "commission needs --first IP, --mask MASK and --gateway GW, or --expect LIST";
    else if ((options->command == Command::Watch || options->command == Command::Commission) &&
             options->intervalMs < options->windowMs)
        *error = "--interval must be at least the window (" + std::to_string(options->windowMs) + " ms)";
    else if (options->readdress != ReaddressMode::Off && options->expectPath == nullptr)
        *error = "--readdress-replacements needs --expect LIST (the rows whose addresses it gives)";
    else if (options->noSearch && options->interfaceChoice == nullptr)
        *error = "--no-search needs --interface (the interface to send by)";
    else if (options->interfaceChoiceCount > 1 && options->command != Command::Watch)
        *error = "--interface given twice";
    return error->empty();
}

}  // namespace

bool ParseArguments(int argc, char** argv, std::span<const CommandEntry> commands, Options* options,
                    std::string* error) {
    error->clear();
    Reading reading;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        const bool option = !reading.optionsEnded && word[0] == '-' && word[1] != '\0';
        if (option && std::strcmp(word, "--") == 0)
            reading.optionsEnded = true;
        else if (option ? !ReadOption(argc, argv, &i, &reading, options, error)
                        : !ReadWord(word, commands, &reading, options, error))
            return false;
    }
    if (!CheckExclusions(reading, error))
        return false;
    if (reading.command != nullptr) {
        options->entry = reading.command;
        options->command = reading.command->command;
        options->commandName = reading.command->name;
    }
    if (options->help || options->version)
        return true;
    if (reading.command == nullptr) {
        std::string names;
        for (std::size_t i = 0; i < commands.size(); ++i)
            names += std::string(i == 0 ? "" : i + 1 == commands.size() ? " or " : ", ") + commands[i].name;
        *error = "no command given (" + names + ")";
        return false;
    }
    return CheckCommand(reading, options, error);
}

}  // namespace scout::cli
