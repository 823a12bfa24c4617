// The platform's own NetPlatform: Winsock and the forwarding table on Windows,
// BSD sockets and the interface list on Linux. The build picks one.
#pragma once

#include "platform.h"

namespace scout {

const NetPlatform& SystemNetPlatform();

// Starts the socket layer where the platform has one to start (Winsock 2.2);
// on failure *errorCode holds the platform's code.
bool StartSocketLayer(int* errorCode);

}  // namespace scout
