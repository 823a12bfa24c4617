// What only Linux can tell scout-cli doctor: who holds a UDP port (from /proc),
// the routes back, the receive buffer cap, and the firewalls (nftables,
// iptables, ufw, firewalld), read where this user may and said as unknown
// where not.
#include "ops/doctor.h"
#include "ops/netfilter_reading.h"

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

namespace scout::ops {
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

bool IsBridge(const BroadcastInterface& entry) {
    InterfaceDetails details;
    if (!SystemNetPlatform().describeInterface(nullptr, entry, &details) || details.name[0] == '\0' ||
        std::strchr(details.name, '/') != nullptr)
        return false;
    return ::access((std::string("/sys/class/net/") + details.name + "/bridge").c_str(), F_OK) == 0;
}

// Wireless: the kernel says so (a wireless or phy80211 entry), or it is named
// as Linux and systemd name Wi-Fi adapters (wlan0, wlp3s0).
bool IsWireless(const BroadcastInterface& entry) {
    InterfaceDetails details;
    if (!SystemNetPlatform().describeInterface(nullptr, entry, &details) || details.name[0] == '\0' ||
        std::strchr(details.name, '/') != nullptr)
        return false;
    const std::string folder = std::string("/sys/class/net/") + details.name;
    return ::access((folder + "/wireless").c_str(), F_OK) == 0 || ::access((folder + "/phy80211").c_str(), F_OK) == 0 ||
           std::strncmp(details.name, "wl", 2) == 0;
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
CommandAnswer Run(const char* command) {
    CommandAnswer answer;
    std::FILE* pipe = ::popen(command, "r");
    if (pipe == nullptr)
        return answer;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        if (answer.output.size() < MaxCommandOutput)
            answer.output.append(chunk, got);
    const int status = ::pclose(pipe);
    answer.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return answer;
}

// The firewalls, each read from what its command prints (cli/netfilter_reading).
void CheckFirewalls(std::vector<CheckLine>* lines) {
    lines->push_back(ReadNftables(Run("nft list ruleset 2>&1")));
    lines->push_back(ReadIptables(Run("iptables -S INPUT 2>&1")));
    lines->push_back(ReadUfw(Run("ufw status 2>&1")));
    const CommandAnswer state = Run("firewall-cmd --state 2>&1");
    lines->push_back(
        ReadFirewalld(state, FirewalldRunning(state) ? Run("firewall-cmd --list-ports 2>&1") : CommandAnswer{}));
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
    CheckFirewalls(lines);
}

const DoctorSystem g_system = {
    .portHolder = PortHolder,
    .routesBack = RoutesBack,
    .systemChecks = SystemChecks,
    .isBridge = IsBridge,
    .isWireless = IsWireless,
};

}  // namespace

const DoctorSystem& SystemDoctor() {
    return g_system;
}

}  // namespace scout::ops
