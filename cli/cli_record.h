// The record of changes: every command scout-cli sends, one JSON line before
// it goes (the intent) and one when its outcome is known; refusals too. The
// file is only ever appended to. `scout-cli history` reads it back, naming and
// skipping a line it cannot read.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "cli/cli_render.h"

namespace scout::cli {

// What one line says (every field a text; "" where it has none).
struct RecordLine {
    std::string time, event, host, user, command, target, interfaceName, interfaceAddress, newAddress, mask,
        gateway, model, version, revision, datagram, outcome, seconds, reason;
};

// The line as JSON, without its line end.
std::string RecordJson(const RecordLine& line);

// Appends one line (and its line end) to the file, making its folder where
// needed; 0, or the platform's error code (errno) of what failed.
int AppendRecord(const std::string& path, const RecordLine& line);

// The lines of a record file's text; each line that is no record is said in
// bad as "line N: why", and skipped.
std::vector<RecordLine> ReadRecords(const std::string& text, std::vector<std::string>* bad);

// `scout-cli history` as a table (newest last), CSV or JSON.
std::string RenderHistory(const std::vector<RecordLine>& lines, OutputFormat format, const RenderOptions& options);

// The record of one command as it goes (off with --no-log, and for a dry run).
struct Recorder {
    bool on = false;
    std::string path;
    RecordLine line;
};
Recorder MakeRecorder(const Options& options, InterfaceNames& names, const CommandRequest& request,
                      const Decision& decision);
// The intent, before the command goes: "" once written, else what to say
// (then nothing may be sent).
std::string WriteIntent(Recorder& recorder);
// What became of it (or why it was refused): "" once written, else a warning.
std::string WriteAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason);

// A record file's text: true with "" where there is no file yet; false with
// what to say where it cannot be read.
bool ReadRecordFile(const std::string& path, std::string* text, std::string* problem);

// What the platform tells: the default file ($XDG_STATE_HOME/ethernet-scout/
// commands.jsonl, ~/.local/state/... ; %LOCALAPPDATA%\Ethernet Scout\...), the
// local time as ISO 8601 with its zone, this machine's name and the user's.
std::string DefaultRecordPath();
std::string LocalTimeText();
std::string HostName();
std::string UserName();
// Makes the folder the file is in (and those above it); false on failure.
bool MakeParentFolder(const std::string& path);

}  // namespace scout::cli
