// Reading the whole IPv4 forwarding table, however large, into one buffer.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include "net/platform.h"

namespace scout {

using GetForwardTableFunction = DWORD(WINAPI*)(PMIB_IPFORWARDTABLE table, PULONG size, BOOL order);

// Asks the platform for the size it needs and reads the table into a buffer of
// that size, again if the table grew meanwhile; then keeps its broadcast
// interfaces. NoSpace only when no large enough buffer could be had.
TableStatus LoadForwardTable(GetForwardTableFunction getTable, InterfaceTable* table, int* errorCode);

}  // namespace scout
