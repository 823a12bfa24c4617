// The three maintenance commands: one datagram each, sent once as a limited
// broadcast; the target address inside it names the controller that acts.
#pragma once

#include "net/platform.h"

namespace scout {

constexpr std::uint32_t CommandSettleMs = 5000;  // the wait after a command before the list is refreshed

// Nothing is reported and nothing returned: the search that follows shows the effect.
void SendResetCommand(const NetPlatform& platform, NetAddress target, bool factoryDefaults);
void SendReconfigureCommand(const NetPlatform& platform, NetAddress target, NetAddress newAddress,
                            NetAddress newMask, NetAddress newGateway);

}  // namespace scout
