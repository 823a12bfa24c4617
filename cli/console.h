// The platform details of scout-cli's output: bytes reach standard output
// unchanged, whether a stream is a terminal, and how CSV records end.
#pragma once

#include <cstdio>

namespace scout::cli {

void PrepareConsoleOutput();

// True when the stream is an interactive terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// False when standard output was closed before the program started: its
// descriptor is free then, and a socket must not take its place.
bool StandardOutputOpen();

// From here on Ctrl-C (and SIGTERM on POSIX, a closed console on Windows) no
// longer ends the program: it is noted, and Interrupted() tells the exit
// status it stands for (130 for Ctrl-C, 143 for SIGTERM), 0 while none came.
void WatchInterrupts();
int Interrupted();

// A reader that goes away (a closed pipe) makes the next write fail with
// EPIPE instead of ending the program, so that it can end cleanly.
void SurviveClosedOutput();
// Whether the reader of standard output went away (a pipe closed at its far
// end), seen without writing; false where that cannot be told.
bool StandardOutputGone();

// This process's id, as the system's lists of sockets name it.
unsigned long CurrentProcessId();

// CSV records end in LF on Linux, CR LF on Windows.
extern const char* const CsvLineEnd;

}  // namespace scout::cli
