// The reading of Linux's firewalls (see netfilter_reading.h).
#include "ops/netfilter_reading.h"

#include <sstream>

namespace scout::ops {
namespace {

const char* const AllowPort = "allow inbound UDP to port 65513";

bool Has(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

// A line of the rules about UDP to the tool's port that ends in one of the verdicts.
bool RuleForToolPort(const std::string& rules, const char* verdict, const char* upperVerdict) {
    std::istringstream lines(rules);
    std::string line;
    while (std::getline(lines, line))
        if (Has(line, "65513") && Has(line, "udp") && (Has(line, verdict) || Has(line, upperVerdict)))
            return true;
    return false;
}

bool DropsToolPort(const std::string& rules) {
    return RuleForToolPort(rules, "drop", "DROP") || RuleForToolPort(rules, "reject", "REJECT");
}

bool AcceptsToolPort(const std::string& rules) {
    return RuleForToolPort(rules, "accept", "ACCEPT");
}

bool NotInstalled(const CommandAnswer& answer) {
    return answer.status == 127 || answer.status == -1;
}

CheckLine Line(CheckStatus status, const std::string& finding, const std::string& todo = "") {
    return CheckLine{status, "firewall", finding, todo};
}

CheckLine NotInstalledLine(const char* name) {
    return Line(CheckStatus::Ok, std::string(name) + ": not installed");
}

CheckLine Unreadable(const char* name, const char* what) {
    return Line(CheckStatus::Unknown, std::string(name) + ": its " + what + " cannot be read as this user",
                "run scout-cli doctor as root");
}

CheckLine RuleDrops(const char* name) {
    return Line(CheckStatus::Problem, std::string(name) + ": a rule drops UDP to port 65513",
                "remove that rule, or " + std::string(AllowPort) + " before it");
}

}  // namespace

CheckLine ReadNftables(const CommandAnswer& ruleset) {
    if (NotInstalled(ruleset))
        return NotInstalledLine("nftables");
    if (ruleset.status != 0)
        return Unreadable("nftables", "rules");
    if (DropsToolPort(ruleset.output))
        return RuleDrops("nftables");
    if (Has(ruleset.output, "hook input") && Has(ruleset.output, "policy drop") && !AcceptsToolPort(ruleset.output))
        return Line(CheckStatus::Warning,
                    "nftables: the input policy drops what no rule accepts, and no rule accepts UDP to port 65513 (a "
                    "reply to a broadcast is no established connection)",
                    AllowPort);
    return Line(CheckStatus::Ok, "nftables: nothing drops UDP to port 65513");
}

CheckLine ReadIptables(const CommandAnswer& input) {
    if (NotInstalled(input))
        return NotInstalledLine("iptables");
    if (input.status != 0)
        return Unreadable("iptables", "rules");
    if (DropsToolPort(input.output))
        return RuleDrops("iptables");
    if (Has(input.output, "-P INPUT DROP") && !AcceptsToolPort(input.output))
        return Line(CheckStatus::Warning, "iptables: the INPUT policy is DROP and no rule accepts UDP to port 65513",
                    AllowPort);
    return Line(CheckStatus::Ok, "iptables: nothing drops UDP to port 65513");
}

CheckLine ReadUfw(const CommandAnswer& status) {
    if (NotInstalled(status))
        return NotInstalledLine("ufw");
    if (status.status != 0)
        return Unreadable("ufw", "state");
    if (!Has(status.output, "Status: active"))
        return Line(CheckStatus::Ok, "ufw: inactive");
    if (!Has(status.output, "65513"))
        return Line(CheckStatus::Warning,
                    "ufw is active and does not allow UDP port 65513: it drops replies to a broadcast",
                    "ufw allow 65513/udp");
    return Line(CheckStatus::Ok, "ufw allows UDP port 65513");
}

bool FirewalldRunning(const CommandAnswer& state) {
    return state.status == 0 && Has(state.output, "running");
}

CheckLine ReadFirewalld(const CommandAnswer& state, const CommandAnswer& ports) {
    if (NotInstalled(state))
        return NotInstalledLine("firewalld");
    if (!FirewalldRunning(state))
        return Line(CheckStatus::Ok, "firewalld: not running");
    if (Has(ports.output, "65513/udp"))
        return Line(CheckStatus::Ok, "firewalld opens UDP port 65513");
    return Line(CheckStatus::Warning,
                "firewalld is running and does not open UDP port 65513: it drops replies to a broadcast",
                "firewall-cmd --add-port=65513/udp");
}

}  // namespace scout::ops
