// The broadcast-interface filter over raw forwarding tables built here.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/win32/forward_table.h"

namespace scout {
namespace {

ForwardRow BroadcastRoute(NetAddress interfaceAddress, std::uint32_t ifIndex) {
    ForwardRow row{};
    row.dest = BroadcastAddress;
    row.mask = BroadcastAddress;
    row.nextHop = interfaceAddress;
    row.ifIndex = ifIndex;
    row.type = DirectRouteType;
    return row;
}

// A table buffer as the platform fills it; uint32_t storage keeps it aligned.
std::vector<std::uint32_t> Table(const std::vector<ForwardRow>& rows, std::uint32_t count) {
    std::vector<std::uint32_t> buffer(1 + rows.size() * 14);
    buffer[0] = count;
    if (!rows.empty())
        std::memcpy(buffer.data() + 1, rows.data(), rows.size() * sizeof(ForwardRow));
    return buffer;
}

std::vector<BroadcastInterface> Compact(std::vector<std::uint32_t>& buffer, std::size_t bytes) {
    const std::size_t count = CompactBroadcastInterfaces(buffer.data(), bytes);
    std::vector<BroadcastInterface> out(count);
    if (count != 0)
        std::memcpy(out.data(), buffer.data(), count * sizeof(BroadcastInterface));
    return out;
}

TEST(ForwardTable, EachConditionIsRequired) {
    const NetAddress a = MakeAddress(10, 1, 0, 1);
    EXPECT_TRUE(IsBroadcastInterface(BroadcastRoute(a, 2)));

    ForwardRow row = BroadcastRoute(a, 2);
    row.dest = MakeAddress(10, 1, 0, 255);
    EXPECT_FALSE(IsBroadcastInterface(row)) << "destination";
    row = BroadcastRoute(a, 2);
    row.mask = MakeAddress(255, 255, 255, 0);
    EXPECT_FALSE(IsBroadcastInterface(row)) << "mask";
    row = BroadcastRoute(a, 2);
    row.type = 4;  // indirect
    EXPECT_FALSE(IsBroadcastInterface(row)) << "type";
    row = BroadcastRoute(LoopbackAddress, 1);
    EXPECT_FALSE(IsBroadcastInterface(row)) << "loopback";
    // Other loopback-range addresses are not the loopback address itself.
    EXPECT_TRUE(IsBroadcastInterface(BroadcastRoute(MakeAddress(127, 0, 0, 2), 1)));
}

TEST(ForwardTable, KeepsBroadcastInterfacesInTableOrder) {
    ForwardRow defaultRoute{};
    defaultRoute.nextHop = MakeAddress(10, 1, 0, 254);
    defaultRoute.type = 4;
    ForwardRow subnet{};
    subnet.dest = MakeAddress(10, 1, 0, 0);
    subnet.mask = MakeAddress(255, 255, 255, 0);
    subnet.nextHop = MakeAddress(10, 1, 0, 1);
    subnet.type = DirectRouteType;
    std::vector<ForwardRow> rows = {defaultRoute, BroadcastRoute(MakeAddress(10, 2, 0, 1), 7), subnet,
                                    BroadcastRoute(LoopbackAddress, 1), BroadcastRoute(MakeAddress(10, 1, 0, 1), 3)};
    auto buffer = Table(rows, static_cast<std::uint32_t>(rows.size()));
    const auto found = Compact(buffer, buffer.size() * 4);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].address, MakeAddress(10, 2, 0, 1));
    EXPECT_EQ(found[0].index, 7u);
    EXPECT_EQ(found[1].address, MakeAddress(10, 1, 0, 1));
    EXPECT_EQ(found[1].index, 3u);
}

TEST(ForwardTable, EmptyAndLoopbackOnlyTablesGiveNothing) {
    auto empty = Table({}, 0);
    EXPECT_TRUE(Compact(empty, 4).empty());
    auto loopbackOnly = Table({BroadcastRoute(LoopbackAddress, 1)}, 1);
    EXPECT_TRUE(Compact(loopbackOnly, loopbackOnly.size() * 4).empty());
    std::uint32_t tooShort = 5;
    EXPECT_EQ(CompactBroadcastInterfaces(&tooShort, 3), 0u);
}

TEST(ForwardTable, RowCountBeyondTheBufferIsNotTrusted) {
    auto buffer = Table({BroadcastRoute(MakeAddress(10, 1, 0, 1), 2)}, 1000);
    EXPECT_EQ(Compact(buffer, buffer.size() * 4).size(), 1u);
    // A partial row at the end is not read.
    EXPECT_EQ(Compact(buffer, buffer.size() * 4 - 1).size(), 0u);
}

TEST(ForwardTable, ManyRowsAllKept) {
    std::vector<ForwardRow> rows;
    for (std::uint32_t i = 0; i < 6000; ++i)
        rows.push_back(BroadcastRoute(MakeAddress(10, static_cast<std::uint8_t>(i >> 8),
                                                  static_cast<std::uint8_t>(i), 1), i));
    auto buffer = Table(rows, 6000);
    const auto found = Compact(buffer, buffer.size() * 4);
    ASSERT_EQ(found.size(), 6000u);
    for (std::uint32_t i = 0; i < 6000; ++i)
        ASSERT_EQ(found[i].index, i);
}

}  // namespace
}  // namespace scout
