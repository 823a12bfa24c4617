// What only Windows can tell scout-cli doctor: who holds a UDP port (the
// extended UDP table, with the owner's process). Windows has no reverse-path
// filter for these replies; the firewall's profiles and rules are not read by
// this version, and doctor says so.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/cli_doctor.h"

namespace scout::cli {
namespace {

// The program's file name of a process, or "" where it cannot be opened.
std::string ProcessName(DWORD pid) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return "";
    char path[MAX_PATH] = {};
    DWORD length = sizeof path;
    std::string name;
    if (::QueryFullProcessImageNameA(process, 0, path, &length)) {
        const char* base = std::strrchr(path, '\\');
        name = base != nullptr ? base + 1 : path;
    }
    ::CloseHandle(process);
    return name;
}

std::string PortHolder(NetAddress, std::uint16_t port) {
    DWORD size = 0;
    if (::GetExtendedUdpTable(nullptr, &size, FALSE, AF_INET, UDP_TABLE_OWNER_PID, 0) != ERROR_INSUFFICIENT_BUFFER)
        return "unknown: the UDP table cannot be read";
    auto* table = static_cast<MIB_UDPTABLE_OWNER_PID*>(std::malloc(size));
    if (table == nullptr)
        return "unknown: no memory for the UDP table";
    std::string holders;
    if (::GetExtendedUdpTable(table, &size, FALSE, AF_INET, UDP_TABLE_OWNER_PID, 0) == NO_ERROR) {
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_UDPROW_OWNER_PID& row = table->table[i];
            if (::ntohs(static_cast<u_short>(row.dwLocalPort)) != port)
                continue;
            const std::string name = ProcessName(row.dwOwningPid);
            holders += (holders.empty() ? "" : ", ") + (name.empty() ? std::string("a process") : name) + " (pid " +
                       std::to_string(row.dwOwningPid) + ")";
        }
    }
    std::free(table);
    return holders;
}

void RoutesBack(const BroadcastInterface&, bool* byThisInterface, bool* anyRoute) {
    *byThisInterface = true;
    *anyRoute = true;
}

void SystemChecks(std::vector<CheckLine>* lines) {
    lines->push_back(CheckLine{CheckStatus::Unknown, "firewall",
                               "Windows Defender Firewall: its profiles and rules are not read by this version",
                               "allow scout.exe and scout-cli.exe inbound UDP on port 65513 (README.txt has the "
                               "netsh lines)"});
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
