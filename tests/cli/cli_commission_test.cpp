// commission's words: its range as --first and --last give it, and the line
// it says for each controller.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_commission.h"

namespace scout::cli {
namespace {

NetAddress A(const char* text) {
    NetAddress address = 0;
    EXPECT_TRUE(ParseDottedAddress(text, &address)) << text;
    return address;
}

TEST(CommissionRange, ToTheEndOfTheSubnetUnlessNamed) {
    AddressRange range;
    std::string problem;
    ASSERT_TRUE(ReadRange("10.1.0.101", nullptr, A("255.255.255.0"), &range, &problem));
    EXPECT_EQ(range.last, A("10.1.0.254"));
    ASSERT_TRUE(ReadRange("10.1.0.250", nullptr, A("255.255.0.0"), &range, &problem));
    EXPECT_EQ(range.last, A("10.1.255.254"));
    struct Bad {
        const char* first;
        const char* last;
        const char* problem;
    };
    for (const Bad& bad : {Bad{"10.1.0.9", "10.1.0.8", "--last 10.1.0.8 comes before --first 10.1.0.9"},
                           Bad{"10.1.0.9", "224.0.0.1", "--last takes an address a controller can hold, not '224.0.0.1'"},
                           Bad{"10.1.0.254", "10.1.1.1",
                               "--last 10.1.1.1 lies outside the subnet 10.1.0.0/24 that --first and --mask make"},
                           Bad{"10.1.0.9\x1b", nullptr,
                               "--first takes an address a controller can hold, not '10.1.0.9\\x1B'"}}) {
        EXPECT_FALSE(ReadRange(bad.first, bad.last, A("255.255.255.0"), &range, &problem));
        EXPECT_EQ(problem, bad.problem);
    }
}

TEST(CommissionLine, SaysWhatEachGot) {
    Commissioned done;
    done.number = 1;
    std::snprintf(done.before.model, sizeof done.before.model, "KRV-ETH1A2B");
    std::snprintf(done.before.version, sizeof done.before.version, "2.14");
    std::snprintf(done.before.revision, sizeof done.before.revision, "C");
    done.newAddress = "10.1.0.101";
    done.verified = true;
    done.seconds = 1.06;
    EXPECT_EQ(CommissionedLine(done, 10), "1/10 KRV-ETH1A2B 2.14 C \xE2\x86\x92 10.1.0.101, verified after 1.1 s");
    done.verified = false;
    done.message = "no controller answered at the new address 10.1.0.101 within 30.0 s";
    EXPECT_EQ(CommissionedLine(done, 0), "1 KRV-ETH1A2B 2.14 C \xE2\x86\x92 10.1.0.101, not verified: no controller "
                                         "answered at the new address 10.1.0.101 within 30.0 s");
    Commissioned planned;  // a dry run's next, not yet seen
    planned.number = 2;
    planned.newAddress = "10.1.0.102";
    planned.outcome = "dry-run";
    EXPECT_EQ(CommissionedLine(planned, 3), "2/3 the next controller \xE2\x86\x92 10.1.0.102, not sent (dry run)");
}

}  // namespace
}  // namespace scout::cli
