// Sending a command: its own socket with broadcast permission, bound to the
// tool's port on all addresses, one datagram, closed again. Unlike the search
// it is not sent per interface: the platform's routing of the limited
// broadcast picks the interface.
#include "net/controller_commands.h"

#include "net/query_datagram.h"

namespace scout {
namespace {

void SendCommandDatagram(const NetPlatform& net, const QueryDatagram& datagram) {
    SocketHandle socket = InvalidSocket;
    if (net.openSocket(net.context, &socket) != 0)
        return;
    // The results of these are not examined: a failed bind still sends, from a
    // port the platform picks; a failed send leaves nothing on the network.
    net.setBroadcast(net.context, socket);
    net.bindSocket(net.context, socket, BroadcastInterface{AnyAddress, 0}, ToolPort);
    net.sendTo(net.context, socket, datagram.data(), datagram.size(), BroadcastAddress, ControllerPort);
    net.closeSocket(net.context, socket);
}

}  // namespace

void SendResetCommand(const NetPlatform& platform, NetAddress target, bool factoryDefaults) {
    QueryDatagram datagram;
    BuildReset(datagram, target, factoryDefaults);
    SendCommandDatagram(platform, datagram);
}

void SendReconfigureCommand(const NetPlatform& platform, NetAddress target, NetAddress newAddress,
                            NetAddress newMask, NetAddress newGateway) {
    QueryDatagram datagram;
    BuildReconfigure(datagram, target, newAddress, newMask, newGateway);
    SendCommandDatagram(platform, datagram);
}

}  // namespace scout
