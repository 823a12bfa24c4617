// What the Windows platform makes of a failed receive.
#include <gtest/gtest.h>

#include <winsock2.h>

#include "net/system_platform.h"

namespace scout {
namespace {

TEST(Win32Platform, ReceiveFailuresAsTheSearchReadsThem) {
    const NetPlatform& net = SystemNetPlatform();
    EXPECT_EQ(net.classifyReceiveFailure(net.context, WSAEMSGSIZE), ReceiveFailure::TooLong);
    EXPECT_EQ(net.classifyReceiveFailure(net.context, WSAECONNRESET), ReceiveFailure::NoDatagram);
    EXPECT_EQ(net.classifyReceiveFailure(net.context, WSAENETRESET), ReceiveFailure::NoDatagram);
    EXPECT_EQ(net.classifyReceiveFailure(net.context, WSAENOTSOCK), ReceiveFailure::Failed);
}

}  // namespace
}  // namespace scout
