// The record of changes: every command scout-cli sends, one JSON line before
// it goes (the intent) and one when its outcome is known; refusals too. The
// file is only ever appended to. `scout-cli history` reads it back, naming and
// skipping a line it cannot read.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "cli/cli_render.h"

namespace scout::cli {

// What one line says (every field a text; "" where it has none).
struct RecordLine {
    std::string time, event, host, user, command, target, interfaceName, interfaceAddress, newAddress, mask,
        gateway, model, version, revision, datagram, outcome, answersAt, seconds, reason;
};

// The line as JSON, without its line end.
std::string RecordJson(const RecordLine& line);

// Why a record (or a plan) file could not be written or read.
enum class FileFault {
    None,
    System,        // the platform's error: code (errno), e.g. ENOSPC
    Link,          // the file is a symbolic link (a reparse point on Windows)
    NotRegular,    // a device, a FIFO, a socket
    Folder,        // a folder, not a file
    OtherOwner,    // the file belongs to another user: owner
    UnsafeFolder,  // its folder belongs to another user, or others may write to it: folder
    Missing,       // no file there
};
struct FileError {
    FileFault fault = FileFault::None;
    int code = 0;
    unsigned long owner = 0;
    std::string folder;
};
// "No space left on device", "it is a symbolic link", ...
std::string FileErrorText(const FileError& error);

// Appends the lines (each with its line end) to the record at path, making
// its folder where needed, as one whole or not at all: under a lock, in one
// write (after a line end where the file does not end in one), undone on a
// short write. The file must be this user's own regular file, not reached
// through a link, in a folder of this user's (or the system's) that others
// may not write to (Windows: no reparse point).
FileError AppendRecords(const std::string& path, const std::vector<RecordLine>& lines);

// A regular file opened for reading (a folder, device or FIFO is refused
// without waiting on it); Missing where there is none.
FileError OpenRegularFile(const std::string& path, std::FILE** file);

// Longer lines of a record are no lines of this program's: skipped unread.
constexpr std::size_t MaxRecordLineBytes = 65536;

// Reads a file line by line, each line at most a bound long (a longer one
// is cut there and flagged), in bounded memory.
struct LineReader {
    std::FILE* file = nullptr;
    std::size_t limit = MaxRecordLineBytes;
    std::string buffer;
    std::size_t at = 0;
    bool ended = false;
    int error = 0;  // errno of a failed read
};
// The next line without its line end (a CR before it dropped); false at the
// end. *tooLong: the line was longer than the limit.
bool ReadLine(LineReader& reader, std::string* line, bool* tooLong);

// One line of a record as this program wrote it; false with why not.
bool ParseRecordLine(const std::string& text, RecordLine* line, std::string* why);

// The lines of a record file's text; each line that is no record is said in
// bad as "line N: why", and skipped.
std::vector<RecordLine> ReadRecords(const std::string& text, std::vector<std::string>* bad);

// What history writes, piece by piece, and the lines of the record it skips.
struct HistoryOutput {
    void* context = nullptr;
    void (*write)(void* context, const std::string& text) = nullptr;
    void (*skipped)(void* context, const std::string& why) = nullptr;  // "line N: why"
};
// `scout-cli history` over an open record file as a table (newest last; two
// passes, for the widths), CSV or JSON, in bounded memory; false where the
// file could not be read (its errno in *error).
bool StreamHistory(std::FILE* file, OutputFormat format, const RenderOptions& options, const HistoryOutput& out,
                   int* error);
// history where there is no record yet.
std::string EmptyHistory(OutputFormat format, const RenderOptions& options);

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

// Writes several intents as one: all of them, or none (the plan's).
std::string WriteIntents(std::vector<Recorder>& recorders);

// What the platform tells: the default file ($XDG_STATE_HOME/ethernet-scout/
// commands.jsonl, ~/.local/state/... ; %LOCALAPPDATA%\Ethernet Scout\...), the
// local time as ISO 8601 with its zone, this machine's name and the user's.
std::string DefaultRecordPath();
std::string LocalTimeText();
std::string HostName();
std::string UserName();
// Appends text (whole lines) to the record at path as AppendRecords says.
FileError AppendRecordText(const std::string& path, const std::string& text);
// Makes the folder the file is in (and those above it); false on failure.
bool MakeParentFolder(const std::string& path);
// The folder a path names its file in ("." for none).
std::string FolderOf(const std::string& path);

}  // namespace scout::cli
