// The record of changes: every command sent, one JSON line before it goes
// (the intent) and one when its outcome is known; refusals too. The file is
// only ever appended to, a line whole or not at all, and only ever the user's
// own. Where the file lives is the platform's (ops/posix, ops/win32).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "ops/files.h"

namespace scout::ops {

// What one line says (every field a text; "" where it has none).
struct RecordLine {
    std::string time, event, host, user, command, target, interfaceName, interfaceAddress, newAddress, mask,
        gateway, model, version, revision, mac, datagram, outcome, answersAt, seconds, reason,
        row,       // the design list's row the command gave its address ("Axis 3 (line 4)")
        replaces;  // a watch's readdressing: the MAC last seen at the row's address
};

// The line as JSON, without its line end ("seconds" a number).
std::string RecordJson(const RecordLine& line);

// One line of a record as this program wrote it; false with why not.
bool ParseRecordLine(const std::string& text, RecordLine* line, std::string* why);

// The lines of a record file's text; each line that is no record is said in
// bad as "line N: why", and skipped.
std::vector<RecordLine> ReadRecords(const std::string& text, std::vector<std::string>* bad);

// Appends the lines (each with its line end) to the record at path, making
// its folder where needed, as one whole or not at all: under a lock, in one
// write (after a line end where the file does not end in one), undone on a
// short write. The file must be this user's own regular file, not reached
// through a link, in a folder of this user's (or the system's) that others
// may not write to (Windows: no reparse point).
FileError AppendRecords(const std::string& path, const std::vector<RecordLine>& lines);

// The record of one command as it goes: where, and what its lines say.
struct Recorder {
    bool on = false;
    std::string path;
    RecordLine line;
};
// The intents of several commands as one write per file: all of them, or
// none (then *path names the file that could not be written).
FileError WriteIntents(std::vector<Recorder>& recorders, std::string* path);
// What became of a command (or why it was refused).
FileError WriteAfter(Recorder& recorder, const char* event, const std::string& outcome, const std::string& reason);

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

// Every line of an open record in turn: each record to use, each line that is
// no record to skipped (where not null) as "line N: why". False where the
// file could not be read (its errno in *error).
bool EachRecord(std::FILE* file, void* context, void (*use)(void* context, const RecordLine& line),
                void (*skipped)(void* context, const std::string& why), int* error);

// Where the record lives: $XDG_STATE_HOME/ethernet-scout/commands.jsonl, or
// ~/.local/state/... of the effective user's own home; on Windows
// %LOCALAPPDATA%\Ethernet Scout\commands.jsonl (ops/posix, ops/win32).
std::string DefaultRecordPath();
// Appends text (whole lines) to the record at path as AppendRecords says.
FileError AppendRecordText(const std::string& path, const std::string& text);

}  // namespace scout::ops
