// Reading the forwarding table through the platform's own structures, with the
// table function replaced by scripted ones.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstring>
#include <vector>

#include "net/win32/forward_table.h"
#include "net/win32/forward_table_loader.h"

namespace scout {
namespace {

static_assert(sizeof(MIB_IPFORWARDROW) == sizeof(ForwardRow));
static_assert(offsetof(MIB_IPFORWARDROW, dwForwardNextHop) == offsetof(ForwardRow, nextHop));
static_assert(offsetof(MIB_IPFORWARDROW, dwForwardType) == offsetof(ForwardRow, type));
static_assert(offsetof(MIB_IPFORWARDTABLE, table) == ForwardTableHeaderBytes);

MIB_IPFORWARDROW Route(const char* dest, const char* mask, const char* nextHop, DWORD type, DWORD ifIndex) {
    MIB_IPFORWARDROW row{};
    row.dwForwardDest = inet_addr(dest);
    row.dwForwardMask = inet_addr(mask);
    row.dwForwardNextHop = inet_addr(nextHop);
    row.dwForwardType = type;
    row.dwForwardIfIndex = ifIndex;
    return row;
}

// What a Windows host shows: per interface a limited-broadcast direct route whose next hop is the
// interface's address, among the other routes.
std::vector<MIB_IPFORWARDROW> g_rows;
int g_calls = 0;
int g_growBy = 0;    // rows added after each size answer, to mimic a growing table
DWORD g_failWith = NO_ERROR;

DWORD WINAPI ScriptedTable(PMIB_IPFORWARDTABLE table, PULONG size, BOOL) {
    ++g_calls;
    if (g_failWith != NO_ERROR)
        return g_failWith;
    if (g_rows.empty())
        return ERROR_NO_DATA;
    const ULONG needed = static_cast<ULONG>(offsetof(MIB_IPFORWARDTABLE, table) + g_rows.size() * sizeof(MIB_IPFORWARDROW));
    if (table == nullptr || *size < needed) {
        *size = needed;
        for (int i = 0; i < g_growBy; ++i)
            g_rows.push_back(Route("10.9.9.0", "255.255.255.0", "10.9.9.1", 3, 9));
        return ERROR_INSUFFICIENT_BUFFER;
    }
    table->dwNumEntries = static_cast<DWORD>(g_rows.size());
    std::memcpy(table->table, g_rows.data(), g_rows.size() * sizeof(MIB_IPFORWARDROW));
    *size = needed;
    return NO_ERROR;
}

class ForwardTableLoader : public ::testing::Test {
protected:
    void SetUp() override {
        g_rows.clear();
        g_calls = 0;
        g_growBy = 0;
        g_failWith = NO_ERROR;
    }
};

TEST_F(ForwardTableLoader, KeepsTheBroadcastInterfacesOfARealLayout) {
    g_rows = {Route("0.0.0.0", "0.0.0.0", "192.168.5.254", 4, 11),
              Route("127.0.0.0", "255.0.0.0", "127.0.0.1", 3, 1),
              Route("255.255.255.255", "255.255.255.255", "127.0.0.1", 3, 1),
              Route("255.255.255.255", "255.255.255.255", "192.168.5.10", 3, 11),
              Route("255.255.255.255", "255.255.255.255", "10.0.0.7", 4, 12),
              Route("255.255.255.255", "255.255.255.0", "10.0.0.8", 3, 12),
              Route("255.255.255.255", "255.255.255.255", "172.16.0.2", 3, 13)};
    InterfaceTable table;
    int error = 0;
    ASSERT_EQ(LoadForwardTable(ScriptedTable, &table, &error), TableStatus::Ok);
    ASSERT_EQ(table.count, 2u);
    EXPECT_EQ(table.entries[0].address, inet_addr("192.168.5.10"));
    EXPECT_EQ(table.entries[0].index, 11u);
    EXPECT_EQ(table.entries[1].address, inet_addr("172.16.0.2"));
    free(table.storage);
}

TEST_F(ForwardTableLoader, ReadsTablesFarBeyondFourKilobytes) {
    for (int i = 0; i < 5000; ++i)
        g_rows.push_back(Route("10.0.0.0", "255.255.255.0", "10.0.0.1", 3, 5));
    g_rows.push_back(Route("255.255.255.255", "255.255.255.255", "10.0.0.1", 3, 5));
    InterfaceTable table;
    int error = 0;
    ASSERT_EQ(LoadForwardTable(ScriptedTable, &table, &error), TableStatus::Ok);
    ASSERT_EQ(table.count, 1u);
    EXPECT_EQ(table.entries[0].address, inet_addr("10.0.0.1"));
    free(table.storage);
}

TEST_F(ForwardTableLoader, RetriesWhileTheTableGrows) {
    g_rows = {Route("255.255.255.255", "255.255.255.255", "10.0.0.1", 3, 5)};
    g_growBy = 1;
    InterfaceTable table;
    int error = 0;
    // It grows after every size answer: a few attempts, then no buffer is large enough.
    EXPECT_EQ(LoadForwardTable(ScriptedTable, &table, &error), TableStatus::NoSpace);
    EXPECT_GE(g_calls, 3);
    EXPECT_EQ(table.count, 0u);

    g_rows = {Route("255.255.255.255", "255.255.255.255", "10.0.0.1", 3, 5)};
    g_calls = 0;
    g_growBy = 0;
    ASSERT_EQ(LoadForwardTable(ScriptedTable, &table, &error), TableStatus::Ok);
    EXPECT_EQ(g_calls, 2);
    EXPECT_EQ(table.count, 1u);
    free(table.storage);
}

TEST_F(ForwardTableLoader, EmptyTableAndOtherFailures) {
    InterfaceTable table;
    int error = 0;
    EXPECT_EQ(LoadForwardTable(ScriptedTable, &table, &error), TableStatus::Ok);
    EXPECT_EQ(table.count, 0u);
    g_failWith = ERROR_NOT_SUPPORTED;
    EXPECT_EQ(LoadForwardTable(ScriptedTable, &table, &error), TableStatus::Failed);
    EXPECT_EQ(error, ERROR_NOT_SUPPORTED);
}

TEST_F(ForwardTableLoader, ThePlatformsOwnTableLoads) {
    InterfaceTable table;
    int error = 0;
    EXPECT_EQ(LoadForwardTable(&GetIpForwardTable, &table, &error), TableStatus::Ok);
    for (std::size_t i = 0; i < table.count; ++i)
        EXPECT_NE(table.entries[i].address, inet_addr("127.0.0.1"));
    free(table.storage);
}

}  // namespace
}  // namespace scout
