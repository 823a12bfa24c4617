// Sending a command: its own socket with broadcast permission, bound to the
// tool's port on the interface that listed the controller, one datagram,
// closed again.
#include "net/controller_commands.h"

#include "net/error_report.h"

namespace scout {

bool SendCommand(const NetPlatform& net, const SearchFrontEnd& reports, const BroadcastInterface& via,
                 const QueryDatagram& datagram) {
    SocketHandle socket = InvalidSocket;
    if (const int code = net.openSocket(net.context, &socket); code != 0) {
        ReportSocketFailure(reports, net, SocketFailure::CreateSocket, via.address, code);
        return false;
    }
    SocketFailure failure = SocketFailure::SetOptions;
    int code = net.setBroadcast(net.context, socket);
    if (code == 0) {
        failure = SocketFailure::Bind;
        code = net.bindSocket(net.context, socket, via, ToolPort);
    }
    if (code == 0) {
        failure = SocketFailure::SendCommand;
        code = net.sendTo(net.context, socket, datagram.data(), datagram.size(), BroadcastAddress, ControllerPort);
    }
    if (code != 0)
        ReportSocketFailure(reports, net, failure, via.address, code);
    // Once the datagram is out, a failure to close the socket changes nothing of the command.
    net.closeSocket(net.context, socket);
    return code == 0;
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
