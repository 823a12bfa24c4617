// scout-cli commission: new controllers, one at a time as they are plugged in,
// each given the next free address of a range. The pure parts (the range, the
// choice of an address, the lines and the summary) are in the library and
// tested there; cli/commands/commission drives the searches, commands and waits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_render.h"
#include "ops/commission.h"
#include "ops/expected.h"
#include "net/address.h"

namespace scout::cli {

// --first and --last (where given; else the last host of first's subnet by
// mask) as a range inside that subnet; false with one line that names the
// problem.
bool ReadRange(const char* first, const char* last, NetAddress mask, AddressRange* range, std::string* problem);

// One controller commissioned (or, with --dry-run, what it would get).
struct Commissioned {
    int number = 0;
    Reply before;           // as it answered at the factory address
    std::string newAddress;
    std::string outcome;     // "answers", "not-seen", "dry-run", "send-failed", "interrupted"
    std::string message;     // what the wait saw, where it was not verified
    double seconds = 0;
    bool verified = false;
    std::string row;  // commission --expect: the row it was given ("Axis 3 (line 4)", "line 4")
};
// "1/10 KRV-ETH1A2B 2.14 C → 10.1.0.101, verified after 1.1 s" (no "/10" without --count);
// by a list, "1 KRV-ETH1A2B 2.14 C MAC 02:00:5e:10:00:01 → 10.1.0.101 as Axis 3 (line 4), ...".
std::string CommissionedLine(const Commissioned& done, std::uint32_t count);
// The summary of every controller commissioned: table, CSV or JSON.
std::string RenderCommissioned(const std::vector<Commissioned>& done, OutputFormat format,
                               const RenderOptions& options);

// What became of a row of the list in commission --expect.
enum class RowStatus { Commissioned, NotVerified, Refused, DryRun, Answers, Missing };
struct RowOutcome {
    RowStatus status = RowStatus::Missing;
    Reply controller;   // the one given the row, or that answers at its address (model "" where none)
    std::string why;    // Refused, NotVerified: why
};
// The summary of commission --expect: the list, one row each (its line, name,
// the controller's model and MAC, the address, what became of it).
std::string RenderRowOutcomes(const ExpectedList& list, const std::vector<RowOutcome>& outcomes, OutputFormat format,
                              const RenderOptions& options);

}  // namespace scout::cli
