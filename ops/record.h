// The record of changes: every command sent, one JSON line before it goes
// (the intent) and one when its outcome is known; refusals too. The file is
// only ever appended to, a line whole or not at all, and only ever the user's
// own. Where the file lives, and what it says of the time, the machine and
// the user, is the platform's (ops/posix, ops/win32).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace scout::ops {

// What one line says (every field a text; "" where it has none).
struct RecordLine {
    std::string time, event, host, user, command, target, interfaceName, interfaceAddress, newAddress, mask,
        gateway, model, version, revision, mac, datagram, outcome, answersAt, seconds, reason;
};

// The line as JSON, without its line end ("seconds" a number).
std::string RecordJson(const RecordLine& line);

// One line of a record as this program wrote it; false with why not.
bool ParseRecordLine(const std::string& text, RecordLine* line, std::string* why);

// The lines of a record file's text; each line that is no record is said in
// bad as "line N: why", and skipped.
std::vector<RecordLine> ReadRecords(const std::string& text, std::vector<std::string>* bad);

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
    Spared,        // it is a file this run reads or keeps (the list, the record): folder names it
};
struct FileError {
    FileFault fault = FileFault::None;
    int code = 0;
    unsigned long owner = 0;
    std::string folder;
};

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

// Every line of an open record in turn: each record to use, each line that is
// no record to skipped (where not null) as "line N: why". False where the
// file could not be read (its errno in *error).
bool EachRecord(std::FILE* file, void* context, void (*use)(void* context, const RecordLine& line),
                void (*skipped)(void* context, const std::string& why), int* error);

// What the platform tells: the default file ($XDG_STATE_HOME/ethernet-scout/
// commands.jsonl, ~/.local/state/... of the effective user's own home;
// %LOCALAPPDATA%\Ethernet Scout\...), the local time as ISO 8601 with its
// zone, this machine's name and the user's.
std::string DefaultRecordPath();
std::string LocalTimeText();
std::string HostName();
std::string UserName();
// Appends text (whole lines) to the record at path as AppendRecords says.
FileError AppendRecordText(const std::string& path, const std::string& text);
// Writes a file (a report, the metrics) whole or not at all: a file of its own
// in the same folder, written, flushed to the disk and renamed over path; on
// any failure the temporary file is removed and what stood at path stays.
// It replaces only a regular file of this user's own (keeping its mode), or
// makes a new one, in a folder of this user's (or the system's) that others
// may not write to (as the record's); never a device, a FIFO, a socket, a
// folder or a link (a link is neither followed nor replaced: the file itself
// is named), and never one of spared (the list this run reads, the record of
// changes), whatever path names it.
FileError WriteWholeFile(const std::string& path, const std::string& text, const std::vector<std::string>& spared);
// One writer for a file written again and again (a watch's metrics): a lock
// file beside it (".NAME.lock", which the textfile collectors pass over),
// held while the process runs, with its process id in it. False where
// another process holds it (*holder: its process id, 0 where it cannot be
// read), or where the lock cannot be had (*error).
bool HoldWholeFile(const std::string& path, unsigned long* holder, FileError* error);

// Whether path may be written whole as WriteWholeFile would (nothing is
// written): asked before the work whose result it is to hold.
FileError CheckWholeFile(const std::string& path, const std::vector<std::string>& spared);
// The SHA-256 of the bytes as 64 lower-case hex digits, by the system's own
// implementation (OpenSSL's libcrypto; Windows' CNG); false where it has none.
bool Sha256Hex(const std::string& bytes, std::string* hex);
// Makes the folder the file is in (and those above it); false on failure.
bool MakeParentFolder(const std::string& path);
// The folder a path names its file in ("." for none).
std::string FolderOf(const std::string& path);

}  // namespace scout::ops
