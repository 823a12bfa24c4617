// What the record and the files written whole both ask of a file and its
// folder on Linux (ops/posix only).
#pragma once

#include <string>

#include "ops/files.h"

namespace scout::ops {

// A fault with its errno (EIO where none is given).
FileError Failed(FileFault fault, int code = 0);

// The folder a file of ours may be written in: the effective user's or the
// system's, and, where others may write to it, with the sticky bit (as /tmp).
FileError CheckFolder(const std::string& folder);

// The open file is a regular file of the effective user's.
FileError CheckOwnRegularFile(int fd);

}  // namespace scout::ops
