// The reading of Windows Defender Firewall's settings (see firewall_reading.h).
#include "cli/firewall_reading.h"

#include <cctype>
#include <cstdlib>

namespace scout::cli {
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

void ReadFirewall(const FirewallFacts& facts, const std::string& program, std::vector<CheckLine>* lines) {
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
        const std::string name = std::string(profile.name) + " profile";
        if (profile.enabled == Setting::Unknown) {
            lines->push_back(CheckLine{CheckStatus::Unknown, "firewall", name + ": its state cannot be read", ""});
            continue;
        }
        if (profile.enabled == Setting::Off) {
            lines->push_back(CheckLine{CheckStatus::Ok, "firewall", name + ": the firewall is off", ""});
            continue;
        }
        if (allowed) {
            lines->push_back(CheckLine{CheckStatus::Ok, "firewall",
                                       name + ": on; an inbound rule allows UDP port 65513 for " + FileName(program),
                                       ""});
            continue;
        }
        const bool prohibited = profile.unicastRepliesProhibited == Setting::On;
        lines->push_back(CheckLine{
            prohibited ? CheckStatus::Problem : CheckStatus::Warning, "firewall",
            name + ": on, and no inbound rule allows UDP port 65513 for " + FileName(program) +
                (prohibited ? "; the policy prohibits unicast replies to a broadcast, so every reply is dropped"
                            : "; replies get in only within 3 s of the query"),
            "allow " + FileName(program) + " inbound UDP on port 65513 (README.txt has the netsh lines)"});
    }
}

}  // namespace scout::cli
