// The files this program reads and writes besides the record of changes: a
// file a user names, read only where it is a regular file; a report or the
// metrics, written whole or not at all, never over what it must not replace;
// one writer for a file written again and again. The platform's parts are in
// ops/posix and ops/win32.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace scout::ops {

// Why a file could not be written or read.
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

// A regular file opened for reading (a folder, device or FIFO is refused
// without waiting on it); Missing where there is none.
FileError OpenRegularFile(const std::string& path, std::FILE** file);

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

// Whether path may be written whole as WriteWholeFile would (nothing is
// written): asked before the work whose result it is to hold.
FileError CheckWholeFile(const std::string& path, const std::vector<std::string>& spared);

// One writer for a file written again and again (a watch's metrics): a lock
// file beside it (".NAME.lock", which the textfile collectors pass over),
// held while the process runs, with its process id in it. False where
// another process holds it (*holder: its process id, 0 where it cannot be
// read), or where the lock cannot be had (*error).
bool HoldWholeFile(const std::string& path, unsigned long* holder, FileError* error);

// Makes the folder the file is in (and those above it); false on failure.
bool MakeParentFolder(const std::string& path);
// The folder a path names its file in ("." for none).
std::string FolderOf(const std::string& path);

}  // namespace scout::ops
