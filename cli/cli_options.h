// scout-cli's options, for the reader of the command line: each option's
// names, the value it takes, and what it sets in Options.
#pragma once

#include <cstddef>
#include <string>

#include "cli/cli_args.h"

namespace scout::cli {

struct OptionEntry {
    OptionId id;
    const char* name;
    const char* shortName;  // or null
    const char* value;      // what its value is called in the help; null: it takes none
    const char* words;      // what it does, as a command's help says it where the command has no words of its own
    bool optionalValue = false;  // the value only as "--name=value"; "--name" alone takes none
};

constexpr std::size_t OptionCount = static_cast<std::size_t>(OptionId::Metrics) + 1;

// The option named by word: "--name" (its first nameLength characters, the
// rest being "=value") or "-x"; null for none.
const OptionEntry* FindOption(const char* word, std::size_t nameLength);

// What one option (with its value, where it takes one) sets; false with the
// line that says what the option takes.
bool SetOption(const OptionEntry& entry, const char* value, Options* options, std::string* error);

// A text the user gave, quoted for a message: 'text'.
std::string Quoted(const char* text);

}  // namespace scout::cli
