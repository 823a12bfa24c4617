// The one path of every command that goes out, for a single command, each
// row of a plan and each controller commissioned alike: every intent recorded
// first (all of them, or none and nothing is sent), each command sent by its
// interface, all of them awaited together (unless not to be), and each verdict
// recorded. The front end supplies the looks, the words of the record's
// reasons, and what it says on the way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ops/await.h"
#include "ops/record.h"

namespace scout::ops {

// One command on the path: its record, and its wait and verdict.
struct Outgoing {
    Recorder recorder;
    Awaited awaited;
};

struct PathHooks {
    void* context = nullptr;
    // Where a failed send is reported (the front end's error report).
    const SearchFrontEnd* reports = nullptr;
    // Before each command goes.
    void (*sending)(void* context, const Outgoing& command) = nullptr;
    // Once a command went out (an output lost after it is then said as such).
    void (*sent)(void* context) = nullptr;
    // Before the wait, with the commands awaited.
    void (*waiting)(void* context, const std::vector<Awaited>& awaited) = nullptr;
    Looks looks;
    // After the wait: whether replies were lost during it.
    bool (*lostReplies)(void* context) = nullptr;
    // The record's words for a verdict (standing on their own).
    std::string (*reason)(void* context, const Awaited& awaited) = nullptr;
    // The outcome of a command could not be recorded.
    void (*notRecorded)(void* context, const std::string& path, const FileError& error) = nullptr;
};

struct PathPlan {
    bool wait = true;            // false: sent, and not awaited
    std::uint32_t limitMs = 30000;
    std::vector<Reply> before;  // the rows the search before saw
};

// The path for every command given. False, with *error and *path, where the
// intents could not be written: then nothing was sent. On true every
// command's verdict is done (send-failed, sent, or what the wait saw), and
// *last holds the last look's rows (the rows before where nothing was awaited).
bool RunCommandPath(const NetPlatform& platform, std::vector<Outgoing>& commands, const PathPlan& plan,
                    const PathHooks& hooks, std::vector<Reply>* last, FileError* error, std::string* path);

}  // namespace scout::ops
