// What the record and the files written whole both ask of Windows (ops/win32 only).
#pragma once

#include <windows.h>

#include <cerrno>

#include "ops/files.h"

namespace scout::ops {

// The C library's code for what Windows said, for the messages' texts.
int ErrnoOf(DWORD error);

// A fault with its errno.
FileError Failed(FileFault fault, int code = EIO);

}  // namespace scout::ops
