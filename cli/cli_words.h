// scout-cli's words for what the rules below it decide (ops/): why a command
// may not go and what goes with it, what the wait after it saw, where a new
// address will not be reached, why a file could not be read or written; and
// the exit status each stands for. Its option names live here, nowhere in
// ops/. The man page and the operator's guide quote these texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_search.h"
#include "ops/await.h"
#include "ops/command.h"
#include "ops/csv.h"
#include "ops/record.h"

namespace scout::cli {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;         // a failure reported, a check refused, a send failed
constexpr int ExitUsage = 2;
constexpr int ExitNotAnswered = 3;     // the command's effect was not seen
constexpr int ExitNoTarget = 4;        // the target answered nowhere, ambiguously, or more than once
constexpr int ExitSentUnreported = 5;  // the command went out, but its result could not be written
constexpr int ExitNoAddressLeft = 6;   // commission: the range had no free address for a controller

// The command's name, as scout-cli and a plan's action column name it.
const char* CommandName(CommandKind kind);

// Who reads a refusal: a command's line ("...; nothing was sent."), or a line
// of a plan (which names the interface in its column, and says once that
// nothing was sent).
enum class Reader { Command, Plan };
std::string RefusalText(InterfaceNames& names, const CommandRequest& request, const Refusal& refusal,
                        Reader reader = Reader::Command);
int RefusalExit(const Refusal& refusal);
// What is said with a command that goes ("" for nothing).
std::string NoteText(InterfaceNames& names, const CommandRequest& request, const Decision& decision);

// Beside a reconfigure that goes: "not checked against other hosts: ..." where
// the link of its interface could not say whether a host holds the new
// address; "" where it said nobody does, or was not asked.
std::string HostsText(InterfaceNames& names, const NetPlatform& platform, const Decision& decision);
// What the last look shows at a reconfigure's new address.
std::string VerificationText(NetAddress newAddress, const Verification& verification);
// What the wait saw ("10.1.0.21 is back after 0.8 s"); with lost replies it
// says that the controller's may be among them, the warning pointed to as
// "(the warning above)" or, for the record, given in its place.
std::string VerdictText(const Awaited& awaited, const std::string& lostWarning = "");
int VerdictExit(const WaitVerdict& verdict);

// With no broadcast interface at all.
std::string NoInterfaceHint();

// One line for each searched interface that listed no row, unless a failure
// already cut its window short (and was said).
std::vector<std::string> NothingAnsweredHints(InterfaceNames& names, const std::vector<BroadcastInterface>& searched,
                                              const std::vector<bool>& cutShort, const std::vector<Reply>& rows);

// What a reconfigure's new values do to the controller on its wire (via, the
// interface the command leaves by; all, every interface searched): an address
// outside the wire's subnet, or outside every interface's, and a mask other
// than the wire's. One warning each; none where all is well or via's prefix
// is not known.
std::vector<std::string> NewAddressWarnings(InterfaceNames& names, const NetPlatform& platform,
                                            const BroadcastInterface& via, const std::vector<BroadcastInterface>& all,
                                            const ReconfigureValues& values);

// A setting of seconds as given: "30 s", "1.5 s".
std::string SecondsSetting(std::uint32_t ms);
// "3 controllers".
std::string Count(std::size_t n, const char* one, const char* many);

// A line of a list that cannot be read as CSV: "an empty line", "a quote
// inside unquoted field 2", "3 columns, not 7", "more than 1000 rows" (without
// its "line N: "). The file as a whole (too large, no header) each list words
// itself.
std::string CsvFaultText(const CsvFault& fault);

// "No space left on device", "it is a symbolic link", ...
std::string FileErrorText(const FileError& error);
// "cannot write the record of changes PATH: why".
std::string CannotWriteRecord(const std::string& path, const FileError& error);

}  // namespace scout::cli
