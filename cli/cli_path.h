// The commands' one path (ops/command_path) with scout-cli's looks, lines and
// words, and the record's lines of a refused command.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_search.h"
#include "cli/cli_session.h"
#include "ops/command_path.h"

namespace scout::cli {

// Every intent recorded (false, said, and nothing sent where they cannot
// be), each sent, all awaited unless --no-wait, every verdict recorded. list
// then holds the last look's rows.
bool SendAndAwait(Session& session, CliList& list, std::vector<Outgoing>& commands, const std::vector<Reply>& before);

// What became of a command the record holds (a refusal: why); a failure to
// write it is a warning.
void RecordAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason);
// What is said where an intent could not be written.
std::string NothingSentWithoutRecord(const std::string& path, const FileError& error);

}  // namespace scout::cli
