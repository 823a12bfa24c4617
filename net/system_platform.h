// The platform's own NetPlatform: Winsock and the forwarding table on Windows,
// BSD sockets and the interface list on Linux. The build picks one.
#pragma once

#include "net/platform.h"

namespace scout {

const NetPlatform& SystemNetPlatform();

}  // namespace scout
