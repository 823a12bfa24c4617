// The reading of Windows Defender Firewall's settings (see firewall_reading.h).
#include "ops/firewall_reading.h"

#include <cctype>
#include <cstdlib>

namespace scout::ops {
namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of key in a rule ("" where it has none); keys may repeat (LPort).
std::vector<std::string> Values(const std::string& rule, const char* key) {
    std::vector<std::string> values;
    const std::string wanted = std::string(key) + "=";
    std::size_t start = 0;
    while (start <= rule.size()) {
        std::size_t end = rule.find('|', start);
        if (end == std::string::npos)
            end = rule.size();
        const std::string field = rule.substr(start, end - start);
        if (field.compare(0, wanted.size(), wanted) == 0)
            values.push_back(field.substr(wanted.size()));
        start = end + 1;
    }
    return values;
}

std::string Value(const std::string& rule, const char* key) {
    const std::vector<std::string> values = Values(rule, key);
    return values.empty() ? "" : values[0];
}

// "65513", "65000-65535", "RPC" ...: whether one of the rule's local ports covers port.
bool PortCovered(const std::vector<std::string>& ports, unsigned port) {
    if (ports.empty())
        return true;  // any port
    for (const std::string& list : ports) {
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t end = list.find(',', start);
            if (end == std::string::npos)
                end = list.size();
            const std::string item = list.substr(start, end - start);
            const std::size_t dash = item.find('-');
            char* stop = nullptr;
            const unsigned long low = std::strtoul(item.c_str(), &stop, 10);
            const unsigned long high =
                dash == std::string::npos ? low : std::strtoul(item.c_str() + dash + 1, nullptr, 10);
            if (stop != item.c_str() && low <= port && port <= high)
                return true;
            start = end + 1;
        }
    }
    return false;
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ProgramCovered(const std::string& app, const std::string& program) {
    if (app.empty())
        return true;  // any program
    const std::string rule = Lower(app);
    if (rule == Lower(program))
        return true;
    // A path with variables (%ProgramFiles%\...) is compared by its file name.
    return rule.find('%') != std::string::npos && FileName(rule) == Lower(FileName(program));
}

const char* CategoryName(NetworkCategory category) {
    switch (category) {
    case NetworkCategory::Public:
        return "Public";
    case NetworkCategory::Private:
        return "Private";
    case NetworkCategory::Domain:
        return "Domain";
    case NetworkCategory::Unknown:
        break;
    }
    return "";
}

void ReadNetworks(const std::vector<InterfaceNetwork>& networks, std::vector<CheckLine>* lines) {
    for (const InterfaceNetwork& network : networks) {
        const std::string name = CategoryName(network.category);
        lines->push_back(name.empty() ? CheckLine{CheckStatus::Unknown, "firewall",
                                                  network.label + ": the profile (Public, Private or Domain) of its "
                                                                  "network cannot be read",
                                                  "see it in Settings > Network; a network without a gateway counts "
                                                  "as Public"}
                                      : CheckLine{CheckStatus::Ok, "firewall",
                                                  network.label + ": a " + name + " network, so the " + name +
                                                      " profile applies",
                                                  ""});
    }
}

// Whether the profile concerns this search: some interface searched is on
// such a network, or on one whose category is not known.
bool ProfileInUse(const std::vector<InterfaceNetwork>& networks, const char* profile) {
    if (networks.empty())
        return true;
    for (const InterfaceNetwork& network : networks)
        if (network.category == NetworkCategory::Unknown || CategoryName(network.category) == std::string(profile))
            return true;
    return false;
}

CheckLine ProfileLine(const FirewallProfile& profile, bool allowed, const std::string& program) {
    const std::string name = std::string(profile.name) + " profile";
    if (profile.enabled == Setting::Unknown)
        return CheckLine{CheckStatus::Unknown, "firewall", name + ": its state cannot be read", ""};
    if (profile.enabled == Setting::Off)
        return CheckLine{CheckStatus::Ok, "firewall", name + ": the firewall is off", ""};
    const bool shielded = profile.shielded == Setting::On;
    if (allowed && !shielded)
        return CheckLine{CheckStatus::Ok, "firewall",
                         name + ": on; an inbound rule allows UDP port 65513 for " + FileName(program), ""};
    const bool prohibited = profile.unicastRepliesProhibited == Setting::On;
    const std::string why = shielded ? ": on, blocking all incoming connections (the rules are set aside)"
                                     : ": on, and no inbound rule allows UDP port 65513 for " + FileName(program);
    return CheckLine{prohibited ? CheckStatus::Problem : CheckStatus::Warning, "firewall",
                     name + why +
                         (prohibited ? "; the policy prohibits unicast replies to a broadcast, so every reply is dropped"
                                     : "; replies get in only within 3 s of the query"),
                     shielded ? "turn off \"Block all incoming connections\" for the " + name
                              : "allow " + FileName(program) + " inbound UDP on port 65513 (README.txt has the netsh "
                                                               "lines)"};
}

}  // namespace

bool RuleAllows(const std::string& rule, const std::string& program, unsigned port) {
    if (Lower(Value(rule, "Action")) != "allow" || Lower(Value(rule, "Active")) != "true" ||
        Lower(Value(rule, "Dir")) != "in")
        return false;
    const std::string protocol = Value(rule, "Protocol");
    if (!protocol.empty() && protocol != "17")
        return false;
    return PortCovered(Values(rule, "LPort"), port) && ProgramCovered(Value(rule, "App"), program);
}

void ReadFirewall(const FirewallFacts& facts, const std::string& program, const std::vector<InterfaceNetwork>& networks,
                  std::vector<CheckLine>* lines) {
    ReadNetworks(networks, lines);
    if (!facts.readable) {
        lines->push_back(facts.denied ? CheckLine{CheckStatus::Unknown, "firewall",
                                                  "Windows Defender Firewall: its settings cannot be read as this user",
                                                  "run scout-cli doctor as administrator"}
                                      : CheckLine{CheckStatus::Unknown, "firewall",
                                                  "Windows Defender Firewall: no settings of it are found here", ""});
        return;
    }
    bool allowed = false;
    for (const std::string& rule : facts.rules)
        allowed = allowed || RuleAllows(rule, program, 65513);
    for (const FirewallProfile& profile : facts.profiles) {
        CheckLine line = ProfileLine(profile, allowed, program);
        if (!ProfileInUse(networks, profile.name)) {
            line.status = CheckStatus::Ok;
            line.finding += std::string("; no interface searched is on a ") + profile.name + " network";
            line.todo.clear();
        }
        lines->push_back(line);
    }
}

}  // namespace scout::ops
