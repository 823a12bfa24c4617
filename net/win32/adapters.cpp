// The IPv4 adapters (see adapters.h).
#include "net/win32/adapters.h"

#include <cstdlib>
#include <cstring>

namespace scout {

IP_ADAPTER_ADDRESSES* LoadAdapters() {
    constexpr ULONG Flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    IP_ADAPTER_ADDRESSES* adapters = nullptr;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        std::free(adapters);
        adapters = static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size));
        if (adapters == nullptr)
            return nullptr;
        result = ::GetAdaptersAddresses(AF_INET, Flags, nullptr, adapters, &size);
    }
    if (result == NO_ERROR)
        return adapters;
    std::free(adapters);
    return nullptr;
}

bool AdapterHolds(const IP_ADAPTER_ADDRESSES& adapter, const BroadcastInterface& via) {
    if (via.index != 0 && adapter.IfIndex == via.index)
        return true;
    for (const IP_ADAPTER_UNICAST_ADDRESS* u = adapter.FirstUnicastAddress; u != nullptr; u = u->Next) {
        const sockaddr* address = u->Address.lpSockaddr;
        if (address == nullptr || address->sa_family != AF_INET)
            continue;
        sockaddr_in in;
        std::memcpy(&in, address, sizeof in);
        if (in.sin_addr.s_addr == via.address)
            return true;
    }
    return false;
}

}  // namespace scout
