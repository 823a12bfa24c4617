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
bool OpenAndBroadcast(const NetPlatform& net, const SearchFrontEnd& reports, const BroadcastInterface& via,
                      const QueryDatagram& datagram, SocketFailure sendFailure, int receiveBuffer,
                      SocketHandle* opened);

}  // namespace scout
