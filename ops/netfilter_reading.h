// What Linux's firewalls say of the replies, read from what their commands
// printed (so that this reading is tested natively on recorded answers):
// `nft list ruleset`, `iptables -S INPUT`, `ufw status`, `firewall-cmd
// --state` and `--list-ports`.
#pragma once

#include <string>

#include "ops/doctor.h"

namespace scout::ops {

// A command's exit status (127 or -1: not installed, or not run) and its output.
struct CommandAnswer {
    int status = -1;
    std::string output;
};

CheckLine ReadNftables(const CommandAnswer& ruleset);
CheckLine ReadIptables(const CommandAnswer& input);
CheckLine ReadUfw(const CommandAnswer& status);
// Whether `firewall-cmd --state` says it runs: only then are its ports asked and read.
bool FirewalldRunning(const CommandAnswer& state);
CheckLine ReadFirewalld(const CommandAnswer& state, const CommandAnswer& ports);

}  // namespace scout::ops
