// Sending a command: its own socket with broadcast permission, bound to the
// tool's port on the interface that listed the controller (another port of
// it where a search of another program holds that one: no reply is awaited
// on this socket), one datagram, closed again.
#include "net/controller_commands.h"

#include "net/broadcast_socket.h"

namespace scout {

bool SendCommand(const NetPlatform& net, const SearchFrontEnd& reports, const BroadcastInterface& via,
                 const QueryDatagram& datagram) {
    // A broadcast by an interface with no carrier "succeeds" and reaches
    // nobody: that is a failed send, said as one.
    if (const int code = net.checkLink(net.context, via); code != 0) {
        ReportSocketFailure(reports, net, SocketFailure::SendCommand, via.address, code);
        return false;
    }
    SocketHandle socket = InvalidSocket;
    if (!OpenAndBroadcast(net, reports, via, datagram, SocketFailure::SendCommand, 0, false, &socket))
        return false;
    // Once the datagram is out, a failure to close the socket changes nothing of the command.
    net.closeSocket(net.context, socket);
    return true;
}

bool SendResetCommand(const NetPlatform& platform, const SearchFrontEnd& reports, const BroadcastInterface& via,
                      NetAddress target, bool factoryDefaults) {
    QueryDatagram datagram;
    BuildReset(datagram, target, factoryDefaults);
    return SendCommand(platform, reports, via, datagram);
}

bool SendReconfigureCommand(const NetPlatform& platform, const SearchFrontEnd& reports,
                            const BroadcastInterface& via, NetAddress target, NetAddress newAddress,
                            NetAddress newMask, NetAddress newGateway) {
    QueryDatagram datagram;
    BuildReconfigure(datagram, target, newAddress, newMask, newGateway);
    return SendCommand(platform, reports, via, datagram);
}

}  // namespace scout
