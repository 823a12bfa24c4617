// What only Linux can tell scout-cli doctor: who holds a UDP port (from /proc),
// the routes back, the receive buffer cap, and the firewalls (nftables,
// iptables, ufw, firewalld), read where this user may and said as unknown
// where not.
#include "cli/cli_doctor.h"

#include <sys/wait.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "net/system_platform.h"

namespace scout::cli {
namespace {

constexpr std::size_t MaxCommandOutput = 256 * 1024;

// The sockets (by inode) bound to UDP port, from /proc/net/udp, and their owners' uids.
std::vector<std::pair<std::string, std::string>> SocketsOnPort(std::uint16_t port) {
    std::vector<std::pair<std::string, std::string>> sockets;
    std::ifstream table("/proc/net/udp");
    std::string line;
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    std::getline(table, line);  // the header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
        if (local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0)
            sockets.emplace_back(inode, uid);
    }
    return sockets;
}

std::string ProcessOf(const std::string& inode, bool* allRead) {
    const std::string link = "socket:[" + inode + "]";
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr)
        return "";
    std::string found;
    while (const dirent* process = ::readdir(processes)) {
        if (!found.empty() || process->d_name[0] < '0' || process->d_name[0] > '9')
            continue;
        const std::string fds = std::string("/proc/") + process->d_name + "/fd";
        DIR* descriptors = ::opendir(fds.c_str());
        if (descriptors == nullptr) {
            *allRead = false;
            continue;
        }
        while (const dirent* fd = ::readdir(descriptors)) {
            char target[64] = {};
            const std::string path = fds + "/" + fd->d_name;
            const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
            if (length > 0 && link == target) {
                std::ifstream comm(std::string("/proc/") + process->d_name + "/comm");
                std::string name;
                std::getline(comm, name);
                found = name + " (pid " + process->d_name + ")";
                break;
            }
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return found;
}

std::string PortHolder(NetAddress, std::uint16_t port) {
    std::string holders;
    for (const auto& [inode, uid] : SocketsOnPort(port)) {
        bool allRead = true;
        std::string process = ProcessOf(inode, &allRead);
        if (process.empty())
            process = allRead ? "a socket of uid " + uid : "a process of uid " + uid +
                                                               " (its name is not readable as this user)";
        holders += (holders.empty() ? "" : ", ") + process;
    }
    return holders;
}

void RoutesBack(const BroadcastInterface& entry, bool* byThisInterface, bool* anyRoute) {
    *byThisInterface = false;
    *anyRoute = false;
    InterfaceDetails details;
    if (!SystemNetPlatform().describeInterface(nullptr, entry, &details))
        details.name[0] = '\0';
    const std::string name = details.name;
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line);
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string device, destination, gateway, flags, references, use, metric, mask;
        fields >> device >> destination >> gateway >> flags >> references >> use >> metric >> mask;
        if (destination != "00000000" || mask != "00000000")
            continue;
        *anyRoute = true;
        *byThisInterface = *byThisInterface || device == name;
    }
}

