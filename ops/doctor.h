// doctor: every check this machine allows of why a controller may
// not be found, one line each (ok, warning, problem, or unknown where it cannot
// be made), then one search of every interface at once with what each heard.
// The checks are made over the platform seam and a small seam of the system's
// own (ops/posix, ops/win32), so that their reading is tested on the fake.
//
// Unlike the other rules, a check returns its finding and advice worded, not
// as a fact for each front end to word: doctor is scout-cli's alone (the
// dialog has none), and its advice is the system's own (the sysctl, netsh or
// firewall command to run, which setting of which interface), worded where
// the platform's facts are read. A second front end would word them from
// facts; until then a fact enum would mirror the sentences one for one.
#pragma once

#include <string>
#include <vector>

#include "ops/names.h"
#include "ops/reply.h"
#include "net/platform.h"

namespace scout::ops {

enum class CheckStatus { Ok, Warning, Problem, Unknown };

struct CheckLine {
    CheckStatus status = CheckStatus::Ok;
    std::string check;    // "interface", "port", "rp_filter", "rmem_max", "firewall", "search"
    std::string finding;  // what it found
    std::string todo;     // what to do; "" where nothing is to be done
};

// An interface the search uses, with the label doctor's lines give it.
struct LabelledInterface {
    BroadcastInterface entry;
    std::string label;  // "ws0 10.1.0.1"
};

// What only the system can tell.
struct DoctorSystem {
    // Who holds UDP port on the address (or on every address): "python3 (pid
    // 812)"; "" where nobody is found; "unknown: <why>" where it cannot be told.
    std::string (*portHolder)(NetAddress address, std::uint16_t port);
    // Whether a route leads back to a sender outside the interface's subnet by
    // that interface (a default route by it) and by any (a default route at all).
    void (*routesBack)(const BroadcastInterface& entry, bool* byThisInterface, bool* anyRoute);
    // The checks of the system itself (the firewall, the receive buffer cap),
    // some of them per interface searched.
    void (*systemChecks)(const std::vector<LabelledInterface>& searched, std::vector<CheckLine>* lines);
    // Whether the interface is a bridge (a container's or a virtual machine's,
    // with no carrier while nothing is on it); null where the system has none.
    bool (*isBridge)(const BroadcastInterface& entry);
    // Whether the interface is a wireless one (Wi-Fi): controllers are on the
    // wired line, not behind it. Null where the system cannot tell.
    bool (*isWireless)(const BroadcastInterface& entry);
};
const DoctorSystem& SystemDoctor();

struct DoctorInterfaces {
    std::vector<BroadcastInterface> searched;
    std::vector<SkippedInterface> skipped;
};

// The checks before the search, in order: interfaces, ports, reverse-path filters, the system's.
std::vector<CheckLine> CheckBeforeSearch(const NetPlatform& platform, const DoctorSystem& system, InterfaceNames& names,
                                         const DoctorInterfaces& interfaces);

// What the search heard on each interface: rows, a window cut short.
std::vector<CheckLine> CheckSearch(const DoctorSystem& system, InterfaceNames& names,
                                   const std::vector<BroadcastInterface>& searched, const std::vector<bool>& cutShort,
                                   const std::vector<Reply>& rows);

// 1 where any line is a problem, else 0.
int DoctorExitStatus(const std::vector<CheckLine>& lines);

}  // namespace scout::ops
