// A socket bound to one interface, and its one broadcast.
#include "net/broadcast_socket.h"

namespace scout {
namespace {

bool HeldByAnother(const NetPlatform& net, int code) {
    return net.addressInUse != nullptr && net.addressInUse(net.context, code);
}

// The bind to the tool's port, waited for or gone round as OpenAndBroadcast says.
int BindToolPort(const NetPlatform& net, const SearchFrontEnd& reports, const BroadcastInterface& via,
                 SocketHandle socket, bool needsReplies) {
    int code = net.bindSocket(net.context, socket, via, ToolPort);
    if (code == 0 || !HeldByAnother(net, code))
        return code;
    if (!needsReplies)
        return net.bindSocket(net.context, socket, via, 0);
    const std::uint32_t start = net.now(net.context);
    while (reports.portHeld != nullptr && reports.portHeld(reports.context, via, net.now(net.context) - start)) {
        net.sleep(net.context, PortRetryMs);
        code = net.bindSocket(net.context, socket, via, ToolPort);
        if (code == 0 || !HeldByAnother(net, code))
            return code;
    }
    return code;
}

}  // namespace

bool OpenAndBroadcast(const NetPlatform& net, const SearchFrontEnd& reports, const BroadcastInterface& via,
                      const QueryDatagram& datagram, SocketFailure sendFailure, int receiveBuffer, bool needsReplies,
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
        code = BindToolPort(net, reports, via, socket, needsReplies);
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
