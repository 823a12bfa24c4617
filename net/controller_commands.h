// The three maintenance commands: one datagram each, sent once as a limited
// broadcast by the interface that listed the controller; the target address
// inside it names the controller that acts. The controllers do not answer.
#pragma once

#include "net/platform.h"
#include "net/query_datagram.h"

namespace scout {

constexpr std::uint32_t CommandSettleMs = 5000;  // the wait after a command before the list is refreshed

// Sends one command datagram by the interface via: its own socket with
// broadcast permission, bound to via's address (and index) on the tool's port,
// so that the broadcast leaves by that interface, as the search's query did;
// then closed. A failure to open, set up, bind or send is reported once
// through reports (the search's texts, "Error sending command for address
// %s. %s." for the send, also when the interface's link is down) and the
// result is false: nothing left, and the caller neither waits nor searches as
// if it had.
bool SendCommand(const NetPlatform& platform, const SearchFrontEnd& reports, const BroadcastInterface& via,
                 const QueryDatagram& datagram);

bool SendResetCommand(const NetPlatform& platform, const SearchFrontEnd& reports, const BroadcastInterface& via,
                      NetAddress target, bool factoryDefaults);
bool SendReconfigureCommand(const NetPlatform& platform, const SearchFrontEnd& reports,
                            const BroadcastInterface& via, NetAddress target, NetAddress newAddress,
                            NetAddress newMask, NetAddress newGateway);

}  // namespace scout