// A fixed command line of this program's (never the user's text) through sh;
// its output (cut at MaxCommandOutput) and its exit status, -1 where it could not run.
int Run(const char* command, std::string* output) {
    output->clear();
    std::FILE* pipe = ::popen(command, "r");
    if (pipe == nullptr)
        return -1;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        if (output->size() < MaxCommandOutput)
            output->append(chunk, got);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Has(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

// A line of the rules that drops or rejects UDP to the tool's port.
bool DropsToolPort(const std::string& rules) {
    std::istringstream lines(rules);
    std::string line;
    while (std::getline(lines, line))
        if (Has(line, "65513") && (Has(line, "drop") || Has(line, "DROP") || Has(line, "reject") || Has(line, "REJECT")))
            return true;
    return false;
}

// A line of the rules that accepts UDP to the tool's port.
bool AcceptsToolPort(const std::string& rules) {
    std::istringstream lines(rules);
    std::string line;
    while (std::getline(lines, line))
        if (Has(line, "65513") && (Has(line, "accept") || Has(line, "ACCEPT")))
            return true;
    return false;
}

const char* const AllowPort = "allow inbound UDP to port 65513";

// Where a firewall's command is not installed, that is said too.
bool Installed(int status, const char* name, std::vector<CheckLine>* lines) {
    if (status != 127 && status != -1)
        return true;
    lines->push_back(CheckLine{CheckStatus::Ok, "firewall", std::string(name) + ": not installed", ""});
    return false;
}

void CheckNftables(std::vector<CheckLine>* lines) {
    std::string out;
    const int status = Run("nft list ruleset 2>&1", &out);
    if (!Installed(status, "nftables", lines))
        return;
    if (status != 0) {
        lines->push_back(CheckLine{CheckStatus::Unknown, "firewall",
                                   "nftables: its rules cannot be read as this user", "run scout-cli doctor as root"});
        return;
    }
    if (DropsToolPort(out))
        lines->push_back(CheckLine{CheckStatus::Problem, "firewall", "nftables: a rule drops UDP to port 65513",
                                   "remove that rule, or " + std::string(AllowPort) + " before it"});
    else if (Has(out, "hook input") && Has(out, "policy drop") && !AcceptsToolPort(out))
        lines->push_back(CheckLine{CheckStatus::Warning, "firewall",
                                   "nftables: the input policy drops what no rule accepts, and no rule accepts UDP "
                                   "to port 65513 (a reply to a broadcast is no established connection)",
                                   AllowPort});
    else
        lines->push_back(CheckLine{CheckStatus::Ok, "firewall", "nftables: nothing drops UDP to port 65513", ""});
}

void CheckIptables(std::vector<CheckLine>* lines) {
    std::string out;
    const int status = Run("iptables -S INPUT 2>&1", &out);
    if (!Installed(status, "iptables", lines))
        return;
    if (status != 0) {
        lines->push_back(CheckLine{CheckStatus::Unknown, "firewall", "iptables: its rules cannot be read as this user",
                                   "run scout-cli doctor as root"});
        return;
    }
    if (DropsToolPort(out))
        lines->push_back(CheckLine{CheckStatus::Problem, "firewall", "iptables: a rule drops UDP to port 65513",
                                   "remove that rule, or " + std::string(AllowPort) + " before it"});
    else if (Has(out, "-P INPUT DROP") && !AcceptsToolPort(out))
        lines->push_back(CheckLine{CheckStatus::Warning, "firewall",
                                   "iptables: the INPUT policy is DROP and no rule accepts UDP to port 65513",
                                   AllowPort});
    else
        lines->push_back(CheckLine{CheckStatus::Ok, "firewall", "iptables: nothing drops UDP to port 65513", ""});
}

void CheckUfw(std::vector<CheckLine>* lines) {
    std::string out;
    const int status = Run("ufw status 2>&1", &out);
    if (!Installed(status, "ufw", lines))
        return;
    if (status != 0)
        lines->push_back(CheckLine{CheckStatus::Unknown, "firewall", "ufw: its state cannot be read as this user",
                                   "run scout-cli doctor as root"});
    else if (Has(out, "Status: active") && !Has(out, "65513"))
        lines->push_back(CheckLine{CheckStatus::Warning, "firewall",
                                   "ufw is active and does not allow UDP port 65513: it drops replies to a broadcast",
                                   "ufw allow 65513/udp"});
    else
        lines->push_back(CheckLine{CheckStatus::Ok, "firewall",
                                   Has(out, "Status: active") ? "ufw allows UDP port 65513" : "ufw: inactive", ""});
}

void CheckFirewalld(std::vector<CheckLine>* lines) {
    std::string out;
    const int status = Run("firewall-cmd --state 2>&1", &out);
    if (!Installed(status, "firewalld", lines))
        return;
    if (status != 0 || !Has(out, "running")) {
        lines->push_back(CheckLine{CheckStatus::Ok, "firewall", "firewalld: not running", ""});
        return;
    }
    Run("firewall-cmd --list-ports 2>&1", &out);
    if (Has(out, "65513/udp"))
        lines->push_back(CheckLine{CheckStatus::Ok, "firewall", "firewalld opens UDP port 65513", ""});
    else
        lines->push_back(CheckLine{CheckStatus::Warning, "firewall",
                                   "firewalld is running and does not open UDP port 65513: it drops replies to a "
                                   "broadcast",
                                   "firewall-cmd --add-port=65513/udp"});
}

void CheckReceiveBuffer(std::vector<CheckLine>* lines) {
    std::ifstream file("/proc/sys/net/core/rmem_max");
    long long cap = 0;
    if (!(file >> cap)) {
        lines->push_back(CheckLine{CheckStatus::Unknown, "rmem_max", "net.core.rmem_max cannot be read", ""});
        return;
    }
    constexpr long long Wanted = 4 * 1024 * 1024;
    const std::string found = "net.core.rmem_max is " + std::to_string(cap);
    if (cap >= Wanted)
        lines->push_back(CheckLine{CheckStatus::Ok, "rmem_max", found + ": room for well over a thousand replies", ""});
    else if (::geteuid() == 0)
        lines->push_back(CheckLine{CheckStatus::Ok, "rmem_max", found + ", but root's buffer is not capped", ""});
    else
        lines->push_back(CheckLine{CheckStatus::Warning, "rmem_max",
                                   found + ": a few hundred replies at once fit; more are lost (and said)",
                                   "sysctl -w net.core.rmem_max=4194304, or run as root"});
}

void SystemChecks(const std::vector<LabelledInterface>&, std::vector<CheckLine>* lines) {
    CheckReceiveBuffer(lines);
    CheckNftables(lines);
    CheckIptables(lines);
    CheckUfw(lines);
    CheckFirewalld(lines);
}

const DoctorSystem g_system = {
    .portHolder = PortHolder,
    .routesBack = RoutesBack,
    .systemChecks = SystemChecks,
};

}  // namespace

const DoctorSystem& SystemDoctor() {
    return g_system;
}

}  // namespace scout::cli
