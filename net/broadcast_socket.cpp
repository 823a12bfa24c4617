// A socket bound to one interface, and its one broadcast.
#include "net/broadcast_socket.h"

namespace scout {

bool OpenAndBroadcast(const NetPlatform& net, const SearchFrontEnd& reports, const BroadcastInterface& via,
                      const QueryDatagram& datagram, SocketFailure sendFailure, int receiveBuffer,
                      SocketHandle* opened) {
    SocketHandle socket = InvalidSocket;
    if (const int code = net.openSocket(net.context, &socket); code != 0) {
        ReportSocketFailure(reports, net, SocketFailure::CreateSocket, via.address, code);
        return false;
    }
    SocketFailure failure = SocketFailure::SetOptions;
    int code = net.setBroadcast(net.context, socket);
    if (code == 0) {
        if (receiveBuffer != 0)
            net.setReceiveBuffer(net.context, socket, receiveBuffer);
        failure = SocketFailure::Bind;
        code = net.bindSocket(net.context, socket, via, ToolPort);
    }
    if (code == 0) {
        failure = sendFailure;
        code = net.sendTo(net.context, socket, datagram.data(), datagram.size(), BroadcastAddress, ControllerPort);
    }
    if (code != 0) {
        ReportSocketFailure(reports, net, failure, via.address, code);
        net.closeSocket(net.context, socket);
        return false;
    }
    *opened = socket;
    return true;
}

}  // namespace scout
