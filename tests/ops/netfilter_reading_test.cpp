// Linux's firewalls as doctor reads them, on recorded answers of their commands.
#include <gtest/gtest.h>

#include "ops/netfilter_reading.h"

namespace scout::ops {
namespace {

enum class Reader { Nftables, Iptables, Ufw, Firewalld };

struct NetfilterCase {
    const char* name;
    Reader reader;
    CommandAnswer answer;  // firewalld: the state; its ports are "22/tcp 65513/udp" or "" by the case
    const char* ports;
    CheckStatus status;
    const char* finding;
};

CheckLine Read(const NetfilterCase& c) {
    switch (c.reader) {
    case Reader::Nftables:
        return ReadNftables(c.answer);
    case Reader::Iptables:
        return ReadIptables(c.answer);
    case Reader::Ufw:
        return ReadUfw(c.answer);
    case Reader::Firewalld:
        return ReadFirewalld(c.answer, CommandAnswer{0, c.ports});
    }
    return {};
}

class Netfilter : public ::testing::TestWithParam<NetfilterCase> {};

TEST_P(Netfilter, SaysWhatTheFirewallDoesWithTheReplies) {
    const CheckLine line = Read(GetParam());
    EXPECT_EQ(line.status, GetParam().status);
    EXPECT_EQ(line.finding, GetParam().finding);
    EXPECT_EQ(line.todo.empty(), line.status == CheckStatus::Ok) << "what to do, wherever something is to be done";
}

constexpr const char* NftDrop =
    "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority filter; policy accept;\n"
    "\t\tudp dport 65513 drop\n\t}\n}\n";
constexpr const char* NftPolicyDrop =
    "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority filter; policy drop;\n"
    "\t\tct state established,related accept\n\t\ttcp dport 22 accept\n\t}\n}\n";
constexpr const char* NftPolicyDropPortOpen =
    "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority filter; policy drop;\n"
    "\t\tudp dport 65513 accept\n\t}\n}\n";
constexpr const char* NftTcpDrop =
    "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority filter; policy accept;\n"
    "\t\ttcp dport 65513 drop\n\t}\n}\n";

INSTANTIATE_TEST_SUITE_P(
    Recorded, Netfilter,
    ::testing::Values(
        NetfilterCase{"nft_not_installed", Reader::Nftables, {127, "sh: 1: nft: not found\n"}, "", CheckStatus::Ok,
                      "nftables: not installed"},
        NetfilterCase{"nft_as_a_user", Reader::Nftables, {1, "Operation not permitted (you must be root)\n"}, "",
                      CheckStatus::Unknown, "nftables: its rules cannot be read as this user"},
        NetfilterCase{"nft_empty", Reader::Nftables, {0, ""}, "", CheckStatus::Ok,
                      "nftables: nothing drops UDP to port 65513"},
        NetfilterCase{"nft_rule_drops", Reader::Nftables, {0, NftDrop}, "", CheckStatus::Problem,
                      "nftables: a rule drops UDP to port 65513"},
        NetfilterCase{"nft_tcp_rule_is_no_matter", Reader::Nftables, {0, NftTcpDrop}, "", CheckStatus::Ok,
                      "nftables: nothing drops UDP to port 65513"},
        NetfilterCase{"nft_policy_drop", Reader::Nftables, {0, NftPolicyDrop}, "", CheckStatus::Warning,
                      "nftables: the input policy drops what no rule accepts, and no rule accepts UDP to port 65513 "
                      "(a reply to a broadcast is no established connection)"},
        NetfilterCase{"nft_policy_drop_port_open", Reader::Nftables, {0, NftPolicyDropPortOpen}, "", CheckStatus::Ok,
                      "nftables: nothing drops UDP to port 65513"},
        NetfilterCase{"iptables_reject", Reader::Iptables,
                      {0, "-P INPUT ACCEPT\n-A INPUT -p udp -m udp --dport 65513 -j REJECT --reject-with "
                          "icmp-port-unreachable\n"},
                      "", CheckStatus::Problem, "iptables: a rule drops UDP to port 65513"},
        NetfilterCase{"iptables_policy_drop", Reader::Iptables,
                      {0, "-P INPUT DROP\n-A INPUT -m conntrack --ctstate RELATED,ESTABLISHED -j ACCEPT\n"}, "",
                      CheckStatus::Warning, "iptables: the INPUT policy is DROP and no rule accepts UDP to port 65513"},
        NetfilterCase{"iptables_policy_drop_port_open", Reader::Iptables,
                      {0, "-P INPUT DROP\n-A INPUT -p udp -m udp --dport 65513 -j ACCEPT\n"}, "", CheckStatus::Ok,
                      "iptables: nothing drops UDP to port 65513"},
        NetfilterCase{"iptables_as_a_user", Reader::Iptables, {4, "iptables v1.8.9: Permission denied\n"}, "",
                      CheckStatus::Unknown, "iptables: its rules cannot be read as this user"},
        NetfilterCase{"ufw_inactive", Reader::Ufw, {0, "Status: inactive\n"}, "", CheckStatus::Ok, "ufw: inactive"},
        NetfilterCase{"ufw_active", Reader::Ufw, {0, "Status: active\n\nTo  Action  From\n22/tcp  ALLOW  Anywhere\n"},
                      "", CheckStatus::Warning,
                      "ufw is active and does not allow UDP port 65513: it drops replies to a broadcast"},
        NetfilterCase{"ufw_allows", Reader::Ufw, {0, "Status: active\n\n65513/udp  ALLOW  Anywhere\n"}, "",
                      CheckStatus::Ok, "ufw allows UDP port 65513"},
        NetfilterCase{"ufw_as_a_user", Reader::Ufw, {1, "ERROR: You need to be root to run this script\n"}, "",
                      CheckStatus::Unknown, "ufw: its state cannot be read as this user"},
        NetfilterCase{"firewalld_not_running", Reader::Firewalld, {252, "not running\n"}, "", CheckStatus::Ok,
                      "firewalld: not running"},
        NetfilterCase{"firewalld_closed", Reader::Firewalld, {0, "running\n"}, "22/tcp\n", CheckStatus::Warning,
                      "firewalld is running and does not open UDP port 65513: it drops replies to a broadcast"},
        NetfilterCase{"firewalld_open", Reader::Firewalld, {0, "running\n"}, "22/tcp 65513/udp\n", CheckStatus::Ok,
                      "firewalld opens UDP port 65513"}),
    [](const ::testing::TestParamInfo<NetfilterCase>& each) { return std::string(each.param.name); });

}  // namespace
}  // namespace scout::ops
