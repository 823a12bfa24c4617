// The commands' one path (ops/command_path) with scout-cli's looks, lines and
// words, and the record's lines of a refused command.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_search.h"
#include "cli/cli_session.h"
#include "ops/command_path.h"
#include "ops/segment_lock.h"

namespace scout::cli {

// How long a command waits for another program's command on its segment.
constexpr std::uint32_t SegmentWaitMs = 300000;

// The locks of the interfaces a command may go out by, held from the look
// before it to its verdict (released when the hold ends).
struct SegmentHold {
    const SegmentLocks* seam = nullptr;
    std::vector<SegmentLock> locks;
    SegmentHold() = default;
    SegmentHold(const SegmentHold&) = delete;
    SegmentHold& operator=(const SegmentHold&) = delete;
    ~SegmentHold();
};
// Takes the lock of each interface of where (in the order of their
// addresses, so that two programs never wait for each other), each waited
// for up to SegmentWaitMs, who holds it said once. False (said, and the hold
// let go) where one could not be had in time, could not be had at all, or
// Ctrl-C came: nothing is to be sent then.
// A waitMs of 0 tries once (a watch, which must go on searching).
bool HoldSegments(Session& session, std::vector<BroadcastInterface> where, SegmentHold* hold,
                  std::uint32_t waitMs = SegmentWaitMs);

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
