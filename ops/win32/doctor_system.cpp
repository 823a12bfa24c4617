// What only Windows can tell scout-cli doctor: who holds a UDP port (the
// extended UDP table, with the owner's process), the category of each
// interface's network (the network list manager), and Windows Defender
// Firewall's settings, as the registry holds them (their reading is
// cli/firewall_reading, tested on recorded answers). Windows has no
// reverse-path filter for these replies.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <objbase.h>
#include <netlistmgr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "ops/doctor.h"
#include "ops/firewall_reading.h"
#include "net/win32/adapters.h"

namespace scout::ops {
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

constexpr const char* PolicyKey = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy";
constexpr const char* GroupPolicyKey = "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall";

// A DWORD setting under HKLM\key\profile: on, off, or unknown where it is not there.
Setting ReadSetting(const std::string& key, const char* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return Setting::Unknown;
    return value != 0 ? Setting::On : Setting::Off;
}

// The local setting, overridden by group policy where that sets it.
Setting Effective(const char* localProfile, const char* policyProfile, const char* name) {
    const Setting policy = ReadSetting(std::string(GroupPolicyKey) + "\\" + policyProfile, name);
    return policy != Setting::Unknown ? policy : ReadSetting(std::string(PolicyKey) + "\\" + localProfile, name);
}

// Every REG_SZ value under HKLM\key.
void ReadRules(const std::string& key, std::vector<std::string>* rules) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameLength = sizeof name;
        char data[4096];
        DWORD dataLength = sizeof data - 1;
        DWORD type = 0;
        const LONG result = ::RegEnumValueA(opened, i, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;  // a value too long for a rule, or of another type
        data[dataLength < sizeof data ? dataLength : sizeof data - 1] = '\0';
        rules->emplace_back(data);
    }
    ::RegCloseKey(opened);
}

FirewallFacts ReadFirewallFacts() {
    FirewallFacts facts;
    HKEY policy = nullptr;
    const LONG opened = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, PolicyKey, 0, KEY_READ, &policy);
    if (opened != ERROR_SUCCESS) {
        facts.denied = opened == ERROR_ACCESS_DENIED;
        return facts;
    }
    ::RegCloseKey(policy);
    facts.readable = true;
    const struct {
        const char* name;
        const char* local;
        const char* group;
    } profiles[] = {{"Domain", "DomainProfile", "DomainProfile"},
                    {"Private", "StandardProfile", "PrivateProfile"},
                    {"Public", "PublicProfile", "PublicProfile"}};
    for (const auto& p : profiles) {
        FirewallProfile profile{p.name};
        profile.enabled = Effective(p.local, p.group, "EnableFirewall");
        profile.unicastRepliesProhibited = Effective(p.local, p.group, "DisableUnicastResponsesToMulticastBroadcast");
        profile.shielded = Effective(p.local, p.group, "DoNotAllowExceptions");
        facts.profiles.push_back(profile);
    }
    ReadRules(std::string(PolicyKey) + "\\FirewallRules", &facts.rules);
    ReadRules(std::string(GroupPolicyKey) + "\\FirewallRules", &facts.rules);
    return facts;
}

// "{0D2B4C6E-...}", as GetAdaptersAddresses names an adapter.
std::string GuidText(const GUID& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                  id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

NetworkCategory CategoryOf(NLM_NETWORK_CATEGORY category) {
    switch (category) {
    case NLM_NETWORK_CATEGORY_PUBLIC:
        return NetworkCategory::Public;
    case NLM_NETWORK_CATEGORY_PRIVATE:
        return NetworkCategory::Private;
    case NLM_NETWORK_CATEGORY_DOMAIN_AUTHENTICATED:
        return NetworkCategory::Domain;
    }
    return NetworkCategory::Unknown;
}

using AdapterCategory = std::pair<std::string, NetworkCategory>;

// One connection of the network list: its adapter's name and its network's category.
bool ReadConnection(INetworkConnection* connection, AdapterCategory* found) {
    GUID adapter;
    INetwork* network = nullptr;
    if (FAILED(connection->GetAdapterId(&adapter)) || FAILED(connection->GetNetwork(&network)))
        return false;
    NLM_NETWORK_CATEGORY category = NLM_NETWORK_CATEGORY_PUBLIC;
    const bool read = SUCCEEDED(network->GetCategory(&category));
    network->Release();
    *found = AdapterCategory{GuidText(adapter), CategoryOf(category)};
    return read;
}

// The category of the network of each connected adapter, as the network list
// manager tells it; none where it cannot be asked.
std::vector<AdapterCategory> ReadAdapterCategories() {
    std::vector<AdapterCategory> found;
    const HRESULT started = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    INetworkListManager* manager = nullptr;
    IEnumNetworkConnections* connections = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_INetworkListManager,
                                     reinterpret_cast<void**>(&manager))) &&
        SUCCEEDED(manager->GetNetworkConnections(&connections))) {
        INetworkConnection* connection = nullptr;
        ULONG fetched = 0;
        while (connections->Next(1, &connection, &fetched) == S_OK && fetched == 1) {
            AdapterCategory one;
            if (ReadConnection(connection, &one))
                found.push_back(one);
            connection->Release();
        }
    }
    if (connections != nullptr)
        connections->Release();
    if (manager != nullptr)
        manager->Release();
    if (SUCCEEDED(started))
        ::CoUninitialize();
    return found;
}

// Each interface searched with the category of its adapter's network.
std::vector<InterfaceNetwork> ReadInterfaceNetworks(const std::vector<LabelledInterface>& searched) {
    const std::vector<AdapterCategory> categories = ReadAdapterCategories();
    IP_ADAPTER_ADDRESSES* adapters = LoadAdapters();
    std::vector<InterfaceNetwork> networks;
    for (const LabelledInterface& each : searched) {
        InterfaceNetwork network{each.label, NetworkCategory::Unknown};
        for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next)
            for (const AdapterCategory& known : categories)
                if (AdapterHolds(*a, each.entry) && ::_stricmp(known.first.c_str(), a->AdapterName) == 0)
                    network.category = known.second;
        networks.push_back(network);
    }
    std::free(adapters);
    return networks;
}

// Wi-Fi: the adapter's type as Windows gives it.
bool IsWireless(const BroadcastInterface& entry) {
    IP_ADAPTER_ADDRESSES* adapters = LoadAdapters();
    bool wireless = false;
    for (const IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next)
        wireless = wireless || (AdapterHolds(*a, entry) && a->IfType == IF_TYPE_IEEE80211);
    std::free(adapters);
    return wireless;
}

void SystemChecks(const std::vector<LabelledInterface>& searched, std::vector<CheckLine>* lines) {
    char program[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, program, sizeof program);
    ReadFirewall(ReadFirewallFacts(), program, ReadInterfaceNetworks(searched), lines);
}

const DoctorSystem g_system = {
    .portHolder = PortHolder,
    .routesBack = RoutesBack,
    .systemChecks = SystemChecks,
    .isBridge = nullptr,  // Windows skips a bridge with no carrier as any adapter
    .isWireless = IsWireless,
};

}  // namespace

const DoctorSystem& SystemDoctor() {
    return g_system;
}

}  // namespace scout::ops
