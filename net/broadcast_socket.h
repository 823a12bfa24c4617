// One datagram broadcast from the tool's port by one interface: what the
// search's query and every command have in common.
#pragma once

#include "net/error_report.h"
#include "net/query_datagram.h"

namespace scout {

// Opens a UDP socket with broadcast permission (and, where receiveBuffer is
// not 0, a receive buffer of that many bytes), binds it to via on ToolPort and
// sends datagram to 255.255.255.255, ControllerPort. On a failure it is
// reported once (a failed send with sendFailure's text), the socket closed (a
// failure of that close is not reported on top) and false returned; else
// *opened is the socket, still open.
//
// Where another socket holds the tool's port: a search (needsReplies) asks
// the front end whether to wait, and tries again every PortRetryMs while it
// says so; a command, which needs no reply, goes out from another port of the
// same interface.
constexpr std::uint32_t PortRetryMs = 50;
bool OpenAndBroadcast(const NetPlatform& net, const SearchFrontEnd& reports, const BroadcastInterface& via,
                      const QueryDatagram& datagram, SocketFailure sendFailure, int receiveBuffer, bool needsReplies,
                      SocketHandle* opened);

}  // namespace scout
