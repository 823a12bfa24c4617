// scout-cli's help, from the table of commands and the options each takes:
// every command at once (scout-cli --help, scout-cli help), or one
// (scout-cli COMMAND --help, scout-cli help COMMAND).
#pragma once

#include <span>
#include <string>

#include "cli/cli_args.h"

namespace scout::cli {

std::string GeneralHelp(std::span<const CommandEntry> commands);
std::string CommandHelpText(const CommandEntry& command);

}  // namespace scout::cli
