// The IPv4 adapters as GetAdaptersAddresses lists them, for the platform and
// for scout-cli doctor.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include "net/platform.h"

namespace scout {

// The adapters in a buffer of the size GetAdaptersAddresses asks for
// (released with std::free); null when they cannot be had.
IP_ADAPTER_ADDRESSES* LoadAdapters();

// Whether the adapter is the interface's: it has its index, or holds its address.
bool AdapterHolds(const IP_ADAPTER_ADDRESSES& adapter, const BroadcastInterface& via);

}  // namespace scout
